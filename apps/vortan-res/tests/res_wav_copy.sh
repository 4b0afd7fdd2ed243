#!/usr/bin/env bash
# Every wave fixture through `vortan-res wav copy` in each stream mode: every copy is the file, bit for bit;
# `wav info` reports their format, and refuses a file that is not PCM wave with exit code 3. A copy whose input
# fails, at once or part way, leaves the output as it was.
# Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
data="$root/codecs/sound/tests/data"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

for file in "$data"/*.wav; do
    name="$(basename "$file" .wav)"
    for mode in 0 1 2; do
        expect_done wav copy "$file" "$work/$name.$mode.wav" --mode "$mode" > /dev/null
        cmp -s "$file" "$work/$name.$mode.wav" || fail "$name: mode $mode copy differs"
    done
done
[ "$(ls "$data"/*.wav | wc -l)" -ge 4 ] || fail "expected the sound fixtures"

info="$(expect_done wav info "$data/speech_8000_mono.wav")"
[ "$info" = "channels=1 rate=8000 bits=16 samples=40000" ] || fail "info: $info"

printf 'not a wave file' > "$work/text.wav"
expect_refused wav info "$work/text.wav"
expect_message "cannot read $work/text.wav: not a RIFF/WAVE file"
expect_usage wav copy "$work/text.wav" "$work/out.wav" --mode 3

# A folder, and a file whose every read fails (the process's own memory at address 0), in each mode: the old output
# stays, and the input, not the output, is blamed.
printf 'the old copy' > "$work/kept.wav"
mkdir "$work/folder"
for mode in 0 1 2; do
    expect_refused wav copy "$work/folder" "$work/kept.wav" --mode "$mode"
    expect_message "cannot read $work/folder: it is a folder, not a file"
    expect_refused wav copy /proc/self/mem "$work/kept.wav" --mode "$mode"
    expect_message "cannot read /proc/self/mem: "
    [ "$(cat "$work/kept.wav")" = "the old copy" ] || fail "mode $mode: a failed input replaced the output"
done
[ -z "$(find "$work" -name '.kept.wav.*')" ] || fail "a temporary file was left"
echo "wav copy ok"
