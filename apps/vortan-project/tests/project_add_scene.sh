#!/usr/bin/env bash
# `vortan-project add-scene` with a scene that is not whole: missing, empty, cut short, or one whose sound record
# does not read. Each is refused with exit 3 and the cause, the file and the record left out named, and nothing is
# written; it once added the scene without its sound and said nothing.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"

expect_done make-sample "$work/sample.vtp" > /dev/null
: > "$work/empty.vtn"
size=$(stat -c %s "$work/sample.vtn")
head -c $((size / 2)) "$work/sample.vtn" > "$work/cut.vtn"
python3 "$2/bench/mute_sound.py" "$work/sample.vtn" "$work/mute.vtn"
for case in "missing.vtn|No such file" "empty.vtn|the file is empty" "cut.vtn|truncated" \
    "mute.vtn|a record could not be read and was left out"; do
    scene="${case%%|*}"
    expect_refused add-scene "$work/sample.vtp" "$work/$scene" "$work/never.vtp" > /dev/null
    grep -q -- "$work/$scene: .*${case#*|}" "$tool_err" || fail "$scene: $(cat "$tool_err")"
    [ ! -e "$work/never.vtp" ] || fail "a refused scene was written into a project"
done
grep -q 'record [0-9]* "7403": sound does not read' "$tool_err" || fail "the sound is not named: $(cat "$tool_err")"

# A published file is refused saying why; so is an output that is the scene itself, which add-scene once wrote the
# project over (exit 0). The project itself may be written over, as File > Save does.
cp "$work/sample.vtn" "$work/published.vto"
expect_refused add-scene "$work/sample.vtp" "$work/published.vto" "$work/never.vtp" > /dev/null
expect_message "^vortan-project: $work/published.vto: a published file cannot be added to a project; add the scene it \
was published from$"
cp "$work/sample.vtn" "$work/scene.before"
expect_refused add-scene "$work/sample.vtp" "$work/sample.vtn" "$work/sample.vtn" > /dev/null
expect_message "^vortan-project: cannot write $work/sample.vtn: it is the scene being added; name another file$"
cmp -s "$work/sample.vtn" "$work/scene.before" || fail "the scene was written over"
[ ! -e "$work/never.vtp" ] || fail "a refused scene was written into a project"

# The scene is read once, and the world added is the one that read whole: it was read a second time to be added,
# and a file replaced between the two reads went in with records missing. Every open of the scene is counted.
cat > "$work/count_opens.py" <<'PY'
import ctypes, os, subprocess, sys
libc = ctypes.CDLL(None, use_errno=True)
watch = libc.inotify_init1(os.O_NONBLOCK)
IN_CLOSE_NOWRITE, IN_OPEN = 0x10, 0x20  # closes too: the kernel merges an event into an identical one before it
if watch < 0 or libc.inotify_add_watch(watch, sys.argv[1].encode(), IN_OPEN | IN_CLOSE_NOWRITE) < 0:
    sys.exit("inotify: " + os.strerror(ctypes.get_errno()))
status = subprocess.call(sys.argv[3:])
events = b""
try:
    while True:
        events += os.read(watch, 65536)
except BlockingIOError:
    pass
opens, at = 0, 0
while at + 16 <= len(events):
    opens += int.from_bytes(events[at + 4:at + 8], "little") & IN_OPEN != 0
    at += 16 + int.from_bytes(events[at + 12:at + 16], "little")
open(sys.argv[2], "w").write(str(opens))
sys.exit(status)
PY
printf '#!/usr/bin/env bash\nexec python3 "%s" "%s" "%s" "%s" "$@"\n' "$work/count_opens.py" "$work/sample.vtn" \
    "$work/opens" "$tool" > "$work/counting"
chmod +x "$work/counting"
real_tool="$tool"
tool="$work/counting"
expect_done add-scene "$work/sample.vtp" "$work/sample.vtn" "$work/once.vtp" > /dev/null
tool="$real_tool"
[ "$(cat "$work/opens")" = 1 ] || fail "the scene was opened $(cat "$work/opens") times"
expect_done add-scene "$work/sample.vtp" "$work/sample.vtn" "$work/twice.vtp" > /dev/null
echo "add-scene refusals ok"
