#!/usr/bin/env bash
# The committed Tonalwave and SC36 table files are the ones docs/sound-tables.md records: each file's SHA-256 stands in the
# note's table. Called with the tool's path (unused) and the source folder.
set -euo pipefail
root="$2"
fail() { echo "FAIL: $*" >&2; exit 1; }
note="$root/docs/sound-tables.md"
[ -f "$note" ] || fail "no provenance note"
count=0
for file in "$root"/codecs/sound/Tonalwave/tables/tonalwave_tables_*.cpp; do
    name="$(basename "$file")"
    sum="$(sha256sum "$file" | cut -d' ' -f1)"
    grep -q "^| $name | $sum |$" "$note" || fail "$name (SHA-256 $sum) is not the file the note records"
    count=$((count + 1))
done
[ "$count" -eq 4 ] || fail "expected four table files, found $count"
sc36="$root/codecs/sound/speech/sc36/tables/sc36_coding_tables.cpp"
sum="$(sha256sum "$sc36" | cut -d' ' -f1)"
grep -q "^| sc36_coding_tables.cpp | $sum |$" "$note" || fail "sc36_coding_tables.cpp (SHA-256 $sum) is not the file the note records"
head -1 "$sc36" | grep -qx "// vortan-train sc36 train --corpus CORPUS --out codecs/sound/speech/sc36/tables/sc36_coding_tables.cpp --passes 3" ||
    fail "sc36_coding_tables.cpp: first line names another command"
echo "sound tables: ok"
