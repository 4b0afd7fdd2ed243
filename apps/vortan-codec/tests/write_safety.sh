#!/usr/bin/env bash
# Every vortan-codec command that writes a file, against what can go wrong around it: a missing input, a folder as
# input, a missing or read-only output folder, an output that is a symbolic link or a device, a full disk (a file
# size limit), a damaged input. Each must end with exactly the refusal code and one line naming the file and the
# cause, and leave the output path as it was, or (through a link) holding the complete new file; no temporary file
# may be left behind; a new file is readable by all, a replaced one keeps its mode.
# Called with the tool's path and the source folder. With WRITE_SAFETY_TABLE=FILE set, one Markdown row per case is
# appended to FILE.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
photo="$root/codecs/image/tests/data/photo_96x64.png"
speech="$root/codecs/sound/tests/data/speech_8000_mono.wav"
table="${WRITE_SAFETY_TABLE:-}"
umask 077 # new outputs must still be readable by others (published files are served), so 0644 whatever the umask

# A rippled 80 x 80 grid whose quads are split along either diagonal, so that even its connectivity alone passes
# the 1 KiB file size limit below.
awk 'BEGIN { n = 80; print "OFF"; print n * n, 2 * (n - 1) * (n - 1), 0
             for (y = 0; y < n; ++y) for (x = 0; x < n; ++x) printf "%d %d %.4f\n", x, y, sin(x / 5) * cos(y / 7)
             for (y = 0; y < n - 1; ++y) for (x = 0; x < n - 1; ++x) {
                 v = y * n + x
                 if ((x * 7 + y * 13 + x * y) % 3 == 0) { print 3, v, v + 1, v + n + 1; print 3, v, v + n + 1, v + n }
                 else { print 3, v, v + 1, v + n; print 3, v + 1, v + n + 1, v + n } } }' > "$work/grid.off"
mkdir "$work/inputs"
expect_done image encode "$photo" "$work/inputs/photo.cis" 50 > /dev/null
expect_done mesh encode "$work/grid.off" "$work/inputs/grid.px" > /dev/null
expect_done sound encode wave "$speech" "$work/inputs/speech.bin" 70 > /dev/null
head -c 300 "$photo" > "$work/inputs/cut.png"
head -c 200 "$work/inputs/photo.cis" > "$work/inputs/cut.cis"
head -c 2000 "$work/grid.off" > "$work/inputs/cut.off"
head -c 40 "$work/inputs/grid.px" > "$work/inputs/cut.px"
head -c 30 "$speech" > "$work/inputs/cut.wav"
head -c 300 "$work/inputs/speech.bin" > "$work/inputs/cut.bin"

# name, good input, damaged input; output names are made per case.
commands=(
    "image encode|$photo|$work/inputs/cut.png"
    "image decode|$work/inputs/photo.cis|$work/inputs/cut.cis"
    "image progressive|$work/inputs/photo.cis|$work/inputs/cut.cis"
    "image palette|$photo|$work/inputs/cut.png"
    "mesh encode|$work/grid.off|$work/inputs/cut.off"
    "mesh decode|$work/inputs/grid.px|$work/inputs/cut.px"
    "mesh topo --save-stream|$work/grid.off|$work/inputs/cut.off"
    "sound encode wave|$speech|$work/inputs/cut.wav"
    "sound decode wave|$work/inputs/speech.bin|$work/inputs/cut.bin"
)

# Runs one command with the exit code expected; OUT is the file the command writes (progressive: its first pass).
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
        "sound encode wave") expect_exit "$want" sound encode wave "$in" "$out" 70 ;;
        "sound decode wave") expect_exit "$want" sound decode wave "$in" "$out" ;;
    esac > /dev/null
}

record() { # command, case, what the output path holds afterwards
    [ -z "$table" ] || echo "| \`$1\` | $2 | $tool_status | \`$(tr '|' '/' < "$tool_err")\` | $3 |" >> "$table"
}

# The folder holds exactly the names given (no temporary file left beside them).
expect_entries() {
    local folder=$1
    shift
    local have want
    have=$(cd "$folder" && ls -A | sort | tr '\n' ' ')
    want=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
    [ "$have" = "$want" ] || fail "$folder holds '$have', expected '$want'"
}

old_content() { printf 'the old file, which must survive\n'; }

