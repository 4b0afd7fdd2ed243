#!/usr/bin/env bash
# Public test pictures for the image codec, from the Debian package python3-skimage (its skimage/data folder).
# The package is downloaded and unpacked, never installed, so none of its dependencies come along.
# Called with the cache folder; the pictures land in <cache>/image/. Exits 1, saying why, when any is missing after.
set -euo pipefail
cache=$1
target="$cache/image"
package=python3-skimage
pictures=(astronaut chelsea coffee brick grass gravel camera)

fail() { echo "fetch-test-data image: $*" >&2; exit 1; }

missing=0
for name in "${pictures[@]}"; do
    [ -s "$target/$name.png" ] || missing=1
done
[ "$missing" -eq 0 ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$target"
# A stale package list is the usual cause of a failed download: refresh it once and retry, keeping the last error.
if ! (cd "$work" && apt-get download "$package" > /dev/null 2> "$work/apt.err"); then
    apt-get update > /dev/null 2>&1 || true
    (cd "$work" && apt-get download "$package" > /dev/null 2> "$work/apt.err") ||
        fail "apt-get download $package failed: $(tail -n 1 "$work/apt.err")"
fi
dpkg -x "$work"/"$package"_*.deb "$work/unpacked" || fail "cannot unpack $package"
data=$(find "$work/unpacked" -type d -path '*skimage/data' | head -n 1)
[ -n "$data" ] || fail "no skimage/data folder in $package"
for name in "${pictures[@]}"; do
    [ -s "$data/$name.png" ] || fail "$package has no $name.png"
    # Copied beside the target and renamed, so that an interrupted fetch never leaves a cut picture.
    cp "$data/$name.png" "$target/.$name.png.part" && mv -f "$target/.$name.png.part" "$target/$name.png" ||
        fail "cannot write $target/$name.png"
done
