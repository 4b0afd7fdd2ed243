#!/usr/bin/env bash
# vortan-render background and stereo-mix on the committed pictures, and refusals of bad arguments and input.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
photo="$root/codecs/image/tests/data/photo_96x64.png"
grey="$root/codecs/image/tests/data/grey_45x30.png"

for repeat in 1 2; do
    expect_done background "$work/tiled$repeat.png" --size 300x200 --image "$photo" --repeat $repeat > "$work/out.txt"
    grep -q "^width=300 height=200 fill=tiled-image repeat=$repeat$" "$work/out.txt" || fail "tiled $repeat"
    expect_done background "$work/stretched$repeat.png" --size 300x200 --image "$photo" --stretch \
        --repeat $repeat > "$work/out.txt"
    grep -q "^width=300 height=200 fill=stretched-image repeat=$repeat$" "$work/out.txt" || fail "stretched $repeat"
done
cmp -s "$work/tiled1.png" "$work/tiled2.png" && fail "row repeat 2 changed nothing"
cmp -s "$work/tiled1.png" "$work/stretched1.png" && fail "stretching changed nothing"

# A flat picture tiled or stretched is the same as the colour fill of its colour.
expect_done background "$work/flat.png" --size 7x5 --colour 336699 > /dev/null
expect_done background "$work/by-colour.png" --size 64x48 --colour 336699 > "$work/out.txt"
grep -q '^width=64 height=48 fill=colour repeat=1$' "$work/out.txt" || fail "colour fill"
expect_done background "$work/by-image.png" --size 64x48 --image "$work/flat.png" --repeat 2 > /dev/null
cmp -s "$work/by-colour.png" "$work/by-image.png" || fail "flat image tiled differs from its colour"
expect_done background "$work/by-stretch.png" --size 64x48 --image "$work/flat.png" --stretch > /dev/null
cmp -s "$work/by-colour.png" "$work/by-stretch.png" || fail "flat image stretched differs from its colour"

# Mixing: a picture with itself twice gives the same result; pictures of different sizes are refused.
expect_done background "$work/second.png" --size 96x64 --image "$grey" --stretch > /dev/null
expect_done stereo-mix "$photo" "$work/second.png" "$work/mix.png" > "$work/out.txt"
grep -q '^width=96 height=64$' "$work/out.txt" || fail "stereo-mix line"
expect_done stereo-mix "$photo" "$work/second.png" "$work/mix-again.png" > /dev/null
cmp -s "$work/mix.png" "$work/mix-again.png" || fail "stereo-mix is not repeatable"
expect_refused stereo-mix "$photo" "$grey" "$work/bad.png"
expect_message 'differ in size'
[ ! -e "$work/bad.png" ] || fail "a refused mix wrote its output"

expect_usage background "$work/bad.png"
expect_message 'expected OUT.png --size WxH'
expect_usage background "$work/bad.png" --size 0x10
expect_message '--size width must be a whole number from 1 to 65535, not "0"'
expect_usage background "$work/bad.png" --size 65535x65535
expect_message 'is more than 268435456 pixels'
expect_usage background "$work/bad.png" --size 10x10 --repeat 3
expect_message '--repeat must be a whole number from 1 to 2, not "3"'
expect_usage background "$work/bad.png" --size 10x10 --colour 12345G
expect_message '--colour must be six hexadecimal digits'
expect_refused background "$work/bad.png" --size 10x10 --image "$work/missing.png"
expect_message "cannot read $work/missing.png"
head -c 100 "$photo" > "$work/cut.png"
expect_refused background "$work/bad.png" --size 10x10 --image "$work/cut.png"
expect_message "cannot read $work/cut.png"
expect_refused background "$work" --size 10x10
expect_message "cannot write $work"
[ ! -e "$work/bad.png" ] || fail "a refused run wrote its output"
echo "ok"
