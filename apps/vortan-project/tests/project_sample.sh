#!/usr/bin/env bash
# `vortan-project make-sample`, `dump` and `roundtrip`: the sample project, with the sample scene added, reads back
# and is written byte for byte as it was, and its dump shows the project item's records with the merge record.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

expect_done make-sample "$work/sample.vtp" > "$work/made"
[ -s "$work/sample.vtn" ] || fail "the scene was not written beside the project"

expect_done dump "$work/sample.vtp" > "$work/dump"
expect_dump() { grep -Eq -- "$1" "$work/dump" || { cat "$work/dump" >&2; fail "no dump line matches '$1'"; }; }
expect_dump '^header version=0942 seed=0x[0-9a-f]{8} flags=1 bytes=[0-9]+ records=[0-9]+$'
expect_dump '^2PRJ length=[0-9]+$'
expect_dump '^  PSET length=[0-9]+$'
expect_dump '^    object-name=".*" author=".*" organization=".*" metrics=2 apply-to-all=1 html=1$'
expect_dump '^  PADD length=[0-9]+$'
expect_dump '^    name="sample.vtn" file=".*/sample.vtn" url="" limit-flag=0 limit=1 options=0,0,0,0,0,0,0,0,0 '
expect_dump '^    MREC file=".*/sample.vtn" entries=[1-9][0-9]*$'
expect_dump '^      node\(0\) id=[1-9][0-9]* name=".+" in-file=".+"$'
expect_dump '^      texture\(1\) id=0 name=".+"'
expect_dump '^      material\(2\) id=0 name=".+"'
expect_dump '^world version=951 nodes=[1-9][0-9]* events=[0-9]+ textures=[1-9][0-9]* materials=[1-9][0-9]* '
expect_dump '^  PLAY length=[0-9]+ \(read by its handler\)$'
expect_dump '^project added-files=1 kept-records=0$'

expect_done roundtrip "$work/sample.vtp" "$work/again.vtp" > "$work/roundtrip"
grep -qx 'identical=yes' "$work/roundtrip" || { cat "$work/roundtrip" >&2; fail "the round trip changed the file"; }
cmp -s "$work/sample.vtp" "$work/again.vtp" || fail "roundtrip said identical but the files differ"
expect_usage roundtrip "$work/sample.vtp"

# add-scene: the scene once more beside what the project holds, its name kept, written to a new file only.
expect_done add-scene "$work/sample.vtp" "$work/sample.vtn" "$work/twice.vtp" > /dev/null
expect_done dump "$work/twice.vtp" > "$work/dump"
expect_dump '^project added-files=2 kept-records=0$'
expect_dump '^      node\(0\) id=[1-9][0-9]* name="meshnode0_1" in-file="meshnode0"$'
grep -q 'object-name="sample scene"' "$work/dump" && fail "the added scene named the project"
cmp -s "$work/sample.vtp" "$work/again.vtp" || fail "add-scene changed its input"
expect_usage add-scene "$work/sample.vtp" "$work/sample.vtn"

# Names typed relative to the folder the tool runs in are stored whole, as the designer's file dialog gives them: a
# project opened from elsewhere read them against its own working folder.
mkdir "$work/rel"
(cd "$work/rel" && expect_done make-sample here.vtp > /dev/null && expect_done add-scene here.vtp here.vtn again.vtp > /dev/null)
expect_done dump "$work/rel/again.vtp" > "$work/dump"
expect_dump "^    name=\"here.vtn\" file=\"$work/rel/here.vtn\" "
expect_dump "^    MREC file=\"$work/rel/here.vtn\" "
grep -q 'file="here.vtn"' "$work/dump" && fail "a relative name was stored"
echo "project sample ok"
