#!/usr/bin/env bash
# vortan-codec mesh encode / decode / roundtrip on a small committed mesh: the decoded mesh has the same
# counts, the round trip reports consistent maps, and damaged or missing stream-set files are refused.
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

# A square pyramid: a quadrilateral base and four triangles.
cp "$(dirname "$0")/data/pyramid.off" "$work/pyramid.off"

expect_done mesh encode "$work/pyramid.off" "$work/pyramid.px" --pos-bits 14 > /dev/null
expect_done mesh decode "$work/pyramid.px" "$work/decoded.off"
head -n 2 "$work/decoded.off" | tail -n 1 | grep -q '^5 5 ' || fail "decoded counts differ"
line=$(expect_done mesh roundtrip "$work/pyramid.off" --pos-bits 12)
echo "$line"
[[ $line == *"maps OK"* ]] || fail "maps"

# Refusals: exactly the refusal or usage code, and one line naming the file or argument and the cause.
head -c 20 "$work/pyramid.px" > "$work/cut.px"
expect_refused mesh decode "$work/cut.px" "$work/none.off"
expect_message "cannot read $work/cut.px: not a stream-set file"
[ ! -e "$work/none.off" ] || fail "a refused stream-set file left a mesh"
expect_usage mesh encode "$work/pyramid.off" "$work/bad.px" --pos-bits 30
expect_message 'PXERR_INVALIDPARAMETER'
expect_usage mesh encode "$work/pyramid.off" "$work/bad.px" --pos-bits 4294967296
expect_message '--pos-bits must be a whole number from 0 to 4294967295, not "4294967296"'
expect_usage mesh encode "$work/pyramid.off" "$work/bad.px" --tex-bits -1
expect_message '--tex-bits must be a whole number'
expect_usage mesh encode "$work/pyramid.off"
expect_refused mesh encode "$work/none.off" "$work/bad.px"
expect_message "cannot read $work/none.off: No such file or directory"
expect_refused mesh encode "$work" "$work/bad.px"
expect_message "cannot read $work: it is a folder"
expect_refused mesh decode "$work/pyramid.px" "$work/missing/out.off"
expect_message "cannot write $work/missing/out.off: No such file or directory"
printf 'OFF\n3 1 0\n0 0 0\n' > "$work/cut.off"
expect_refused mesh roundtrip "$work/cut.off" > "$work/out.txt"
grep -q "^FAIL cannot read $work/cut.off: " "$work/out.txt" || fail "roundtrip gives no reason for a cut mesh"
[ ! -e "$work/bad.px" ] || fail "a refused run left a stream-set file"
echo "mesh roundtrip tool: ok"
