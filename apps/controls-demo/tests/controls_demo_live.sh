#!/usr/bin/env bash
# vortan-controls-demo --live on its own X server: the script runs in real windows, the dialog read back from the
# server equals the layer's picture pixel for pixel, the colour and font buttons open the live dialogs, and the
# dialog stays open until its time is up. Then the refusals: no display, a bad WAV file, bad arguments.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
# A test machine may have no sound card, and its audio library says so on stderr; sound goes to a file instead.
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null

run_tool --live --xvfb --exit-after 1500 "$work/out" > "$work/report.txt"
if [ "$tool_status" -eq "$exit_skip" ]; then
    cat "$work/report.txt"
    exit "$exit_skip"
fi
[ "$tool_status" -eq 0 ] || { cat "$work/report.txt" "$tool_err" >&2; fail "exit $tool_status"; }
grep -q '^live equals headless: yes ' "$work/report.txt" || fail "$(grep '^live equals' "$work/report.txt")"
grep -q '^every control reported: yes$' "$work/report.txt" || fail "a control sent nothing"
grep -q '^script done; the dialog is open$' "$work/report.txt" || fail "the script did not finish"
for picture in controls live-controls colour-dialog font-dialog; do
    [ -s "$work/out/$picture.png" ] || fail "no $picture.png"
done
# The drag leaves a value; typed 300 is refused at its last key, and the channel goes back to the drag's value
# rather than keeping the 30 typed on the way.
mapfile -t changed < <(grep '^1157 channel changed' "$work/out/controls-log.txt" | sed 's/.*: //')
[ "${#changed[@]}" -ge 4 ] && [ "${changed[0]}" = "${changed[-1]}" ] && [ "${changed[-2]}" = "0.1176" ] ||
    fail "typed 300 did not leave the channel as the drag left it: ${changed[*]}"

VORTAN_DISPLAY=headless expect_exit "$exit_skip" --live "$work/out" > "$work/headless.txt"
grep -q '^no display: VORTAN_DISPLAY=headless$' "$work/headless.txt" || fail "no reason given for the skip"
printf 'RIFF' > "$work/short.wav"
expect_refused --wav "$work/short.wav" "$work/out"
expect_message 'short.wav: not a WAV file the waveform control can draw$'
expect_usage --live --exit-after 0 "$work/out"
expect_usage --xvfb "$work/out"
echo "ok"
