#!/usr/bin/env bash
# vortan-editors-shots --live on its own X server: every scene runs in real windows and its final picture, read
# back from the server, equals the layer's pixel for pixel. Then the refusals: no display, an unknown scene, an
# OUTDIR that cannot be written.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/shots_live.sh"

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

expect_live_shots $scenes # unquoted: a word a scene
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

expect_shots_refusals material-sideways "$scenes"
echo "ok"
