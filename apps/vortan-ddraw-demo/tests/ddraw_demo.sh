#!/usr/bin/env bash
# vortan-ddraw-demo: at each depth the gradient reaches the visible client area and nothing else, one picture per
# depth is written, and what the depths show differs (each is converted for its own format).
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

expect_done "$work/out" > "$work/report.txt"
for depth in 8 16 24 32; do
    [ -s "$work/out/ddraw-$depth.png" ] || fail "no picture at depth $depth"
    grep -Eq "^depth $depth: presented yes, client pixels [1-9][0-9]*, pixels changed outside the visible client area 0$" \
        "$work/report.txt" || fail "depth $depth: $(grep "^depth $depth:" "$work/report.txt")"
done
cmp -s "$work/out/ddraw-8.png" "$work/out/ddraw-32.png" && fail "depth 8 shows what depth 32 shows"
cmp -s "$work/out/ddraw-16.png" "$work/out/ddraw-32.png" && fail "depth 16 shows what depth 32 shows"

expect_usage
expect_usage --depth
touch "$work/file"
expect_refused "$work/file"
expect_message "cannot write $work/file"
echo "ok"
