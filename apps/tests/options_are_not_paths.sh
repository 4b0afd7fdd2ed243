#!/usr/bin/env bash
# Every tool reads an argument that starts with '-' as an option: one it does not know, where a file or folder to
# make stands, is refused with the usage code and nothing is made. "vortan-sample --help" wrote a project named
# "--help", "vortan-d3d8-demo -h" a picture named "-h", "vortan-ddraw-demo -h" made a folder of that name, and
# "vortan-world roundtrip W --help" and "vortan-project roundtrip P --help" wrote a file named "--help".
# Called with NAME=PATH for every tool.
set -euo pipefail
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
declare -A tools
for pair in "$@"; do
    tools[${pair%%=*}]="${pair#*=}"
done
tool="${tools[world]}"
source "$(dirname "$0")/../../testsupport/tools/run_tool.sh"
cd "$work"
mkdir inputs
expect_done make-sample inputs/world.vtn > /dev/null
tool="${tools[project]}"
expect_done make-sample inputs/project.vtp > /dev/null
export VORTAN_SETTINGS_FILE="$work/inputs/settings.reg" XDG_CACHE_HOME="$work/inputs/cache" VORTAN_DISPLAY=headless

# TOOL|ARGUMENTS, @ where the file or folder to make stands. Inputs that are not made here need not exist: the
# option is refused before anything is read.
cases=(
    "vortan|--screenshot @ inputs/project.vtp"
    "sample|@"
    "ui-demo|@"
    "gfx-demo|@"
    "d3d8-demo|@"
    "ddraw-demo|@"
    "controls-demo|@"
    "editors-shots|@"
    "eventedit-shots|@"
    "world|roundtrip inputs/world.vtn @"
    "world|make-sample @"
    "world|publish inputs/world.vtn @"
    "project|roundtrip inputs/project.vtp @"
    "project|make-sample @"
    "codec|image decode inputs/in.cis @"
    "res|filter lzss encode inputs/world.vtn @"
    "render|raster @"
    "trace|make-demo @"
    "train|midi --seed 1 --out @"
    "inspect|icon inputs/in.ico --png @"
)
seen=()
for case in "${cases[@]}"; do
    name="${case%%|*}"
    tool="${tools[$name]:-}"
    [ -n "$tool" ] || fail "no path given for $name"
    seen+=("$name")
    for option in --help -h; do
        # shellcheck disable=SC2086 # the case's arguments as words
        set -- ${case#*|}
        args=()
        for arg in "$@"; do
            args+=("${arg/#@/$option}")
        done
        expect_usage "${args[@]}"
        [ -s "$tool_err" ] || fail "no word from $name ${args[*]}"
        [ -z "$(ls -A "$work" | grep -v -e '^tool.err$' -e '^inputs$')" ] ||
            fail "$name ${args[*]} made: $(ls -A "$work")"
    done
done
# Every tool named is tried.
for name in "${!tools[@]}"; do
    [[ " ${seen[*]} " == *" $name "* ]] || fail "$name has no case"
done
echo "ok"
