#!/usr/bin/env bash
# vortan-d3d8-demo: the reference scene is drawn with every call succeeding, the call log names each kind of call
# the scene makes, the picture is repeatable, and presenting it field by field through one-row rectangles gives
# the same picture as presenting it whole.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

expect_done "$work/scene.png" > "$work/calls.txt"
[ -s "$work/scene.png" ] || fail "no picture written"
grep -Eq '= [1-9-]' "$work/calls.txt" && fail "a call of the scene failed: $(grep -E '= [1-9-]' "$work/calls.txt" | head -1)"
[ "$(grep -c '^DrawIndexedPrimitive(' "$work/calls.txt")" -eq 6 ] || fail "expected six draws"
for call in CreateDevice UpdateTexture BeginStateBlock EndStateBlock ApplyStateBlock DeleteStateBlock \
    'SetTransform(256' 'SetTransform(3' 'SetRenderState(7, 1)' 'SetTextureStageState(0, 1, 24)' 'Present(0, 0'; do
    grep -Fq "$call" "$work/calls.txt" || fail "no $call in the call log"
done

expect_done "$work/again.png" > /dev/null
cmp -s "$work/scene.png" "$work/again.png" || fail "the picture is not repeatable"

expect_done --interlaced "$work/fields.png" > "$work/field-calls.txt"
[ "$(grep -c '^Present(1, 1' "$work/field-calls.txt")" -eq 480 ] || fail "expected one Present per window row"
cmp -s "$work/scene.png" "$work/fields.png" || fail "field by field differs from the whole frame"

expect_usage
expect_usage --colour "$work/bad.png"
expect_message 'unknown argument "--colour"'
expect_refused "$work"
[ ! -e "$work/bad.png" ] || fail "a refused run wrote its output"
echo "ok"
