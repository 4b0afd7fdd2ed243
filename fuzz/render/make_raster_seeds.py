#!/usr/bin/env python3
"""Writes the seed corpora of the rasteriser fuzz targets (corpus/raster, corpus/raster_indexed).

Each seed is a format record (as testsupport/render/raster_fuzz_input.h reads it), a depth range and vertex
words: one per kind of cell of the test scene (every configured pipeline, each filter, each blend mode, depth
tests, the receding floor) and the robustness cases (far-away, NaN and infinite vertices, near distance 0, strides
too short, bad indices).
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def record(mode, layers, flags=0, alpha=0, colours=2, sets=1, layer_flags=0, images=None, near=1.0, far=100.0,
           stride=None):
    first = 4 + colours
    stride = first + 2 * sets if stride is None else stride
    out = bytes([mode, layers, flags, alpha, stride, first, colours])
    for i in range(8):
        out += bytes([layer_flags if i < layers else 0, 0]) + struct.pack("<I", 0x808080)
    images = images or [(7, 7)] * 8  # 8 x 8
    for w, h in images:
        out += bytes([w, h])
    return out + struct.pack("<ff", near, far), stride


def vertex(stride, x, y, w=1.0, colour=0x80C08040, u=0.0, v=0.0):
    words = [0] * stride
    words[0] = struct.unpack("<I", struct.pack("<f", x))[0]
    words[1] = struct.unpack("<I", struct.pack("<f", y))[0]
    words[3] = struct.unpack("<I", struct.pack("<f", w))[0]
    for i in range(4, min(6, stride)):
        words[i] = colour
    if stride >= 8:
        words[6] = struct.unpack("<I", struct.pack("<f", u))[0]
        words[7] = struct.unpack("<I", struct.pack("<f", v))[0]
    return b"".join(struct.pack("<I", word) for word in words)


def quad(stride, x0, y0, x1, y1, w_top=1.0, w_bottom=1.0):
    a = vertex(stride, x0, y0, w_top, u=0, v=0)
    b = vertex(stride, x1, y0, w_top, u=1, v=0)
    c = vertex(stride, x1, y1, w_bottom, u=1, v=1)
    d = vertex(stride, x0, y1, w_bottom, u=0, v=1)
    return a + b + c + a + c + d


def seeds():
    out = {}
    for mode, layers in [(3, 0), (3, 1), (3, 2), (4, 1), (4, 2), (4, 3), (5, 2), (5, 3), (5, 4)]:
        for filt in (0, 1, 2, 8):
            images = [(255, 0)] * 8 if filt == 2 else None
            head, stride = record(mode, layers, layer_flags=filt, images=images, flags=3)
            out["mode%d_layers%d_filter%d" % (mode, layers, filt)] = head + quad(stride, 2, 3, 60, 45)
    for blend in range(4):
        head, stride = record(3, 1, flags=(4 if blend & 2 else 0) | 3, alpha=blend & 1)
        out["blend%d" % blend] = head + quad(stride, 1.5, 2.5, 40.5, 30.5) + quad(stride, 20, 10, 63, 47)
    head, stride = record(3, 1, flags=3)
    out["perspective"] = head + quad(stride, 0, 0, 64, 48, 0.125, 1.0)
    head, stride = record(3, 0, flags=3, near=0.0)
    out["near_zero"] = head + quad(stride, 0, 0, 64, 48)
    huge = 2.0 ** 40
    out["far_away"] = head + quad(stride, -huge, -huge, huge, huge) + quad(stride, -1e30, 5, 70, 1e30)
    out["non_finite"] = head + quad(stride, math.nan, 0, 10, 10) + quad(stride, 0, math.inf, 10, 10)
    short, stride_short = record(3, 1, colours=2, sets=1, stride=5)
    out["short_stride"] = short + quad(8, 0, 0, 30, 30)[: 6 * 5 * 4]
    odd, stride = record(3, 2, images=[(2, 4), (63, 0)] + [(254, 0)] * 6)
    out["odd_sizes"] = odd + quad(stride, 0, 0, 64, 48)
    out["mode_out_of_range"] = record(200, 9)[0] + quad(8, 0, 0, 64, 48)
    return out


def indexed(seed_bytes, stride, vertex_count, triangle_count, indices, sets):
    head_len = 7 + 8 * 6 + 16 + 8
    head, body = seed_bytes[:head_len], seed_bytes[head_len:]
    counts = struct.pack("<hh", vertex_count, triangle_count) + bytes([vertex_count & 0xFF, len(indices), sets])
    return head + counts + bytes(indices) + body


def write(folder, named):
    os.makedirs(folder, exist_ok=True)
    for name, data in sorted(named.items()):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    queue = seeds()
    write(os.path.join(HERE, "corpus", "raster"), queue)
    tri_indices = [0, 1, 2, 3, 4, 5]
    with_indices = {}
    for name, data in queue.items():
        with_indices[name] = indexed(data, 8, 6, 2, tri_indices, 1)
    with_indices["index_past_count"] = indexed(queue["blend0"], 8, 6, 2, [0, 1, 2, 0, 1, 60], 1)
    with_indices["counts_past_buffers"] = indexed(queue["blend0"], 8, 12, 400, tri_indices, 1)
    with_indices["negative_counts"] = indexed(queue["blend0"], 8, -5, -1, tri_indices, 1)
    write(os.path.join(HERE, "corpus", "raster_indexed"), with_indices)


if __name__ == "__main__":
    main()
