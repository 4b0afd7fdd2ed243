#!/usr/bin/env python3
"""Hostile world files for the release-build measurements of world loading: small files that once cost minutes or
gigabytes. Each is made from a sample world (`vortan-world make-sample`) by rewriting its records.

  hostile_worlds.py SAMPLE.vtn OUTDIR      writes into OUTDIR:
    nodes-N.vtn     the node table record repeated N times inside the stream root (N = 100, 1000, 10000)
    names.vtn       5,005 top-level nodes sharing 5 of the sample's names, to be imported into the sample
    bomb.vtn        the header record DEFLATE-compressed, stating 1 GiB of zeros
    bomb5.vtn       five such header records
    image.vtn       one CI32 texture of 65536 x 1024 pixels in a DEFLATE-compressed record
    block.bin       a `vortan-res filter deflate decode` input stating 2^31 - 1 bytes of zeros
    large.vtn       not hostile: an 80 MB world whose sphere has 1.1 M vertices, which the default limits pass
"""
import os
import struct
import sys
import zlib

HEADER = 20


def tag(text):
    return struct.unpack("<I", text.encode())[0]


def scramble(body, seed):
    state = seed or 0x9E3779B9
    out = bytearray(body)
    words = (len(out) + 3) // 4
    keys = bytearray()
    for _ in range(words):
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        keys += struct.pack("<I", state)
    for i in range(len(out)):
        out[i] ^= keys[i]
    return bytes(out)


def read_document(path):
    data = open(path, "rb").read()
    version = data[4:8]
    seed, flags, _ = struct.unpack_from("<III", data, 8)
    body = data[HEADER:]
    if flags & 1:
        body = scramble(body, seed)
    records, at = [], 0
    while True:
        (t,) = struct.unpack_from("<I", body, at)
        if t == tag("END "):
            break
        (length,) = struct.unpack_from("<I", body, at + 4)
        parent, rflags = struct.unpack_from("<II", body, at + 8)
        records.append([t, parent, rflags, body[at + 16 : at + 8 + length]])
        at += 8 + length
    return version, records


def write_document(path, version, records):
    body = bytearray()
    for t, parent, rflags, payload in records:
        body += struct.pack("<IIII", t, len(payload) + 8, parent, rflags) + payload
    body += struct.pack("<I", tag("END "))
    seed = zlib.crc32(body) & 0xFFFFFFFF
    head = b"VTNF" + version + struct.pack("<III", seed, 1, HEADER + len(body))
    with open(path, "wb") as out:
        out.write(head + scramble(bytes(body), seed))


def nested(payload):
    """The nested records of a payload as (tag, bytes) pairs."""
    items, at = [], 0
    while at + 8 <= len(payload):
        t, length = struct.unpack_from("<II", payload, at)
        items.append((t, payload[at + 8 : at + 8 + length]))
        at += 8 + length
    return items


def join(items):
    return b"".join(struct.pack("<II", t, len(p)) + p for t, p in items)


def deflated(stated, chunks):
    """A compressed payload: u32 stated size and the zlib stream of chunks (callable yielding bytes)."""
    packer = zlib.compressobj(9)
    out = bytearray(struct.pack("<I", stated))
    for chunk in chunks():
        out += packer.compress(chunk)
    return bytes(out + packer.flush())


def zeros(total, step=1 << 24):
    def chunks():
        left = total
        while left > 0:
            n = min(step, left)
            yield bytes(n)
            left -= n

    return chunks


def stream_root(records):
    return next(i for i, r in enumerate(records) if r[0] == tag("5PTS"))


