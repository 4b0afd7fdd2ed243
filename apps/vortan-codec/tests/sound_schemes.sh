#!/usr/bin/env bash
# vortan-codec sound encode / decode through the nine sound scheme rows by id, compare on each result, the fallback
# of a sound that does not fit its row, damaged payloads, and the accepts matrix.
# Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
data="$root/codecs/sound/tests/data"
# The rows restore into temporary files, which must go with the tool's world.
export TMPDIR="$work/tmp"
mkdir "$TMPDIR"

frames_of() { sed -n "s/^length: ref \([0-9]*\) frames, test \([0-9]*\) frames$/\\$1/p" "$work/compare.txt"; }

# id, fixture of the row's rate and channels
while read -r id fixture; do
    expect_done sound encode "$id" "$data/$fixture.wav" "$work/$id.bin" > "$work/encode.txt"
    [ "$(sed -n 1p "$work/encode.txt")" = "$(stat -c %s "$work/$id.bin") bytes" ] ||
        fail "$id first line: $(cat "$work/encode.txt")"
    grep -q "^record $id: [0-9]* bytes$" "$work/encode.txt" || fail "$id record line: $(cat "$work/encode.txt")"
    [ ! -s "$tool_err" ] || fail "$id encode reported: $(cat "$tool_err")"
    expect_done sound decode "$id" "$work/$id.bin" "$work/$id.wav"
    expect_done sound compare "$data/$fixture.wav" "$work/$id.wav" > "$work/compare.txt"
    # The decoded sound covers the whole input after the codec's delay.
    [ "$(frames_of 2)" -ge "$(frames_of 1)" ] || fail "$id decoded $(frames_of 2) of $(frames_of 1) frames"
done <<'ROWS'
7499 speech_8000_mono
7498 speech_8000_mono
7496 music_22050_stereo
7495 speech_22050_mono
7494 music_11025_stereo
7493 speech_11025_mono
7492 speech_8000_mono
7491 speech_8000_mono
7490 speech_8000_mono
ROWS
cmp -s "$data/speech_8000_mono.wav" "$work/7499.wav" || fail "raw did not give the file back byte for byte"
grep -q '^SNR: inf dB$' "$work/compare.txt" && fail "a coded row compared as lossless"
expect_done sound encode raw "$data/speech_8000_mono.wav" "$work/raw.bin" > /dev/null
cmp -s "$work/7499.bin" "$work/raw.bin" || fail "raw and 7499 differ"

# Each scheme word names its row; the SC36 words set the sound's variant, the payload's first byte.
while read -r word id fixture; do
    expect_done sound encode "$word" "$data/$fixture.wav" "$work/$word.bin" > "$work/encode.txt"
    grep -q "^record $id: " "$work/encode.txt" || fail "$word is not row $id: $(cat "$work/encode.txt")"
done <<'WORDS'
ac8 7492 speech_8000_mono
acs48 7496 music_22050_stereo
rt24 7491 speech_8000_mono
sc3 7490 speech_8000_mono
sc6 7490 speech_8000_mono
sc3-6 7490 speech_8000_mono
WORDS
cmp -s "$work/ac8.bin" "$work/7492.bin" || fail "ac8 and 7492 differ"
cmp -s "$work/rt24.bin" "$work/7491.bin" || fail "rt24 and 7491 differ"
for pair in sc3:00 sc6:01 sc3-6:02; do
    [ "$(head -c 1 "$work/${pair%%:*}.bin" | od -An -tx1 | tr -d ' ')" = "${pair##*:}" ] || fail "${pair%%:*} variant byte"
done
expect_done sound decode sc3 "$work/sc6.bin" "$work/sc6.wav"

# The own codec's quality reaches the row.
expect_done sound encode 7498 "$data/speech_8000_mono.wav" "$work/q20.bin" 20 > /dev/null
[ "$(stat -c %s "$work/q20.bin")" -lt "$(stat -c %s "$work/7498.bin")" ] || fail "quality 20 is not smaller"

# A sound that does not fit its row is stored raw, and the row says why.
expect_done sound encode 7495 "$data/speech_8000_mono.wav" "$work/fallback.bin" > "$work/encode.txt"
grep -q '^record 7499: ' "$work/encode.txt" || fail "no fallback record: $(cat "$work/encode.txt")"
expect_message '^AC24: .*22050.*8000'
cmp -s "$work/7499.bin" "$work/fallback.bin" || fail "the fallback is not the raw payload"

# Damaged payloads fail; refusals and usage errors exit with their own codes and leave no output.
head -c 1000 "$work/7499.bin" > "$work/cut.bin"
expect_refused sound decode 7499 "$work/cut.bin" "$work/cut.wav"
head -c 4 "$work/7498.bin" > "$work/cut.bin"
expect_refused sound decode 7498 "$work/cut.bin" "$work/cut.wav"
[ ! -e "$work/cut.wav" ] || fail "a failed decode left its output"
expect_refused sound encode 7492 "$work/none.wav" "$work/bad.bin"
expect_refused sound decode 7492 "$work/none.bin" "$work/bad.wav"
expect_usage sound encode 7497 "$data/speech_8000_mono.wav" "$work/bad.bin"
expect_message 'no sound scheme "7497"'
[ ! -e "$work/bad.bin" ] || fail "a refused encode left its output"

# The matrix for a 22050 Hz stereo sound: only the rows of any sound and ACS48 take it.
expect_done sound accepts "$data/music_22050_stereo.wav" > "$work/accepts.txt"
[ "$(wc -l < "$work/accepts.txt")" -eq 9 ] || fail "accepts: $(cat "$work/accepts.txt")"
[ "$(grep -c ' yes$' "$work/accepts.txt")" -eq 3 ] || fail "accepts: $(cat "$work/accepts.txt")"
grep -Eq '^7496 .* yes$' "$work/accepts.txt" || fail "ACS48 refused its own layout"
grep -Eq '^7495 .* no: .*22050.*Stereo' "$work/accepts.txt" || fail "AC24 reason: $(cat "$work/accepts.txt")"

[ -z "$(ls -A "$TMPDIR")" ] || fail "temporary files left: $(ls "$TMPDIR")"
echo "ok"
