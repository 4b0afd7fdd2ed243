#!/bin/sh
# Times the hostile world files of hostile_worlds.py through the release tools: wall time, peak memory and exit
# code of each case, one line each. A case that runs past the time-out is stopped and shown as such.
#   bench/hostile_worlds.sh BUILD_DIR WORK_DIR [TIMEOUT_SECONDS]
# BUILD_DIR: a release build (apps/vortan-world/vortan-world, apps/vortan-res/vortan-res); WORK_DIR: where the
# files are made (once) and the cases run.
set -u
build=$1
work=$2
limit=${3:-300}
world=$build/apps/vortan-world/vortan-world
res=$build/apps/vortan-res/vortan-res
here=$(cd "$(dirname "$0")" && pwd)

mkdir -p "$work"
if [ ! -f "$work/block.bin" ]; then
    "$world" make-sample "$work/sample.vtn" > /dev/null || exit 1
    python3 "$here/hostile_worlds.py" "$work/sample.vtn" "$work" || exit 1
fi

# case NAME FILE COMMAND...: the file's size, then wall seconds, peak resident MB and exit code of the command.
run_case() {
    name=$1
    file=$2
    shift 2
    size=$(stat -c %s "$file")
    timeout -s KILL "$limit" /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" > "$work/out.txt" 2>&1
    code=$?
    if [ "$code" = 137 ]; then
        printf '%-22s %10s  > %s s (stopped)\n' "$name" "$size" "$limit"
        return
    fi
    read -r seconds kb <<EOF
$(tail -n 1 "$work/time.txt")
EOF
    printf '%-22s %10s %10s s %8s MB  exit %s  %s\n' "$name" "$size" "$seconds" "$((kb / 1024))" "$code" \
        "$(tail -n 1 "$work/out.txt" | cut -c1-100)"
}

printf '%-22s %10s %12s %11s\n' case bytes time peak
for n in 100 1000 10000; do
    run_case "roundtrip nodes x$n" "$work/nodes-$n.vtn" "$world" roundtrip "$work/nodes-$n.vtn" "$work/rt.vtn"
done
for n in 100 1000 10000; do
    rm -rf "$work/sub" && mkdir -p "$work/sub"
    cp "$work/sample.vtn" "$work/sub/sample.vtn"
    cp "$work/nodes-$n.vtn" "$work/sub/level2.vtn"
    run_case "load-sub nodes x$n" "$work/nodes-$n.vtn" "$world" load-sub "$work/sub/sample.vtn" level2
done
run_case "import 5,006 nodes" "$work/names.vtn" "$world" import "$work/sample.vtn" "$work/names.vtn" "$work/imp.vtn"
run_case "roundtrip bomb" "$work/bomb.vtn" "$world" roundtrip "$work/bomb.vtn" "$work/rt.vtn"
run_case "roundtrip bomb x5" "$work/bomb5.vtn" "$world" roundtrip "$work/bomb5.vtn" "$work/rt.vtn"
run_case "dump bomb" "$work/bomb.vtn" "$world" dump "$work/bomb.vtn" -v
run_case "roundtrip image" "$work/image.vtn" "$world" roundtrip "$work/image.vtn" "$work/rt.vtn"
run_case "roundtrip large (legit)" "$work/large.vtn" "$world" roundtrip "$work/large.vtn" "$work/rt.vtn"
run_case "filter 2^31 block" "$work/block.bin" "$res" filter deflate decode "$work/block.bin" "$work/block.out"
rm -rf "$work/sub" "$work/rt.vtn" "$work/imp.vtn" "$work/block.out" "$work/out.txt" "$work/time.txt"
