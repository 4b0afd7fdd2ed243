#!/usr/bin/env python3
"""Writes the arcball and navigation seeds of the motion-records fuzz target into corpus/motion_records/.

A seed's first byte is the motion kind (45, 62 and 63 the arcball, 64 the navigation); the rest is that motion's
record list. Records are a 4-byte tag, a u32 length and the payload, little-endian; f32 and f64 as bit patterns.
"""
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "motion_records")
os.makedirs(here, exist_ok=True)

PI = 3.1415927
FLT_MAX = 3.4028235e38
IDENTITY = struct.pack("<16f", *[1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1])


def rec(tag, payload):
    return tag.encode() + struct.pack("<I", len(payload)) + payload


def s(text):
    data = text.encode()
    return struct.pack("<I", len(data)) + data


def channel(code, lo, hi, scale=1.0, momentum=0, momentum_ms=2000.0, clamp=0, frame=136, invert=0, sphere=None,
            name=""):
    payload = (s(name) + struct.pack("<Bfff", code, lo, hi, scale) + struct.pack("<BfBB", momentum, momentum_ms, clamp,
                                                                                  frame)
               + IDENTITY + struct.pack("<BB", 0, invert))
    if sphere is not None:
        payload += struct.pack("<B", sphere)  # older records end before the sphere byte
    return rec("7492", payload)


def shared(flags=1, target=""):
    return rec("7444", struct.pack("<BBIB", 1, 0, 1, flags) + IDENTITY + s(target))


default_channels = [
    channel(1, -PI, PI, momentum=1, invert=1, sphere=0),
    channel(0, -PI, PI, momentum=1, invert=1, sphere=0),
    channel(4, -FLT_MAX, FLT_MAX, invert=1, sphere=0),
    channel(5, -FLT_MAX, FLT_MAX, sphere=0),
    channel(10, -FLT_MAX, FLT_MAX, sphere=0),
    channel(6, -FLT_MAX, FLT_MAX, invert=1, sphere=0),
]
settings = rec("7491", bytes([0, 0, 1]))
arcball = settings + b"".join(default_channels) + shared()


def older(left, right, middle):
    return rec("7443", struct.pack("<ddBBB6fBB", 1000.0, 2000.0, left, right, middle, 100.0, 100.0, 100.0, 0, 0, 0,
                                   1, 0))


def navigation(free_mode, with_walk=True, reverse=False):
    own = rec("7443", struct.pack("<B6Iff", free_mode, 258, 259, 119, 115, 261, 260, 1.34, 1.5707964))
    walk = rec("GNHM", struct.pack("<9IBfffB", 97, 100, 32, 257, 256, 99, 122, 120, 0xFFFFFFFF, 1, 0.0, 2.68, 0.67,
                                   1))
    records = [own, walk] if with_walk else [own]
    if reverse:
        records.reverse()
    return b"".join(records)


seeds = {
    "arcball_default": bytes([45]) + arcball,
    "arcball_sphere_clamped": bytes([63]) + rec("7491", bytes([1, 1, 1]))
    + channel(1, -PI, PI, clamp=1, sphere=1) + b"".join(default_channels[1:]) + shared(),
    "arcball_without_sphere_byte": bytes([62]) + settings
    + b"".join(channel(c, -PI, PI) for c in (1, 0, 4, 5, 10, 6)) + shared(),
    "arcball_odd_codes": bytes([45]) + settings + channel(3, 0, 1, sphere=0) + channel(200, 0, 1, sphere=0)
    + b"".join(default_channels[2:]) + shared(),
    "arcball_seventh_channel": bytes([45]) + arcball + channel(11, -1, 1, sphere=0),
    "arcball_scale_channel": bytes([45]) + settings + channel(11, -FLT_MAX, FLT_MAX, scale=2.0, sphere=0)
    + b"".join(default_channels[1:]) + shared(),
    "arcball_exclusive_only": bytes([45]) + rec("7472", bytes([1])) + b"".join(default_channels) + shared(),
    "arcball_older_presets": bytes([45]) + older(3, 8, 14) + shared(1 | 128, "pivot"),
    "arcball_older_shared_first": bytes([63]) + shared(32 | 2) + older(14, 21, 0),
    "navigation_walk": bytes([64]) + navigation(0),
    "navigation_free": bytes([64]) + navigation(1, with_walk=False),
    "navigation_reversed": bytes([64]) + navigation(0, reverse=True) + rec("XXXX", b"skipped"),
}
for name, data in seeds.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
