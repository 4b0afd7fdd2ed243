#!/usr/bin/env bash
# Public meshes (OFF files) for the geometry codec's corpus tests, from the Debian package libcgal-demo, whose
# documentation folder ships a data.tar.gz of sample meshes. Only the .off files under data/meshes are kept.
# Called with the cache folder; leaves <cache>/mesh/*.off. Nothing is installed: the package is unpacked only.
set -euo pipefail
cache=$1
dest="$cache/mesh"
if [ -f "$dest/.complete" ]; then
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get download libcgal-demo >/dev/null 2>&1) || {
    apt-get update >/dev/null 2>&1 || true
    (cd "$work" && apt-get download libcgal-demo >/dev/null)
}
dpkg -x "$work"/libcgal-demo_*.deb "$work/root"
archive=$(find "$work/root" -name 'data.tar.gz' | head -n 1)
if [ -z "$archive" ]; then
    echo "mesh.sh: no data.tar.gz in libcgal-demo" >&2
    exit 1
fi
mkdir -p "$work/data" "$dest"
tar -xzf "$archive" -C "$work/data"
find "$work/data" -path '*/meshes/*' -name '*.off' -exec cp {} "$dest/" \;
touch "$dest/.complete"
