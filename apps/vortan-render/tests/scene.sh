#!/usr/bin/env bash
# vortan-render scene: the reference scene drawn in each mode is written at its size, reports queued, clipped and
# drawn triangles, is repeatable, and each mode changes the picture; bad arguments are refused.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $3 * 256 + $4 "x" $7 * 256 + $8}'; }

expect_done scene "$work/normal.png" --size 160x120 > "$work/normal.txt"
[ "$(png_size "$work/normal.png")" = 160x120 ] || fail "the picture is not 160 x 120"
grep -Eq '^triangles=23468 visible=[1-9][0-9]* queued=[1-9][0-9]* indexed=[1-9][0-9]* clipped=[0-9]+ ' \
    "$work/normal.txt" || fail "the torus, sphere and cube were not all queued or handed over"
grep -Eq '^drawn=[1-9][0-9]* pixels=[1-9][0-9]* skipped=0$' "$work/normal.txt" || fail "nothing drawn, or skipped"
grep -Eq '^frames=1 queue-ms=[0-9.]+ end-frame-ms=[0-9.]+$' "$work/normal.txt" || fail "no stage times"

expect_done scene "$work/again.png" --size 160x120 > /dev/null
cmp -s "$work/normal.png" "$work/again.png" || fail "the picture is not repeatable"
# The rasteriser's workers as VORTAN_RENDER_THREADS asks: 1 draws in frame order, more in bands, the same picture.
VORTAN_RENDER_THREADS=1 expect_done scene "$work/one.png" --size 160x120 > "$work/one.txt"
grep -q '^workers=1 in frame order$' "$work/one.txt" || fail "VORTAN_RENDER_THREADS=1 did not draw in frame order"
VORTAN_RENDER_THREADS=3 expect_done scene "$work/three.png" --size 160x120 > "$work/three.txt"
grep -q '^workers=3 in bands$' "$work/three.txt" || fail "VORTAN_RENDER_THREADS=3 did not draw in three lanes"
cmp -s "$work/one.png" "$work/three.png" || fail "three lanes drew another picture than one"
for variant in "--supersample 2" "--mode interlaced" "--mode stereo" "--frame 10" "--jitter 0.5,0.25"; do
    # shellcheck disable=SC2086
    expect_done scene "$work/variant.png" --size 160x120 $variant > "$work/variant.txt"
    [ "$(png_size "$work/variant.png")" = 160x120 ] || fail "$variant changed the picture's size"
    cmp -s "$work/normal.png" "$work/variant.png" && fail "$variant changed nothing"
    grep -Eq 'skipped=0$' "$work/variant.txt" || fail "$variant skipped triangles"
done

# Forced variants: the line says so, and the vector mesh renderer keeps every face the plain one keeps (it may add
# fillers and faces within its bias).
grep -Eq '^variant=(plain|mmx|sse|sse2) probed ' "$work/normal.txt" || fail "the probed variant is not printed"
for variant in plain sse2; do
    expect_done scene "$work/$variant.png" --size 160x120 --variant "$variant" > "$work/$variant.txt"
    grep -q "^variant=$variant forced " "$work/$variant.txt" || fail "--variant $variant is not printed as forced"
    grep -Eq 'skipped=0$' "$work/$variant.txt" || fail "--variant $variant skipped triangles"
done
visible() { sed -nE 's/^triangles=[0-9]+ visible=([0-9]+) .*/\1/p' "$1"; }
[ "$(visible "$work/sse2.txt")" -ge "$(visible "$work/plain.txt")" ] || fail "the SSE2 renderer lost faces"
expect_usage scene "$work/x.png" --variant avx

# Orbit frames one after another, each timed; the dump holds each frame's triangles, its background and our picture,
# and beside it the frame's draw groups in object space; a frame drawn alone after the others is the same picture.
mkdir "$work/dump"
expect_done scene "$work/orbit.png" --size 160x120 --frames 3 --dump "$work/dump" > "$work/orbit.txt"
frame_line='^frame=[0-2] refresh-ms=[0-9.]+ queue-ms=[0-9.]+ end-frame-ms=[0-9.]+ raster-ms=[0-9.]+ copy-ms=[0-9.]+$'
[ "$(grep -Ec "$frame_line" "$work/orbit.txt")" -eq 3 ] ||
    fail "--frames 3 did not time three frames"
[ "$(ls "$work/dump")" = "$(printf 'frame-0000.bin\nframe-0001.bin\nframe-0002.bin\nmesh-0000.bin\nmesh-0001.bin\nmesh-0002.bin')" ] ||
    fail "not three dumped frames with their meshes"
[ "$(head -c 4 "$work/dump/frame-0002.bin")" = VTRF ] || fail "a dumped frame lacks its magic"
[ "$(head -c 4 "$work/dump/mesh-0002.bin")" = VTRM ] || fail "a dumped mesh frame lacks its magic"
# Header, viewport, angle table and group count, then at least the torus: its ramps and 10,000 vertices.
[ "$(od -An -tu4 -j $((44 + 16384)) -N4 "$work/dump/mesh-0000.bin" | tr -d ' ')" -ge 1 ] ||
    fail "the mesh dump holds no draw group"
[ "$(stat -c %s "$work/dump/mesh-0000.bin")" -gt $((44 + 16384 + 4 + 2048 + 10000 * 24)) ] ||
    fail "the mesh dump holds no vertices"
# Background and picture are 160 x 120 words each; the triangles make the file larger than both.
[ "$(stat -c %s "$work/dump/frame-0000.bin")" -gt $((20 + 2 * 160 * 120 * 4 + 8 + 100 * 3 * 4)) ] ||
    fail "the dump holds no triangles"
expect_done scene "$work/last.png" --size 160x120 --frame 2 > /dev/null
cmp -s "$work/orbit.png" "$work/last.png" || fail "the last orbit frame differs from the same frame drawn alone"
expect_usage scene "$work/x.png" --frames 2 --mode stereo
expect_usage scene "$work/x.png" --frames 0
expect_refused scene "$work/x.png" --size 16x12 --dump "$work/missing"

expect_usage scene
expect_usage scene "$work/x.png" --mode sideways
expect_usage scene "$work/x.png" --size 0x10
expect_usage scene "$work/x.png" --supersample 3
expect_usage scene "$work/x.png" --jitter nan,0
expect_refused scene "$work/missing/x.png" --size 16x12
