#!/usr/bin/env bash
# vortan on the headless screen: the screenshot run on the sample, without and with a click on the cube (the view's
# corner shows the first background, then the second one), the runs without a display, and the usage errors.
set -euo pipefail
tool="$1"
sample="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../../testsupport/tools/run_tool.sh"
export VORTAN_SETTINGS_FILE="$work/settings.reg" XDG_CACHE_HOME="$work/cache"

# The colour of pixel (x, y) of an 8-bit RGB PNG as "r,g,b".
pixel() {
    python3 - "$1" "$2" "$3" <<'PY'
import sys, zlib, struct
data = open(sys.argv[1], 'rb').read()
pos, chunks = 8, []
while pos < len(data):
    length, kind = struct.unpack('>I4s', data[pos:pos + 8])
    chunks.append((kind, data[pos + 8:pos + 8 + length]))
    pos += 12 + length
width, height = struct.unpack('>II', dict(chunks)[b'IHDR'][:8])
raw = zlib.decompress(b''.join(d for k, d in chunks if k == b'IDAT'))
stride, rows, prev = width * 3, [], bytearray(width * 3)
for y in range(height):
    f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - 3] if i >= 3 else 0
        b, c = prev[i], prev[i - 3] if i >= 3 else 0
        p = a + b - c
        pred = [0, a, b, (a + b) // 2, a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c][f]
        line[i] = (line[i] + pred) & 255
    rows.append(line)
    prev = line
x, y = int(sys.argv[2]), int(sys.argv[3])
print(','.join(str(v) for v in rows[y][x * 3:x * 3 + 3]))
PY
}

# A point of the sky near the first view's top-left corner, on the screen: the frame at the work area's origin, the
# view inside its MDI client, between the docked panels.
corner_x=250
corner_y=115
# A recovery copy an earlier run left: no run here offers it, so every one keeps it for the next start.
cp "$sample" "$work/recovery.vtp"
expect_done --screenshot "$work/still.png" --frames 5 "$sample"
[ "$(pixel "$work/still.png" $corner_x $corner_y)" = "32,48,80" ] || fail "first background: $(pixel "$work/still.png" $corner_x $corner_y)"
# The click is at the middle of the turning cube, which no angle of its turn leaves.
expect_done --screenshot "$work/clicked.png" --frames 10 --click 260,280 "$sample"
[ "$(pixel "$work/clicked.png" $corner_x $corner_y)" = "255,153,26" ] ||
    fail "second background: $(pixel "$work/clicked.png" $corner_x $corner_y)"

VORTAN_DISPLAY=headless expect_done "$sample" > "$work/out.txt"
grep -q "the screen is in $work/cache/vortan/screen.png" "$work/out.txt" || fail "$(cat "$work/out.txt")"
[ -s "$work/cache/vortan/screen.png" ] || fail "no screen.png"

# No display a person sees: none at all, or SDL's drivers that draw into memory only. As on a first run (no settings
# yet, the project named from its own folder) the designer ends by itself with the picture and a line naming it, and
# its recent-file list keeps the project's absolute path.
tool_timeout=120
for driver in none offscreen dummy; do
    rm -rf "$work/cache"
    (
        cd "$(dirname "$sample")"
        unset DISPLAY WAYLAND_DISPLAY VORTAN_DISPLAY SDL_VIDEODRIVER
        [ "$driver" = none ] || export SDL_VIDEODRIVER=$driver
        export VORTAN_SETTINGS_FILE="$work/first-$driver.reg"
        expect_done "$(basename "$sample")" > "$work/out.txt"
    )
    grep -q "the screen is in $work/cache/vortan/screen.png" "$work/out.txt" || fail "$driver: $(cat "$work/out.txt")"
    [ -s "$work/cache/vortan/screen.png" ] || fail "$driver: no screen.png"
    grep -qF "$sample" "$work/first-$driver.reg" || fail "$driver: recent files: $(cat "$work/first-$driver.reg")"
done
tool_timeout=""
cmp -s "$sample" "$work/recovery.vtp" || fail "the recovery copy did not outlive runs that never offered it"

# A project the run refuses still gives its picture, then the refusal's exit code and the box's line.
expect_refused --screenshot "$work/refused.png" --frames 1 "$work/missing.vtp"
[ -s "$work/refused.png" ] || fail "no picture of the refused run"
grep -q "missing.vtp" "$tool_err" || fail "the refusal names no file: $(cat "$tool_err")"
# Settings that cannot be read are said once, not passed over in silence.
mkdir "$work/settings-folder"
VORTAN_SETTINGS_FILE="$work/settings-folder" expect_done --screenshot "$work/x.png" --frames 1 "$sample"
grep -q "settings-folder: cannot be read" "$tool_err" || fail "no word of the settings: $(cat "$tool_err")"

expect_usage --no-such-option
expect_usage -m macros.txt
expect_usage -L log.txt
grep -q "batch mode" "$tool_err" || fail "no word of the batch mode"
expect_usage --click 10,10 "$sample"
# An option with its value missing says so; "--" ends the options, so a project whose name starts with '-' opens.
expect_usage --screenshot
grep -q -- "--screenshot is missing its file" "$tool_err" || fail "--screenshot alone: $(cat "$tool_err")"
cp "$sample" "$work/-dashed.vtp"
(cd "$work" && expect_done --screenshot dashed.png --frames 1 -- -dashed.vtp > /dev/null)
[ -s "$work/dashed.png" ] || fail "no picture of the project named -dashed.vtp"
expect_usage --screenshot "$work/x.png" --frames 0
echo ok
