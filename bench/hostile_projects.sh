#!/bin/sh
# The hostile projects and settings of hostile_projects.py through two release builds side by side: wall seconds,
# peak resident MB and exit code of `vortan-project dump` and of the designer's screenshot run on each, then the last
# line the run wrote to stderr that names the file (a refusal's), else its last. A run past the time-out or the address limit is stopped and shown as such.
#   bench/hostile_projects.sh BEFORE_BUILD AFTER_BUILD WORK_DIR [TIMEOUT_SECONDS]
# Each build: a release build with apps/vortan/vortan and apps/vortan-project/vortan-project; WORK_DIR: where the
# files are made (once) and the cases run.
set -u
before=$1
after=$2
work=$3
limit=${4:-120}
here=$(cd "$(dirname "$0")" && pwd)
kb_limit=8388608 # an 8 GB address limit: a case that would take more stops instead of taking the machine

mkdir -p "$work"
if [ ! -f "$work/wavelets-two.vtp" ]; then
    "$after/apps/vortan-project/vortan-project" make-sample "$work/sample.vtp" > /dev/null || exit 1
    python3 "$here/hostile_projects.py" "$work/sample.vtp" "$work" || exit 1
fi

# measure BUILD KIND FILE [SETTINGS]: "seconds MB exit" of one run, its telling stderr line in $work/last.txt.
measure() {
    build=$1
    kind=$2
    file=$3
    settings=${4:-}
    rm -rf "$work/home" && mkdir -p "$work/home"
    [ -n "$settings" ] && cp "$settings" "$work/home/settings.reg"
    if [ "$kind" = dump ]; then
        set -- "$build/apps/vortan-project/vortan-project" dump "$file"
    else
        set -- "$build/apps/vortan/vortan" --screenshot "$work/home/shot.png" --frames 1 "$file"
    fi
    (
        ulimit -v $kb_limit
        HOME="$work/home" VORTAN_SETTINGS_FILE="$work/home/settings.reg" XDG_STATE_HOME="$work/home/state" \
            timeout -s KILL "$limit" /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" > /dev/null 2> "$work/err.txt"
    )
    code=$?
    # The line that names the file (a refusal's), else the last one.
    { grep -m 1 -F "$file" "$work/err.txt" || tail -n 1 "$work/err.txt"; } | cut -c1-160 > "$work/last.txt"
    if [ "$code" = 137 ] || [ ! -s "$work/time.txt" ]; then
        echo "stopped - $code"
        return
    fi
    read -r seconds kb << EOF
$(tail -n 1 "$work/time.txt")
EOF
    echo "$seconds $((kb / 1024)) $code"
}

row() {
    name=$1
    kind=$2
    file=$3
    settings=${4:-}
    bytes=$(stat -c %s "${settings:-$file}")
    old=$(measure "$before" "$kind" "$file" "$settings")
    new=$(measure "$after" "$kind" "$file" "$settings")
    kept=""
    if [ -n "$settings" ]; then
        size=$(stat -c %s "$work/home/settings.reg" 2> /dev/null || echo 0)
        kept="settings after: $size bytes, recent file $(grep -c kept.vtp "$work/home/settings.reg" 2> /dev/null); "
    fi
    set -- $old
    printf '%-24s %-6s %10s | %8s s %6s MB exit %-3s | ' "$name" "$kind" "$bytes" "$1" "$2" "$3"
    set -- $new
    printf '%8s s %6s MB exit %-3s | %s%s\n' "$1" "$2" "$3" "$kept" "$(cat "$work/last.txt")"
}

printf '%-24s %-6s %10s | %-26s | %-26s\n' case run bytes "before" "after"
for kind in dump shot; do
    row "sample (baseline)" $kind "$work/sample.vtp"
    for name in tooltip-margins tooltip-lines tooltip-records gradients gradients-deflated pictures wavelets wavelets-two; do
        row "$name" $kind "$work/$name.vtp"
    done
done
for name in docks large controls; do
    row "settings $name" shot "$work/sample.vtp" "$work/$name.reg"
done
rm -rf "$work/home" "$work/time.txt" "$work/err.txt" "$work/last.txt"
