#!/usr/bin/env bash
# vortan-editors-shots --live on its own X server: every scene runs in real windows and its final picture, read
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

scenes="material-editor material-scrolled material-preview-only texture-editor texture-hotspots"
# Registered scenes follow in the order their sources register them.
scenes="$scenes controller-rotate controller-scale controller-keyframes controller-jump controller-vertex"
scenes="$scenes controller-target controller-speech controller-no-motion sphere-levels"
scenes="$scenes tooltip-editor tooltip-textures particle-editor particle-test sound-editor sound-editor-midi"
scenes="$scenes arcball-new arcball-target polynomial waveform waveform-colour property-generator"
scenes="$scenes trackball-left trackball-middle trackball-right trackball-global trackball-none"
scenes="$scenes world-details header-details scale-centre remove-files synchronise-files loaded-background"
scenes="$scenes loaded-background-warning property-add property-edit-bound property-cast-component"
scenes="$scenes background-details-solid background-details-texture background-details-linear"
scenes="$scenes background-details-radial background-details-corner background-details-checker"
run_tool --live --xvfb "$work/out" > "$work/report.txt"
if [ "$tool_status" -eq "$exit_skip" ]; then
    cat "$work/report.txt"
    exit "$exit_skip"
fi
[ "$tool_status" -eq 0 ] || { cat "$work/report.txt" "$tool_err" >&2; fail "exit $tool_status"; }
[ "$(grep -c '^live equals headless: yes ' "$work/report.txt")" -eq "$(echo $scenes | wc -w)" ] ||
    fail "$(grep '^live equals' "$work/report.txt")"
for scene in $scenes; do
    [ -s "$work/out/live-$scene.png" ] || fail "no live-$scene.png"
done
for mode in 2 3 4 5; do
    [ -s "$work/out/material-preview-mode$mode.png" ] || fail "no preview of render mode $mode"
done
grep -q '^took a picture of ' "$work/out/trace.txt" || fail "no hot-spot picture traced"
grep -q '^quality slider enabled$' "$work/out/trace.txt" || fail "the wavelet quality slider is not enabled"
grep -q '^scale-centre shows 2.000000 and 1.000000$' "$work/out/trace.txt" || fail "the sizes did not follow the typed one"
! grep -q '^NOT: ' "$work/out/trace.txt" || fail "$(grep '^NOT: ' "$work/out/trace.txt")"
[ -s "$work/out/tooltip-texture-three-lines.png" ] || fail "no tooltip texture of three lines"
for scene in controller-rotate controller-keyframes controller-vertex; do
    [ -s "$work/out/$scene-view.png" ] || fail "no 3D view of $scene"
done

VORTAN_DISPLAY=headless expect_exit "$exit_skip" --live "$work/out" > "$work/headless.txt"
grep -q '^no display: VORTAN_DISPLAY=headless$' "$work/headless.txt" || fail "no reason given for the skip"
expect_usage "$work/out" material-sideways
expect_message "scenes: $scenes\$"
printf 'x' > "$work/file"
expect_refused "$work/file/out"
expect_message 'cannot write '
echo "ok"
