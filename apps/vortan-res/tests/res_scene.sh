#!/usr/bin/env bash
# The computed scene resources through `vortan-res`: the four default pictures, a Phong and a Dot3 material with
# their maps, a steady particle stream, text through the fixed test font with the pixels it predicts, and speech
# data dumped, with damaged input refused (exit 3). Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
is_png() { [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "$1 is not a PNG"; }

# The defaults at the centre: linear 270 degrees half way down, radial at its centre, the checker's cell right of
# and below the centre (B, white), four-corner the mean of its corners.
declare -A centre=([linear]=FF0000A5 [radial]=FF0000FE [checker]=FFFFFFFF [corner]=FF808080)
for kind in linear radial checker corner; do
    line="$(expect_done picture "$kind" "$work/$kind.png")"
    is_png "$work/$kind.png"
    grep -q "centre=${centre[$kind]}" <<< "$line" || fail "$kind: $line"
done
expect_usage picture spiral "$work/x.png"
expect_usage picture linear "$work/x.png" --param nonsense=1

# Phong: lighting texture and falloff, ramps; no Dot3 maps without a bump picture.
out="$(expect_done material "$work/phong" --mode 5 --smoothness 12 --specular 1,1,1,1 --diffuse 1,0.5,0.2,0.1)"
grep -q "highlight scale=0.5 offset=0.484375" <<< "$out" || fail "phong: $out"
grep -q "packed ambient=000000 diffuse=7F3319 specular=FFFFFF" <<< "$out" || fail "phong: $out"
for map in ramps lighting falloff; do is_png "$work/phong_$map.png"; done
[ ! -e "$work/phong_dot3_normals.png" ] || fail "phong wrote Dot3 maps"
# Dot3: a picture as the bump map gives both maps.
expect_done picture radial "$work/bump.png" > /dev/null
expect_done material "$work/dot3" --bump "$work/bump.png" --amount 0.5 > /dev/null
for map in dot3_normals dot3_diffuse; do is_png "$work/dot3_$map.png"; done
head -c 20 "$work/bump.png" > "$work/cut.png"
expect_refused material "$work/cut" --bump "$work/cut.png" --amount 1

# Particles: 250 more each second at the defaults, every one of them queued as two triangles.
out="$(expect_done particles 5 --seed 7)"
[ "$(wc -l <<< "$out")" -eq 5 ] || fail "particles: $out"
for second in 1 2 3 4 5; do
    grep -q "^t=$second live=$((second * 250)) .* queued=$((second * 500))$" <<< "$out" || fail "particles: $out"
done
[ "$(expect_done particles 2 --seed 7)" = "$(head -n 2 <<< "$out")" ] || fail "particles: not deterministic"

# Text with the fixed font: each glyph is its 8 x 14 cell less a 1-pixel inset, spaces blank.
out="$(expect_done text "$work/text.png" Sans 12 0 36 "Hi there" --fixed)"
is_png "$work/text.png"
grep -q "text 64x14 ascent=10 inked=504 face=Sans" <<< "$out" || fail "text: $out"

# Speech data: the fuzz seed of a script; a cut one is refused.
seeds="$root/fuzz/resources/corpus/qjsh"
out="$(expect_done speech "$seeds/script")"
grep -q "name=hello mesh=Head third= rate=30 channels=3" <<< "$out" || fail "speech: $out"
grep -q "channel 0 code=0 values=3" <<< "$out" || fail "speech: $out"
expect_refused speech "$seeds/hostile_channel_count"
expect_refused speech "$seeds/truncated"
expect_message "^vortan-res: cannot read $seeds/truncated: not a speech data record$"
# Without its file it says how it is called; it used to exit 2 without a word, as the other scene commands did.
expect_usage speech
expect_message '^vortan-res: usage: vortan-res speech FILE$'
expect_usage picture
expect_message '^vortan-res: usage: vortan-res picture linear\|radial\|checker\|corner OUT.png '
# Numbers no setting keeps, and ones no cast may be given: refused, never a sanitizer's report.
for numbers in "particles nan" "particles 1 --seed -1" "text $work/x.png Sans 12 -1 0 hi --fixed" \
    "material $work/nan --amount nan"; do
    # shellcheck disable=SC2086 # each is a command line of words
    expect_usage $numbers
done
echo "scene resources ok"
