#!/usr/bin/env bash
# vortan-codec sound encode / decode / compare on a committed fixture, and the refusals of bad input.
# Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fixture="$root/codecs/sound/tests/data/speech_8000_mono.wav"

fail() { echo "FAIL: $*" >&2; exit 1; }

"$tool" sound encode wave "$fixture" "$work/q70.bin" 70 > "$work/encode.txt"
grep -Eq '^[0-9]+ bytes$' "$work/encode.txt" || fail "encode prints its size"
"$tool" sound decode wave "$work/q70.bin" "$work/q70.wav"
"$tool" sound compare "$fixture" "$work/q70.wav" > "$work/compare.txt"
grep -q '^length: ref 40000 frames, test 40000 frames$' "$work/compare.txt" || fail "lengths: $(cat "$work/compare.txt")"
grep -q '^lag: 0 frames$' "$work/compare.txt" || fail "lag"
snr="$(sed -n 's/^SNR: \([0-9.]*\) dB$/\1/p' "$work/compare.txt")"
[ -n "$snr" ] && awk -v s="$snr" 'BEGIN { exit !(s >= 30) }' || fail "SNR at quality 70 is '$snr'"
grep -q '^segmental SNR: ' "$work/compare.txt" || fail "segmental SNR"
grep -q '^log-spectral distance: ' "$work/compare.txt" || fail "log-spectral distance"

# Higher quality, more bytes.
"$tool" sound encode wave "$fixture" "$work/q100.bin" 100 > /dev/null
[ "$(stat -c %s "$work/q100.bin")" -gt "$(stat -c %s "$work/q70.bin")" ] || fail "quality 100 is not larger"

# Refusals: a quality out of range, a file that is no wave, a damaged stream, a missing stream.
if "$tool" sound encode wave "$fixture" "$work/bad.bin" 101 2> /dev/null; then fail "quality 101 accepted"; fi
if "$tool" sound encode wave "$work/encode.txt" "$work/bad.bin" 50 2> /dev/null; then fail "text file encoded"; fi
head -c 300 "$work/q70.bin" > "$work/cut.bin"
if "$tool" sound decode wave "$work/cut.bin" "$work/cut.wav" 2> /dev/null; then fail "cut stream decoded"; fi
if "$tool" sound decode wave "$work/none.bin" "$work/none.wav" 2> /dev/null; then fail "missing stream decoded"; fi
echo "sound tool ok"
