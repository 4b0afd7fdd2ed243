#!/usr/bin/env bash
# The command line: the list names every scenario, help documents the line format, bad arguments are refused with
# the usage code and one clear message, never a crash.
source "$(dirname "$0")/lib/golden.sh"
tool=$1
"$tool" list > /tmp/trace_cli.$$ || fail "list failed"
for name in dispatch delays sequences conditions keys expressions clock xyz track keyframe; do
    grep -q "^$name " /tmp/trace_cli.$$ || fail "list does not name $name"
done
rm -f /tmp/trace_cli.$$
"$tool" --help | grep -q 'F<frame> <word> <details>' || fail "--help does not document the line format"
expect_usage() {
    local status=0 err
    err=$("$tool" "$@" 2>&1 >/dev/null) || status=$?
    [ "$status" -eq 2 ] || fail "exit $status, expected 2, from: vortan-trace $*"
    grep -Eq 'vortan-trace|usage' <<< "$err" || fail "no message from: vortan-trace $*"
    if grep -Eq 'Sanitizer|runtime error:' <<< "$err"; then fail "sanitizer report from: vortan-trace $*"; fi
}
expect_usage
expect_usage run
expect_usage run nosuch
expect_usage run keys --frames
expect_usage run keys --frames -1
expect_usage run keys --frames 12x
expect_usage run keys --dt 0
expect_usage run keys --bogus 1
expect_usage frobnicate
expect_usage expr
expect_usage gen
expect_usage gen bogus
expect_usage gen axis nothing=1
expect_usage gen sine period=x
expect_usage gen sine --frames -1
expect_usage gen sine --frames nan
expect_usage gen sine period=1e40
expect_usage gen axis loop=3e9
expect_usage gen random seed=-1
# gen: every kind prints a curve; an axis track of 90 over 100 ms reaches 90.
for kind in sine square triangle saw-up saw-down axis polynomial random property; do
    "$tool" gen "$kind" --frames 3 > /dev/null 2>&1 || fail "gen $kind failed"
done
"$tool" gen axis amount=90 duration=100 --dt 25 --frames 6 | grep -q '^t=100.0 value=90 ' || fail "gen axis: no 90 at 100 ms"
expect_usage gen random --seed
expect_usage gen random --seed -1
expect_usage gen random --seed 1.5
# The same seed draws the same random curve; another seed another.
a=$("$tool" gen random min=0 max=100 --seed 7 --frames 20) || fail "gen random --seed 7 failed"
b=$("$tool" gen random min=0 max=100 --seed 7 --frames 20) || fail "gen random --seed 7 failed"
c=$("$tool" gen random min=0 max=100 --seed 8 --frames 20) || fail "gen random --seed 8 failed"
[ "$a" = "$b" ] || fail "gen random: the same seed drew two curves"
[ "$a" != "$c" ] || fail "gen random: seeds 7 and 8 drew the same curve"
expect_usage expr "1" "2"
# expr: the value of a text that compiles; a text that does not is refused (exit 3) with its code and the value 0.
out=$("$tool" expr "(1+2)*lamp.count/box.width" 2>&1) || fail "expr of a valid text failed"
grep -qx 'code 0' <<< "$out" || fail "expr: no code 0 in: $out"
grep -qx 'value float 3.0000' <<< "$out" || fail "expr: wrong value in: $out"
status=0
out=$("$tool" expr "1 + 2" 2>&1) || status=$?
[ "$status" -eq 3 ] || fail "expr of a text with spaces: exit $status, expected 3"
grep -qx 'code 1' <<< "$out" || fail "expr: no code 1 in: $out"
if grep -Eq 'Sanitizer|runtime error:' <<< "$out"; then fail "sanitizer report from expr"; fi
"$tool" run keys --frames 0 --dt 10 > /dev/null || fail "a run of no frames failed"
echo ok
