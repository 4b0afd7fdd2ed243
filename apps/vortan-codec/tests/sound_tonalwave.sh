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
    [ "$(sed -n 1p "$work/$model.enc.txt")" = "$(stat -c %s "$work/$model.bin") bytes" ] ||
        fail "$model encode lines: $(cat "$work/$model.enc.txt")"
    grep -q "^record 749[2-6]: [0-9]* bytes$" "$work/$model.enc.txt" || fail "$model record: $(cat "$work/$model.enc.txt")"
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
grep -q "^ac24: .* nominal .* bit/s, stored .* bit/s, encoded in .* ms, .*x realtime$" "$work/trace.txt" ||
    fail "ac24 trace run line: $(tail -1 "$work/trace.txt")"
cmp -s "$work/ac24.bin" "$work/trace.bin" || fail "the traced loop and the row stored different bytes"
grep -Eq '^frame 0: window [0-8], bandwidth [01], fine [01], gains \[[0-9 ]*\], period -?[0-9]*$' "$work/trace.txt" ||
    fail "trace: $(head -3 "$work/trace.txt")"
[ "$(grep -c '^frame ' "$work/trace.txt")" -gt 100 ] || fail "trace has too few frames"

# A sound of another layout is stored uncompressed through the row, which says why; the traced loop refuses it.
expect_done sound encode ac24 "$data/speech_8000_mono.wav" "$work/wrong.bin" > "$work/wrong.txt"
expect_message '^AC24: AC24 takes 22050 Hz mono sound only; this sound is 8000 Hz Mono'
grep -q '^record 7499: ' "$work/wrong.txt" || fail "no fallback record: $(cat "$work/wrong.txt")"
expect_done sound encode acs20 "$data/speech_22050_mono.wav" "$work/wrong.bin" > /dev/null
expect_message '^ACS20: ACS20 takes 11025 Hz stereo sound only; this sound is 22050 Hz Mono'
expect_refused sound encode ac24 "$data/speech_8000_mono.wav" "$work/refused.bin" --trace
expect_message 'cannot encode .*speech_8000_mono.wav: ac24 codes 22050 Hz with 1 channel, not 8000 Hz with 1'
[ ! -e "$work/refused.bin" ] || fail "a refused encode left its output"
expect_usage sound encode ac8 "$data/speech_8000_mono.wav"
expect_message 'usage: vortan-codec sound encode SCHEME IN.wav OUT.bin \[QUALITY\]'
echo "sound tonalwave: ok"
