#!/usr/bin/env bash
# vortan-eventedit-shots --live on its own X server: every scene runs in real windows and its final picture, read
# back from the server, equals the layer's pixel for pixel. Then the refusals: no display, an unknown scene, an
# OUTDIR that cannot be written.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/shots_live.sh"

expect_live_shots drag-move drag-condition timeline timeline-zoom timeline-drag timeline-scrub event-editor-new \
    event-editor timer-dialog expression-editor condition-editor queue-editor stereo-editor stop-controller-editor \
    text-flag-10 text-flag-20 text-flag-40 text-flag-21 text-flag-34 text-flag-55 text-flag-56 background-solid \
    background-texture background-linear background-radial background-corners background-checker \
    play-sound-editor load-world-editor event-map event-map-elbows rubber-band two-maps rename walkthrough-1-event \
    walkthrough-2-action walkthrough-3-band walkthrough-4-aligned walkthrough-5-deleted
grep -q '^drop the empty map' "$work/out/trace.txt" || fail "the move's drop is not traced"
grep -q '^enter map object .action 25.' "$work/out/trace.txt" || fail "the condition's enter is not traced"
grep -q "^node '.*' runs a motion of type 2 for action .*, preview 1 from 1500 ms" "$work/out/trace.txt" ||
    fail "the scrub's rotation is not in the preview's dump"

expect_shots_refusals drag-sideways \
    'drag-move drag-condition timeline timeline-zoom timeline-drag timeline-scrub event-editor-new event-editor timer-dialog expression-editor condition-editor queue-editor stereo-editor stop-controller-editor text-flag-editors background-pages play-sound-editor load-world-editor event-map event-map-elbows rubber-band two-maps rename walkthrough'
echo "ok"
