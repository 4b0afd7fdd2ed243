#!/usr/bin/env bash
# vortan-gl-peer reads dumped frames as claims: each damaged copy of a real dump (cut short anywhere, a count past
# the file, a wrong magic or version, a huge size) is refused with exit 3 and no sanitizer report; the intact dump is
# drawn. The frame level's mesh files are refused the same way.
set -euo pipefail
tool="$1"
peer="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}exitcode=86"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}halt_on_error=1:exitcode=86"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}exitcode=86"

mkdir "$work/dump"
"$tool" scene "$work/frame.png" --size 40x30 --dump "$work/dump" > /dev/null
"$peer" "$work/dump" --warmup 0 --timed 1 > /dev/null 2> "$work/err" || { cat "$work/err"; fail "the intact dump"; }

python3 - "$work/dump/frame-0000.bin" "$work/damaged" <<'PY'
import os, struct, sys
source, out = sys.argv[1], sys.argv[2]
data = bytearray(open(source, "rb").read())
width, height = struct.unpack_from("<II", data, 8)
textures_at = 20 + 4 * width * height
# Walk to the first run's triangle count.
at = textures_at + 4
for _ in range(struct.unpack_from("<I", data, textures_at)[0]):
    w, h = struct.unpack_from("<II", data, at)
    at += 8 + 4 * w * h
    at += 4 + struct.unpack_from("<I", data, at)[0]  # the falloff table
runs_at = at
triangles_at = runs_at + 4 + 4 + 4 + 4 + 4 + 8 * 12
def put(name, bytes_):
    os.makedirs(os.path.join(out, name))
    open(os.path.join(out, name, "frame-0000.bin"), "wb").write(bytes_)
def with_u32(offset, value):
    copy = bytearray(data)
    struct.pack_into("<I", copy, offset, value)
    return copy
put("empty", b"")
put("magic", b"XTRF" + data[4:])
put("version", with_u32(4, 2))
put("huge-width", with_u32(8, 0xFFFFFFFF))
put("zero-height", with_u32(12, 0))
put("texture-count", with_u32(textures_at, 0xFFFFFFFF))
put("run-count", with_u32(runs_at, 0x7FFFFFFF))
put("triangle-count", with_u32(triangles_at, 0x40000000))
put("stride", data[:runs_at + 16] + b"\x00" + data[runs_at + 17:])
for cut in (3, 19, 20 + 4 * width, textures_at + 2, runs_at + 2, triangles_at + 10, len(data) - 4 * width * height - 1):
    put(f"cut-{cut}", data[:cut])
PY

# The frame level reads DIR/mesh-NNNN.bin beside each frame: the same frame file with a damaged mesh file each.
"$peer" "$work/dump" --warmup 0 --timed 1 --level frame > /dev/null 2> "$work/err" ||
    { cat "$work/err"; fail "the intact mesh dump"; }
python3 - "$work/dump" "$work/damaged-mesh" <<'PY'
import os, shutil, struct, sys
source, out = sys.argv[1], sys.argv[2]
data = bytearray(open(os.path.join(source, "mesh-0000.bin"), "rb").read())
table_at = 40
groups_at = table_at + 4 + 16384
group = groups_at + 4
stride_at = group + 12
vertices_at = group + 112 + 16 + 48 + 72 + 8 + 8 + 2048
vertex_count = struct.unpack_from("<I", data, vertices_at)[0]
pairs_at = vertices_at + 4 + 24 * vertex_count
pairs = struct.unpack_from("<I", data, pairs_at)[0]
triangles_at = pairs_at + 4 + 8 * pairs
def put(name, bytes_):
    os.makedirs(os.path.join(out, name))
    shutil.copy(os.path.join(source, "frame-0000.bin"), os.path.join(out, name))
    if bytes_ is not None:
        open(os.path.join(out, name, "mesh-0000.bin"), "wb").write(bytes_)
def with_u32(offset, value):
    copy = bytearray(data)
    struct.pack_into("<I", copy, offset, value)
    return copy
put("missing", None)
put("empty", b"")
put("magic", b"XTRM" + data[4:])
put("version", with_u32(4, 2))
put("other-width", with_u32(8, 41))
put("other-frame", with_u32(16, 7))
put("near-zero", with_u32(36, 0))
put("table-size", with_u32(table_at, 16383))
put("group-count", with_u32(groups_at, 0xFFFFFFFF))
put("stride", data[:stride_at] + b"\x05" + data[stride_at + 1:])
put("vertex-count-huge", with_u32(vertices_at, 70000))
put("vertex-count-past", with_u32(vertices_at, 65536))
put("pair-count", with_u32(pairs_at, vertex_count + 1))
put("triangle-count", with_u32(triangles_at, 0x40000000))
put("corner-past", with_u32(triangles_at + 4, vertex_count))
for cut in (3, 19, 30, table_at + 100, groups_at + 2, group + 60, vertices_at + 10, triangles_at + 6, len(data) - 1):
    put(f"cut-{cut}", data[:cut])
PY
for damaged in "$work"/damaged-mesh/*; do
    status=0
    "$peer" "$damaged" --warmup 0 --timed 1 --level frame > /dev/null 2> "$work/err" || status=$?
    if [ "$status" -eq 86 ] || grep -Eq 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$work/err"; then
        cat "$work/err" >&2
        fail "sanitizer report for mesh $(basename "$damaged")"
    fi
    [ "$status" -eq 3 ] || fail "mesh $(basename "$damaged"): exit $status, not refused"
done

for damaged in "$work"/damaged/*; do
    status=0
    "$peer" "$damaged" --warmup 0 --timed 1 > /dev/null 2> "$work/err" || status=$?
    if [ "$status" -eq 86 ] || grep -Eq 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$work/err"; then
        cat "$work/err" >&2
        fail "sanitizer report for $(basename "$damaged")"
    fi
    [ "$status" -eq 3 ] || fail "$(basename "$damaged"): exit $status, not refused"
done
echo "damaged dumps: ok"
