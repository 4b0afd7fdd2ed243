#!/usr/bin/env bash
# Every command of vortan-world, vortan-trace, vortan-res and vortan-codec that writes a file, against what can go
# wrong around it: a missing or read-only output folder, an output that is a symbolic link or a device, a full disk
# (a file size limit, with SIGXFSZ at its default as a person's shell leaves it), and for the codecs a missing, a
# folder and a damaged input. Each refusal exits with exactly the refusal code and one line naming the file and the
# cause, and leaves the output path as it was, or (through a link) holding the complete new file; no temporary
# file is left, beside the output or in TMPDIR; a new file is readable by all (a world takes the umask), a replaced
# one keeps its mode.
# Called with the source folder and the paths of vortan-world, vortan-trace, vortan-res and vortan-codec. With
# WRITE_SAFETY_TABLE=FILE set, one Markdown row per case is appended to FILE.
set -euo pipefail
root="$1"
declare -A tools=([world]="$2" [trace]="$3" [res]="$4" [codec]="$5")
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2> /dev/null || true; wait; chmod -R u+w "$work"; rm -rf "$work"' EXIT
tool="${tools[codec]}"
source "$root/testsupport/tools/run_tool.sh"
photo="$root/codecs/image/tests/data/photo_96x64.png"
speech="$root/codecs/sound/tests/data/speech_8000_mono.wav"
table="${WRITE_SAFETY_TABLE:-}"
umask 077 # new outputs must still be readable by others (published files are served), so 0644 whatever the umask
trap - XFSZ # the signal at its default, whatever the caller left

# A rippled 80 x 80 grid whose quads are split along either diagonal, so that even its connectivity alone passes
# the 1 KiB file size limit below.
awk 'BEGIN { n = 80; print "OFF"; print n * n, 2 * (n - 1) * (n - 1), 0
             for (y = 0; y < n; ++y) for (x = 0; x < n; ++x) printf "%d %d %.4f\n", x, y, sin(x / 5) * cos(y / 7)
             for (y = 0; y < n - 1; ++y) for (x = 0; x < n - 1; ++x) {
                 v = y * n + x
                 if ((x * 7 + y * 13 + x * y) % 3 == 0) { print 3, v, v + 1, v + n + 1; print 3, v, v + n + 1, v + n }
                 else { print 3, v, v + 1, v + n; print 3, v + 1, v + n + 1, v + n } } }' > "$work/grid.off"
in="$work/inputs"
mkdir "$in"
expect_done image encode "$photo" "$in/photo.cis" 50 > /dev/null
expect_done mesh encode "$work/grid.off" "$in/grid.px" > /dev/null
expect_done sound encode wave "$speech" "$in/speech.bin" 70 > /dev/null
expect_done sound encode rt24 "$speech" "$in/speech.rt24" > /dev/null
expect_done sound encode sc6 "$speech" "$in/speech.sc36" > /dev/null
expect_done sound sc36-layers extract 1 "$in/speech.sc36" "$in/speech.sc36-base" > /dev/null
expect_done sound sc36-layers extract 2 "$in/speech.sc36" "$in/speech.sc36-base-extra" > /dev/null
expect_done sound encode ac8 "$speech" "$in/speech.ac8" > /dev/null
head -c 300 "$photo" > "$in/cut.png"
head -c 200 "$in/photo.cis" > "$in/cut.cis"
head -c 2000 "$work/grid.off" > "$in/cut.off"
head -c 40 "$in/grid.px" > "$in/cut.px"
head -c 30 "$speech" > "$in/cut.wav"
head -c 300 "$in/speech.bin" > "$in/cut.bin"
tool="${tools[world]}"
expect_done make-sample "$in/world.vtn" > /dev/null
texture=$(expect_done publish "$in/world.vtn" "$work/texture-names.vto" | awk '/^texture / { print $2; exit }')
[ -n "$texture" ] || fail "the sample world has no texture"
tool="${tools[trace]}"
expect_done make-demo "$in/demo.vtn" > /dev/null
tool="${tools[res]}"
expect_done filter lzss encode "$speech" "$in/speech.lzss" > /dev/null

