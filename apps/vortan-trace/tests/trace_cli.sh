#!/usr/bin/env bash
# The command line: the list names every scenario, help documents the line format, bad arguments are refused with
# the usage code and one clear message, never a crash.
source "$(dirname "$0")/lib/golden.sh"
tool=$1
"$tool" list > /tmp/trace_cli.$$ || fail "list failed"
for name in dispatch delays sequences conditions keys; do
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
"$tool" run keys --frames 0 --dt 10 > /dev/null || fail "a run of no frames failed"
echo ok
