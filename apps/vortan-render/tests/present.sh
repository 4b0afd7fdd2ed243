#!/usr/bin/env bash
# vortan-render present: every display depth through bitmaps, and 16 and 32 through the DirectDraw-shaped primary
# surface, write a picture of the asked size; the path taken is reported; the anti-aliased still differs from the
# plain frame; bad arguments are refused.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $3 * 256 + $4 "x" $7 * 256 + $8}'; }

for depth in 8 16 24 32; do
    expect_done present "$work/gdi$depth.png" --depth "$depth" --size 150x100 --frames 2 > "$work/gdi$depth.txt"
    [ "$(png_size "$work/gdi$depth.png")" = 150x100 ] || fail "depth $depth: the picture is not 150 x 100"
    grep -Eq '^frame=1 path=GDI bands=4 pixels=[1-9][0-9]* ' "$work/gdi$depth.txt" || fail "depth $depth: not through GDI"
done
expect_done present "$work/gdi555.png" --depth 16 --555 --size 150x100 > "$work/gdi555.txt"
[ "$(png_size "$work/gdi555.png")" = 150x100 ] || fail "5-5-5: the picture is not 150 x 100"
cmp -s "$work/gdi8.png" "$work/gdi32.png" && fail "the 8-bit picture equals the 32-bit one"

for depth in 16 32; do
    expect_done present "$work/dd$depth.png" --depth "$depth" --ddraw --size 150x100 > "$work/dd$depth.txt"
    [ "$(png_size "$work/dd$depth.png")" = 150x100 ] || fail "DirectDraw $depth: the picture is not 150 x 100"
    grep -Eq '^frame=0 path=DirectDraw bands=4 pixels=15000 ' "$work/dd$depth.txt" ||
        fail "DirectDraw $depth: not through the primary surface"
done

expect_done present "$work/still.png" --depth 32 --size 150x100 > /dev/null
expect_done present "$work/aa.png" --depth 32 --antialias --size 150x100 > "$work/aa.txt"
[ "$(grep -c '^frame=' "$work/aa.txt")" -eq 24 ] || fail "antialiasing did not finish after 24 frames"
cmp -s "$work/still.png" "$work/aa.png" && fail "the anti-aliased picture equals the plain one"

expect_done present "$work/fields.png" --depth 24 --mode interlaced --size 150x100 > /dev/null
# Forced variants are reported as such; sse and sse2 differ only in the mesh renderer kind, whose frames are the
# same, and both present through the wide 32-bit copy, so their pictures are equal.
for variant in plain sse sse2; do
    expect_done present "$work/$variant.png" --depth 32 --size 150x100 --variant "$variant" > "$work/$variant.txt"
    grep -q "^variant=$variant forced " "$work/$variant.txt" || fail "--variant $variant: not reported as forced"
    [ "$(png_size "$work/$variant.png")" = 150x100 ] || fail "--variant $variant: the picture is not 150 x 100"
done
cmp -s "$work/sse.png" "$work/sse2.png" || fail "the sse2 picture differs from the sse one"
grep -Eq '^variant=(plain|mmx|sse|sse2) probed ' "$work/gdi32.txt" || fail "without --variant the probe is not reported"
expect_usage present "$work/bad.png" --depth 32 --variant avx
expect_usage present "$work/bad.png" --depth 12
expect_usage present "$work/bad.png" --size 150x100
expect_usage present "$work/bad.png" --depth 32 --mode stereo
echo "present: ok"
