#!/usr/bin/env bash
# vortan-codec sound encode / decode sc3|sc6|sc3-6, sc36-layers info / extract / merge and trace sc36 on the 8000 Hz
# fixture, and the refusals. Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
fixture="$root/codecs/sound/tests/data/speech_8000_mono.wav"
other_rate="$root/codecs/sound/tests/data/speech_22050_mono.wav"
run_line='^frames [0-9]+, seconds [0-9.]+, bit/s [0-9.]+, ms [0-9.]+, realtime [0-9.]+x$'
samples() { echo $(( ($(stat -c %s "$1") - 44) / 2 )); }

# The fixture's sample count fixes the frame count: whole frames of 160 (the last one padded) and two of zeros.
fixture_samples=$(samples "$fixture")
# Whole frames, a short (or, after a whole number of frames, silent) one, and two of zeros.
frames=$(( fixture_samples / 160 + 1 + 2 ))

declare -A frame_bytes=([sc3]=8 [sc6]=16)
declare -A variant_byte=([sc3]='\x00' [sc6]='\x01' [sc3-6]='\x02')
for word in sc3 sc6 sc3-6; do
    expect_done sound encode "$word" "$fixture" "$work/$word.bin" > "$work/encode.txt"
    [ "$(sed -n 1p "$work/encode.txt")" = "$(stat -c %s "$work/$word.bin") bytes" ] ||
        fail "$word encode lines: $(cat "$work/encode.txt")"
    grep -q '^record 7490: [0-9]* bytes$' "$work/encode.txt" || fail "$word record: $(cat "$work/encode.txt")"
    cmp -s <(head -c 9 "$work/$word.bin") <(printf "${variant_byte[$word]}"'\x10\x00\x01\x00\x40\x1f\x00\x00') ||
        fail "$word stored header"
    size=$(( $(stat -c %s "$work/$word.bin") - 9 ))
    if [ "$word" = sc3-6 ]; then
        # Frames 0-19 with both layers, 20-39 with the base alone, and so on.
        enhanced=0
        for ((f = 0; f < frames; f++)); do (( (f / 20) % 2 == 0 )) && enhanced=$((enhanced + 1)); done
        want=$(( frames * 8 + enhanced * 8 ))
    else
        want=$(( frames * ${frame_bytes[$word]} ))
    fi
    [ "$size" -eq "$want" ] || fail "$word stored $size bytes of frames, expected $want"
    expect_done sound decode "$word" "$work/$word.bin" "$work/$word.wav" > /dev/null
    # An option runs the loop directly: at time scale 1 it gives the row's samples.
    expect_done sound decode "$word" "$work/$word.bin" "$work/direct.wav" --time-scale 1 > "$work/decode.txt"
    grep -Eq "$run_line" "$work/decode.txt" || fail "$word decode line: $(cat "$work/decode.txt")"
    cmp -s <(tail -c +45 "$work/$word.wav") <(tail -c +45 "$work/direct.wav") || fail "$word loop and row differ"
    # The decoder's first call outputs nothing.
    [ "$(samples "$work/$word.wav")" -eq $(( (frames - 1) * 160 )) ] ||
        fail "$word decoded $(samples "$work/$word.wav") samples"
    expect_done sound compare --speech "$fixture" "$work/$word.wav" > "$work/compare.txt"
    lsd="$(sed -n 's/^voiced log-spectral distance: \([0-9.]*\) dB$/\1/p' "$work/compare.txt")"
    awk -v d="$lsd" 'BEGIN { exit !(d > 0 && d <= 10.4) }' || fail "$word voiced log-spectral distance $lsd dB"
done

# Time scale and losses.
expect_done sound decode sc6 "$work/sc6.bin" "$work/double.wav" --time-scale 2 --lose 10,11,12 > /dev/null
double=$(samples "$work/double.wav")
[ "$double" -ge $(( (2 * frames - 2) * 160 )) ] && [ "$double" -le $(( 2 * frames * 160 )) ] ||
    fail "time scale 2 gave $double samples"
# The stored variant decides, and the tool says so.
expect_done sound decode sc3 "$work/sc6.bin" "$work/as_sc3.wav" --time-scale 1 > "$work/decode.txt"
grep -q "holds sc6 data; decoding it as sc6" "$work/decode.txt" || fail "no note on the variant: $(cat "$work/decode.txt")"
cmp -s <(tail -c +45 "$work/as_sc3.wav") <(tail -c +45 "$work/sc6.wav") || fail "the stored variant did not decide"
expect_done sound decode sc3 "$work/sc6.bin" "$work/as_sc3.wav" > /dev/null
cmp -s "$work/as_sc3.wav" "$work/sc6.wav" || fail "the row did not decode by the stored variant"

