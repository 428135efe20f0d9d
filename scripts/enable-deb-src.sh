#!/usr/bin/env bash
# Adds a deb-src entry beside each deb entry of the machine's apt sources
# (once), so that `apt-get source` can fetch Debian's source packages (the
# web and Windows builds compile FreeType from them). Prints "updated" when
# it added the entry (apt-get update is then due).
set -euo pipefail
src_list=/etc/apt/sources.list.d/tessel-deb-src.sources
[ -e "$src_list" ] && exit 0
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
for f in /etc/apt/sources.list.d/*.sources; do
  [ -e "$f" ] || continue
  [ "$f" = "$src_list" ] && continue
  sed 's/^Types: deb$/Types: deb-src/' "$f"
  echo
done | $sudo tee "$src_list" >/dev/null
echo updated
