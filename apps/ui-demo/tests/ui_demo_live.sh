#!/usr/bin/env bash
# vortan-ui-demo --live on its own X server: the scripts run in real windows, the controls dialog read back from the
# server equals the headless picture pixel for pixel, and the services window runs until its time is up.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
# A test machine may have no sound card, and its audio library says so on stderr; sound goes to a file instead.
# (SDL's "dummy" driver would do too, but its thread now and then crashes LeakSanitizer's tracer at exit.)
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null

run_tool --live --xvfb --exit-after 1500 "$work/out" > "$work/report.txt"
if [ "$tool_status" -eq "$exit_skip" ]; then
    cat "$work/report.txt"
    exit "$exit_skip"
fi
[ "$tool_status" -eq 0 ] || { cat "$work/report.txt" "$tool_err" >&2; fail "exit $tool_status"; }
grep -q '^live equals headless: yes ' "$work/report.txt" || fail "$(grep '^live equals' "$work/report.txt")"
grep -q '^scripts done; the services window is open$' "$work/report.txt" || fail "the scripts did not finish"
for picture in controls live-controls states frame drag-end; do
    [ -s "$work/out/$picture.png" ] || fail "no $picture.png"
done

VORTAN_DISPLAY=headless expect_exit "$exit_skip" --live "$work/out" > "$work/headless.txt"
grep -q '^no display: VORTAN_DISPLAY=headless$' "$work/headless.txt" || fail "no reason given for the skip"
expect_usage --live --exit-after 0 "$work/out"
echo "ok"
