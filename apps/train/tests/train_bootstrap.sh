#!/usr/bin/env bash
# vortan-train tonalwave bootstrap: every committed table file that the generator wrote is its output, byte for byte,
# and the command its first line names is the one that wrote it; a trained file names the training command (its
# values are checked by the tables test). Called with the tool's path and the source folder.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

for set in 8k8 8k6 11k10 22k24; do
    committed="$root/codecs/sound/Tonalwave/tables/tonalwave_tables_$set.cpp"
    "$tool" tonalwave bootstrap --set "$set" --out "$work/$set.cpp" > /dev/null
    if head -1 "$committed" | grep -q "^// vortan-train tonalwave train --set $set --corpus DIR --out codecs/sound/Tonalwave/tables/tonalwave_tables_$set.cpp\( --passes [0-9]*\)\{0,1\}$"; then
        continue
    fi
    cmp -s "$committed" "$work/$set.cpp" || fail "tonalwave_tables_$set.cpp is not the bootstrap output"
    head -1 "$committed" | grep -qx "// vortan-train tonalwave bootstrap --set $set --out codecs/sound/Tonalwave/tables/tonalwave_tables_$set.cpp" ||
        fail "$set: first line names another command"
done
status=0
"$tool" tonalwave bootstrap --set 16k16 --out "$work/x.cpp" 2> "$work/err" || status=$?
[ "$status" -eq 2 ] || fail "set 16k16 exited $status"
grep -q 'SET must be 8k8, 8k6, 11k10 or 22k24' "$work/err" || fail "16k16 message: $(cat "$work/err")"
[ ! -e "$work/x.cpp" ] || fail "a refused run wrote its output"
status=0
"$tool" tonalwave bootstrap --set 8k8 2> "$work/err" || status=$?
[ "$status" -eq 2 ] || fail "a missing --out exited $status"
echo "train bootstrap: ok"
