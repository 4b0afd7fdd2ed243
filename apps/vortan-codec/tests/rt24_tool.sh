#!/usr/bin/env bash
# vortan-codec sound encode / decode / trace rt24 and compare --speech on the 8000 Hz fixture, and the refusals.
# Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
fixture="$root/codecs/sound/tests/data/speech_8000_mono.wav"
other_rate="$root/codecs/sound/tests/data/speech_22050_mono.wav"
run_line='^frames [0-9]+, seconds [0-9.]+, bit/s [0-9.]+, ms [0-9.]+, realtime [0-9.]+x$'

# The trace reads pitch, voicing and energy by name through a hook on "post quan": 223 frames of 180 samples.
expect_done sound trace rt24 "$fixture" > "$work/trace.txt"
[ "$(wc -l < "$work/trace.txt")" -eq 223 ] || fail "trace lines: $(wc -l < "$work/trace.txt")"
grep -Eq '^frame 0: pitch [0-9.]+ pv [0-9.]+ resEnergy [0-9.]+ \| pv [0-9]+ pitch [0-9]+ \([0-9.]+\) energy [0-9]+ lsf( [0-9]+){10}$' \
    "$work/trace.txt" || fail "trace line: $(head -1 "$work/trace.txt")"
grep -Eq 'pv 0\.[1-9][0-9]* ' "$work/trace.txt" || fail "no voiced frame in the trace"
expect_refused sound trace rt24 "$other_rate"
expect_message "cannot trace $other_rate: 22050 Hz, 1 channels; RT24 speech is 8000 Hz mono"

# Until the command table hands the codec word to these commands, the rest cannot run.
run_tool sound encode rt24 "$fixture" "$work/speech.bin" > /dev/null
if [ "$tool_status" -eq "$exit_usage" ]; then
    echo "skipped: sound encode does not dispatch the codec word rt24 yet"
    exit "$exit_skip"
fi
expect_done sound encode rt24 "$fixture" "$work/speech.bin" > "$work/encode.txt"
# Through the row "7491": the payload's size, then the record's.
[ "$(sed -n 1p "$work/encode.txt")" = "$(stat -c %s "$work/speech.bin") bytes" ] ||
    fail "encode lines: $(cat "$work/encode.txt")"
grep -q '^record 7491: [0-9]* bytes$' "$work/encode.txt" || fail "record line: $(cat "$work/encode.txt")"
# Header (16 bits, mono, 8000 Hz) and 226 frames of 54 bits in 1526 bytes: 222 whole frames, a short one and three
# of zeros.
[ "$(stat -c %s "$work/speech.bin")" -eq $((8 + 1526)) ] || fail "stored size $(stat -c %s "$work/speech.bin")"
cmp -s <(head -c 8 "$work/speech.bin") <(printf '\x10\x00\x01\x00\x40\x1f\x00\x00') || fail "stored header"

expect_done sound decode rt24 "$work/speech.bin" "$work/speech.wav" > /dev/null
samples() { echo $(( ($(stat -c %s "$1") - 44) / 2 )); }
[ "$(samples "$work/speech.wav")" -eq $((226 * 180)) ] || fail "decoded $(samples "$work/speech.wav") samples"
# An option runs the loop directly: at time scale 1 it gives the row's samples.
expect_done sound decode rt24 "$work/speech.bin" "$work/direct.wav" --time-scale 1 > "$work/decode.txt"
grep -Eq "$run_line" "$work/decode.txt" || fail "decode line: $(cat "$work/decode.txt")"
cmp -s <(tail -c +45 "$work/speech.wav") <(tail -c +45 "$work/direct.wav") || fail "the loop and the row decode apart"
expect_done sound decode rt24 "$work/speech.bin" "$work/half.wav" --time-scale 0.5 > /dev/null
expect_done sound decode rt24 "$work/speech.bin" "$work/double.wav" --time-scale 2 --lose 10,11,12 > /dev/null
half=$(samples "$work/half.wav")
double=$(samples "$work/double.wav")
[ "$half" -ge 20000 ] && [ "$half" -le 20700 ] || fail "time scale 0.5 gave $half samples"
[ "$double" -ge 81000 ] && [ "$double" -le 81500 ] || fail "time scale 2 gave $double samples"

expect_done sound compare --speech "$fixture" "$work/speech.wav" > "$work/compare.txt"
for measure in 'lag' 'voiced frames' 'F0 error' 'voicing disagreement' 'energy correlation' 'energy error' \
    'voiced log-spectral distance'; do
    grep -q "^$measure: " "$work/compare.txt" || fail "compare --speech prints no $measure"
done
lsd="$(sed -n 's/^voiced log-spectral distance: \([0-9.]*\) dB$/\1/p' "$work/compare.txt")"
awk -v d="$lsd" 'BEGIN { exit !(d > 0 && d <= 11.5) }' || fail "voiced log-spectral distance $lsd dB"

# Refusals: exactly the refusal or usage code and one line naming the file or argument and the cause.
# A sound of another rate is stored uncompressed through the row, which says why.
expect_done sound encode rt24 "$other_rate" "$work/raw.bin" > "$work/encode.txt"
expect_message "^RT24: RT24 takes 8000 Hz mono speech only; this sound is 22050 Hz Mono"
grep -q '^record 7499: ' "$work/encode.txt" || fail "no fallback record: $(cat "$work/encode.txt")"
expect_refused sound encode rt24 "$work/none.wav" "$work/bad.bin"
expect_message "cannot read $work/none.wav: No such file or directory"
expect_usage sound decode rt24 "$work/speech.bin" "$work/bad.wav" --time-scale 6
expect_message '--time-scale must be a number from 0.2 to 5, not "6"'
expect_usage sound decode rt24 "$work/speech.bin" "$work/bad.wav" --lose 3,x
expect_message '--lose must be a whole number'
head -c 5 "$work/speech.bin" > "$work/cut.bin"
expect_refused sound decode rt24 "$work/cut.bin" "$work/bad.wav"
expect_message "cannot decode $work/cut.bin with scheme rt24"
expect_refused sound decode rt24 "$root/codecs/sound/tests/data/speech_22050_mono.wav" "$work/bad.wav"
expect_message "cannot decode .* with scheme rt24"
# The direct loop names what is wrong with the head.
expect_refused sound decode rt24 "$work/cut.bin" "$work/bad.wav" --time-scale 1
expect_message "cannot decode $work/cut.bin: shorter than its 8-byte header"
expect_refused sound decode rt24 "$root/codecs/sound/tests/data/speech_22050_mono.wav" "$work/bad.wav" --time-scale 1
expect_message "cannot decode .*: not RT24 data"
[ ! -e "$work/bad.wav" ] || fail "a refused decode left a file"
expect_refused sound compare --speech "$fixture" "$other_rate"
expect_message "cannot compare $fixture with $other_rate: they differ in rate"
echo "rt24 tool ok"
