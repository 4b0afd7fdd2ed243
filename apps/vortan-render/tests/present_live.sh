#!/usr/bin/env bash
# vortan-render present --live on its own X server: the orbiting frames are shown in a real window, and the window
# read back from the server equals the headless picture pixel for pixel, at 32 bits and at the dithered 8 bits; a
# run told to end by a signal ends at once.
# Skipped (77) only when no X server can be started; a forced headless display is refused with its reason.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null

run_tool present "$work/live32.png" --depth 32 --size 160x120 --frames 3 --xvfb > "$work/live32.txt"
if [ "$tool_status" -eq "$exit_skip" ]; then
    cat "$work/live32.txt"
    exit "$exit_skip"
fi
[ "$tool_status" -eq 0 ] || { cat "$work/live32.txt" "$tool_err" >&2; fail "exit $tool_status"; }
grep -q "^live=$work/live32.live.png equals_headless=yes " "$work/live32.txt" ||
    fail "32 bits: $(grep '^live=' "$work/live32.txt" || echo 'no live picture')"
[ "$(grep -c '^frame=' "$work/live32.txt")" -eq 3 ] || fail "32 bits: not three frames"
if [ -n "${VORTAN_KEEP_SHOT:-}" ]; then cp "$work/live32.live.png" "$VORTAN_KEEP_SHOT"; fi

expect_done present "$work/live8.png" --depth 8 --size 160x120 --xvfb > "$work/live8.txt"
grep -q '^live=.* equals_headless=yes ' "$work/live8.txt" || fail "8 bits: $(grep '^live=' "$work/live8.txt")"
cmp -s "$work/live8.live.png" "$work/live32.live.png" && fail "the 8-bit window shows the 32-bit frame"

# Told to end (SIGTERM, then SIGINT) while it draws a long run: the window is asked to close and the run ends
# within two seconds with exit 0, writing no picture. It used to draw on until killed.
for signal in TERM INT; do
    expect_ends_on_signal "$signal" '^frame=0 ' present "$work/ended.png" --depth 32 --size 160x120 --frames 1000 --xvfb
    grep -q '^closed: the window was asked to close after frame [0-9]*$' "$tool_out" ||
        fail "SIG$signal: $(tail -n 1 "$tool_out")"
    [ ! -e "$work/ended.png" ] || fail "SIG$signal: an interrupted run wrote its picture"
done

VORTAN_DISPLAY=headless expect_exit "$exit_skip" present "$work/none.png" --depth 32 --live > "$work/headless.txt"
grep -q '^no display: VORTAN_DISPLAY=headless$' "$work/headless.txt" || fail "no reason given for the skip"
echo "present live: ok"