# TOOL|COMMAND|good input|damaged input (codec commands only). The commands are spelled out in run_command.
commands=(
    "codec|image encode|$photo|$in/cut.png"
    "codec|image decode|$in/photo.cis|$in/cut.cis"
    "codec|image progressive|$in/photo.cis|$in/cut.cis"
    "codec|image palette|$photo|$in/cut.png"
    "codec|mesh encode|$work/grid.off|$in/cut.off"
    "codec|mesh decode|$in/grid.px|$in/cut.px"
    "codec|mesh topo --save-stream|$work/grid.off|$in/cut.off"
    "codec|mesh icosahedron||"
    "codec|sound encode wave|$speech|$in/cut.wav"
    "codec|sound decode wave|$in/speech.bin|$in/cut.bin"
    "codec|sound decode wave --keep-partial|$in/speech.bin|"
    "codec|sound encode rt24|$speech|"
    "codec|sound decode rt24|$in/speech.rt24|"
    "codec|sound decode rt24 --time-scale|$in/speech.rt24|"
    "codec|sound encode sc6|$speech|"
    "codec|sound decode sc6 --lose|$in/speech.sc36|"
    "codec|sound sc36-layers extract|$in/speech.sc36|"
    "codec|sound sc36-layers merge|$in/speech.sc36-base|"
    "codec|sound encode ac8 --trace|$speech|"
    "codec|sound decode ac8 --lose|$in/speech.ac8|"
    "world|make-sample||"
    "world|roundtrip|$in/world.vtn|"
    "world|import|$in/world.vtn|"
    "world|publish|$in/world.vtn|"
    "world|texture|$in/world.vtn|"
    "trace|make-demo||"
    "trace|file --save|$in/demo.vtn|"
    "res|filter lzss encode|$speech|"
    "res|filter lzss decode|$in/speech.lzss|"
    "res|picture|"
    "res|material|"
    "res|text|"
    "res|wav copy --mode 0|$speech|"
    "res|wav copy --mode 1|$speech|"
    "res|wav copy --mode 2|$speech|"
)

# Runs one command with the exit code expected; OUT is the file the command writes (progressive: its first pass,
# material: its normal map), which is why every output is named out-00.png or link-00.png or so.
run_command() {
    local want=$1 name=$2 in=$3 out=$4
    case $name in
        "image encode") expect_exit "$want" image encode "$in" "$out" 100 ;;
        "image decode") expect_exit "$want" image decode "$in" "$out" ;;
        "image progressive") expect_exit "$want" image progressive "$in" "${out%-00.png}" ;;
        "image palette") expect_exit "$want" image palette "$in" "$out" 16 ;;
        "mesh encode") expect_exit "$want" mesh encode "$in" "$out" ;;
        "mesh decode") expect_exit "$want" mesh decode "$in" "$out" ;;
        "mesh topo --save-stream") expect_exit "$want" mesh topo "$in" --save-stream "$out" ;;
        "mesh icosahedron") expect_exit "$want" mesh icosahedron 3 "$out" ;;
        "sound encode wave") expect_exit "$want" sound encode wave "$in" "$out" 70 ;;
        "sound decode wave") expect_exit "$want" sound decode wave "$in" "$out" ;;
        "sound decode wave --keep-partial") expect_exit "$want" sound decode wave "$in" "$out" --keep-partial ;;
        "sound encode rt24") expect_exit "$want" sound encode rt24 "$in" "$out" ;;
        "sound decode rt24") expect_exit "$want" sound decode rt24 "$in" "$out" ;;
        "sound decode rt24 --time-scale") expect_exit "$want" sound decode rt24 "$in" "$out" --time-scale 1 ;;
        "sound encode sc6") expect_exit "$want" sound encode sc6 "$in" "$out" ;;
        "sound decode sc6 --lose") expect_exit "$want" sound decode sc6 "$in" "$out" --lose 3 ;;
        "sound sc36-layers extract") expect_exit "$want" sound sc36-layers extract 1 "$in" "$out" ;;
        "sound sc36-layers merge") expect_exit "$want" sound sc36-layers merge "$in" "$in-extra" "$out" ;;
        "sound encode ac8 --trace") expect_exit "$want" sound encode ac8 "$in" "$out" --trace ;;
        "sound decode ac8 --lose") expect_exit "$want" sound decode ac8 "$in" "$out" --lose 3 ;;
        "make-sample") expect_exit "$want" make-sample "$out" ;;
        "roundtrip") expect_exit "$want" roundtrip "$in" "$out" ;;
        "import") expect_exit "$want" import "$in" "$in" "$out" ;;
        "publish") expect_exit "$want" publish "$in" "$out" ;;
        "texture") expect_exit "$want" texture "$in" "$out" "$texture" CI32 ;;
        "make-demo") expect_exit "$want" make-demo "$out" ;;
        "file --save") expect_exit "$want" file "$in" --frames 1 --save "$out" ;;
        "filter lzss encode") expect_exit "$want" filter lzss encode "$in" "$out" ;;
        "filter lzss decode") expect_exit "$want" filter lzss decode "$in" "$out" ;;
        "picture") expect_exit "$want" picture radial "$out" ;;
        "material") expect_exit "$want" material "${out%_dot3_normals.png}" --bump "$photo" --amount 1 ;;
        "text") expect_exit "$want" text "$out" Sans 96 0 0 "a full disk, with the signal at its default" ;;
        "wav copy --mode "*) expect_exit "$want" wav copy "$in" "$out" --mode "${name##* }" ;;
    esac > /dev/null
}

