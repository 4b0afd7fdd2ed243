#!/usr/bin/env bash
# `vortan-inspect class` over the committed class seeds and, when it was fetched, a public library's classes; a cut
# class file is refused with one line. Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
seeds="$root/fuzz/designer/corpus/java_class"

expect_done class "$seeds/greeter.class" > "$work/out"
grep -qx 'class demo/Greeter' "$work/out" || fail "class name: $(cat "$work/out")"
grep -qx 'methods 1' "$work/out" || fail "constructor listed: $(cat "$work/out")"
grep -qx '  greet(Ljava/lang/String;)V' "$work/out" || fail "method line: $(cat "$work/out")"

expect_done class "$seeds/CharUtils.class" > "$work/out"
grep -qx 'methods 23' "$work/out" || fail "CharUtils: $(cat "$work/out")"

head -c 100 "$seeds/CharUtils.class" > "$work/cut.class"
expect_refused class "$work/cut.class"
expect_message "^vortan-inspect: $work/cut.class: "
expect_usage class

corpus="${VORTAN_TEST_DATA:-${XDG_CACHE_HOME:-$HOME/.cache}/vortan-test-data}/java"
[ -f "$corpus/.complete" ] || skip_without_corpus "the Java corpus is not fetched"
count=0
# Thirty of its classes through the tool; the reader's own test reads them all.
while IFS= read -r -d '' class; do
    expect_done class "$class" > /dev/null
    count=$((count + 1))
done < <(find "$corpus" -name '*.class' -print0 | sort -z | head -z -n 30)
[ "$count" -eq 30 ] || fail "only $count classes in the corpus"
