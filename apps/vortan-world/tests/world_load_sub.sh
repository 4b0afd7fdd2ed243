#!/usr/bin/env bash
# `vortan-world load-sub`: the sample's loadable world (a copy of the sample itself, beside it) loaded directly and
# through the loader thread, what it added printed, and the world back to its node count once it is unloaded.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/lib/run_tool.sh"

expect_exit 0 make-sample "$work/world.vtn"
cp "$work/world.vtn" "$work/level2.vtn"
for mode in direct threaded; do
    flag=""
    [ "$mode" = threaded ] && flag="--threaded"
    expect_exit 0 load-sub "$work/world.vtn" level2 $flag
    expect_line "^loaded level2 $mode: 28 objects, nodes 14 -> 28$"
    expect_line '^  id=[0-9]+ name=object0$'
    expect_line '^unloaded: nodes 14 instances 0 entries 1$'
done
expect_exit 3 load-sub "$work/world.vtn" nosuch
rm "$work/level2.vtn"
expect_exit 3 load-sub "$work/world.vtn" level2 --threaded
expect_exit 2 load-sub "$work/world.vtn"
echo "load-sub ok"
