#!/usr/bin/env bash
# The committed Tonalwave table files are the ones docs/sound-tables.md records: each file's SHA-256 stands in the
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
echo "sound tables: ok"
