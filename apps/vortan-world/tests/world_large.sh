#!/usr/bin/env bash
# A world of more stored bytes than the read limit (256 MiB) reads and is written again: the limits count what
# decoding makes beyond the stored bytes, never the file's own. Skipped where no scratch folder has the room.
set -euo pipefail
tool="$1"
scratch=/dev/shm
[ -d "$scratch" ] && [ "$(df -Pk "$scratch" | awk 'NR == 2 {print $4}')" -gt 800000 ] || scratch="${TMPDIR:-/tmp}"
if [ "$(df -Pk "$scratch" | awk 'NR == 2 {print $4}')" -le 800000 ]; then
    echo "skipped: no scratch folder with 800 MB free"
    exit 77
fi
work="$(mktemp -d "$scratch/vortan-large-XXXXXX")"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/lib/run_tool.sh"

expect_exit 0 make-sample "$work/sample.vtn"
# The sample with a record of 270 MB that no reader knows (skipped with its children), left unscrambled.
python3 - "$2/bench" "$work/sample.vtn" "$work/large.vtn" <<'PY'
import struct, sys, zlib
sys.path.insert(0, sys.argv[1])
from hostile_worlds import HEADER, read_document, tag
version, records = read_document(sys.argv[2])
records.append([tag("XBIG"), 0xFFFFFFFF, 0, bytes(270 << 20)])
body = bytearray()
for t, parent, flags, payload in records:
    body += struct.pack("<IIII", t, len(payload) + 8, parent, flags) + payload
body += struct.pack("<I", tag("END "))
head = b"VTNF" + version + struct.pack("<III", zlib.crc32(body) & 0xFFFFFFFF, 0, HEADER + len(body))
with open(sys.argv[3], "wb") as out:
    out.write(head + bytes(body))
PY
[ "$(stat -c %s "$work/large.vtn")" -gt 268435456 ] || fail "the world is not past the limit"
expect_exit 1 roundtrip "$work/large.vtn" "$work/again.vtn" # read whole; written without the unknown record
expect_line "identical=no"
expect_exit 0 roundtrip "$work/again.vtn" "$work/third.vtn"
expect_exit 0 dump "$work/large.vtn"
echo "large world ok"
