#!/usr/bin/env bash
# vortan-codec image encode / decode / progressive / palette on the committed pictures, and refusals of bad input.
# Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
photo="$root/codecs/image/tests/data/photo_96x64.png"
grey="$root/codecs/image/tests/data/grey_45x30.png"

field() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p" "$2" | tail -n 1; }
line='^width=[0-9]+ height=[0-9]+ bytes=[0-9]+ bpp=[0-9.]+ psnr=([0-9.]+|-) ms=[0-9.]+$'

expect_done image encode "$photo" "$work/q50.cis" 50 > "$work/encode.txt"
grep -Eq "$line" "$work/encode.txt" || fail "encode line: $(cat "$work/encode.txt")"
[ "$(field width "$work/encode.txt")" = 96 ] && [ "$(field height "$work/encode.txt")" = 64 ] || fail "encode size"
[ "$(field bytes "$work/encode.txt")" = "$(stat -c %s "$work/q50.cis")" ] || fail "encode bytes"
awk -v p="$(field psnr "$work/encode.txt")" 'BEGIN { exit !(p >= 25) }' || fail "PSNR at quality 50"
head -c 7 "$work/q50.cis" | grep -q 'CIS3.0' || fail "identifier"

expect_done image decode "$work/q50.cis" "$work/q50.png" > "$work/decode.txt"
grep -Eq "$line" "$work/decode.txt" || fail "decode line: $(cat "$work/decode.txt")"
[ "$(field psnr "$work/decode.txt")" = "-" ] || fail "decode has no reference"
expect_done image encode "$work/q50.png" "$work/again.cis" 100 > "$work/again.txt"   # the decoded PNG reads back
[ "$(field width "$work/again.txt")" = 96 ] || fail "decoded PNG size"

# Quality 100 is lossless; grey input is expanded to three equal channels.
expect_done image encode "$photo" "$work/q100.cis" 100 > "$work/q100.txt"
[ "$(field psnr "$work/q100.txt")" = "99.000" ] || fail "quality 100 is not exact"
[ "$(stat -c %s "$work/q100.cis")" -gt "$(stat -c %s "$work/q50.cis")" ] || fail "quality 100 is not larger"
expect_done image encode "$grey" "$work/grey.cis" 100 > "$work/grey.txt"
[ "$(field psnr "$work/grey.txt")" = "99.000" ] || fail "grey picture"

# Progressive: one pass per displayable level (all five levels 0..4 of a 96 x 64 picture), the last one final.
expect_done image progressive "$work/q50.cis" "$work/pass" > "$work/progressive.txt"
passes=$(grep -c '^pass=' "$work/progressive.txt")
[ "$passes" -eq 5 ] || fail "progressive passes: $passes"
[ -s "$work/pass-00.png" ] && [ -s "$work/pass-04.png" ] || fail "preview files"
grep -q '^pass=4 .* psnr=99.000$' "$work/progressive.txt" || fail "last pass is the final picture"
cmp -s "$work/pass-04.png" "$work/q50.png" || fail "progressive and one-shot pixels differ"

expect_done image palette "$photo" "$work/palette.png" 16 > "$work/palette.txt"
grep -Eq "$line" "$work/palette.txt" || fail "palette line"
awk -v p="$(field psnr "$work/palette.txt")" 'BEGIN { exit !(p >= 20) }' || fail "palette PSNR"

# Refusals: each with exactly the refusal or usage code, one line naming the file or argument and the cause.
expect_usage image encode "$photo" "$work/bad.cis" 101
expect_message 'QUALITY must be a whole number from 0 to 100, not "101"'
expect_usage image encode "$photo" "$work/bad.cis" 99999999999999999999
expect_message 'QUALITY must be a whole number from 0 to 100'
expect_usage image palette "$photo" "$work/bad.png" 0
expect_message 'COLOURS must be a whole number from 1 to 256, not "0"'
expect_usage image decode "$work/q50.cis" "$work/bad.png" --max-pixels 0
expect_message '--max-pixels must be a whole number'
expect_usage image decode "$work/q50.cis"
expect_refused image encode "$work/encode.txt" "$work/bad.cis" 50
expect_message "cannot read $work/encode.txt: "
head -c 200 "$work/q50.cis" > "$work/cut.cis"
expect_refused image decode "$work/cut.cis" "$work/cut.png"
expect_message "cannot decode $work/cut.cis: .*damaged or cut short"
expect_refused image progressive "$work/cut.cis" "$work/cut"
expect_message "cannot decode $work/cut.cis: "
[ ! -e "$work/cut.png" ] && [ ! -e "$work/cut-00.png" ] || fail "a refused stream left a picture"
expect_refused image decode "$work/none.cis" "$work/none.png"
expect_message "cannot read $work/none.cis: No such file or directory"
expect_refused image encode "$work" "$work/bad.cis" 50
expect_message "cannot read $work: it is a folder"
expect_refused image decode "$work/q50.cis" "$work/missing/q50.png"
expect_message "cannot write $work/missing/q50.png: No such file or directory"

# The pixel limit: the 96 x 64 picture passes at its exact size and is refused one pixel below, as a stream and as
# a PNG, before anything is written.
expect_done image decode "$work/q50.cis" "$work/limit.png" --max-pixels 6144 > /dev/null
expect_refused image decode "$work/q50.cis" "$work/limit-refused.png" --max-pixels 6143
expect_message "cannot decode $work/q50.cis: it claims 96 x 64 pixels, more than the limit of 6143"
expect_refused image progressive "$work/q50.cis" "$work/limit" --max-pixels 6143
expect_message "it claims 96 x 64 pixels"
expect_refused image encode "$photo" "$work/limit.cis" 50 --max-pixels 6143
expect_message "cannot read $photo: "
[ ! -e "$work/limit-refused.png" ] && [ ! -e "$work/limit.cis" ] || fail "a refused claim left a file"
echo "image tool ok"
