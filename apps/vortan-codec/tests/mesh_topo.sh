#!/usr/bin/env bash
# vortan-codec mesh topo: small meshes written here pass, an unreadable file fails, and every mesh of the public
# corpus (when fetched by scripts/fetch-test-data) passes or is refused with code 7, each within its time bound.
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

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
    line=$("$tool" mesh topo "$work/$mesh.off" --timeout-ms 20000)
    echo "$mesh: $line"
    [[ $line == *PASS* ]] || { echo "FAIL: $mesh did not pass"; exit 1; }
done
if "$tool" mesh topo "$work/truncated.off" > "$work/out.txt"; then
    echo "FAIL: a truncated OFF file passed"; exit 1
fi
grep -q '^FAIL cannot read' "$work/out.txt" || { echo "FAIL: no reason for the unreadable file"; exit 1; }

corpus=${VORTAN_TEST_DATA:-${XDG_CACHE_HOME:-$HOME/.cache}/vortan-test-data}/mesh
if [ ! -d "$corpus" ]; then
    echo "mesh corpus absent ($corpus): corpus part skipped"
    exit 0
fi
failures=0
count=0
for mesh in "$corpus"/*.off; do
    count=$((count + 1))
    status=0
    line=$("$tool" mesh topo "$mesh" --timeout-ms 120000) || status=$?
    echo "$(basename "$mesh"): $line"
    if [ "$status" -ne 0 ] && [ "$status" -ne 3 ]; then
        failures=$((failures + 1))
    fi
done
echo "corpus: $count meshes, $failures failed"
[ "$failures" -eq 0 ]
