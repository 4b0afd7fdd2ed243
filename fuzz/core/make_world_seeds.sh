#!/usr/bin/env bash
# Regenerates the world reader's seeds from the sample scene of `vortan-world make-sample` (generated pictures, the
# built-in meshes, a sound naming a file that need not exist, so that its record stays small), as plain bodies the fuzz target
# takes: the header dropped and the body unscrambled, split into a few small worlds that between them hold a record
# of every kind (inputs of a few kilobytes keep the fuzzer fast).
# Usage: fuzz/core/make_world_seeds.sh PATH/TO/vortan-world
set -euo pipefail
tool="$1"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
VORTAN_TEST_DATA= "$tool" make-sample "$work/sample.vtn" >/dev/null
python3 - "$work/sample.vtn" "$here/corpus/world" <<'PY'
import os, struct, sys
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
records, at = [], 0
while body[at:at + 4] != b'END ':
    length, parent, rflags = struct.unpack_from('<III', body, at + 4)
    records.append([bytes(body[at:at + 4]), parent, rflags, bytes(body[at + 16:at + 8 + length])])
    at += 8 + length

def write(name, keep, change=None):
    """The records whose tags keep names (with their ancestors), parents renumbered; change edits a payload."""
    chosen = set()
    for i, r in enumerate(records):
        if r[0].decode() in keep:
            while i != 0xFFFFFFFF and i not in chosen:
                chosen.add(i)
                i = records[i][1]
    index = {old: new for new, old in enumerate(sorted(chosen))}
    out = bytearray()
    for old in sorted(chosen):
        tag, parent, rflags, payload = records[old]
        if change:
            payload = change(tag, payload)
        out += tag + struct.pack('<III', len(payload) + 8, index.get(parent, 0xFFFFFFFF), rflags) + payload
    open(os.path.join(sys.argv[2], name), 'wb').write(bytes(out + b'END '))

# Small seeds, a few kinds each, so that every input stays a few kilobytes and the fuzzer runs fast; between them
# they hold a record of every kind. The sample's larger mesh (the sphere) is left out: the cube has every field.
meshes = [i for i, r in enumerate(records) if r[0] == b'MMES']
cube = meshes[0]
write('resources_body.bin', {'WRLD', 'HEAD', 'CI32', 'CI24', 'CIG8', 'MATL', 'BGDI'})
write('stream_root_body.bin', {'WRLD', '5PTS'})
write('vertex_frames_body.bin', {'WRLD', 'VSBK'})
saved = records[:]
records = [r for i, r in enumerate(saved) if r[0] != b'MMES' or i == cube]
write('geometry_body.bin', {'WRLD', 'MMES', 'CMRA', 'KFBK', '7403'})
# The cube with its geometry record's header damaged after the geometry header: a mesh without its geometry.
def damaged_geometry(tag, payload):
    if tag != b'MMES':
        return payload
    header = 8 + struct.unpack_from('<I', payload, 4)[0]
    return payload[:header] + bytes.fromhex('0000150000002500') + payload[header + 8:]
write('mesh_without_geometry_body.bin', {'WRLD', 'MMES'}, damaged_geometry)
PY
rm -f "$here/corpus/world/every_record_body.bin"
echo "wrote the seeds of $here/corpus/world"
