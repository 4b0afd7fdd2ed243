#!/usr/bin/env bash
# `vortan-project` on what is not a whole project: a cut file, a folder, a scene file, a missing file. Each is
# refused with exit 3 and one line naming the file and the cause, and nothing is written.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

expect_done make-sample "$work/sample.vtp" > /dev/null
size=$(stat -c %s "$work/sample.vtp")
head -c $((size / 2)) "$work/sample.vtp" > "$work/cut.vtp"
mkdir "$work/folder.vtp"

for input in cut.vtp folder.vtp sample.vtn missing.vtp; do
    for command in dump roundtrip; do
        if [ "$command" = dump ]; then
            expect_refused dump "$work/$input" > /dev/null
        else
            expect_refused roundtrip "$work/$input" "$work/never.vtp" > /dev/null
        fi
        expect_message "^vortan-project: .*$input: .+"
        [ ! -e "$work/never.vtp" ] || fail "a refused read wrote an output"
    done
done
expect_refused dump "$work/sample.vtn" > /dev/null
expect_message "sample.vtn: it is not a project file"
# A project that reads with a part left out is refused too, the part named: roundtrip once wrote it without the
# part, with exit 0, and over its source when OUT was IN.
python3 "$2/bench/mute_sound.py" "$work/sample.vtp" "$work/mute.vtp"
cp "$work/mute.vtp" "$work/mute.before"
for out in "$work/never.vtp" "$work/mute.vtp"; do
    expect_refused roundtrip "$work/mute.vtp" "$out" > /dev/null
    grep -q "^vortan-project: $work/mute.vtp: a record could not be read and was left out:$" "$tool_err" ||
        fail "$(cat "$tool_err")"
    grep -q '^record [0-9]* "7403": sound does not read$' "$tool_err" || fail "$(cat "$tool_err")"
done
cmp -s "$work/mute.vtp" "$work/mute.before" || fail "the project was written over without its sound"
[ ! -e "$work/never.vtp" ] || fail "a project with a part left out was written"

# An output that cannot be written is a refusal too, named once.
expect_refused roundtrip "$work/sample.vtp" "$work/folder.vtp" > /dev/null
expect_message "^vortan-project: cannot write $work/folder.vtp: it is a folder, not a file$"
echo "project refusals ok"