# Layers: info, the base layers of a sc6 file decoded as sc3, and base and enhancement merged back byte for byte.
expect_done sound sc36-layers info "$work/sc6.bin" > "$work/info.txt"
grep -q "^variant sc6, frames $frames, layers 3, bit/s 6400.0$" "$work/info.txt" || fail "info: $(cat "$work/info.txt")"
expect_done sound sc36-layers info "$work/sc3-6.bin" > "$work/info.txt"
grep -q "^variant sc3-6, frames $frames, layers 3, " "$work/info.txt" || fail "info sc3-6: $(cat "$work/info.txt")"
expect_done sound sc36-layers extract 1 "$work/sc6.bin" "$work/base.bin" > /dev/null
expect_done sound sc36-layers info "$work/base.bin" > "$work/info.txt"
grep -q "^variant sc3, frames $frames, layers 1, bit/s 3200.0$" "$work/info.txt" || fail "base: $(cat "$work/info.txt")"
expect_done sound decode sc3 "$work/base.bin" "$work/base.wav" > /dev/null
[ "$(samples "$work/base.wav")" -eq $(( (frames - 1) * 160 )) ] || fail "base decoded $(samples "$work/base.wav")"
cmp -s "$work/base.wav" "$work/sc6.wav" && fail "the base layers alone decode exactly as both layers"
expect_done sound sc36-layers extract 2 "$work/sc6.bin" "$work/extra.bin" > /dev/null
expect_done sound sc36-layers merge "$work/base.bin" "$work/extra.bin" "$work/merged.bin" > /dev/null
cmp "$work/merged.bin" "$work/sc6.bin" || fail "merging the layers did not give the sc6 file back"

expect_done sound trace sc36 "$fixture" > "$work/trace.txt"
[ "$(wc -l < "$work/trace.txt")" -eq $(( (fixture_samples + 159) / 160 )) ] ||
    fail "trace lines: $(wc -l < "$work/trace.txt")"
grep -Eq '^frame 0: pv [0-9.]+ energy [0-9.]+ \| pitch [0-9]+ \([0-9.]+\) gain [0-9]+ voicing [0-9]+$' \
    "$work/trace.txt" || fail "trace line: $(head -1 "$work/trace.txt")"
grep -Eq 'pv 0\.[1-9]' "$work/trace.txt" || fail "no voiced frame in the trace"

# Refusals: exactly the refusal or usage code and one line naming the file or argument and the cause.
# A sound of another rate is stored uncompressed through the row, which says why.
expect_done sound encode sc6 "$other_rate" "$work/raw.bin" > "$work/encode.txt"
expect_message "^SC36: SC36 takes 8000 Hz mono speech only; this sound is 22050 Hz Mono"
grep -q '^record 7499: ' "$work/encode.txt" || fail "no fallback record: $(cat "$work/encode.txt")"
expect_refused sound encode sc3 "$work/none.wav" "$work/bad.bin"
expect_message "cannot read $work/none.wav: No such file or directory"
expect_usage sound decode sc6 "$work/sc6.bin" "$work/bad.wav" --time-scale 0.49
expect_message '--time-scale must be a number from 0.5 to 5, not "0.49"'
expect_usage sound decode sc6 "$work/sc6.bin" "$work/bad.wav" --lose 3,x
expect_message '--lose must be a whole number'
head -c 5 "$work/sc6.bin" > "$work/cut.bin"
expect_refused sound decode sc6 "$work/cut.bin" "$work/bad.wav"
expect_message "cannot decode $work/cut.bin with scheme sc6"
# The direct loop names what is wrong with the head.
expect_refused sound decode sc6 "$work/cut.bin" "$work/bad.wav" --time-scale 1
expect_message "cannot decode $work/cut.bin: shorter than its 9-byte header"
printf '\x07\x10\x00\x01\x00\x40\x1f\x00\x00' > "$work/variant.bin"
expect_refused sound decode sc6 "$work/variant.bin" "$work/bad.wav" --time-scale 1
expect_message "cannot decode $work/variant.bin: unknown SC36 variant 7"
printf '\x01\x10\x00\x02\x00\x40\x1f\x00\x00' > "$work/stereo.bin"
expect_refused sound decode sc6 "$work/stereo.bin" "$work/bad.wav" --time-scale 1
expect_message "cannot decode $work/stereo.bin: not SC36 data: 16 bits, 2 channels, 8000 Hz"
[ ! -e "$work/bad.wav" ] || fail "a refused decode left a file"
head -c $(( 9 + 16 * 3 + 12 )) "$work/sc6.bin" > "$work/cut_frame.bin"
expect_refused sound sc36-layers info "$work/cut_frame.bin"
expect_message "cannot read $work/cut_frame.bin: a frame is cut short or its layers are broken 12 bytes before the end"
expect_refused sound sc36-layers extract 1 "$work/cut_frame.bin" "$work/bad.bin"
expect_message "cannot extract from $work/cut_frame.bin: a frame is cut short"
expect_usage sound sc36-layers extract 4 "$work/sc6.bin" "$work/bad.bin"
expect_message 'MASK must be'
head -c $(( 9 + 80 )) "$work/extra.bin" > "$work/extra_short.bin"
expect_refused sound sc36-layers merge "$work/base.bin" "$work/extra_short.bin" "$work/bad.bin"
expect_message "cannot merge .*: the two hold [0-9]+ and 80 bytes"
expect_refused sound sc36-layers merge "$work/sc6.bin" "$work/extra.bin" "$work/bad.bin"
expect_message "cannot merge .*: the first must hold base layers"
[ ! -e "$work/bad.bin" ] || fail "a refused layer operation left a file"
expect_usage sound sc36-layers split "$work/sc6.bin"
expect_message 'usage: vortan-codec sound sc36-layers'
echo "sc36 tool ok"
