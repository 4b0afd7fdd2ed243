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
# A loadable world that is missing, cut or damaged is refused, directly or through the thread, in one line that
# names its file and the cause; it used to say only "cannot load level2.vtn".
size=$(stat -c %s "$work/level2.vtn")
head -c $((size / 2)) "$work/world.vtn" > "$work/cut.vtn"
cp "$work/world.vtn" "$work/damaged.vtn"
printf 'X' | dd of="$work/damaged.vtn" bs=1 seek=$((size - 20)) conv=notrunc status=none
for flag in "" --threaded; do
    rm -f "$work/level2.vtn"
    expect_exit 3 load-sub "$work/world.vtn" level2 $flag
    grep -qx "vortan-world: cannot load $work/level2.vtn: No such file or directory" "$tool_err" ||
        fail "missing $flag: $(cat "$tool_err")"
    cp "$work/cut.vtn" "$work/level2.vtn"
    expect_exit 3 load-sub "$work/world.vtn" level2 $flag
    grep -Eqx "vortan-world: cannot load $work/level2.vtn: .*truncated.*" "$tool_err" ||
        fail "cut $flag: $(cat "$tool_err")"
    cp "$work/damaged.vtn" "$work/level2.vtn"
    expect_exit 3 load-sub "$work/world.vtn" level2 $flag
    grep -Eqx "vortan-world: cannot load $work/level2.vtn: .*checksum.*" "$tool_err" ||
        fail "damaged $flag: $(cat "$tool_err")"
done
expect_exit 2 load-sub "$work/world.vtn"
echo "load-sub ok"
