#!/usr/bin/env bash
# `vortan-res filter` round trips of a few kinds of file through both filters, a damaged block refused with exit
# code 3, and the printed sizes matching the files. Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
field() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p" <<< "$2"; }

: > "$work/empty"
head -c 100000 /dev/zero > "$work/zeros"
cat "$root"/engine/resources/*.cpp > "$work/text"
cp "$root/codecs/sound/tests/data/speech_8000_mono.wav" "$work/speech"

for filter in lzss deflate; do
    for name in empty zeros text speech; do
        line="$(expect_done filter "$filter" encode "$work/$name" "$work/$name.$filter")"
        [ "$(field input "$line")" = "$(stat -c %s "$work/$name")" ] || fail "$filter $name: input size"
        [ "$(field output "$line")" = "$(stat -c %s "$work/$name.$filter")" ] || fail "$filter $name: output size"
        expect_done filter "$filter" decode "$work/$name.$filter" "$work/$name.back" > /dev/null
        cmp -s "$work/$name" "$work/$name.back" || fail "$filter $name: round trip differs"
    done
    # The zeros compress; text compresses less; the stored size comes first.
    line="$(expect_done filter "$filter" encode "$work/zeros" "$work/z")"
    awk -v r="$(field ratio "$line")" 'BEGIN { exit !(r < 0.2) }' || fail "$filter: zeros ratio $line"
    # A block cut short is refused, not decoded.
    head -c 40 "$work/text.$filter" > "$work/cut"
    expect_refused filter "$filter" decode "$work/cut" "$work/cut.out"
    [ ! -e "$work/cut.out" ] || fail "$filter: a refused block left an output"
done

# A block stating 2^31 - 1 bytes is refused before anything is reserved: by the default limit, by the one given, and
# past a given limit by what the block can reach.
head -c 100000 "$work/text" > "$work/some"
expect_done filter deflate encode "$work/some" "$work/huge" > /dev/null
printf '\xff\xff\xff\x7f' | dd of="$work/huge" bs=1 conv=notrunc status=none
expect_refused filter deflate decode "$work/huge" "$work/huge.out"
expect_message "cannot decode $work/huge: it states 2147483647 bytes, more than the limit of 268435456$"
expect_refused filter deflate decode "$work/huge" "$work/huge.out" --max-bytes 1000
expect_message "cannot decode $work/huge: it states 2147483647 bytes, more than the limit of 1000$"
expect_refused filter deflate decode "$work/huge" "$work/huge.out" --max-bytes 3000000000
expect_message "cannot decode $work/huge: stated size beyond what the block can hold$"
[ ! -e "$work/huge.out" ] || fail "a refused block left an output"
expect_usage filter deflate decode "$work/huge" "$work/huge.out" --max-bytes -1
expect_usage filter deflate decode "$work/huge" "$work/huge.out" --max-pixels 10
echo "filter ok"
