#!/usr/bin/env bash
# `vortan-world make-sample` given what no world takes or plays: each is refused with exit 3, the file and the cause
# named, and nothing is written. A FIFO among the meshes blocked for ever and a link to /dev/zero was read without
# end; vertices that are not finite points, a picture larger than a world's reader opens (8192 x 8192 made a scene
# of 268 MB that no reader took), one of a side no texture has, and any file as the sound were taken; a second
# folder replaced the first. Then `publish` of meshes at the edges of what a float holds, made by make-sample or
# written into the file by hand: it ends without a sanitizer report.
set -euo pipefail
tool="$1"
root="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source "$root/testsupport/tools/run_tool.sh"
tool_timeout=60

quad() { printf 'OFF\n4 1 0\n0 0 0\n1 0 0\n1 %s 1\n0 1 %s\n4 0 1 2 3\n' "$1" "$2"; }
python3 - "$work" "$root/codecs/sound/tests/data/speech_8000_mono.wav" <<'PY'
import os, struct, sys, zlib
work, speech = sys.argv[1], sys.argv[2]

def png(path, width, height):
    row = b"\0" + bytes(width)
    chunk = lambda kind, data: struct.pack(">I", len(data)) + kind + data + struct.pack(
        ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)) +
                  chunk(b"IDAT", zlib.compress(row * height, 9)) + chunk(b"IEND", b""))

def wave(path, tag, channels, rate, bits, data):
    align = channels * bits // 8
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    with open(path, "wb") as out:
        out.write(b"RIFF" + struct.pack("<I", len(body)) + body)

for name in ("huge", "wide", "grown"):
    os.mkdir(os.path.join(work, name))
png(os.path.join(work, "huge", "huge.png"), 8192, 8192)
png(os.path.join(work, "wide", "wide.png"), 65537, 1)
png(os.path.join(work, "grown", "grown.png"), 8193, 2049)
open(os.path.join(work, "notes.wav"), "w").write("a sound in words\n")
open(os.path.join(work, "empty.wav"), "wb").close()
open(os.path.join(work, "cut.wav"), "wb").write(open(speech, "rb").read()[:30])
wave(os.path.join(work, "rate0.wav"), 1, 1, 0, 16, bytes(200))
wave(os.path.join(work, "silent0.wav"), 1, 0, 8000, 16, bytes(200))
wave(os.path.join(work, "deep.wav"), 1, 1, 8000, 24, bytes(300))
wave(os.path.join(work, "nodata.wav"), 1, 1, 8000, 16, b"")
PY

# FOLDER|FILE IN IT|CAUSE, each folder holding that one mesh.
meshes=(
    "fifo|fifo.off|it is a FIFO, not a file"
    "zero|zero.off|it is a device, not a file"
    "nan|nan.off|vertex 2 is not a finite point"
    "inf|inf.off|vertex 3 is not a finite point"
    "minus|minus.off|vertex 2 is not a finite point"
)
for entry in "${meshes[@]}"; do
    IFS='|' read -r folder file cause <<< "$entry"
    mkdir "$work/$folder"
    case $folder in
        fifo) mkfifo "$work/$folder/$file" ;;
        zero) ln -s /dev/zero "$work/$folder/$file" ;;
        nan) quad nan 0 > "$work/$folder/$file" ;;
        inf) quad 1 inf > "$work/$folder/$file" ;;
        minus) quad -inf 0 > "$work/$folder/$file" ;;
    esac
    expect_refused make-sample "$work/never.vtn" --meshes "$work/$folder"
    expect_message "^vortan-world: cannot take $work/$folder/$file: $cause$"
