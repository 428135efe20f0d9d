#!/usr/bin/env bash
# Runs the image decoder fuzzer for a number of seconds, seeded with the test
# images in each of the target's three modes (first byte 0: the inflater, fed
# the PNGs' image data; 1: decoders with CRCs made right; 2: decoders as is).
# Fails when it finds a crash, a hang or a leak.
# Usage: scripts/run-image-fuzz.sh FUZZER [SECONDS]
set -euo pipefail
fuzzer="$1"
seconds="${2:-300}"
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT
python3 - "$root/tests/fixtures/images" "$corpus" <<'PY'
import os, struct, sys
src, out = sys.argv[1], sys.argv[2]
for name in sorted(os.listdir(src)):
    if not name.endswith(('.bmp', '.png')):
        continue
    data = open(os.path.join(src, name), 'rb').read()
    for mode in (1, 2):
        open(os.path.join(out, f'{mode}-{name}'), 'wb').write(bytes([mode]) + data)
    if data.startswith(b'\x89PNG'):
        pos, idat = 8, b''
        while pos + 12 <= len(data):
            length, kind = struct.unpack('>I4s', data[pos:pos + 8])
            if kind == b'IDAT':
                idat += data[pos + 8:pos + 8 + length]
            pos += 12 + length
        open(os.path.join(out, f'0-{name}.zlib'), 'wb').write(b'\0' + idat)
PY
"$fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=65536 \
  -print_final_stats=1 "$corpus" 2>&1 | tail -n 15
echo "fuzzing for ${seconds}s found nothing"
