#!/usr/bin/env bash
# Regenerates the world reader's seed with a record of every kind: the sample scene of `vortan-world make-sample`
# (generated pictures, the built-in meshes, a sound file that does not exist, so that its record stays small), as the
# plain body the fuzz target takes: the header dropped and the body unscrambled.
# Usage: fuzz/core/make_world_seeds.sh PATH/TO/vortan-world
set -euo pipefail
tool="$1"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
VORTAN_TEST_DATA= "$tool" make-sample "$work/sample.vtn" --sound absent.wav >/dev/null
python3 - "$work/sample.vtn" "$here/corpus/world/every_record_body.bin" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
seed, flags = struct.unpack_from('<II', data, 8)
body = bytearray(data[20:])
if flags & 1:
    state = seed or 0x9E3779B9
    for i in range(0, len(body), 4):
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        for k in range(min(4, len(body) - i)):
            body[i + k] ^= (state >> (8 * k)) & 0xFF
open(sys.argv[2], 'wb').write(body)
PY
echo "wrote $here/corpus/world/every_record_body.bin"
