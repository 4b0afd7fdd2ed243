#!/usr/bin/env bash
# vortan-codec mesh encode / decode / roundtrip on a small mesh written here: the decoded mesh has the same
# counts, the round trip reports consistent maps, and damaged or missing stream-set files are refused.
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat > "$work/pyramid.off" <<'MESH'
OFF
5 5 0
0 0 0
2 0 0
2 2 0
0 2 0
1 1 1.5
4 3 2 1 0
3 0 1 4
3 1 2 4
3 2 3 4
3 3 0 4
MESH

"$tool" mesh encode "$work/pyramid.off" "$work/pyramid.px" --pos-bits 14
"$tool" mesh decode "$work/pyramid.px" "$work/decoded.off"
head -n 2 "$work/decoded.off" | tail -n 1 | grep -q '^5 5 ' || { echo "FAIL: decoded counts differ"; exit 1; }
line=$("$tool" mesh roundtrip "$work/pyramid.off" --pos-bits 12)
echo "$line"
[[ $line == *"maps OK"* ]] || { echo "FAIL: maps"; exit 1; }

head -c 20 "$work/pyramid.px" > "$work/cut.px"
if "$tool" mesh decode "$work/cut.px" "$work/none.off" 2> "$work/err.txt"; then
    echo "FAIL: a cut stream-set file decoded"; exit 1
fi
if "$tool" mesh encode "$work/pyramid.off" "$work/bad.px" --pos-bits 30 2> "$work/err.txt"; then
    echo "FAIL: 30 position bits were accepted"; exit 1
fi
grep -q PXERR_INVALIDPARAMETER "$work/err.txt" || { echo "FAIL: no reason given"; cat "$work/err.txt"; exit 1; }
echo "mesh roundtrip tool: ok"
