#!/usr/bin/env python3
"""Writes the seeds of the motion-records fuzz target into corpus/motion_records/ beside this script.

A seed's first byte chooses the route: 0x00 then generator records; a motion kind's number (41 the XYZ rotation,
42 the track target, ...) then that kind's record list. Other scripts beside this one write seeds of other kinds.
Records are a 4-byte tag, a u32 length and the payload, little-endian; f32 and f64 as their bit patterns.
"""
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "motion_records")
os.makedirs(here, exist_ok=True)


def rec(tag, payload):
    return tag.encode() + struct.pack("<I", len(payload)) + payload


def s(text):
    data = text.encode()
    return struct.pack("<I", len(data)) + data


axis = rec("7452", rec("7450", struct.pack("<Ifd", 0, 1.5707964, 1000.0)) + rec("GDLY", struct.pack("<f", 250.0)))
wave = rec("7451", rec("7450", struct.pack("<IBdfdfdfffffBB", 1, 2, 100.0, 0.0, 800.0, 1.0, 100.0, 0.5, 0.0,
                                           200.0, 400.0, -45.0, 0, 0)) + rec("7463", struct.pack("<BB", 1, 1)))
random_new = rec("7453", rec("7463", struct.pack("<Ifff", 2, -1.0, 3.0, 500.0)))
random_old = rec("7453", rec("7450", struct.pack("<Iff", 0, 4.0, 0.0)))


def poly_on(channel):
    return rec("7488", rec("7450", struct.pack("<IfdB", channel, 2.0, 1000.0, 1)) + rec("7463", struct.pack("<Bff", 1, 0.5, 3.0)))


poly = poly_on(0)
prop = rec("7454", rec("7450", struct.pack("<I", 0) + s("NODE:lamp.level") + struct.pack("<fB", 300.0, 1)))
shared = rec("7444", struct.pack("<BBIB", 1, 0, 3, 1) + struct.pack("<16f", *([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1]))
             + s("target")) + rec("7486", s("hum"))

seeds = {
    "generators_all": b"\x00" + axis + wave + random_new + random_old + poly + prop,
    "generator_tiny_period": b"\x00" + rec("7451", rec("7450", struct.pack("<IBdfdfdfffffBB", 0, 1, 0.0, 0.0, 1e9,
                                                                                  1.0, 0.0, 0.0, 0.0, 1e-9, 1e-9,
                                                                                  -180.0, 1, 1))),
    "xyz_rotate": bytes([41]) + rec("7443", struct.pack("<B", 6)) + axis + poly_on(2) + shared,
    "xyz_channel_3": bytes([53]) + rec("7443", struct.pack("<B", 0)) + rec("7452", rec("7450", struct.pack("<Ifd", 3, 1.0, 10.0))) + shared,
    "track_target": bytes([42]) + rec("7443", struct.pack("<dH", 0.0, 1) + s("target")
                                      + struct.pack("<BBB4f", 1, 3, 4, 1.0, 2.0, 3.0, 4.0)) + shared,
    "keyframe_play": bytes([44]) + rec("7443", struct.pack("<dBBBIIBdIBB", 500.0, 1, 1, 0, 0, 30, 1, 2000.0, 7, 1, 0))
    + rec("7469", s("run")) + shared,
    "keyframe_jump": bytes([47]) + rec("7443", struct.pack("<dBBII", 250.0, 0, 1, 12, 3)) + rec("7469", s("")) + shared,
    "vertex_play": bytes([50]) + rec("7443", struct.pack("<dBIIBdI", 0.0, 1, 0, 0xFFFFFFFF, 0, 0.0, 5)) + shared,
    "vertex_jump": bytes([51]) + rec("7443", struct.pack("<dBIIBdI", 1000.0, 0, 2, 9, 1, 0.0, 0)) + shared,
}
for name, data in seeds.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
