#!/usr/bin/env bash
# Every developer tool's every file input given a folder, /dev/zero, a FIFO and a missing file: each is refused at
# once with exit 3 and one line, "cannot read PATH: CAUSE", never a crash, a read without end or a wait, and no
# output is made. Folders used to crash five commands, and the devices and FIFOs read for ever or blocked.
# Called with the source folder and the paths of vortan-world, vortan-trace, vortan-res, vortan-render and
# vortan-codec.
set -euo pipefail
root="$1"
declare -A tools=([world]="$2" [trace]="$3" [res]="$4" [render]="$5" [codec]="$6")
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2> /dev/null || true; wait; rm -rf "$work"' EXIT
tool="${tools[world]}"
source "$root/testsupport/tools/run_tool.sh"
tool_timeout=10

photo="$root/codecs/image/tests/data/photo_96x64.png"
speech="$root/codecs/sound/tests/data/speech_8000_mono.wav"
mkdir "$work/in" "$work/folder"
mkfifo "$work/in/fifo"
expect_done make-sample "$work/in/world.vtn" > /dev/null
tool="${tools[codec]}"
expect_done sound encode sc3 "$speech" "$work/in/speech.sc3" > /dev/null
printf 'OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n' > "$work/in/tri.off"

declare -A causes=(
    ["$work/folder"]="it is a folder, not a file"
    [/dev/zero]="it is a device, not a file"
    ["$work/in/fifo"]="it is a FIFO, not a file"
    ["$work/in/missing"]="No such file or directory"
)

# TOOL|ARGUMENTS, IN standing for the hostile input and OUT for an output that must not appear.
commands=(
    "world|dump IN"
    "world|roundtrip IN OUT"
    "world|import IN $work/in/world.vtn OUT"
    "world|import $work/in/world.vtn IN OUT"
    "world|publish IN OUT"
    "world|texture IN OUT name CI32"
    "world|load-sub IN level2"
    "world|make-sample OUT --sound IN"
    "trace|file IN"
    "trace|roundtrip IN"
    "res|filter lzss encode IN OUT"
    "res|filter deflate decode IN OUT"
    "res|mesh IN"
    "res|material $work/out/m --bump IN --amount 1"
    "res|speech IN"
    "res|wav info IN"
    "res|wav copy IN OUT --mode 0"
    "res|wav copy IN OUT --mode 1"
    "res|wav copy IN OUT --mode 2"
    "render|background OUT --size 8x8 --image IN"
    "render|stereo-mix IN $photo OUT"
    "render|stereo-mix $photo IN OUT"
    "render|mesh OUT --mesh IN --mode flat"
    "codec|image encode IN OUT 50"
    "codec|image decode IN OUT"
    "codec|image progressive IN $work/out/p"
    "codec|image palette IN OUT 16"
    "codec|mesh encode IN OUT"
    "codec|mesh decode IN OUT"
    "codec|mesh roundtrip IN"
    "codec|mesh topo IN"
    "codec|sound encode wave IN OUT 70"
    "codec|sound encode ac8 IN OUT --trace"
    "codec|sound decode wave IN OUT"
    "codec|sound decode wave IN OUT --keep-partial"
    "codec|sound decode ac8 IN OUT --lose 1"
    "codec|sound decode sc3 IN OUT --time-scale 1"
    "codec|sound trace sc36 IN"
    "codec|sound trace rt24 IN"
    "codec|sound sc36-layers info IN"
    "codec|sound sc36-layers extract 1 IN OUT"
    "codec|sound sc36-layers merge IN $work/in/speech.sc3 OUT"
    "codec|sound sc36-layers merge $work/in/speech.sc3 IN OUT"
    "codec|sound accepts IN"
    "codec|sound compare IN $speech"
    "codec|sound compare $speech IN"
    "codec|sound compare --speech IN $speech"
)

# One command with one hostile input, in a subshell of its own (its own stderr file), so that cases run side by side.
run_case() {
    local name=$1 args=$2 in=$3
    tool="${tools[$name]}"
    tool_err="$work/err.$BASHPID"
    rm -rf "$work/out.$BASHPID"
    mkdir "$work/out.$BASHPID"
    # Whole words only: the folder mktemp names may itself hold "IN" or "OUT".
    local words=() word
    for word in $args; do # the arguments are words without spaces
        case $word in
        IN) word=$in ;;
        OUT) word=$work/out.$BASHPID/o ;;
        "$work"/out/*) word=$work/out.$BASHPID/${word#"$work"/out/} ;;
        esac
        words+=("$word")
    done
    expect_refused "${words[@]}" > /dev/null
    expect_message "^vortan-[a-z]+: ([a-z-]+: )?cannot read $in: ${causes[$in]}$"
    [ -z "$(ls -A "$work/out.$BASHPID")" ] || fail "vortan-$name ${words[*]} made $(ls -A "$work/out.$BASHPID")"
}

pids=()
for entry in "${commands[@]}"; do
    IFS='|' read -r name args <<< "$entry"
    for in in "${!causes[@]}"; do
        run_case "$name" "$args" "$in" &
        pids+=($!)
        if [ "${#pids[@]}" -ge 4 ]; then
            wait "${pids[0]}" || fail "a case failed (above)"
            pids=("${pids[@]:1}")
        fi
    done
done
for pid in "${pids[@]}"; do
    wait "$pid" || fail "a case failed (above)"
done

# Folders named as folders: anything else is refused the same way.
tool="${tools[world]}"
for option in --meshes --pictures; do
    for in in "$photo" /dev/zero "$work/in/fifo"; do
        expect_refused make-sample "$work/never.vtn" "$option" "$in"
        expect_message "cannot read $in: it is not a folder$"
    done
    expect_refused make-sample "$work/never.vtn" "$option" "$work/in/missing"
    expect_message "cannot read $work/in/missing: No such file or directory$"
done
[ ! -e "$work/never.vtn" ] || fail "a refused make-sample wrote its world"
echo "hostile input ok: ${#commands[@]} commands x ${#causes[@]} inputs"
