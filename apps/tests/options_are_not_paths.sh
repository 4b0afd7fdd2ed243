#!/usr/bin/env bash
# The tools that take one output path read an argument that starts with '-' as an option: one they do not know is
# refused with the usage code and nothing is made. "vortan-sample --help" wrote a project named "--help",
# "vortan-gfx-demo --help" a picture of that name, and "vortan-ui-demo --help" made a folder of that name and drew its
# pictures into it. Called with the paths of the tools.
set -euo pipefail
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
tool="$1"
source "$(dirname "$0")/../../testsupport/tools/run_tool.sh"
cd "$work"
for tool in "$@"; do
    for option in --help -h --out; do
        expect_usage "$option"
        grep -q '^usage: ' "$tool_err" || fail "no usage line from $(basename "$tool") $option: $(cat "$tool_err")"
        [ -z "$(ls -A "$work" | grep -v '^tool.err$')" ] || fail "$(basename "$tool") $option made: $(ls -A "$work")"
    done
done
echo "ok"