def main():
    sample, outdir = sys.argv[1], sys.argv[2]
    os.makedirs(outdir, exist_ok=True)
    version, records = read_document(sample)
    at = stream_root(records)
    parts = nested(records[at][3])
    table = next(p for t, p in parts if t == tag("NODT"))

    for copies in (100, 1000, 10000):
        grown = []
        for t, p in parts:
            grown += [(t, p)] * (copies if t == tag("NODT") else 1)
        changed = [list(r) for r in records]
        changed[at][3] = join(grown)
        write_document(os.path.join(outdir, f"nodes-{copies}.vtn"), version, changed)

    # The first five nodes after the root (object nodes), moved to the top level, repeated to 5,005 nodes.
    nodes = nested(table)
    tops = []
    for t, node in nodes[1:6]:
        items = nested(node)
        fixed = []
        for it, ip in items:
            if it == tag("NHDR"):
                ip = ip[:4] + struct.pack("<I", 0) + ip[8:]
            fixed.append((it, ip))
        tops.append((t, join(fixed)))
    many = [nodes[0]] + [tops[i % len(tops)] for i in range(5005)]
    grown = [(t, join(many) if t == tag("NODT") else p) for t, p in parts]
    changed = [list(r) for r in records]
    changed[at][3] = join(grown)
    write_document(os.path.join(outdir, "names.vtn"), version, changed)

    bomb = deflated(1 << 30, zeros(1 << 30))
    for name, count in (("bomb.vtn", 1), ("bomb5.vtn", 5)):
        changed = []
        for r in records:
            if r[0] == tag("HEAD"):
                changed += [[r[0], r[1], 2, bomb]] * count
            else:
                changed.append(list(r))
        write_document(os.path.join(outdir, name), version, changed)

    # The sample's CI32 texture, 65536 x 1024 pixels of zeros.
    changed = []
    width, height = 65536, 1024
    for r in records:
        if r[0] != tag("CI32"):
            changed.append(list(r))
            continue
        items = nested(r[3])
        head = next(p for t, p in items if t == tag("TXHD"))
        (name_length,) = struct.unpack_from("<I", head, 0)
        name_end = 4 + (0 if name_length == 0xFFFFFFFF else name_length)
        head = head[:name_end] + struct.pack("<II", width, height) + head[name_end + 8 :]
        pixels = width * height * 4
        frame = struct.pack("<II", tag("TXHD"), len(head)) + head + struct.pack("<II", tag("PX32"), pixels)

        def chunks():
            yield frame
            yield from zeros(pixels)()

        changed.append([r[0], r[1], 2, deflated(len(frame) + pixels, chunks)])
    write_document(os.path.join(outdir, "image.vtn"), version, changed)

    # The sample's second mesh (the sphere) as a grid of 1,000 x 1,100 vertices: its raw geometry, materials (none)
    # and smoothing masks.
    rows, columns = 1000, 1100
    vertices = bytearray()
    for i in range(rows):
        for j in range(columns):
            vertices += struct.pack("<fff", j / columns, i / rows, ((i * j) % 7) / 7.0)
    triangles = bytearray()
    count = 0
    for i in range(rows - 1):
        for j in range(columns - 1):
            a = i * columns + j
            triangles += struct.pack("<6I", a, a + columns, a + 1, 0, 0, 0)
            triangles += struct.pack("<6I", a + 1, a + columns, a + columns + 1, 0, 0, 0)
            count += 2
    raw = struct.pack("<I", rows * columns) + vertices + struct.pack("<I", 0) + struct.pack("<I", count) + triangles
    materials = struct.pack("<II", 0, count) + b"\xff\xff" * count
    masks = struct.pack("<I", count) + struct.pack("<I", 1) * count
    mesh_row = join([(tag("MRAW"), raw), (tag("MMAT"), materials), (tag("MSMO"), masks)])
    changed = [list(r) for r in records]
    spheres = [r for r in changed if r[0] == tag("MMES")]
    sphere = spheres[1]
    sphere[3] = join([(t, mesh_row if t == tag("RMES") else p) for t, p in nested(sphere[3])])
    write_document(os.path.join(outdir, "large.vtn"), version, changed)

    with open(os.path.join(outdir, "block.bin"), "wb") as out:
        out.write(deflated((1 << 31) - 1, zeros((1 << 31) - 1)))


if __name__ == "__main__":
    main()
