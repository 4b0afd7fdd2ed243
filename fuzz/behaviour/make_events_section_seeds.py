#!/usr/bin/env python3
"""Writes the seeds of the events-section fuzz target into corpus/events_section/ beside this script.

A seed's first byte picks the file version the target reads with (0 the newest, 6 the oldest; bit 7 an old build),
the rest is an events section: u32 action counter, then one record per event. Records are a 4-byte tag, a u32
length and the payload, little-endian; f32 and f64 as their bit patterns.
"""
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "events_section")
os.makedirs(here, exist_ok=True)

UNSET = 0xFFFFFFFF


def rec(tag, payload):
    return tag.encode() + struct.pack("<I", len(payload)) + payload


def s(text):
    data = text.encode()
    return struct.pack("<I", len(data)) + data


def strings(*texts):
    return struct.pack("<I", len(texts)) + b"".join(s(t) for t in texts)


def part_a(action_id, then=UNSET, other=UNSET, queue=UNSET, trigger=0, wait=0):
    return struct.pack("<BIIIIB", trigger, action_id, then, other, queue, wait)


def delay(ms):
    return rec("7457", rec("7458", struct.pack("<d", ms)))


def event(tag, event_id, type_data, name, actions=b"", variables=b"", enabled=1, rearm=1):
    fields = struct.pack("<I", event_id) + type_data + struct.pack("<BB", enabled, rearm) + s(name)
    return rec(tag, rec("7399", fields) + rec("72PS", variables) + rec("72AS", actions))


def section(counter, *events):
    return struct.pack("<I", counter) + b"".join(events)


identity = struct.pack("<16f", 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1)
actions = b"".join([
    rec("7410", part_a(1) + strings("other")) + delay(250.0),
    rec("7409", part_a(2) + strings("", "frame")) + delay(0.0),
    rec("7424", part_a(3) + struct.pack("<IIIBB", 0, 0, 0, 1, 0)) + delay(0.0),
    rec("7420", part_a(4, then=3) + strings("box") + struct.pack("<B", 1)) + delay(0.0),
    rec("7407", part_a(5) + strings("ding") + struct.pack("<BIII", 1, 0, 100, 900)) + delay(10.0),
    rec("7418", part_a(6) + rec("BGBS", struct.pack("<II", 0x336699, 2)) + rec("BGTN", s("sky"))) + delay(0.0),
    rec("7429", part_a(7) + struct.pack("<B", 1)) + delay(0.0),
    rec("7430", part_a(8) + struct.pack("<II", 1, 7)) + delay(0.0),
    rec("7437", part_a(9) + strings("box") + struct.pack("<BBB", 1, 0, 1)) + delay(0.0),
    rec("7495", part_a(10) + strings() + struct.pack("<BBffBfffBfIfffBB", 2, 1, 0.16, 1.0, 1, 0.4, 4.0, 3.0, 1,
                                                     0.53, 0, 0.28, 0.5, 0.015, 1, 1)) + delay(0.0),
    rec("7455", part_a(11) + strings() + struct.pack("<BIIB", 1, 1, 5, 1)) + delay(0.0),
    rec("7459", part_a(12) + strings("smoke") + struct.pack("<Bd", 1, 0.0)) + delay(0.0),
    rec("7471", part_a(13) + strings() + s("room.vto") + struct.pack("<iBB", 2, 1, 0) + identity) + delay(0.0),
    rec("7415", part_a(14) + s("object") + s("method")) + delay(0.0),
    rec("7422", part_a(15) + struct.pack("<B", 0)) + delay(0.0),
    rec("7440", part_a(16) + struct.pack("<i", 3)) + delay(0.0),
    rec("7435", part_a(17) + struct.pack("<II", 1, 0)) + delay(0.0),
    rec("7425", part_a(18) + strings("box") + struct.pack("<fffIB", 1, 2, 3, 0, 1)) + delay(0.0),
    rec("7402", part_a(19) + strings("box") + struct.pack("<BBBiBBBiiiBBdd", 1, 0, 0, 2, 0, 0, 1, 0, 0, -1, 0,
                                                          0, 0.0, 0.0)) + delay(0.0),
])
variable = rec("7401", b"")
seeds = {
    "every_type": section(
        20,
        event("7300", 1, b"", "start", actions),
        event("7301", 2, b"", "stop"),
        event("7302", 3, b"", "step"),
        event("7304", 4, struct.pack("<I", 1500), "timer"),
        event("7305", 5, struct.pack("<B", 1) + strings("box", "ball"), "click"),
        event("7308", 6, struct.pack("<B", 0) + strings("walker"), "finished"),
        event("7309", 7, strings("ding"), "sound"),
        event("7310", 8, s("NODE:lamp.level") + s("") + struct.pack("<IBB", 0x3F800000, 1, 1), "watch"),
        event("7311", 9, struct.pack("<BIii", 0, 2, 65, 999999), "keys"),
        event("7313", 10, struct.pack("<III", 0x42545854, 0, 1) + s("part.vtn"), "loaded"),
    ),
    "old_forms": b"\x06" + section(
        0,
        event("7303", 1, b"", "old", b"".join([
            rec("7404", part_a(1) + strings()),
            rec("7432", part_a(2) + strings() + struct.pack("<BBB", 1, 2, 3)),
            rec("7434", part_a(3) + strings() + struct.pack("<B", 1)),
            rec("7438", part_a(4) + strings() + struct.pack("<BB", 1, 1)),
            rec("7464", part_a(5) + strings() + struct.pack("<BBff", 1, 1, 0.2, 1.0)),
            rec("7442", part_a(6) + strings()),
            rec("7423", part_a(7) + struct.pack("<I", 0)),
            rec("7418", part_a(8) + struct.pack("<I", 0x00FF00)),
            rec("7420", part_a(9) + strings("box")),
            rec("7430", part_a(10)),
            rec("7400", part_a(11)) + delay(99.0),
        ])),
    ),
    "damaged_counts": section(
        0,
        event("7311", 1, struct.pack("<BI", 0, 0xFFFFFFFF), "keys"),
        event("7303", 2, b"", "args", rec("7410", part_a(1) + struct.pack("<I", 0xFFFFFFFF))),
    ),
    "empty": section(0),
}
for name, data in seeds.items():
    if name != "old_forms":
        data = b"\x00" + data
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
