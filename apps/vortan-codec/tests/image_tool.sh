#!/usr/bin/env bash
# vortan-codec image encode / decode / progressive / palette on the committed pictures, and refusals of bad input.
# Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
photo="$root/codecs/image/tests/data/photo_96x64.png"
grey="$root/codecs/image/tests/data/grey_45x30.png"

fail() { echo "FAIL: $*" >&2; exit 1; }
field() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p" "$2" | tail -n 1; }
line='^width=[0-9]+ height=[0-9]+ bytes=[0-9]+ bpp=[0-9.]+ psnr=([0-9.]+|-) ms=[0-9.]+$'

"$tool" image encode "$photo" "$work/q50.cis" 50 > "$work/encode.txt"
grep -Eq "$line" "$work/encode.txt" || fail "encode line: $(cat "$work/encode.txt")"
[ "$(field width "$work/encode.txt")" = 96 ] && [ "$(field height "$work/encode.txt")" = 64 ] || fail "encode size"
[ "$(field bytes "$work/encode.txt")" = "$(stat -c %s "$work/q50.cis")" ] || fail "encode bytes"
awk -v p="$(field psnr "$work/encode.txt")" 'BEGIN { exit !(p >= 25) }' || fail "PSNR at quality 50"
head -c 7 "$work/q50.cis" | grep -q 'CIS3.0' || fail "identifier"

"$tool" image decode "$work/q50.cis" "$work/q50.png" > "$work/decode.txt"
grep -Eq "$line" "$work/decode.txt" || fail "decode line: $(cat "$work/decode.txt")"
[ "$(field psnr "$work/decode.txt")" = "-" ] || fail "decode has no reference"
"$tool" image encode "$work/q50.png" "$work/again.cis" 100 > "$work/again.txt"   # the decoded PNG reads back
[ "$(field width "$work/again.txt")" = 96 ] || fail "decoded PNG size"

# Quality 100 is lossless; grey input is expanded to three equal channels.
"$tool" image encode "$photo" "$work/q100.cis" 100 > "$work/q100.txt"
[ "$(field psnr "$work/q100.txt")" = "99.000" ] || fail "quality 100 is not exact"
[ "$(stat -c %s "$work/q100.cis")" -gt "$(stat -c %s "$work/q50.cis")" ] || fail "quality 100 is not larger"
"$tool" image encode "$grey" "$work/grey.cis" 100 > "$work/grey.txt"
[ "$(field psnr "$work/grey.txt")" = "99.000" ] || fail "grey picture"

# Progressive: one pass per displayable level (all five levels 0..4 of a 96 x 64 picture), the last one final.
"$tool" image progressive "$work/q50.cis" "$work/pass" > "$work/progressive.txt"
passes=$(grep -c '^pass=' "$work/progressive.txt")
[ "$passes" -eq 5 ] || fail "progressive passes: $passes"
[ -s "$work/pass-00.png" ] && [ -s "$work/pass-04.png" ] || fail "preview files"
grep -q '^pass=4 .* psnr=99.000$' "$work/progressive.txt" || fail "last pass is the final picture"
cmp -s "$work/pass-04.png" "$work/q50.png" || fail "progressive and one-shot pixels differ"

"$tool" image palette "$photo" "$work/palette.png" 16 > "$work/palette.txt"
grep -Eq "$line" "$work/palette.txt" || fail "palette line"
awk -v p="$(field psnr "$work/palette.txt")" 'BEGIN { exit !(p >= 20) }' || fail "palette PSNR"

# Refusals.
if "$tool" image encode "$photo" "$work/bad.cis" 101 2> /dev/null; then fail "quality 101 accepted"; fi
if "$tool" image encode "$work/encode.txt" "$work/bad.cis" 50 2> /dev/null; then fail "text file encoded"; fi
head -c 200 "$work/q50.cis" > "$work/cut.cis"
if "$tool" image decode "$work/cut.cis" "$work/cut.png" 2> /dev/null; then fail "cut stream decoded"; fi
if "$tool" image progressive "$work/cut.cis" "$work/cut" 2> /dev/null; then fail "cut stream decoded progressively"; fi
if "$tool" image decode "$work/none.cis" "$work/none.png" 2> /dev/null; then fail "missing stream decoded"; fi
if "$tool" image palette "$photo" "$work/bad.png" 0 2> /dev/null; then fail "0 colours accepted"; fi
echo "image tool ok"
