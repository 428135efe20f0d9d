#!/usr/bin/env bash
# Installs the Debian packages tessel needs, when missing:
#   scripts/install-deps.sh          to build and run
#   scripts/install-deps.sh --test   also to test (and to build the package)
#   scripts/install-deps.sh --bench  also to run the benchmarks
#   scripts/install-deps.sh --windows  to build the Windows edition (make windows)
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make
  libsdl2-dev libfreetype-dev libfontconfig-dev libx11-dev
  fonts-dejavu-core
)
# The Windows edition: the cross compiler, the installer builder, FreeType's
# source package; wine runs the result in the tests.
windows=(g++-mingw-w64-x86-64-posix nsis xz-utils dpkg-dev)
case "${1:-}" in
  "") ;;
  --test)
    packages+=(libgtest-dev libbenchmark-dev libsdl2-image-dev nlohmann-json3-dev clang clang-format libclang-rt-dev
      xvfb xdotool imagemagick x11-apps dpkg-dev lintian file "${windows[@]}" wine64) ;;
  --windows)
    packages+=("${windows[@]}") ;;
  --bench)
    packages+=(libbenchmark-dev libsdl2-image-dev lua5.4 luajit yabasic brandy hyperfine valgrind xvfb) ;;
  *) echo "usage: $0 [--test | --bench | --windows]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# FreeType's source package needs a deb-src entry.
need_update=0
case "${1:-}" in
  --test | --windows) [ -n "$("$(dirname "$0")/enable-deb-src.sh")" ] && need_update=1 ;;
esac
[ ${#missing[@]} -eq 0 ] && [ $need_update -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
