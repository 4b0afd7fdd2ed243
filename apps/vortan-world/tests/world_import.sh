#!/usr/bin/env bash
# `vortan-world import`: the sample merged into itself renames every clashing name and records it, the merged file
# reads back with both copies, and removing the merge gives back the base byte for byte.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/lib/run_tool.sh"

expect_exit 0 make-sample "$work/base.vtn"
expect_exit 0 import "$work/base.vtn" "$work/base.vtn" "$work/merged.vtn"
expect_line "^merged $work/base.vtn: 28 objects$"
expect_line '^  node id=[0-9]+ name=object0_1 file-name=object0$'
expect_line '^  node id=[0-9]+ name=front_1 file-name=front$'
expect_line '^  texture id=0 name=bricks.png_1 file-name=bricks.png$'
expect_line '^  material id=0 name=brick_1 file-name=brick$'
expect_line '^  sound id=0 name=speech_1 file-name=speech$'
expect_line '^  cursor id=[0-9]+ name=hand_1 file-name=hand$'
expect_line '^  subworld id=0 name=level2_1 file-name=level2$'
expect_line '^removed=24 restored=yes$'
expect_exit 0 roundtrip "$work/merged.vtn" "$work/again.vtn"
expect_line 'identical=yes'
expect_exit 0 dump "$work/merged.vtn" -v
expect_line 'CAML\(20\)' # four cameras: two of the base, two brought in

# A published sample as the base, the import or both: taking the merge out gives back the base as it was read,
# though a published file's own bytes are of another kind than the scene file written.
expect_exit 0 publish "$work/base.vtn" "$work/base.vto"
for pair in "base.vto base.vtn" "base.vtn base.vto" "base.vto base.vto"; do
    read -r into from <<< "$pair"
    expect_exit 0 import "$work/$into" "$work/$from" "$work/merged.vtn"
    expect_line '^removed=24 restored=yes$'
done

# A world that reads with a record left out, as the base or the import, is refused with the record named, and nothing
# is written: the merge once went on without it, with exit 0 and no word.
python3 "$2/bench/mute_sound.py" "$work/base.vtn" "$work/mute.vtn"
for pair in "base.vtn mute.vtn" "mute.vtn base.vtn"; do
    read -r into from <<< "$pair"
    expect_exit 3 import "$work/$into" "$work/$from" "$work/never.vtn"
    grep -Eqx "vortan-world: cannot import $work/mute.vtn: 1 record could not be read and would be left out: \
record [0-9]+ \"7403\" \(sound does not read\); The sound .* could not be read from the file and was left out\." \
        "$tool_err" || fail "$pair: $(cat "$tool_err")"
done
expect_exit 3 import "$work/base.vtn" "$work/missing.vtn" "$work/never.vtn"
[ ! -e "$work/never.vtn" ] || fail "a refused import wrote an output"
expect_exit 2 import "$work/base.vtn"
echo "import ok"
