#!/usr/bin/env bash
# `vortan-world roundtrip F F` and `vortan-project roundtrip F F` while another program writes F between their read
# and their write (in place, cut short, or a new file renamed over it): each refuses with exit 3 and leaves F as
# the other program left it; they once wrote over it. With F untouched they write it as before. The tools stop
# themselves before the write when VORTAN_TOOL_STOP_BEFORE_WRITE is set, so the change falls exactly there.
# Called with the paths of vortan-world and vortan-project.
set -euo pipefail
work="$(mktemp -d)"
trap 'kill -CONT $(jobs -p) 2> /dev/null || true; rm -rf "$work"' EXIT
tool="$1"
source "$(dirname "$0")/../../testsupport/tools/run_tool.sh"
expect_done make-sample "$work/sample.vtn" > /dev/null
tool="$2"
expect_done make-sample "$work/sample.vtp" > /dev/null

# Runs TOOL roundtrip F F stopped before its write, makes CHANGE to F meanwhile, then lets it go on: it must refuse
# and leave F as the change left it.
changed_meanwhile() {
    local file=$1 change=$2 pid state before
    VORTAN_TOOL_STOP_BEFORE_WRITE=1 "$tool" roundtrip "$file" "$file" > /dev/null 2> "$tool_err" &
    pid=$!
    state=""
    for _ in $(seq 600); do
        state=$(awk '{ print $3 }' "/proc/$pid/stat" 2> /dev/null || true)
        [ "$state" = T ] && break
        kill -0 "$pid" 2> /dev/null || break
        sleep 0.05
    done
    [ "$state" = T ] || fail "$(basename "$tool") never stopped before its write: $(cat "$tool_err")"
    case "$change" in
        in-place) printf 'X' | dd of="$file" bs=1 seek=30 conv=notrunc status=none ;;
        cut) truncate -s 100 "$file" ;;
        renamed) cp "$file" "$file.new" && mv "$file.new" "$file" ;;
    esac
    before=$(sha256sum < "$file")
    kill -CONT "$pid"
    tool_status=0
    wait "$pid" || tool_status=$?
    [ "$tool_status" -eq "$exit_refused" ] || fail "$change: exit $tool_status from $(basename "$tool"): $(cat "$tool_err")"
    grep -q "cannot write $file: it changed on disk after it was read" "$tool_err" || fail "$change: $(cat "$tool_err")"
    [ "$(sha256sum < "$file")" = "$before" ] || fail "$change: $(basename "$tool") wrote over the changed file"
}

for pair in "$1|$work/sample.vtn" "$2|$work/sample.vtp"; do
    tool="${pair%%|*}"
    file="${pair#*|}"
    cp "$file" "$work/kept"
    for change in in-place cut renamed; do
        cp "$work/kept" "$file"
        changed_meanwhile "$file" "$change"
    done
    cp "$work/kept" "$file"
    expect_done roundtrip "$file" "$file" > /dev/null
done
echo "ok"
