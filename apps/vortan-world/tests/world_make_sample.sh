#!/usr/bin/env bash
# `vortan-world make-sample` with folders named: every mesh and picture is taken under its own name, and nothing of
# its own stands beside them; a file it cannot take is refused with exit 3, named, and nothing is written. A folder
# of one mesh gave the built-in cube and sphere, of three meshes two were taken, JPEG pictures were left out and
# pictures were renamed. Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/lib/run_tool.sh"

mkdir "$work/one" "$work/three" "$work/pictures" "$work/odd"
quad() { printf 'OFF\n4 1 0\n0 0 0\n1 0 0\n1 1 %s\n0 1 0\n4 0 1 2 3\n' "$1" > "$2"; }
quad 0 "$work/one/plate.off"
for name in first second third; do
    quad 1 "$work/three/$name.off"
done
cp "$root/codecs/image/tests/data/photo_96x64.png" "$work/pictures/photo.png"
cp "$root/fuzz/platform/corpus/jpeg_read/small_q90.jpg" "$work/pictures/small.jpg"

# The names the published file lists: its textures and meshes.
names() {
    expect_exit 0 publish "$1" "$work/listed.vto"
    awk '$1 == "texture" || $1 == "mesh" { print $1, $2 }' "$tool_out" | sort | tr '\n' ' '
}
expect_exit 0 make-sample "$work/one.vtn" --meshes "$work/one" --pictures "$work/pictures"
[ "$(names "$work/one.vtn")" = "mesh plate.off texture photo.png texture small.jpg " ] ||
    fail "one mesh, two pictures: $(names "$work/one.vtn")"
expect_exit 0 make-sample "$work/three.vtn" --meshes "$work/three"
names "$work/three.vtn" | grep -q "^mesh first.off mesh second.off mesh third.off texture " ||
    fail "three meshes: $(names "$work/three.vtn")"

# What it cannot take: a file of another kind, a picture that does not read, an empty folder.
cp "$work/one/plate.off" "$work/odd/notes.txt"
expect_exit 3 make-sample "$work/never.vtn" --meshes "$work/odd"
grep -qx "vortan-world: cannot take $work/odd/notes.txt: not an OFF mesh" "$tool_err" || fail "$(cat "$tool_err")"
head -c 40 "$work/pictures/photo.png" > "$work/odd/cut.png"
rm "$work/odd/notes.txt"
expect_exit 3 make-sample "$work/never.vtn" --pictures "$work/odd"
grep -q "^vortan-world: cannot take $work/odd/cut.png: " "$tool_err" || fail "$(cat "$tool_err")"
rm "$work/odd/cut.png"
expect_exit 3 make-sample "$work/never.vtn" --meshes "$work/odd"
grep -q "^vortan-world: cannot take $work/odd: the folder holds no file" "$tool_err" || fail "$(cat "$tool_err")"
[ ! -e "$work/never.vtn" ] || fail "a refused sample was written"
echo "make-sample ok"
