#!/usr/bin/env bash
# make-demo writes a world that roundtrip saves twice to identical bytes and that file runs for 120 frames, firing
# its start, timer, trigger and stop events; a missing file is refused with exit 3, a bad option with exit 2.
source "$(dirname "$0")/lib/golden.sh"
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() { # run NAME ARGS...: the tool's output in $work/NAME.out, its exit status in $work/NAME.status
    local name=$1
    shift
    local status=0
    "$tool" "$@" > "$work/$name.out" 2> "$work/$name.err" || status=$?
    echo "$status" > "$work/$name.status"
    if [ "$status" -eq "$exit_sanitizer" ] ||
        grep -Eq 'ERROR: (Address|Leak|Memory|Thread)Sanitizer|runtime error:' "$work/$name.err"; then
        cat "$work/$name.err" >&2
        fail "sanitizer report from: vortan-trace $*"
    fi
}

run demo make-demo "$work/demo.vtn"
[ "$(cat "$work/demo.status")" -eq 0 ] || fail "make-demo failed: $(cat "$work/demo.err")"
run round roundtrip "$work/demo.vtn"
[ "$(cat "$work/round.status")" -eq 0 ] || fail "roundtrip: $(cat "$work/round.out")"
grep -q '^identical: ' "$work/round.out" || fail "roundtrip printed: $(cat "$work/round.out")"

run file file "$work/demo.vtn" --frames 120 --save "$work/again.vtn"
[ "$(cat "$work/file.status")" -eq 0 ] || fail "file failed: $(cat "$work/file.err")"
[ "$(grep -c ' dispatch step$' "$work/file.out")" -eq 120 ] || fail "file did not run 120 frames"
grep -q '^F1 fire "start" by start$' "$work/file.out" || fail "no start event on frame 1"
grep -q '^F5 fire "timer" by timer "timer"$' "$work/file.out" || fail "no timer on frame 5"
grep -q '^F6 fire "poke" by trigger "poke"$' "$work/file.out" || fail "no trigger on frame 6"
grep -q '^F121 fire "stop" by stop$' "$work/file.out" || fail "no stop event on the frame after the last"
run round2 roundtrip "$work/again.vtn"
grep -q '^identical: ' "$work/round2.out" || fail "the world saved after running does not round-trip"

run missing file "$work/none.vtn"
[ "$(cat "$work/missing.status")" -eq 3 ] || fail "a missing file exits $(cat "$work/missing.status"), not 3"
grep -qx "vortan-trace: cannot read $work/none.vtn: No such file or directory" "$work/missing.err" ||
    fail "missing file: $(cat "$work/missing.err")"
# A bad argument is a usage error (2), as everywhere; -1 was refused as if the file were at fault.
for frames in many -1 1000001; do
    run option file "$work/demo.vtn" --frames "$frames"
    [ "$(cat "$work/option.status")" -eq 2 ] || fail "--frames $frames exits $(cat "$work/option.status"), not 2"
    grep -qx "vortan-trace: --frames must be a whole number from 0 to 1000000, not \"$frames\"" "$work/option.err" ||
        fail "--frames $frames: $(cat "$work/option.err")"
done
# The read limit bounds what decoding makes beyond the stored bytes, never the file's own bytes: a world larger than
# the limit, with nothing that grows, reads (the refusal of a bomb is vortan-world's roundtrip test).
run limited file "$work/demo.vtn" --frames 1 --max-bytes 100
[ "$(cat "$work/limited.status")" -eq 0 ] || fail "--max-bytes 100 exits $(cat "$work/limited.status"): $(cat "$work/limited.err")"
# A folder as the saved file: the writer's message, once.
run save file "$work/demo.vtn" --frames 1 --save "$work"
[ "$(cat "$work/save.status")" -eq 3 ] || fail "saving over a folder exits $(cat "$work/save.status"), not 3"
grep -qx "vortan-trace: cannot write $work: it is a folder, not a file" "$work/save.err" ||
    fail "saving over a folder: $(cat "$work/save.err")"
echo ok
