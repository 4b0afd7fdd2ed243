#!/usr/bin/env bash
# `vortan-world make-sample` then `roundtrip`: the sample reads back and is written byte for byte as it was, the
# container shows the world's records, and a damaged or missing file is refused and left as it is.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/lib/run_tool.sh"

sound="$2/codecs/sound/tests/data/speech_8000_mono.wav"
expect_exit 0 make-sample "$work/sample.vtn" --sound "$sound"
expect_exit 0 roundtrip "$work/sample.vtn" "$work/again.vtn"
expect_line '^version=951 newer=no skipped=0 identical=yes$'
cmp -s "$work/sample.vtn" "$work/again.vtn" || fail "the round trip changed the file"
# A published file reads whole and is written as a scene: a round trip that worked, with other bytes.
expect_exit 0 publish "$work/sample.vtn" "$work/sample.vto"
expect_exit 0 roundtrip "$work/sample.vto" "$work/published.vtn"
expect_line '^version=951 newer=no skipped=0 identical=no$'

# Over its own input only the file it read is written: a world with a record left out (one outside the world, a
# sound that does not read) or a published file is refused with exit 3 and left byte for byte as it was. The round
# trip once compared the new file with itself, said "identical=yes" and wrote the loss over the only copy.
python3 - "$2/bench" "$work/sample.vtn" "$work/outside.vtn" "$work/mute.vtn" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
from hostile_worlds import read_document, tag, write_document
version, records = read_document(sys.argv[2])
write_document(sys.argv[3], version, records + [[tag("XTRA"), 0xFFFFFFFF, 0, b"a record of no world"]])
sounds = [r for r in records if r[0] == tag("7403")]
assert len(sounds) == 1, "the sample has one sound"
sounds[0][3] = sounds[0][3][:6]
write_document(sys.argv[4], version, records)
PY
for case in "outside.vtn|XTRA: not a record of the world" "mute.vtn|7403: sound does not read" "sample.vto|"; do
    file="$work/${case%%|*}"
    cp "$file" "$work/before"
    expect_exit 3 roundtrip "$file" "$file"
    cmp -s "$file" "$work/before" || fail "$file was written over"
    if [ -n "${case#*|}" ]; then
        expect_line "^skipped #[0-9]+ ${case#*|}$"
        grep -qx "vortan-world: cannot write $file over the file it read: 1 of its records would be lost (listed \
above); it is left as it is" "$tool_err" || fail "$file: $(cat "$tool_err")"
    else
        grep -qx "vortan-world: cannot write $file over the file it read: it is a published file, and a scene written \
in its place would not be it; it is left as it is" "$tool_err" || fail "$file: $(cat "$tool_err")"
    fi
done
# To another file the loss is written and said, and the round trip fails.
expect_exit 1 roundtrip "$work/outside.vtn" "$work/without.vtn"
expect_line '^version=951 newer=no skipped=1 identical=no$'
cmp -s "$work/without.vtn" "$work/sample.vtn" || fail "the world was not written whole without the outside record"

expect_exit 0 dump "$work/sample.vtn" -v
expect_line '^#0 tag=WRLD parent=- compression=0 '
expect_line '^    WVER\(4\) WSET\(17\)$'
expect_line '^#2 tag=HEAD parent=1 '
expect_line '^#3 tag=TXLS parent=1 '
expect_line '^    TXHD\([0-9]+\) PX32\([0-9]+\)$'
expect_line '^    TXHD\([0-9]+\) PX24\([0-9]+\)$'
expect_line '^    TXHD\([0-9]+\) PXG8\([0-9]+\)$'
expect_line '^#[0-9]+ tag=MATL parent=7 '
expect_line '^#[0-9]+ tag=BGDI parent=11 '
expect_line '^    GHDR\([0-9]+\) MSET\(12\) RMES\([0-9]+\) MORF\([0-9]+\) VBND\([0-9]+\)$'
expect_line '^    GHDR\([0-9]+\) CAMR\(38\)$'
expect_line '^    KBHD\(8\) KRAW\([0-9]+\)$'
expect_line '^    VBHD\(8\) VRAW\([0-9]+\)$'
expect_line '^#[0-9]+ tag=SNLS parent=0 '
expect_line '^    SFLD\([0-9]+\) 72PS\([0-9]+\) 7499\([0-9]+\)$'
expect_line '^    NODT\([0-9]+\) CAML\(12\) ARCB\(5\) CURS\([0-9]+\) SUBW\([0-9]+\) JAVA\([0-9]+\) 72PS\([0-9]+\)'

cp "$work/sample.vtn" "$work/damaged.vtn"
printf 'X' | dd of="$work/damaged.vtn" bs=1 seek=60 conv=notrunc status=none
cp "$work/damaged.vtn" "$work/damaged.before"
expect_exit 3 roundtrip "$work/damaged.vtn" "$work/never.vtn"
grep -q "damaged file" "$tool_err" || fail "damage not reported"
[ ! -e "$work/never.vtn" ] || fail "a refused load wrote an output"
cmp -s "$work/damaged.vtn" "$work/damaged.before" || fail "a refused load changed its input"
expect_exit 3 roundtrip "$work/missing.vtn" "$work/never.vtn"
expect_exit 2 roundtrip "$work/sample.vtn"

# The read limits, anywhere after the command: they count what decoding makes beyond the stored bytes, so a world
# many times their size reads, and a header that deflates a thousandfold past them is refused whole; a bad value is
# a usage error.
size=$(stat -c %s "$work/sample.vtn")
expect_exit 0 roundtrip "$work/sample.vtn" "$work/limited.vtn" --max-bytes 1000
python3 - "$2/bench" "$work/sample.vtn" "$work/bomb.vtn" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
from hostile_worlds import deflated, read_document, tag, write_document, zeros
version, records = read_document(sys.argv[2])
bomb = deflated(1 << 20, zeros(1 << 20))
write_document(sys.argv[3], version, [[r[0], r[1], 2, bomb] if r[0] == tag("HEAD") else r for r in records])
PY
expect_exit 3 roundtrip "$work/bomb.vtn" "$work/never.vtn" --max-bytes 100000
grep -qx "vortan-world: cannot read $work/bomb.vtn: refused by the read limits: it decodes to more than the limit of \
100000 bytes beyond what it stores" "$tool_err" || fail "over the byte limit: $(cat "$tool_err")"
expect_exit 3 dump "$work/bomb.vtn" --max-bytes 100000
expect_exit 0 roundtrip --max-pixels 100000000 "$work/sample.vtn" "$work/limited.vtn" --max-bytes "$size"
for bad in "--max-bytes 0" "--max-pixels x" "--max-bytes 4611686018427387905" "--max-bytes"; do
    # shellcheck disable=SC2086 # the option and its value as two words
    expect_exit 2 roundtrip "$work/sample.vtn" "$work/never.vtn" $bad
    grep -Eqx "vortan-world: --max-(bytes|pixels) must be a whole number from 1 to 4611686018427387904(, not .*)?" \
        "$tool_err" || fail "$bad: $(cat "$tool_err")"
done
[ ! -e "$work/never.vtn" ] || fail "a refused load wrote an output"
echo "roundtrip ok"
