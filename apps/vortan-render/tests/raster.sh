#!/usr/bin/env bash
# vortan-render raster: every cell of the test scene takes the pipeline it was built for, the receding floor takes
# the perspective walk, the picture is repeatable, and bad arguments are refused.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

expect_done raster "$work/scene.png" --list > "$work/list.txt"
[ -s "$work/scene.png" ] || fail "no picture written"
expected="flat:0:24 gouraud:0:24 gouraud-alpha:0:24 checker-nearest:0:25 checker-bilinear:0:25 repeat:0:25
falloff:0:25 added-k0:0:26 two-layers:0:27 dot3:0:40 translucent-over:0:25 translucent-over:1:24 crossing:0:24
crossing:1:24 perspective:0:25"
for entry in $expected; do
    IFS=: read -r cell draw pipeline <<< "$entry"
    grep -Eq "^cell=$cell draw=$draw pipeline=$pipeline blend=[0-3] depth=[A-Za-z]+ walk=[a-z]+ pixels=[1-9][0-9]*$" \
        "$work/list.txt" || fail "cell $cell draw $draw is not pipeline $pipeline with pixels drawn"
done
[ "$(grep -c '^cell=' "$work/list.txt")" -eq 15 ] || fail "expected 15 draws"
grep -Eq '^variant=(plain|mmx|sse|sse2) probed mmx=[01] sse=[01] sse2=[01]$' "$work/list.txt" ||
    fail "the probed variant is not printed"
grep -q '^cell=perspective draw=0 .* walk=perspective ' "$work/list.txt" || fail "the floor did not take the perspective walk"
grep -q '^cell=flat draw=0 .* walk=affine ' "$work/list.txt" || fail "the flat cell did not take the affine walk"
grep -q '^cell=translucent-over draw=1 pipeline=24 blend=1 ' "$work/list.txt" || fail "the glass does not blend"
grep -q '^cell=crossing draw=0 .* depth=TestAndWrite ' "$work/list.txt" || fail "the crossing cell does not test depth"

expect_done raster "$work/again.png" > /dev/null
cmp -s "$work/scene.png" "$work/again.png" || fail "the picture is not repeatable"
expect_done raster "$work/small.png" --size 64 > /dev/null
cmp -s "$work/scene.png" "$work/small.png" && fail "--size changed nothing"

# Each forced variant draws every cell through its own stages; plain and sse2 differ at most where the Gouraud
# alpha or the nearest coordinate does.
for variant in plain mmx sse sse2; do
    expect_done raster "$work/$variant.png" --list --variant "$variant" > "$work/$variant.txt"
    grep -q "^variant=$variant forced " "$work/$variant.txt" || fail "--variant $variant is not printed as forced"
    [ "$(grep -c '^cell=' "$work/$variant.txt")" -eq 15 ] || fail "--variant $variant: expected 15 draws"
done
cmp -s "$work/mmx.png" "$work/sse2.png" || fail "the MMX and SSE2 variants should draw alike"
expect_usage raster "$work/bad.png" --variant avx
expect_message '--variant must be plain, mmx, sse or sse2'

expect_usage raster
expect_message 'expected OUT.png'
expect_usage raster "$work/bad.png" --size 8
expect_message '--size must be a whole number from 16 to 4096, not "8"'
expect_usage raster "$work/bad.png" --colour
expect_message 'unknown argument "--colour"'
expect_refused raster "$work" --size 16
expect_message "cannot write $work"
[ ! -e "$work/bad.png" ] || fail "a refused run wrote its output"

# fill: the fill-rate triangles cover every pixel once and are written out as one dumped frame, which holds the
# background, the run of two triangles and the drawn picture.
mkdir "$work/fill"
expect_done fill "$work/fill" --pipeline 34 --filter 2 --width 64 --height 48 > "$work/fill.txt"
grep -q '^pipeline=34 pixels=3072$' "$work/fill.txt" || fail "fill: not every pixel of 64 x 48 drawn once"
[ "$(head -c 4 "$work/fill/frame-0000.bin")" = VTRF ] || fail "fill: no dumped frame"
[ "$(stat -c %s "$work/fill/frame-0000.bin")" -gt $((20 + 2 * 64 * 48 * 4 + 2 * 3)) ] || fail "fill: dump too short"
expect_usage fill "$work/fill" --pipeline 28
expect_message 'pipeline 28 has no stage program'
# Only the configured range is taken: every number past it used to build a record of more layers than it holds.
for pipeline in 0 2 23 44 96 99 254 255; do
    expect_usage fill "$work/fill" --pipeline "$pipeline" --width 16 --height 16
    expect_message "--pipeline must be a whole number from 24 to 43, not \"$pipeline\""
done
expect_usage fill "$work/fill" --filter 3
expect_usage fill "$work/fill" --pipeline
expect_refused fill "$work/missing" --width 16 --height 16
echo "ok"
