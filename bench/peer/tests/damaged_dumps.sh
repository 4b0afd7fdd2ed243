#!/usr/bin/env bash
# vortan-gl-peer reads dumped frames as claims: each damaged copy of a real dump (cut short anywhere, a count past
# the file, a wrong magic or version, a huge size) is refused with exit 3 and no sanitizer report; the intact dump is
# drawn.
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
