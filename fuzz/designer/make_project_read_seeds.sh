#!/usr/bin/env bash
# Regenerates the project reader's seeds as the plain bodies the fuzz target takes (header dropped, body
# unscrambled): the sample project of `vortan-project make-sample`; the same without its added file; with records
# of the later designer parts that this build keeps as bytes (PLAY, PRTT, PRW4); with a merge record whose entry
# count is far more than it holds; and a project item with no world under it.
# Usage: fuzz/designer/make_project_read_seeds.sh PATH/TO/vortan-project
set -euo pipefail
tool="$1"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$tool" make-sample "$work/sample.vtp" >/dev/null
python3 - "$work/sample.vtp" "$here/corpus/project_read" <<'PY'
import os, struct, sys

data = open(sys.argv[1], 'rb').read()
out = sys.argv[2]
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
body = bytes(body)

def records(blob):
    """Top-level nested records of a payload: (tag, payload) pairs."""
    at, found = 0, []
    while at + 8 <= len(blob):
        tag, length = blob[at:at + 4], struct.unpack_from('<I', blob, at + 4)[0]
        found.append((tag, blob[at + 8:at + 8 + length]))
        at += 8 + length
    return found

def nested(tag, payload):
    return tag + struct.pack('<I', len(payload)) + payload

# Record 0 of the body is the project item: tag, length, parent, flags, payload.
tag0, length0 = body[0:4], struct.unpack_from('<I', body, 4)[0]
assert tag0 == b'2PRJ'
head0, payload0, rest = body[8:16], body[16:8 + length0], body[8 + length0:]

def with_project_payload(payload):
    return tag0 + struct.pack('<I', 8 + len(payload)) + head0 + payload + rest

def write(name, blob):
    open(os.path.join(out, name), 'wb').write(blob)

items = records(payload0)
write('sample_body.bin', body)
write('no_added_file_body.bin', with_project_payload(b''.join(nested(t, p) for t, p in items if t != b'PADD')))
kept = nested(b'PLAY', struct.pack('<II', 0, 0)) + nested(b'PRTT', b'\x02\x00\x00\x00tt' + bytes(12)) + \
    nested(b'PRW4', bytes(range(16)))
write('kept_records_body.bin', with_project_payload(payload0 + kept))

def damaged_count(payload):
    result = b''
    for t, p in records(payload):
        if t == b'PADD':
            at = p.find(b'MREC')
            name_length = struct.unpack_from('<I', p, at + 8)[0]
            count_at = at + 12 + name_length
            p = p[:count_at] + struct.pack('<I', 0x7FFFFFFF) + p[count_at + 4:]
        result += nested(t, p)
    return result
write('damaged_merge_count_body.bin', with_project_payload(damaged_count(payload0)))
write('project_without_world_body.bin', body[:8 + length0] + b'END ')
PY
ls -l "$here/corpus/project_read"
