#!/usr/bin/env bash
# vortan-codec mesh encode --stats: one row per stream whose fields account for every bit of it, and the integer
# coder's fields where the positions must have them (one vertex raw, the other four predicted). And mesh
# icosahedron, which writes the benchmarks' generated mesh for other tools.
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

# A square pyramid: a quadrilateral base and four triangles.
cp "$(dirname "$0")/data/pyramid.off" "$work/pyramid.off"

expect_done mesh encode "$work/pyramid.off" "$work/pyramid.px" --pos-bits 14 --stats > "$work/stats.txt"
cat "$work/stats.txt"
# Columns: stream bytes blocks absolute fixed table codes escapes other values entries escaped.
awk '$1 == "positions" || $1 == "topology" || $1 == "shape" {
         rows++
         if ($4 + $5 + $6 + $7 + $8 + $9 != 8 * $2) { print "bits of " $1 " do not add up"; bad = 1 }
     }
     $1 == "positions" && ($3 != 1 || $4 != 42 || $10 != 12 || $5 != 168) { print "position fields"; bad = 1 }
     END { if (rows != 3 || bad) exit 1 }' "$work/stats.txt" || fail "stats rows"
grep -q '^vertices 5 position-bits/vertex ' "$work/stats.txt" || fail "no per-vertex line"
# Without the option the tool prints its one line only.
[ "$(expect_done mesh encode "$work/pyramid.off" "$work/plain.px" --pos-bits 14 | wc -l)" -eq 1 ] || fail "stats without --stats"
cmp -s "$work/pyramid.px" "$work/plain.px" || fail "--stats changed the stream set"

# The benchmark's icosahedron as a file: level 2 has 320 triangles and 162 vertices, and codes like any mesh.
expect_done mesh icosahedron 2 "$work/ico.off" > /dev/null
head -n 2 "$work/ico.off" | tail -n 1 | grep -q '^162 320 ' || fail "icosahedron counts"
[[ $(expect_done mesh roundtrip "$work/ico.off" --pos-bits 12) == *"maps OK"* ]] || fail "icosahedron round trip"
expect_usage mesh icosahedron 11 "$work/big.off"
expect_message 'LEVELS must be a whole number from 0 to 10'
[ ! -e "$work/big.off" ] || fail "a refused level left a mesh"
echo "mesh stats tool: ok"
