#!/usr/bin/env bash
# vortan-eventedit-shots --live on its own X server: every scene runs in real windows and its final picture, read
# back from the server, equals the layer's pixel for pixel. Then the refusals: no display, an unknown scene, an
# OUTDIR that cannot be written.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The display library's message-bus connection leaves a buffer behind at exit; nothing of ours is suppressed.
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
# A test machine may have no sound card, and its audio library says so on stderr; sound goes to a file instead.
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null

run_tool --live --xvfb "$work/out" > "$work/report.txt"
if [ "$tool_status" -eq "$exit_skip" ]; then
    cat "$work/report.txt"
    exit "$exit_skip"
fi
[ "$tool_status" -eq 0 ] || { cat "$work/report.txt" "$tool_err" >&2; fail "exit $tool_status"; }
[ "$(grep -c '^live equals headless: yes ' "$work/report.txt")" -eq 29 ] ||
    fail "$(grep '^live equals' "$work/report.txt")"
for scene in drag-move drag-condition timeline timeline-zoom timeline-drag timeline-scrub event-editor-new \
    event-editor timer-dialog expression-editor condition-editor queue-editor stereo-editor stop-controller-editor \
    text-flag-10 text-flag-20 text-flag-40 text-flag-21 text-flag-34 text-flag-55 text-flag-56 background-solid \
    background-texture background-linear background-radial background-corners background-checker \
    play-sound-editor load-world-editor; do
    [ -s "$work/out/live-$scene.png" ] || fail "no live-$scene.png"
done
grep -q '^drop the empty map' "$work/out/trace.txt" || fail "the move's drop is not traced"
grep -q '^enter map object .action 25.' "$work/out/trace.txt" || fail "the condition's enter is not traced"
grep -q "^node '.*' runs a motion of type 2 for action .*, preview 1 from 1500 ms" "$work/out/trace.txt" ||
    fail "the scrub's rotation is not in the preview's dump"

VORTAN_DISPLAY=headless expect_exit "$exit_skip" --live "$work/out" > "$work/headless.txt"
grep -q '^no display: VORTAN_DISPLAY=headless$' "$work/headless.txt" || fail "no reason given for the skip"
expect_usage "$work/out" drag-sideways
expect_message 'scenes: drag-move drag-condition timeline timeline-zoom timeline-drag timeline-scrub event-editor-new event-editor timer-dialog expression-editor condition-editor queue-editor stereo-editor stop-controller-editor text-flag-editors background-pages play-sound-editor load-world-editor$'
printf 'x' > "$work/file"
expect_refused "$work/file/out"
expect_message 'cannot write '
echo "ok"
