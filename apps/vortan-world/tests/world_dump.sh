#!/usr/bin/env bash
# `vortan-world dump` over committed container seeds: header fields and every record in pre-order, nested tags with
# -v, and damaged or cut files still listed as far as they frame, then refused. Called with the tool's path and the
# source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/lib/run_tool.sh"
seeds="$root/fuzz/core/corpus/container"

expect_exit 0 dump "$seeds/tree_project.vtn"
out="$(cat "$tool_out")"
grep -q '^header version=0942 .*flags=0x1 total=108 size=108' <<< "$out" || fail "header line: $out"
grep -q '^#3 tag=ZLEF parent=2 compression=0 stored=5 size=5$' <<< "$out" || fail "last record: $out"
grep -q '^records=4 end=yes trailing=0$' <<< "$out" || fail "summary: $out"

expect_exit 0 dump "$seeds/deflate.vtn" -v
out="$(cat "$tool_out")"
grep -q '^#0 tag=TEST parent=- compression=2 .* size=1200$' <<< "$out" || fail "deflated record: $out"
grep -q '(fields)' <<< "$out" || fail "flat payload not shown as fields: $out"

# One byte of the body changed: the checksum fails, the records still show.
cp "$seeds/tiny_plain.vtn" "$work/flipped.vtn"
printf 'X' | dd of="$work/flipped.vtn" bs=1 seek=36 conv=notrunc status=none
expect_exit 3 dump "$work/flipped.vtn"
out="$(cat "$tool_out")"
grep -q "damaged file" "$tool_err" || fail "no damage reported"
grep -q '^#0 tag=TEST ' <<< "$out" || fail "damaged file's record not listed: $out"

expect_exit 3 dump "$seeds/truncated.vtn"
out="$(cat "$tool_out")"
grep -q "truncated" "$tool_err" || fail "no truncation reported"
grep -q 'end=no' <<< "$out" || fail "cut file shows an end: $out"

# An empty file says it is empty, and one longer than its header says that it has bytes past its end: both were
# "truncated".
: > "$work/empty.vtn"
expect_exit 3 dump "$work/empty.vtn"
grep -qx "vortan-world: cannot read $work/empty.vtn: the file is empty" "$tool_err" || fail "empty: $(cat "$tool_err")"
cat "$seeds/tree_project.vtn" "$seeds/tree_project.vtn" > "$work/twice.vtn"
for command in dump roundtrip; do
    expect_exit 3 $command "$work/twice.vtn" $([ $command = dump ] || echo "$work/never.vtn")
    grep -qx "vortan-world: cannot read $work/twice.vtn: the file has 108 bytes past its end (its header says 108 \
bytes, it holds 216)" "$tool_err" || fail "$command of a file with bytes past its end: $(cat "$tool_err")"
done
[ ! -e "$work/never.vtn" ] || fail "a refused file was written"

expect_exit 3 dump "$work/missing.vtn"
grep -qx "vortan-world: cannot read $work/missing.vtn: No such file or directory" "$tool_err" ||
    fail "a missing file is not reported with its cause: $(cat "$tool_err")"
expect_exit 2 dump
expect_exit 2 dump "$seeds/tiny_plain.vtn" -x
echo "dump ok"
