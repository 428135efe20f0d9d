#!/usr/bin/env bash
# Installs what the web edition needs to build and test, when missing: the
# Emscripten compiler (with the acorn parser its JS optimizer loads),
# Chromium for the page tests, the DejaVu fonts the page embeds, and the
# FreeType source package (fetched into build-web/ for the web build), and
# fontTools, which cuts the fonts down to the characters scripts can draw (Debian's python3 -m fontTools.subset).
set -euo pipefail

packages=(emscripten node-acorn chromium fonts-dejavu-core python3-fonttools cmake make ninja-build g++
  xz-utils dpkg-dev)
# A node with its own npm may already be installed (and Debian's npm would
# conflict with it); otherwise take Debian's.
if ! command -v npm >/dev/null; then packages+=(nodejs npm); fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# `apt-get source` needs a deb-src entry beside each deb entry.
need_update=0
[ -n "$("$(dirname "$0")/enable-deb-src.sh")" ] && need_update=1

if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  $sudo apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