for entry in "${commands[@]}"; do
    IFS='|' read -r name good damaged <<< "$entry"
    dir="$work/${name// /-}"
    mkdir "$dir"
    out="$dir/out-00.png" # every pass file name fits progressive; the others do not mind the name
    reference="$work/reference-00.png"
    run_command 0 "$name" "$good" "$reference"
    [ "$(stat -c %a "$reference")" = 644 ] || fail "$name: a new file has mode $(stat -c %a "$reference")"

    # An input that is missing, or a folder: refused, the old output untouched.
    old_content > "$out"
    run_command "$exit_refused" "$name" "$work/none" "$out"
    expect_message "cannot read $work/none: No such file or directory"
    old_content | cmp -s - "$out" || fail "$name: a missing input changed the output"
    record "$name" "missing input" "untouched"
    run_command "$exit_refused" "$name" "$work/inputs" "$out"
    expect_message "cannot read $work/inputs: it is a folder"
    old_content | cmp -s - "$out" || fail "$name: a folder as input changed the output"
    record "$name" "input is a folder" "untouched"

    # An output folder that is missing: refused, nothing created.
    run_command "$exit_refused" "$name" "$good" "$dir/missing/out-00.png"
    expect_message "cannot write $dir/missing/out-00.png: No such file or directory"
    [ ! -e "$dir/missing" ] || fail "$name: the missing folder was made"
    record "$name" "output folder missing" "nothing created"

    # A read-only output folder; root writes there regardless, so the case means nothing then.
    if [ "$(id -u)" -ne 0 ]; then
        mkdir "$dir/readonly"
        old_content > "$dir/readonly/out-00.png"
        chmod 555 "$dir/readonly"
        run_command "$exit_refused" "$name" "$good" "$dir/readonly/out-00.png"
        expect_message "cannot write $dir/readonly/out-00.png: Permission denied"
        old_content | cmp -s - "$dir/readonly/out-00.png" || fail "$name: the read-only folder's file changed"
        chmod 755 "$dir/readonly"
        record "$name" "output folder read-only" "untouched"
    fi

    # An output that is a symbolic link: the file it points to gets the new content, the link stays a link.
    # The file replaced keeps its own mode.
    old_content > "$dir/target.bin"
    chmod 640 "$dir/target.bin"
    ln -s target.bin "$dir/link-00.png"
    run_command 0 "$name" "$good" "$dir/link-00.png"
    [ -L "$dir/link-00.png" ] || fail "$name: the link was replaced by a file"
    cmp -s "$reference" "$dir/target.bin" || fail "$name: the link's target does not hold the new file"
    [ "$(stat -c %a "$dir/target.bin")" = 640 ] || fail "$name: the replaced file lost its mode"
    record "$name" "output is a symbolic link" "the link kept; its target holds the complete new file"
    rm -f "$dir"/link-0[1-9].png # the later passes of progressive, beside the link

    # An output that is a device (a FIFO when not root): refused, the node left as it was.
    if [ "$(id -u)" -eq 0 ]; then
        mknod "$dir/device-00.png" c 1 3 # the null device
        kind="character special file"
    else
        mkfifo "$dir/device-00.png"
        kind="fifo"
    fi
    run_command "$exit_refused" "$name" "$good" "$dir/device-00.png"
    expect_message "cannot write $dir/device-00.png: it is a (device|FIFO), not a file"
    [ "$(stat -c %F "$dir/device-00.png")" = "$kind" ] || fail "$name: the $kind was replaced"
    record "$name" "output is a device node" "the node untouched"

    # A full disk, as a file size limit: refused with the system's cause, the old output untouched.
    (
        ulimit -f 1
        trap '' XFSZ
        run_command "$exit_refused" "$name" "$good" "$out"
    )
    expect_message "cannot write $out: (.*: )?File too large"
    old_content | cmp -s - "$out" || fail "$name: a full disk changed the output"
    record "$name" "disk full (ulimit -f 1)" "untouched"

    # A damaged input: refused, the old output untouched. A sound payload goes through its scheme's row, which reads
    # it as a world would and reports the damage: the decode ran and failed.
    run_command "$exit_refused" "$name" "$damaged" "$out"
    expect_message "cannot (read|decode|encode) $damaged( with scheme wave)?: "
    old_content | cmp -s - "$out" || fail "$name: a damaged input changed the output"
    record "$name" "damaged input" "untouched"

    if [ "$(id -u)" -ne 0 ]; then
        expect_entries "$dir" out-00.png target.bin link-00.png device-00.png readonly
    else
        expect_entries "$dir" out-00.png target.bin link-00.png device-00.png
    fi
    rm -f "$reference"
done
echo "write safety ok"
