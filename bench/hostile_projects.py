#!/usr/bin/env python3
"""Hostile project files and settings for the release-build measurements of what the designer reads: small files that
once cost gigabytes or seconds. Each project is made from the sample project (`vortan-project make-sample`) by
rewriting its project item or its world's texture list; the settings files are written whole.

  hostile_projects.py SAMPLE.vtp OUTDIR      writes into OUTDIR:
    tooltip-margins.vtp    32 tooltip records whose margins are 0x7FFFFFFF
    tooltip-lines.vtp      one tooltip whose text is 8 MiB of line breaks
    tooltip-records.vtp    10,000 small tooltip records
    gradients.vtp          1,000,000 empty gradient records (nine bytes each)
    gradients-deflated.vtp the project item DEFLATE-compressed, stating a gigabyte of empty gradient records
    pictures.vtp           16 generated pictures of 8192 x 4096 pixels
    wavelets.vtp           16 wavelet textures of 8192 x 4096 pixels whose streams do not decode
    wavelets-two.vtp       two of them, which the read limits pass
    docks.reg              settings with ten floating bars of 4000 x 4000
    large.reg              settings of 12 MB (one long value of ordinary text)
    controls.reg           settings of 12.6 MB whose long value is raw control bytes
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from hostile_worlds import HEADER, deflated, join, nested, read_document, tag  # noqa: E402

import zlib  # noqa: E402


def write_plain(path, version, records):
    """As hostile_worlds.write_document, unscrambled: large files are made in seconds, and read the same."""
    body = bytearray()
    for t, parent, rflags, payload in records:
        body += struct.pack("<IIII", t, len(payload) + 8, parent, rflags) + payload
    body += struct.pack("<I", tag("END "))
    head = b"VTNF" + version + struct.pack("<III", zlib.crc32(body) & 0xFFFFFFFF, 0, HEADER + len(body))
    with open(path, "wb") as out:
        out.write(head + bytes(body))


def string(text):
    data = text.encode() if isinstance(text, str) else text
    return struct.pack("<I", len(data)) + data


def tooltip(name, text=b"Tooltip", margin=0):
    return (
        string(name)
        + struct.pack("<dddBffI", 250.0, 0.0, 0.0, 0, 10.0, 10.0, 0)
        + string("DejaVu Sans")
        + struct.pack("<II", 13, 400)
        + bytes(4)
        + string(text)
        + bytes([255, 255, 255, 0, 0, 0])
        + struct.pack("<IIBBBII", 0xFF000000, 0x80000000, 0, 0, 0, margin, margin)
    )


def texture_header(name, width, height):
    return string(name) + struct.pack("<III", width, height, 0)


def generated_picture(name, width, height):
    generator = struct.pack("<HH", 5, 0) + struct.pack("<9f", 1, 0, 0, 0, 0, 1, 0.5, 0.5, 0.5)
    generator += struct.pack("<fB", 0.5, 0) + struct.pack("<3f", 0.7, 0, 0) + struct.pack("<3f", 0, 0, 0)
    return join([(tag("TXHD"), texture_header(name, width, height)), (tag("PGEN"), generator)])


def broken_wavelet(name, width, height):
    return join(
        [
            (tag("TXHD"), texture_header(name, width, height)),
            (tag("WQUA"), struct.pack("<I", 50)),
            (tag("WCIS"), bytes(range(256)) * 4),
        ]
    )


def with_item(records, payload, flags=0):
    return [[r[0], r[1], flags, payload] if r[0] == tag("2PRJ") else list(r) for r in records]


def with_textures(records, images):
    """The world's texture list with images (tag, payload) appended as its children."""
    out = [list(r) for r in records]
    lists = [i for i, r in enumerate(out) if r[0] == tag("TXLS")]
    at = lists[0]
    # Children are listed in pre-order right after their parent: appended after the list's last descendant, and every
    # later parent index moves up by the records put in.
    end = at + 1
    while end < len(out) and out[end][1] != 0xFFFFFFFF and out[end][1] >= at:
        end += 1
    added = [[t, at, 0, p] for t, p in images]
    for r in out[end:]:
        if r[1] != 0xFFFFFFFF and r[1] >= end:
            r[1] += len(added)
    return out[:end] + added + out[end:]


def settings(path, sections):
    with open(path, "wb") as out:
        for key, values in sections:
            out.write(b"[" + key.encode() + b"]\n")
            for name, value in values:
                out.write(b'"' + name.encode() + b'"=' + value + b"\n")
            out.write(b"\n")


def main():
    sample, outdir = sys.argv[1], sys.argv[2]
    os.makedirs(outdir, exist_ok=True)
    version, records = read_document(sample)
    item = next(r[3] for r in records if r[0] == tag("2PRJ"))
    path = lambda name: os.path.join(outdir, name)  # noqa: E731

    margins = join([(tag("PRTT"), tooltip(f"tip{i}", margin=0x7FFFFFFF)) for i in range(32)])
    write_plain(path("tooltip-margins.vtp"), version, with_item(records, item + margins))
    lines = join([(tag("PRTT"), tooltip("lines", b"\n" * (8 << 20)))])
    write_plain(path("tooltip-lines.vtp"), version, with_item(records, item + lines))
    many = join([(tag("PRTT"), tooltip(f"t{i}")) for i in range(10000)])
    write_plain(path("tooltip-records.vtp"), version, with_item(records, item + many))

    empty = struct.pack("<II", tag("PRW4"), 1) + b"\0"
    write_plain(path("gradients.vtp"), version, with_item(records, item + empty * 1000000))
    count = ((1 << 30) - len(item)) // len(empty)

    def chunks():
        yield item
        block = empty * 100000
        left = count
        while left > 0:
            n = min(left, 100000)
            yield block if n == 100000 else empty * n
            left -= n

    write_plain(
        path("gradients-deflated.vtp"), version, with_item(records, deflated(len(item) + count * len(empty), chunks), 2)
    )

    width, height = 8192, 4096
    pictures = [(tag("CIPR"), generated_picture(f"p{i}", width, height)) for i in range(16)]
    write_plain(path("pictures.vtp"), version, with_textures(records, pictures))
    wavelets = [(tag("WAVL"), broken_wavelet(f"w{i}", width, height)) for i in range(16)]
    write_plain(path("wavelets.vtp"), version, with_textures(records, wavelets))
    write_plain(path("wavelets-two.vtp"), version, with_textures(records, wavelets[:2]))

    root = "Software\\Brenix\\Vortan"
    bars = ["SceneGraph", "Events", "Actions", "Properties", "Manipulate", "Expressions", "Java", "Sounds", "Cursors",
            "Resources"]
    dword = lambda v: b"dword:%08x" % v  # noqa: E731
    docks = []
    for i, name in enumerate(bars):
        values = [("Side", dword(0)), ("Size", dword(220)), ("Visible", dword(1)), ("Floating", dword(1)),
                  ("FloatX", dword(0)), ("FloatY", dword(0)), ("FloatW", dword(4000)), ("FloatH", dword(4000)),
                  ("Share", dword(0))]
        docks.append((f"{root}\\{name}-SCBar-{i}", values))
    settings(path("docks.reg"), docks)
    recent = (f"{root}\\Recent File List", [("File1", b'"/tmp/kept.vtp"')])
    settings(path("large.reg"), [recent, (f"{root}\\Notes", [("text", b'"' + b"x" * (12 << 20) + b'"')])])
    settings(path("controls.reg"), [recent, (f"{root}\\Notes", [("text", b'"' + b"\x01" * 12600000 + b'"')])])


if __name__ == "__main__":
    main()
