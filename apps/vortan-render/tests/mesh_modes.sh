#!/usr/bin/env bash
# vortan-render mesh: each render mode draws the mesh with nothing skipped and a picture of its own; the Dot3 mode
# is queued per triangle; a near-plane cut clips the mesh and still draws; an OFF file loads; a nearer eye covers
# more of the frame, and repeated frames are dumped for the GL peer; bad input is refused.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

for mode in continuous flat gouraud phong dot3; do
    expect_done mesh "$work/$mode.png" --mesh torus --mode "$mode" --size 160x120 > "$work/$mode.txt"
    grep -Eq '^triangles=20480 visible=[1-9][0-9]* ' "$work/$mode.txt" || fail "$mode: the torus was not culled"
    grep -Eq '^drawn=[1-9][0-9]* pixels=[1-9][0-9]* skipped=0$' "$work/$mode.txt" || fail "$mode: nothing drawn"
done
for pair in "continuous gouraud" "gouraud phong" "gouraud dot3" "continuous flat"; do
    read -r a b <<< "$pair"
    cmp -s "$work/$a.png" "$work/$b.png" && fail "$a and $b give the same picture"
done
grep -q ' indexed=0 ' "$work/dot3.txt" || fail "Dot3 was handed over as an indexed list"

expect_done mesh "$work/cut.png" --mesh sphere --mode gouraud --near-cut --size 160x120 > "$work/cut.txt"
grep -Eq ' clipped=[1-9][0-9]* ' "$work/cut.txt" || fail "the near plane clipped nothing"
grep -Eq '^drawn=[1-9][0-9]* pixels=[1-9][0-9]* skipped=0$' "$work/cut.txt" || fail "the cut mesh did not draw"

printf 'OFF\n4 4 0\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n' > "$work/tetra.off"
expect_done mesh "$work/tetra.png" --mesh "$work/tetra.off" --mode flat --size 64x48 > "$work/tetra.txt"
grep -Eq '^triangles=4 visible=[1-9] ' "$work/tetra.txt" || fail "the OFF tetrahedron was not drawn"
grep -Eq '^drawn=[1-9][0-9]* pixels=[1-9][0-9]* ' "$work/tetra.txt" || fail "the OFF tetrahedron drew no pixel"

mkdir "$work/dump"
pixels_of() { sed -En 's/^drawn=[0-9]+ pixels=([0-9]+) .*/\1/p' "$1"; }
expect_done mesh "$work/near.png" --mesh cube --mode gouraud --size 64x48 --eye-distance 1.8 --frames 2 \
    --dump "$work/dump" --variant plain > "$work/near.txt"
expect_done mesh "$work/far.png" --mesh cube --mode gouraud --size 64x48 > "$work/far.txt"
(($(pixels_of "$work/near.txt") > 2 * $(pixels_of "$work/far.txt"))) || fail "the nearer eye did not cover more"
for name in frame-0000 frame-0001 mesh-0000 mesh-0001; do
    [[ -s "$work/dump/$name.bin" ]] || fail "mesh --dump wrote no $name.bin"
done
cmp -s "$work/near.png" "$work/far.png" && fail "the eye distance changed nothing"

printf 'OFF\n4 1 0\n0 0 0\n' > "$work/short.off"
expect_refused mesh "$work/x.png" --mesh "$work/short.off" --mode flat
expect_refused mesh "$work/x.png" --mesh "$work/none.off" --mode flat
expect_usage mesh "$work/x.png" --mesh cube --mode shiny
expect_usage mesh "$work/x.png" --mode flat
for distance in 1.1 101 2x ''; do
    expect_usage mesh "$work/x.png" --mesh cube --mode flat --eye-distance "$distance"
done
expect_usage mesh "$work/x.png" --mesh cube --mode flat --eye-distance 2 --near-cut
