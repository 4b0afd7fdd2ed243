#!/usr/bin/env bash
# vortan-train sc36: the bootstrap source names its command, a training run on a tiny corpus is repeatable byte for
# byte, and refusals write nothing. Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$tool" sc36 bootstrap --out "$work/boot.cpp" > /dev/null
head -1 "$work/boot.cpp" | grep -qx "// vortan-train sc36 bootstrap --out codecs/sound/speech/sc36/tables/sc36_coding_tables.cpp" ||
    fail "bootstrap first line: $(head -1 "$work/boot.cpp")"
cmp -s "$work/boot.cpp" "$root/codecs/sound/speech/sc36/tables/sc36_coding_tables.cpp" &&
    fail "the committed tables are the bootstrap tables"

# The 8000 Hz fixture stands in for a corpus; one pass, twice.
mkdir -p "$work/corpus/train"
cp "$root/codecs/sound/tests/data/speech_8000_mono.wav" "$work/corpus/train/a.wav"
"$tool" sc36 train --corpus "$work/corpus" --out "$work/one.cpp" --passes 1 > "$work/log1"
"$tool" sc36 train --corpus "$work/corpus" --out "$work/two.cpp" --passes 1 > /dev/null
cmp -s "$work/one.cpp" "$work/two.cpp" || fail "two training runs differ"
grep -q '^pass 1 ' "$work/log1" || fail "no pass line: $(cat "$work/log1")"

status=0
mkdir -p "$work/empty/train"
"$tool" sc36 train --corpus "$work/empty" --out "$work/x.cpp" 2> "$work/err" || status=$?
[ "$status" -eq 3 ] || fail "an empty corpus exited $status"
[ ! -e "$work/x.cpp" ] || fail "a refused run wrote its output"
cp "$root/codecs/sound/tests/data/speech_22050_mono.wav" "$work/empty/train/b.wav"
status=0
"$tool" sc36 train --corpus "$work/empty" --out "$work/x.cpp" 2> "$work/err" || status=$?
[ "$status" -eq 3 ] || fail "a 22050 Hz file exited $status"
grep -q 'is not 16-bit mono at 8000 or 16000 Hz' "$work/err" || fail "22050 Hz message: $(cat "$work/err")"
[ ! -e "$work/x.cpp" ] || fail "a refused run wrote its output"
status=0
"$tool" sc36 train --corpus "$work/corpus" --out "$work/x.cpp" --passes 0 2> /dev/null || status=$?
[ "$status" -eq 2 ] || fail "--passes 0 exited $status"
echo "train sc36: ok"
