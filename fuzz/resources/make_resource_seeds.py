#!/usr/bin/env python3
"""Writes the seed corpora of the scene-resource record fuzz targets (pictures, particle systems, speech data,
tooltips): each record as the writers lay it out, one cut short and one with a hostile count or field.

Run from the repository root: fuzz/resources/make_resource_seeds.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def record(tag, payload):
    return tag.encode() + struct.pack("<I", len(payload)) + payload


def string(text):
    data = text.encode()
    return struct.pack("<I", len(data)) + data


def f32s(*values):
    return b"".join(struct.pack("<f", v) for v in values)


def texture_header(name, width, height, flags=0):
    return record("TXHD", string(name) + struct.pack("<III", width, height, flags))


def generator(kind, a, b, c, middle, on, params, corner4):
    return record("PGEN", struct.pack("<HH", kind, 0) + f32s(*a, *b, *c, middle) + bytes([on]) +
                  f32s(*params, *corner4))


def write(name, seeds):
    folder = os.path.join(HERE, "corpus", name)
    os.makedirs(folder, exist_ok=True)
    for seed_name, data in seeds.items():
        with open(os.path.join(folder, seed_name), "wb") as out:
            out.write(data)


def pictures():
    linear = texture_header("GRL", 16, 16) + generator(5, (0, 0, 1), (0, 0, 0.3), (0, 0, 0.15), 0.5, 1,
                                                        (4.712389, 0, 0), (0, 0, 0))
    checker = texture_header("CHK", 8, 4, 8) + generator(7, (0, 0, 1), (1, 1, 1), (0, 0, 0.15), 0.5, 0,
                                                          (0.1, 0.1, 1.5707964), (0, 0, 0))
    hostile = texture_header("NAN", 4, 4) + generator(6, (0, 0, 1), (0, 0, 0.3), (0, 0, 0.15), float("nan"), 1,
                                                       (float("inf"), -7, 0), (0, 0, 0))
    write("picture", {
        "linear": linear,
        "checker": checker,
        "corner": texture_header("GCO", 3, 5) + generator(8, (1, 0, 0), (0, 1, 0), (0, 0, 0.15), 0.5, 0,
                                                           (0, 0, 1), (1, 1, 1)),
        "hostile_values": hostile,
        "bad_type": texture_header("X", 2, 2) + generator(9, (0, 0, 0), (0, 0, 0), (0, 0, 0), 0, 0, (0, 0, 0),
                                                           (0, 0, 0)),
        "truncated": linear[:-7],
    })


def speech():
    header = string("hello") + string("Head") + string("") + struct.pack("<I", 30)
    channels = [(0, (0.0, 0.5, 1.0)), (19, (-0.25,)), (27, ())]
    body = struct.pack("<I", len(channels))
    for code, values in channels:
        body += struct.pack("<II", len(values), code) + f32s(*values)
    script = header + body
    write("qjsh", {
        "script": script,
        "script_then_record": script + record("XTRA", b"\x07\x07"),
        "truncated": script[:-3],
        "hostile_channel_count": header + struct.pack("<I", 0xFFFFFFFF),
        "hostile_value_count": header + struct.pack("<III", 1, 0x40000000, 0) + f32s(1.0),
    })


def particles():
    defaults = (1.25664, 0, 0, 0.261667, 0.05, 0.5, 14.1, 0.015, 250, 0, 0.07, 0.7, 1.0, 1.0)
    parameters = record("PPAR", f32s(*defaults))
    colours = record("PCOL", b"".join(struct.pack("<I", 0x00FFFFFF - i * 0x040404) for i in range(64)))
    slot = record("PGSL", bytes([3]) + record("7441", struct.pack("<If", 2, 0.5)))
    body = parameters + colours + slot
    write("particles", {
        "defaults": parameters + colours,
        "kept_slot": body,
        "truncated": body[:-5],
        "slot_out_of_range": parameters + colours + record("PGSL", bytes([200]) + b"xyz"),
        "short_parameters": record("PPAR", f32s(1, 2, 3)) + colours,
    })


def tooltip(name, ids, names, texture=b""):
    body = string(name) + struct.pack("<ddd", 250.0, 100.0, 200.0) + bytes([1]) + f32s(0.25, 0.75)
    body += struct.pack("<III", 12, 7, len(ids)) + b"".join(struct.pack("<I", i) for i in ids)
    body += b"".join(string(n) for n in names) + texture
    return record("TTIE", body)


def tooltips():
    pixels = b"".join(struct.pack("<I", 0xFFC8C8C8) for _ in range(4 * 2))
    texture = record("CI32", texture_header("TTtexture", 4, 2) + record("PX32", pixels))
    first = tooltip("tip", [5, 0xFFFFFFFF], ["door", "window"], texture)
    second = tooltip("plain", [], [])
    write("tooltips", {
        "two_tooltips": first + second,
        "no_texture": second,
        "truncated": first[:-9],
        "hostile_entry_count": record("TTIE", string("x") + bytes(25) + f32s(0, 0) +
                                      struct.pack("<III", 1, 1, 0xFFFFFFFF)),
    })


if __name__ == "__main__":
    pictures()
    speech()
    particles()
    tooltips()
