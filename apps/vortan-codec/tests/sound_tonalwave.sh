#!/usr/bin/env bash
# vortan-codec sound encode|decode MODEL and compare: each model on the fixture of its rate and channels (the output
# a whole number of frames, lag 2N, segmental SNR above a floor), lost frames on decode, the per-frame trace, and
# the refusal of a file whose rate or channels the model does not take. Called with the tool's path and the source
# folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
data="$root/codecs/sound/tests/data"

# model, fixture, frame size, segmental SNR floor (dB)
while read -r model fixture frame floor; do
    expect_done sound encode "$model" "$data/$fixture" "$work/$model.bin" > "$work/$model.enc.txt"
    grep -q "^$model: .* nominal .* bit/s, stored .* bit/s, encoded in .* ms, .*x realtime$" "$work/$model.enc.txt" ||
        fail "$model encode line: $(cat "$work/$model.enc.txt")"
    expect_done sound decode "$model" "$work/$model.bin" "$work/$model.wav" > "$work/$model.dec.txt"
    expect_done sound compare "$data/$fixture" "$work/$model.wav" > "$work/$model.cmp.txt"
    grep -q "^lag: $((2 * frame)) frames$" "$work/$model.cmp.txt" || fail "$model lag: $(cat "$work/$model.cmp.txt")"
    test_frames=$(sed -n 's/^length: ref [0-9]* frames, test \([0-9]*\) frames$/\1/p' "$work/$model.cmp.txt")
    [ $((test_frames % frame)) -eq 0 ] || fail "$model output of $test_frames frames is not whole frames"
    snr=$(sed -n 's/^segmental SNR: \(-\?[0-9.]*\) dB$/\1/p' "$work/$model.cmp.txt")
    awk -v s="$snr" -v f="$floor" 'BEGIN { exit !(s >= f) }' || fail "$model segmental SNR $snr below $floor"
done <<'LIST'
ac8 speech_8000_mono.wav 512 3.5
ac10 speech_11025_mono.wav 512 4.1
acs20 music_11025_stereo.wav 512 6.3
ac24 speech_22050_mono.wav 1024 5.9
acs48 music_22050_stereo.wav 1024 9.0
LIST

# The same input gives the same bytes; lost frames still decode to the same length.
expect_done sound encode ac8 "$data/speech_8000_mono.wav" "$work/again.bin" > /dev/null
cmp -s "$work/ac8.bin" "$work/again.bin" || fail "two encodes of one file differ"
expect_done sound decode ac8 "$work/ac8.bin" "$work/lost.wav" --lose 3,4,5 > /dev/null
[ "$(stat -c %s "$work/lost.wav")" -eq "$(stat -c %s "$work/ac8.wav")" ] || fail "lost frames changed the length"

expect_done sound encode ac24 "$data/speech_22050_mono.wav" "$work/trace.bin" --trace > "$work/trace.txt"
grep -Eq '^frame 0: window [0-8], bandwidth [01], fine [01], gains \[[0-9 ]*\], period -?[0-9]*$' "$work/trace.txt" ||
    fail "trace: $(head -3 "$work/trace.txt")"
[ "$(grep -c '^frame ' "$work/trace.txt")" -gt 100 ] || fail "trace has too few frames"

expect_refused sound encode ac24 "$data/speech_8000_mono.wav" "$work/wrong.bin"
expect_message 'cannot encode .*speech_8000_mono.wav: ac24 codes 22050 Hz with 1 channel, not 8000 Hz with 1'
[ ! -e "$work/wrong.bin" ] || fail "a refused encode left its output"
expect_refused sound encode acs20 "$data/speech_22050_mono.wav" "$work/wrong.bin"
expect_message 'acs20 codes 11025 Hz with 2 channels, not 22050 Hz with 1'
expect_usage sound encode ac8 "$data/speech_8000_mono.wav"
expect_message 'usage: vortan-codec sound encode MODEL IN.wav OUT.bin \[--trace\]'
echo "sound tonalwave: ok"
