#!/usr/bin/env bash
# `vortan-inspect icon` over the committed seeds of the icon readers: size, hot spot and colours, a PNG written,
# and damaged, missing and unknown files refused with one line. Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
seeds="$root/fuzz/designer/corpus"

expect_done icon "$seeds/ico/cursor.cur" > "$work/out"
grep -qx 'size 4x2' "$work/out" || fail "cursor size: $(cat "$work/out")"
grep -qx 'hot spot 3,1' "$work/out" || fail "cursor hot spot: $(cat "$work/out")"
grep -qx 'opaque pixels 7' "$work/out" || fail "the mask: $(cat "$work/out")"

expect_done icon "$seeds/xpm/v3.xpm" --png "$work/v3.png" > "$work/out"
grep -qx 'colours 4' "$work/out" || fail "xpm colours: $(cat "$work/out")"
[ "$(head -c 4 "$work/v3.png" | tail -c 3)" = PNG ] || fail "no PNG written"

expect_done icon "$seeds/xbm/hot.xbm" > "$work/out"
grep -qx 'hot spot 9,1' "$work/out" || fail "xbm hot spot: $(cat "$work/out")"

head -c 30 "$seeds/ico/depth8.ico" > "$work/cut.ico"
expect_refused icon "$work/cut.ico"
expect_message "^vortan-inspect: $work/cut.ico: "
expect_refused icon "$work/missing.xbm"
expect_message "cannot read $work/missing.xbm"
cp "$seeds/xbm/hot.xbm" "$work/picture.gif"
expect_refused icon "$work/picture.gif"
expect_refused icon "$seeds/xpm/v2.xpm" --png "$work/no/such/folder/out.png"
[ ! -e "$work/no/such/folder/out.png" ] || fail "an output appeared"
expect_usage icon
expect_usage
