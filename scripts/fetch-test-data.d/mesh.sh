#!/usr/bin/env bash
# Public meshes (OFF files) for the geometry codec's corpus tests, from the Debian package libcgal-demo, whose
# documentation folder ships a data.tar.gz of sample meshes. Only the .off files under data/meshes are kept.
# Called with the cache folder; leaves <cache>/mesh/*.off. Nothing is installed: the package is unpacked only.
# Exits 1, saying why, when the meshes could not be fetched; the folder is marked complete only after a whole fetch.
set -euo pipefail
cache=$1
dest="$cache/mesh"
package=libcgal-demo

fail() { echo "fetch-test-data mesh: $*" >&2; exit 1; }

if [ -f "$dest/.complete" ]; then
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A stale package list is the usual cause of a failed download: refresh it once and retry, keeping the last error.
if ! (cd "$work" && apt-get download "$package" > /dev/null 2> "$work/apt.err"); then
    apt-get update > /dev/null 2>&1 || true
    (cd "$work" && apt-get download "$package" > /dev/null 2> "$work/apt.err") ||
        fail "apt-get download $package failed: $(tail -n 1 "$work/apt.err")"
fi
dpkg -x "$work"/"$package"_*.deb "$work/root" || fail "cannot unpack $package"
archive=$(find "$work/root" -name 'data.tar.gz' | head -n 1)
[ -n "$archive" ] || fail "no data.tar.gz in $package"
mkdir -p "$work/data" "$dest"
tar -xzf "$archive" -C "$work/data" || fail "cannot unpack $archive"
find "$work/data" -path '*/meshes/*' -name '*.off' -exec cp {} "$dest/" \; || fail "cannot copy the meshes to $dest"
compgen -G "$dest/*.off" > /dev/null || fail "no .off meshes under data/meshes in $package"
touch "$dest/.complete"
