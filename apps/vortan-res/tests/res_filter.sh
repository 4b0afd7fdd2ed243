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
echo "filter ok"
