#!/usr/bin/env bash
# `vortan-world publish` and `texture`: a sample scene published with the compressed rows and each texture kind
# reads back complete, with one line per resource; wrong schemes, kinds and names are refused and write nothing.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$2/testsupport/tools/run_tool.sh"

# Runs the tool with its stdout in $work/out as well as passed through.
run_out() {
    local want=$1
    shift
    expect_exit "$want" "$@" > "$work/out"
    cat "$work/out"
}
has_line() { grep -Eq -- "$1" "$work/out" || fail "no line matches '$1'"; }

run_out 0 make-sample "$work/sample.vtn"
meshes=$(run_out 0 dump "$work/sample.vtn" -v | grep -c 'tag=MMES' || true)
run_out 0 publish "$work/sample.vtn" "$work/kept.vto"
has_line 'read-back=complete$'
textures=$(grep -c '^texture ' "$work/out" || true)

run_out 0 publish "$work/sample.vtn" "$work/wavl.vto" --mesh IMES --mesh-settings 4,4 --keyframes KDEF \
    --vertices VDEF --textures WAVL:70
has_line '^total resources=[0-9]+ record-bytes=[0-9]+ file-bytes=[0-9]+ source-bytes=[0-9]+ read-back=complete$'
has_line '^times load=[0-9.]+ms convert=[0-9.]+ms publish=[0-9.]+ms load-published=[0-9.]+ms$'
if [ "$meshes" -gt 0 ]; then
    has_line '^mesh +[^ ]+ +(IMES|RMES) +[0-9]+  error=[0-9.e+-]+ '
fi
if [ "$textures" -gt 0 ]; then
    [ "$(grep -c '^texture .* WAVL ' "$work/out")" -eq "$textures" ] || fail "not every texture became WAVL"
fi
! grep -q '^texture .* missing$' "$work/out" || fail "a texture did not read back"
run_out 0 dump "$work/wavl.vto"

run_out 0 publish "$work/sample.vtn" "$work/cimg.vto" --mesh RMES --keyframes KLZS --vertices VLZS --textures CIMG
has_line 'read-back=complete$'
if [ "$textures" -gt 0 ]; then
    [ "$(grep -c '^texture .* CIMG ' "$work/out")" -eq "$textures" ] || fail "not every texture became CIMG"
    name=$(grep '^texture ' "$work/out" | head -1 | awk '{print $2}')
    run_out 0 texture "$work/sample.vtn" "$work/one.vtn" "$name" WAVL:100
    has_line "^texture $name WAVL [0-9]+x[0-9]+ bytes=[0-9]+ psnr=inf"
    run_out 0 roundtrip "$work/one.vtn" "$work/one-again.vtn"
fi

# A value out of its range is named with its range, in one line; an incomplete command gets the usage.
run_out 2 publish "$work/sample.vtn" "$work/never.vto" --mesh KRAW
expect_message '^vortan-world: publish: --mesh "KRAW" is not an offered scheme of its kind: .*RMES'
run_out 2 publish "$work/sample.vtn" "$work/never.vto" --textures WAVL:101
expect_message '^vortan-world: publish: the quality of "WAVL:101" must be a whole number from 0 to 100$'
run_out 2 publish "$work/sample.vtn" "$work/never.vto" --textures CI32
expect_message '^vortan-world: publish: --textures "CI32" must be keep, WAVL:Q \(Q from 0 to 100\) or CIMG$'
run_out 2 publish "$work/sample.vtn" "$work/never.vto" --mesh-settings 4,10
expect_message '^vortan-world: publish: --mesh-settings "4,10" must be S1,S2, each a whole number from 0 to 9$'
run_out 2 publish "$work/sample.vtn" "$work/never.vto" --keyframes
expect_message '^usage: vortan-world publish '
run_out 3 publish "$work/missing.vtn" "$work/never.vto"
run_out 2 texture "$work/sample.vtn" "$work/never.vtn" any CI99
expect_message '^vortan-world: texture: the texture kind "CI99" is none of CI32, CIG8, WAVL:Q and CIMG$'
run_out 2 texture "$work/sample.vtn" "$work/never.vtn" any WAVL:x
expect_message '^vortan-world: texture: the quality of "WAVL:x" must be a whole number from 0 to 100$'
run_out 3 texture "$work/sample.vtn" "$work/never.vtn" "no such texture" CIMG
[ ! -e "$work/never.vto" ] && [ ! -e "$work/never.vtn" ] || fail "a refused command wrote a file"

# An output its owner made read-only is refused (though the folder would take a rename over it) and kept as it was.
chmod 0444 "$work/kept.vto"
cp -p "$work/kept.vto" "$work/kept.before"
run_out 3 publish "$work/sample.vtn" "$work/kept.vto"
expect_message "kept.vto: the file is read-only"
cmp -s "$work/kept.vto" "$work/kept.before" || fail "a read-only output was replaced"
echo "publish ok"
