#!/usr/bin/env bash
# vortan-train tonalwave train on a small corpus: two runs on one and two threads write the same bytes, the source
# names the command and records every round, and bad arguments and unusable corpora are refused with their exit
# codes.
set -euo pipefail
train=$1
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "tonalwave_train: $*" >&2; exit 1; }

mkdir -p "$work/corpus/train" "$work/empty/train" "$work/stereo/train"
# Five files: two runs of sounds, which two threads code at once.
for name in a b c d e; do
    cp "$root/codecs/sound/tests/data/speech_8000_mono.wav" "$work/corpus/train/$name.wav"
done
cp "$root/codecs/sound/tests/data/music_11025_stereo.wav" "$work/stereo/train/a.wav"

"$train" tonalwave train --set 8k8 --corpus "$work/corpus" --out "$work/one.cpp" --passes 1 > "$work/log"
"$train" tonalwave train --passes 1 --out "$work/two.cpp" --corpus "$work/corpus" --set 8k8 --threads 2 > /dev/null
cmp -s "$work/one.cpp" "$work/two.cpp" || fail "one and two threads wrote different tables"
head -n 1 "$work/one.cpp" | grep -q -- "--set 8k8 --corpus DIR --out .*--passes 1$" || fail "the source does not name its command"
grep -q "^// round 0 validation: LSP .* main .* periodic .*; score 4.0000" "$work/one.cpp" ||
    fail "the source does not record the start"
grep -q "^// round 1 training: LSP .* main .* periodic " "$work/one.cpp" || fail "the source does not record the pass"
grep -q "^round 1 validation: LSP .*; score" "$work/log" || fail "the pass is not printed"
awk 'NR > 1 && length > 120 { exit 1 }' "$work/one.cpp" || fail "a provenance line is over 120 columns"
grep -q "kept$" "$work/log" || fail "the kept round is not named"
grep -q "StoredTables8k8()" "$work/one.cpp" || fail "not the 8k8 table function"
# 11025 Hz speech resampled from the same file trains the 11k10 set.
"$train" tonalwave train --set 11k10 --corpus "$work/corpus" --out "$work/eleven.cpp" --passes 1 --threads 2 > /dev/null
grep -q "StoredTables11k10()" "$work/eleven.cpp" || fail "not the 11k10 table function"

expect() {
    local code=$1
    shift
    local got=0
    "$train" tonalwave train "$@" > /dev/null 2> "$work/err" || got=$?
    [ "$got" = "$code" ] || fail "$* exited $got, not $code"
    [ -s "$work/err" ] || fail "$* gave no message"
}
expect 2 --set 16k16 --corpus "$work/corpus" --out "$work/x.cpp"
expect 2 --set 8k8 --corpus "$work/corpus" --out "$work/x.cpp" --passes 0
expect 2 --set 8k8 --corpus "$work/corpus" --out "$work/x.cpp" --passes 2x
expect 2 --set 8k8 --corpus "$work/corpus" --out "$work/x.cpp" --threads 0
expect 2 --set 8k8 --corpus "$work/corpus"
expect 3 --set 8k8 --corpus "$work/empty" --out "$work/x.cpp"
expect 3 --set 8k8 --corpus "$work/stereo" --out "$work/x.cpp"
[ ! -e "$work/x.cpp" ] || fail "a refused run wrote its output"
echo "tonalwave_train: ok"