done
expect_refused make-sample "$work/never.vtn" --pictures "$work/huge"
expect_message "^vortan-world: cannot take $work/huge/huge.png: .*8192.*8192"
expect_refused make-sample "$work/never.vtn" --pictures "$work/wide"
expect_message "^vortan-world: cannot take $work/wide/wide.png: 65537 x 1 is not a size a texture may have$"
# Within the reader's limit as read, past it once brought up to powers of two, which is what the scene would store.
expect_refused make-sample "$work/never.vtn" --pictures "$work/grown"
expect_message "^vortan-world: cannot take $work/grown/grown.png: 8193 x 2049 .*\(16384 x 4096\)$"

# SOUND|CAUSE
sounds=(
    "notes.wav|not a RIFF/WAVE file"
    "empty.wav|not a RIFF/WAVE file"
    "cut.wav|the \"fmt \" chunk is shorter than 16 bytes"
    "rate0.wav|no channels, or a rate outside 1..1000000 Hz"
    "silent0.wav|no channels, or a rate outside 1..1000000 Hz"
    "deep.wav|a wave format the player cannot play .*"
    "nodata.wav|it holds no sample"
)
for entry in "${sounds[@]}"; do
    IFS='|' read -r file cause <<< "$entry"
    expect_refused make-sample "$work/never.vtn" --sound "$work/$file"
    expect_message "^vortan-world: cannot take $work/$file: $cause$"
done
mkdir "$work/plain"
quad 1 0 > "$work/plain/plate.off"
quad 2 1 > "$work/plain/slab.off"
quad 3 2 > "$work/plain/tile.off"
expect_usage make-sample "$work/never.vtn" --meshes "$work/plain" --meshes "$work/nan"
expect_message "^vortan-world: make-sample: --meshes is given twice; name one$"
[ ! -e "$work/never.vtn" ] || fail "a refused sample was written"

# Publishing measures each mesh against its source on a grid: a mesh far from the origin, whose cells were counted
# from 0, and coordinates that are no number, put into the file by hand, once met a conversion out of range there.
# Meshes with such coordinates are published plain and compressed; the third of each sample has neither morph
# targets nor vertex frames, so the geometry codec is given it, and must refuse it: one spanning more than a float
# holds was compressed into a mesh that no reader took.
mkdir "$work/far"
quad 1 0 > "$work/far/a.off"
printf 'OFF\n3 1 0\n1e30 1e30 1e30\n1e30 1e30 1e30\n1e30 1e30 1e30\n3 0 1 2\n' > "$work/far/far.off"
printf 'OFF\n3 1 0\n-3e38 0 0\n3e38 0 0\n0 1 0\n3 0 1 2\n' > "$work/far/span.off"
expect_done make-sample "$work/far.vtn" --meshes "$work/far" > /dev/null
expect_done make-sample "$work/plain.vtn" --meshes "$work/plain" > /dev/null
python3 - "$root/bench" "$work/plain.vtn" "$work/nan.vtn" <<'PY'
import struct, sys
sys.path.insert(0, sys.argv[1])
from hostile_worlds import read_document, tag, write_document
version, records = read_document(sys.argv[2])
meshes = [r for r in records if r[0] == tag("MMES")]
assert len(meshes) == 3, "the sample holds the three meshes"
for mesh in meshes:
    at = mesh[3].index(b"MRAW") + 12  # past the tag, its length and the vertex count
    corners = struct.pack("<6f", float("nan"), 0, float("inf"), float("-inf"), 1, float("nan"))
    mesh[3] = mesh[3][:at] + corners + mesh[3][at + len(corners):]
write_document(sys.argv[3], version, records)
PY
for entry in far:span.off nan:tile.off; do
    scene=${entry%%:*}
    for scheme in RMES IMES; do
        expect_done publish "$work/$scene.vtn" "$work/$scene.vto" --mesh "$scheme" > "$work/published"
        grep -q 'read-back=complete' "$work/published" || fail "$scene.vto does not read whole: $(cat "$work/published")"
    done
    grep -q "^report \[PXERR_INVALIDGEOMETRY\] ${entry#*:}$" "$work/published" ||
        fail "the codec took ${entry#*:}: $(cat "$work/published")"
done
echo "sample inputs ok"