# The name the command writes under, for a file stem: material adds its largest picture's name (the ones before it
# stay under the file size limit).
file_name() { if [ "$1" = material ]; then echo "$2_dot3_normals.png"; else echo "$2-00.png"; fi; }

record() { # command, case, what the output path holds afterwards
    [ -z "$table" ] || echo "| \`$1\` | $2 | $tool_status | \`$(tr '|' '/' < "$tool_err")\` | $3 |" >> "$table"
}

# No hidden temporary beside the outputs, none in TMPDIR.
expect_no_temporary() {
    local left
    left=$(find "$1" "$TMPDIR" -name '.*' -o -path "$TMPDIR/*" | tr '\n' ' ')
    [ -z "$left" ] || fail "$2: temporaries left: $left"
}

old_content() { printf 'the old file, which must survive\n'; }

# Every case of one command, in a subshell of its own so that commands run side by side.
check_command() {
    local tool_name=$1 name=$2 good=$3 damaged=$4
    tool="${tools[$tool_name]}"
    tool_err="$work/err.$BASHPID"
    local dir="$work/${tool_name}-${name//[ -]/_}"
    mkdir "$dir" "$dir.tmp"
    export TMPDIR="$dir.tmp" # where the tool's scratch files go: it must be empty after every case
    local out reference
    out="$dir/$(file_name "$name" out)"
    reference="$dir/$(file_name "$name" reference)"
    run_command 0 "$name" "$good" "$reference"
    # A world is the user's document and takes the umask; the codecs' and resources' outputs are readable by all.
    local mode=644
    [ "$tool_name" != world ] && [ "$tool_name" != trace ] || mode=600
    [ "$(stat -c %a "$reference")" = "$mode" ] || fail "$name: a new file has mode $(stat -c %a "$reference")"
    [ "$(stat -c %s "$reference")" -gt 1024 ] || fail "$name: the output is too small for the file size limit"

    if [ "$tool_name" = codec ] && [ -n "$damaged" ]; then
        old_content > "$out"
        run_command "$exit_refused" "$name" "$work/none" "$out"
        expect_message "cannot read $work/none: No such file or directory"
        old_content | cmp -s - "$out" || fail "$name: a missing input changed the output"
        record "$name" "missing input" "untouched"
        run_command "$exit_refused" "$name" "$in" "$out"
        expect_message "cannot read $in: it is a folder"
        old_content | cmp -s - "$out" || fail "$name: a folder as input changed the output"
        record "$name" "input is a folder" "untouched"
        run_command "$exit_refused" "$name" "$damaged" "$out"
        expect_message "cannot (read|decode|encode) $damaged( with scheme wave)?: "
        old_content | cmp -s - "$out" || fail "$name: a damaged input changed the output"
        record "$name" "damaged input" "untouched"
    fi

    # An output folder that is missing: refused, nothing created.
    run_command "$exit_refused" "$name" "$good" "$dir/missing/$(file_name "$name" out)"
    expect_message "^vortan-[a-z]+: cannot write $dir/missing/[^ ]*: No such file or directory$"
    [ ! -e "$dir/missing" ] || fail "$name: the missing folder was made"
    record "$name" "output folder missing" "nothing created"

    # A read-only output folder; root writes there regardless, so the case means nothing then.
    if [ "$(id -u)" -ne 0 ]; then
        mkdir "$dir/readonly"
        old_content > "$dir/readonly/$(file_name "$name" out)"
        chmod 555 "$dir/readonly"
        run_command "$exit_refused" "$name" "$good" "$dir/readonly/$(file_name "$name" out)"
        expect_message "^vortan-[a-z]+: cannot write $dir/readonly/[^ ]*: Permission denied$"
        old_content | cmp -s - "$dir/readonly/$(file_name "$name" out)" || fail "$name: the read-only folder's file changed"
        chmod 755 "$dir/readonly"
        record "$name" "output folder read-only" "untouched"
    fi

    # An output that is a symbolic link: the file it points to gets the new content, the link stays a link.
    # The file replaced keeps its own mode.
    old_content > "$dir/target.bin"
    chmod 640 "$dir/target.bin"
    ln -s target.bin "$dir/$(file_name "$name" link)"
    run_command 0 "$name" "$good" "$dir/$(file_name "$name" link)"
    [ -L "$dir/$(file_name "$name" link)" ] || fail "$name: the link was replaced by a file"
    if [ "$tool_name" = world ] || [ "$tool_name" = trace ]; then
        [ "$(head -c 4 "$dir/target.bin")" = VTNF ] || fail "$name: the link's target does not hold the new world"
    else
        cmp -s "$reference" "$dir/target.bin" || fail "$name: the link's target does not hold the new file"
    fi
    [ "$(stat -c %a "$dir/target.bin")" = 640 ] || fail "$name: the replaced file lost its mode"
    record "$name" "output is a symbolic link" "the link kept; its target holds the complete new file"

    # An output that is a device (a FIFO when not root): refused, the node left as it was.
    local kind
    if [ "$(id -u)" -eq 0 ]; then
        mknod "$dir/$(file_name "$name" device)" c 1 3 # the null device
        kind="character special file"
    else
        mkfifo "$dir/$(file_name "$name" device)"
        kind="fifo"
    fi
    run_command "$exit_refused" "$name" "$good" "$dir/$(file_name "$name" device)"
    expect_message "^vortan-[a-z]+: cannot write $dir/[^ ]*: it is a (device|FIFO), not a file$"
    [ "$(stat -c %F "$dir/$(file_name "$name" device)")" = "$kind" ] || fail "$name: the $kind was replaced"
    record "$name" "output is a device node" "the node untouched"

    # A full disk, as a file size limit with SIGXFSZ at its default: refused with the system's cause, the old output
    # untouched. A program that did not ignore the signal would die here with its temporary beside the output.
    old_content > "$out"
    (
        ulimit -f 1
        run_command "$exit_refused" "$name" "$good" "$out"
    )
    # The frame codecs' rows do not pass the writer's words on (the engine's report says only that the scratch file
    # could not be written), so for them the tool can name the file but not the system's cause.
    # An import reads its worlds' sounds into scratch files first, which the same limit refuses: a world would come
    # in without its sound, so the import is refused for that before anything is written.
    case $name in
        "sound decode rt24") expect_message "^vortan-codec: cannot write $out: the decoded sound could not be written" ;;
        import) expect_message "^vortan-world: cannot import $good: 1 record could not be read and would be left out: " ;;
        *) expect_message "^vortan-[a-z]+: cannot write $out: (scratch file in [^ ]*: )?File too large$" ;;
    esac
    old_content | cmp -s - "$out" || fail "$name: a full disk changed the output"
    record "$name" "disk full (ulimit -f 1, SIGXFSZ at its default)" "untouched"

    expect_no_temporary "$dir" "$name"
}

pids=()
for entry in "${commands[@]}"; do
    IFS='|' read -r tool_name name good damaged <<< "$entry"
    check_command "$tool_name" "$name" "$good" "$damaged" &
    pids+=($!)
    if [ "${#pids[@]}" -ge 4 ]; then
        wait "${pids[0]}" || fail "a command failed (above)"
        pids=("${pids[@]:1}")
    fi
done
for pid in "${pids[@]}"; do
    wait "$pid" || fail "a command failed (above)"
done
echo "write safety ok: ${#commands[@]} commands"
