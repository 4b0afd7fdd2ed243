#!/usr/bin/env bash
# vortan-codec mesh topo: small meshes written here pass, an unreadable file fails, and every mesh of the public
# corpus (fetched by scripts/fetch-test-data) passes or is refused with code 7, each within its time bound. Without
# the corpus the test fails in CI and is skipped elsewhere.
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

cat > "$work/quads.off" <<'MESH'
OFF
8 6 0
0 0 0
1 0 0
0 1 0
1 1 0
0 0 1
1 0 1
0 1 1
1 1 1
4 0 2 3 1
4 4 5 7 6
4 0 1 5 4
4 2 6 7 3
4 0 4 6 2
4 1 3 7 5
MESH
cat > "$work/bowtie.off" <<'MESH'
OFF
# two triangles sharing one vertex, and a vertex no face uses
6 2 0
0 0 0
1 0.5 0
1 -0.5 0
-1 0.5 0
-1 -0.5 0
9 9 9
3 0 2 1
3 0 3 4
MESH
printf 'OFF\n3 1 0\n0 0 0\n1 0 0\n' > "$work/truncated.off"

for mesh in quads bowtie; do
    line=$(expect_done mesh topo "$work/$mesh.off" --timeout-ms 20000)
    echo "$mesh: $line"
    [[ $line == *PASS* ]] || fail "$mesh did not pass"
done
expect_refused mesh topo "$work/truncated.off" > "$work/out.txt"
grep -q "^FAIL cannot read $work/truncated.off: " "$work/out.txt" || fail "no reason for the unreadable file"
expect_message "cannot read $work/truncated.off: "
expect_usage mesh topo "$work/quads.off" --timeout-ms 0
expect_message '--timeout-ms must be a whole number from 1 to'

# The saved stream: written when asked, and a failed write is a failed run, never a PASS.
expect_done mesh topo "$work/quads.off" --save-stream "$work/quads.topo" > /dev/null
[ -s "$work/quads.topo" ] || fail "no stream saved"
expect_refused mesh topo "$work/quads.off" --save-stream "$work/missing/quads.topo" > "$work/out.txt"
expect_message "cannot write $work/missing/quads.topo: No such file or directory"
if grep -q PASS "$work/out.txt"; then fail "a failed --save-stream still passed"; fi

corpus=${VORTAN_TEST_DATA:-${XDG_CACHE_HOME:-$HOME/.cache}/vortan-test-data}/mesh
if ! compgen -G "$corpus/*.off" > /dev/null; then
    skip_without_corpus "no mesh corpus in $corpus (the small meshes passed)"
fi
failures=0
count=0
for mesh in "$corpus"/*.off; do
    count=$((count + 1))
    line=$(run_tool mesh topo "$mesh" --timeout-ms 120000; echo "$tool_status")
    status=${line##*$'\n'}
    line=${line%$'\n'*}
    echo "$(basename "$mesh"): $line"
    # Passing, or refused as a geometry the codec does not carry (code 7); never an unreadable file or a failure.
    if [ "$status" -ne 0 ] && { [ "$status" -ne "$exit_refused" ] || [[ $line != *"REFUSED code 7"* ]]; }; then
        failures=$((failures + 1))
    fi
done
echo "corpus: $count meshes, $failures failed"
[ "$failures" -eq 0 ]
