#!/usr/bin/env python3
"""Writes the seed corpus of the clipper fuzz target (corpus/clipper).

A seed is u8 stride (4 + byte % 252), u8 lead, f32 near and far distance, then triangles of stride words whose
first three are clip-space x, y, z: one per cut (each plane alone, all six, an edge across both side planes,
the near plane at a corner), at the narrowest and widest strides, and non-finite corners.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def seed(stride, lead, triangles, near=0.15, far=50.0):
    out = bytes([(stride - 4) % 252, lead]) + struct.pack("<ff", near, far)
    for triangle in triangles:
        for x, y, z in triangle:
            words = struct.pack("<fff", x, y, z) + struct.pack("<I", 0)
            for i in range(4, stride):
                words += struct.pack("<I", 0xFF00FF00 if i < lead else 0x3F000000 + i)
            out += words
    return out


INSIDE = [(0.0, 0.0, -0.5), (0.1, 0.0, -0.5), (0.0, 0.1, -0.5)]
CUTS = {
    "inside": [INSIDE],
    "left": [[(-2.0, 0.0, -0.5), (0.1, 0.0, -0.5), (0.0, 0.1, -0.5)]],
    "right": [[(0.0, 0.0, -0.5), (2.0, 0.0, -0.5), (0.0, 0.1, -0.5)]],
    "bottom": [[(0.0, -2.0, -0.5), (0.1, 0.0, -0.5), (0.0, 0.1, -0.5)]],
    "top": [[(0.0, 0.0, -0.5), (0.1, 0.0, -0.5), (0.0, 2.0, -0.5)]],
    "near": [[(0.0, 0.0, 0.5), (0.001, 0.0, -0.5), (0.0, 0.001, -0.5)]],
    "far": [[(0.0, 0.0, -1.5), (0.1, 0.0, -0.5), (0.0, 0.1, -0.5)]],
    "across": [[(-2.0, 0.0, -0.5), (2.0, 0.0, -0.5), (0.0, 0.1, -0.5)]],
    "all_six": [[(-40.0, -40.0, 0.5), (40.0, -40.0, -3.0), (0.0, 60.0, -1.2)]],
    "outside": [[(-2.0, 0.0, -0.5), (-3.0, 0.0, -0.5), (-2.0, 0.1, -0.5)]],
    "huge": [[(-40.0, -30.0, -0.5), (40.0, -30.0, -0.5), (0.0, 50.0, -0.5)]],
    "non_finite": [[(float("nan"), 0.0, -0.5), (float("inf"), 0.0, 2.0), (0.0, 0.1, float("-inf"))]],
}


def main():
    folder = os.path.join(HERE, "corpus", "clipper")
    os.makedirs(folder, exist_ok=True)
    for name, triangles in CUTS.items():
        for stride, lead in ((4, 4), (8, 6), (255, 6), (255, 255)):
            with open(os.path.join(folder, f"{name}_{stride}_{lead}"), "wb") as f:
                f.write(seed(stride, lead, triangles))
    with open(os.path.join(folder, "near_zero"), "wb") as f:
        f.write(seed(8, 6, CUTS["near"] + CUTS["all_six"], near=0.0))


if __name__ == "__main__":
    main()
