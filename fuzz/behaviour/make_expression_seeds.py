#!/usr/bin/env python3
"""Writes the seeds of the expression fuzz target into corpus/expression/ beside this script.

A seed's first byte chooses the route: 0x00 then an expression's text, 0x01 then expression-list records
("72EN" { "7ESB" { u32 id; string text; string name; u32 target id } }, little-endian, exact lengths).
"""
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "expression")
os.makedirs(here, exist_ok=True)


def record(tag, payload):
    return tag.encode() + struct.pack("<I", len(payload)) + payload


def string(text):
    data = text.encode()
    return struct.pack("<I", len(data)) + data


def entry(entry_id, text, name, target):
    body = struct.pack("<I", entry_id) + string(text) + string(name) + struct.pack("<I", target)
    return record("72EN", record("7ESB", body))


texts = {
    "text_precedence": "1+2*3-4/5",
    "text_parentheses": "((1+2)*(3-(4/2)))+1",
    "text_references": "lamp.level*2+SOUND:hum.volume/(box.count-1)",
    "text_resource": "RESOURCE:res.gain*node:box.count",
    "text_string_plus": "lamp.label+box.count",
    "text_vector": "lamp.dir*2/box.level",
    "text_trailing": "3+",
    "text_errors": "2*-3",
    "text_bad_prefix": "lamp:a.b",
    "text_spaces": "1 + 2",
    "text_long_digits": "9" * 400 + ".5*0",
    # Long texts, so that the fuzzer's length limit (the longest seed) lets it try texts of many thousand tokens.
    "text_long_sum": "+".join(["lamp.level*2", "box.count", "(1-3)/4"] * 800),
    "text_long_nesting": "(" * 2000 + "1" + "+1)" * 2000,
}
for name, text in texts.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(b"\x00" + text.encode())

lists = {
    "list_two": entry(100, "lamp.level*2", "double", 0) + entry(101, "ghost.level+1", "missing", 0x7777),
    "list_duplicate_ids": entry(5, "1+2", "a", 0) + entry(5, "3", "b", 0),
    "list_unknown_tag": record("ZZZZ", b"\x01\x02") + entry(9, "(1+", "broken", 0),
    "list_truncated": (entry(7, "box.count/lamp.count", "ints", 0))[:-3],
    "list_long": b"".join(entry(200 + i, "lamp.level*%d+box.count" % i, "e%d" % i, 0) for i in range(300)),
}
for name, data in lists.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(b"\x01" + data)
