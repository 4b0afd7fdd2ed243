#!/usr/bin/env bash
# `vortan-project add-scene` with a scene that is not whole: missing, empty, cut short, or one whose sound record
# does not read. Each is refused with exit 3 and the cause, the file and the record left out named, and nothing is
# written; it once added the scene without its sound and said nothing.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

expect_done make-sample "$work/sample.vtp" > /dev/null
: > "$work/empty.vtn"
size=$(stat -c %s "$work/sample.vtn")
head -c $((size / 2)) "$work/sample.vtn" > "$work/cut.vtn"
python3 - "$2/bench" "$work/sample.vtn" "$work/mute.vtn" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
from hostile_worlds import read_document, tag, write_document
version, records = read_document(sys.argv[2])
sounds = [r for r in records if r[0] == tag("7403")]
assert len(sounds) == 1, "the sample has one sound"
sounds[0][3] = sounds[0][3][:6]
write_document(sys.argv[3], version, records)
PY
for case in "missing.vtn|No such file" "empty.vtn|the file is empty" "cut.vtn|truncated" \
    "mute.vtn|a record could not be read and was left out"; do
    scene="${case%%|*}"
    expect_refused add-scene "$work/sample.vtp" "$work/$scene" "$work/never.vtp" > /dev/null
    grep -q -- "$work/$scene: .*${case#*|}" "$tool_err" || fail "$scene: $(cat "$tool_err")"
    [ ! -e "$work/never.vtp" ] || fail "a refused scene was written into a project"
done
grep -q 'record [0-9]* "7403": sound does not read' "$tool_err" || fail "the sound is not named: $(cat "$tool_err")"
expect_done add-scene "$work/sample.vtp" "$work/sample.vtn" "$work/twice.vtp" > /dev/null
echo "add-scene refusals ok"
