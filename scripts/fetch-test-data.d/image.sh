#!/usr/bin/env bash
# Public test pictures for the image codec, from the Debian package python3-skimage (its skimage/data folder).
# The package is downloaded and unpacked, never installed, so none of its dependencies come along.
# Called with the cache folder; the pictures land in <cache>/image/.
set -euo pipefail
cache=$1
target="$cache/image"
pictures=(astronaut chelsea coffee brick grass gravel camera)

missing=0
for name in "${pictures[@]}"; do
    [ -s "$target/$name.png" ] || missing=1
done
[ "$missing" -eq 0 ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$target"
(
    cd "$work"
    if ! apt-get download python3-skimage >/dev/null 2>&1; then
        apt-get update >/dev/null 2>&1 || true
        apt-get download python3-skimage >/dev/null
    fi
    dpkg -x python3-skimage_*.deb unpacked
)
data=$(find "$work/unpacked" -type d -path '*skimage/data' | head -n 1)
if [ -z "$data" ]; then
    echo "image.sh: no skimage/data in python3-skimage" >&2
    exit 1
fi
for name in "${pictures[@]}"; do
    cp "$data/$name.png" "$target/$name.png"
done
