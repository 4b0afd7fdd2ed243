#!/usr/bin/env bash
# The public test pictures (fetched by scripts/fetch-test-data into the cache) through vortan-codec image encode at
# every tenth quality, 99 and 100: exact dimensions, the pinned size and PSNR of each stream (the encoder is
# deterministic), PSNR that does not fall as the quality rises, and quality 100 bit-exact. Without the pictures the
# test fails in CI and is skipped elsewhere.
# Called with the tool's path and the source folder; UPDATE_GOLDEN=1 rewrites the pinned values.
set -euo pipefail
tool="$1"
root="$2"
cache="${VORTAN_TEST_DATA:-${XDG_CACHE_HOME:-$HOME/.cache}/vortan-test-data}/image"
golden="$root/codecs/image/tests/data/real_pictures.golden"
pictures=(astronaut chelsea coffee brick grass gravel camera)
qualities=(0 10 20 30 40 50 60 70 80 90 99 100)

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
for name in "${pictures[@]}"; do
    [ -s "$cache/$name.png" ] || skip_without_corpus "no $name.png in $cache"
done
field() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p" <<< "$2"; }

for name in "${pictures[@]}"; do
    previous=0
    for quality in "${qualities[@]}"; do
        line="$(expect_done image encode "$cache/$name.png" "$work/$name.cis" "$quality")"
        bytes="$(field bytes "$line")"
        psnr="$(field psnr "$line")"
        echo "$name $quality $(field width "$line") $(field height "$line") $bytes $psnr" >> "$work/measured"
        # The encoder's PSNR compares the decoded picture with the input, so a size that differs would show as 0.
        awk -v p="$psnr" 'BEGIN { exit !(p > 15) }' || fail "$name q$quality: PSNR $psnr"
        if [ "$quality" = 50 ]; then
            decoded="$(expect_done image decode "$work/$name.cis" "$work/$name.png")"
            [ "$(field width "$decoded")" = "$(field width "$line")" ] || fail "$name q$quality width"
            [ "$(field height "$decoded")" = "$(field height "$line")" ] || fail "$name q$quality height"
        fi
        awk -v p="$psnr" -v q="$previous" 'BEGIN { exit !(p >= q - 0.3) }' || fail "$name: PSNR falls at q$quality"
        previous="$psnr"
    done
    [ "$previous" = "99.000" ] || fail "$name: quality 100 is not exact"
done

if [ "${UPDATE_GOLDEN:-0}" = 1 ]; then
    { echo "# picture quality width height bytes psnr"; cat "$work/measured"; } > "$golden"
    echo "image_real_pictures: golden values written"
    exit 0
fi
# Sizes must match exactly; PSNR to a hundredth (it is printed, not stored).
awk 'NR == FNR { if ($1 !~ /^#/) { key = $1 " " $2; want[key] = $3 " " $4 " " $5; psnr[key] = $6 }; next }
     { key = $1 " " $2
       if (!(key in want)) { print "no golden value for " key; bad = 1; next }
       if (want[key] != $3 " " $4 " " $5) { print key ": got " $3 " " $4 " " $5 ", pinned " want[key]; bad = 1 }
       d = $6 - psnr[key]; if (d < -0.01 || d > 0.01) { print key ": PSNR " $6 ", pinned " psnr[key]; bad = 1 } }
     END { exit bad }' "$golden" "$work/measured" || fail "pinned values differ"
echo "image real pictures ok"
