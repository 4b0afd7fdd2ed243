#!/usr/bin/env bash
# Public Java class files for the Java class reader's corpus test, from the Debian package libcommons-lang3-java:
# its jar is unpacked with python3's zipfile module and every .class kept under its package folders.
# Called with the cache folder; leaves <cache>/java/**/*.class. Nothing is installed: the package is unpacked only.
# Exits 1, saying why, when the classes could not be fetched; the folder is marked complete only after a whole fetch.
set -euo pipefail
cache=$1
dest="$cache/java"
package=libcommons-lang3-java

fail() { echo "fetch-test-data java: $*" >&2; exit 1; }

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
jar=$(find "$work/root" -name 'commons-lang3*.jar' -type f | head -n 1)
[ -n "$jar" ] || fail "no commons-lang3 jar in $package"
mkdir -p "$work/classes"
python3 -m zipfile -e "$jar" "$work/classes" || fail "cannot unpack $jar"
rm -rf "$dest"
mkdir -p "$dest"
(cd "$work/classes" && find . -name '*.class' -exec cp --parents {} "$dest/" \;) || fail "cannot copy the classes"
[ -n "$(find "$dest" -name '*.class' | head -n 1)" ] || fail "no class files in $jar"
touch "$dest/.complete"
