#!/usr/bin/env bash
# vortan-render d3d8: the reference scene through the Direct3D 8 device and the stand-in's reference rasteriser
# matches the software renderer's frame 0 within a bound (PSNR of at least 40 dB, at most 1 % of pixels off by more
# than 8 in a channel; measured 52.9 dB and 0.1 % at 320 x 240), whole and interlaced; the trace holds device
# creation, uploads, state blocks, draws and Present; a failed CreateDevice with flags 3 falls back to the window
# device, which presents; refused cards say why; bad arguments are refused.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $3 * 256 + $4 "x" $7 * 256 + $8}'; }

# "compare psnr=P differing=D" within the bounds.
check_compare() {
    local line
    line=$(grep -E '^compare psnr=' "$1") || fail "$2: no comparison printed"
    awk -v line="$line" 'BEGIN {
        split(line, f, /[= ]/); psnr = f[3]; share = f[5];
        exit !(psnr >= 40 && share <= 0.01) }' || fail "$2: $line is outside PSNR >= 40, share <= 0.01"
}

expect_done d3d8 "$work/whole.png" --size 320x240 --compare --trace "$work/trace.txt" > "$work/whole.txt"
[ "$(png_size "$work/whole.png")" = 320x240 ] || fail "the picture is not 320 x 240"
grep -q '^presenting device: Direct3D8$' "$work/whole.txt" || fail "the Direct3D 8 device did not present"
grep -Eq '^frame=0 device=Direct3D8 presented=yes draws=[1-9]' "$work/whole.txt" || fail "frame 0 drew nothing"
check_compare "$work/whole.txt" "full frame"
for call in 'CreateDevice\(' 'SetRenderState\(26, 1\)' 'UpdateTexture\(' 'BeginStateBlock\(' 'ApplyStateBlock\(' \
    'DrawIndexedPrimitive\(4, ' 'DrawPrimitive\(' 'Present\(0, 0, 0, 0\) = 0'; do
    grep -Eq "^$call" "$work/trace.txt" || fail "the trace has no $call"
done

expect_done d3d8 "$work/fields.png" --size 320x240 --mode interlaced --frames 2 --compare > "$work/fields.txt"
check_compare "$work/fields.txt" "interlaced"

expect_done d3d8 "$work/fallback.png" --size 160x120 --fail CreateDevice:1 --flags 3 > "$work/fallback.txt"
grep -q '^presenting device: window$' "$work/fallback.txt" || fail "flags 3 did not fall back to the window device"
grep -q '^frame=0 device=window presented=yes draws=0 ' "$work/fallback.txt" || fail "the window device did not present"
cmp -s "$work/fallback.png" "$work/whole.png" && fail "the fallback picture equals a picture of another size"

expect_done d3d8 "$work/other.png" --size 160x120 --vendor 0x8086 --build 700 --flags 3 > "$work/other.txt"
grep -q '^card refused: vendor 0x8086 build 700' "$work/other.txt" || fail "another vendor's card was not refused"
grep -q '^presenting device: window$' "$work/other.txt" || fail "the refused card left no window device"
expect_exit "$exit_failed" d3d8 "$work/old.png" --size 160x120 --vendor 0x10DE --build 649 > "$work/old.txt"
grep -q '^card refused: vendor 0x10DE build 649' "$work/old.txt" || fail "an old driver build was not refused"
expect_done d3d8 "$work/new.png" --size 160x120 --vendor 0x10DE --build 650 > /dev/null

expect_usage d3d8 "$work/bad.png" --flags 1
expect_usage d3d8 "$work/bad.png" --fail CreateDevice
# A plan naming a method the stand-in does not have would never fire: the run would pass for a tested failure.
expect_usage d3d8 "$work/bad.png" --fail Nope:3
expect_message '--fail: the stand-in has no method "Nope" to fail; it fails .* CreateDevice .* Present '
[ ! -e "$work/bad.png" ] || fail "a refused plan drew a picture"
expect_usage d3d8 "$work/bad.png" --vendor 0x1FFFF
expect_usage d3d8 "$work/bad.png" --mode stereo
echo "d3d8: ok"
