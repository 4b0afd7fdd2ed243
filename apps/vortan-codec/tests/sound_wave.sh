#!/usr/bin/env bash
# vortan-codec sound encode / decode / compare on a committed fixture, and the refusals of bad input.
# Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
fixture="$root/codecs/sound/tests/data/speech_8000_mono.wav"

expect_done sound encode wave "$fixture" "$work/q70.bin" 70 > "$work/encode.txt"
grep -Eq '^[0-9]+ bytes$' "$work/encode.txt" || fail "encode prints its size"
expect_done sound decode wave "$work/q70.bin" "$work/q70.wav"
expect_done sound compare "$fixture" "$work/q70.wav" > "$work/compare.txt"
grep -q '^length: ref 40000 frames, test 40000 frames$' "$work/compare.txt" || fail "lengths: $(cat "$work/compare.txt")"
grep -q '^lag: 0 frames$' "$work/compare.txt" || fail "lag"
snr="$(sed -n 's/^SNR: \([0-9.]*\) dB$/\1/p' "$work/compare.txt")"
[ -n "$snr" ] && awk -v s="$snr" 'BEGIN { exit !(s >= 30) }' || fail "SNR at quality 70 is '$snr'"
grep -q '^segmental SNR: ' "$work/compare.txt" || fail "segmental SNR"
grep -q '^log-spectral distance: ' "$work/compare.txt" || fail "log-spectral distance"

# Higher quality, more bytes.
expect_done sound encode wave "$fixture" "$work/q100.bin" 100 > /dev/null
[ "$(stat -c %s "$work/q100.bin")" -gt "$(stat -c %s "$work/q70.bin")" ] || fail "quality 100 is not larger"

# Refusals: exactly the refusal or usage code, and one line naming the file or argument and the cause.
expect_usage sound encode wave "$fixture" "$work/bad.bin" 101
expect_message 'QUALITY must be a whole number from 0 to 100, not "101"'
# A file that is no wave file has nothing to code: refused, where a world would store it as it is. Raw stores it.
expect_refused sound encode wave "$work/encode.txt" "$work/notwave.bin" 50
expect_message "cannot read $work/encode.txt: .*RIFF/WAVE"
[ ! -e "$work/notwave.bin" ] || fail "a refused encode left a file"
expect_done sound encode raw "$work/encode.txt" "$work/fallback.bin" > "$work/fallback.txt"
grep -q '^record 7499: ' "$work/fallback.txt" || fail "no raw record: $(cat "$work/fallback.txt")"
cmp -s "$work/encode.txt" <(tail -c +5 "$work/fallback.bin") || fail "the raw record does not hold the file"
expect_refused sound encode wave "$work/none.wav" "$work/bad.bin" 50
expect_message "cannot read $work/none.wav: No such file or directory"
[ ! -e "$work/bad.bin" ] || fail "a refused encode left a file"
# A damaged payload is refused through the row, in one line that names the file and claims nothing kept.
head -c 300 "$work/q70.bin" > "$work/cut.bin"
expect_refused sound decode wave "$work/cut.bin" "$work/cut.wav"
expect_message "^vortan-codec: cannot decode $work/cut.bin with scheme wave: the payload is damaged; $work/cut.wav was not written$"
[ ! -e "$work/cut.wav" ] || fail "a failed decode left its output"
# A damaged stream leaves an existing wave file as it was, unless the good part is asked for and there is one.
cp "$work/q70.wav" "$work/kept.wav"
expect_refused sound decode wave "$work/cut.bin" "$work/kept.wav"
cmp -s "$work/q70.wav" "$work/kept.wav" || fail "a damaged stream changed the existing wave file"
expect_refused sound decode wave "$work/cut.bin" "$work/kept.wav" --keep-partial
expect_message "^vortan-codec: cannot decode $work/cut.bin: damaged or cut stream after 0 frames$"
cmp -s "$work/q70.wav" "$work/kept.wav" || fail "a stream with no whole frame changed the existing wave file"
# The first block (32768 of the 40000 samples) whole, the second cut.
head -c "$(($(stat -c %s "$work/q70.bin") - 20))" "$work/q70.bin" > "$work/half.bin"
expect_refused sound decode wave "$work/half.bin" "$work/partial.wav" --keep-partial
expect_message "cannot decode $work/half.bin: damaged or cut stream after 32768 frames; $work/partial.wav holds them$"
partial_bytes=$(stat -c %s "$work/partial.wav")
[ "$partial_bytes" -gt 44 ] && [ "$partial_bytes" -lt "$(stat -c %s "$work/q70.wav")" ] ||
    fail "--keep-partial kept $partial_bytes bytes"
cmp -s -n 44 <(head -c 4 "$work/partial.wav") <(printf RIFF) || fail "the kept part is no wave file"
expect_done sound compare "$fixture" "$work/partial.wav" > /dev/null
# A rate no wave file can have (0 Hz: bytes 24..27 of the fixture's header) makes no readable wave file: refused.
cp "$fixture" "$work/rate0.wav"
printf '\0\0\0\0' | dd of="$work/rate0.wav" bs=1 seek=24 conv=notrunc status=none
expect_refused sound encode wave "$work/rate0.wav" "$work/rate0.bin" 50
expect_message "cannot read $work/rate0.wav: .*rate"
expect_refused sound compare "$work/rate0.wav" "$work/rate0.wav"
expect_message "cannot read $work/rate0.wav: .*rate"
expect_refused sound decode wave "$work/none.bin" "$work/none.wav"
expect_message "cannot read $work/none.bin: No such file or directory"
# An output problem is named as one, never blamed on the stream.
expect_refused sound decode wave "$work/q70.bin" "$work/missing/out.wav"
expect_message "cannot write $work/missing/out.wav: No such file or directory"
expect_refused sound decode wave "$work/q70.bin" "$work"
expect_message "cannot write $work: it is a folder"
expect_refused sound compare "$fixture" "$work/none.wav"
expect_message "cannot read $work/none.wav: No such file or directory"
echo "sound tool ok"
