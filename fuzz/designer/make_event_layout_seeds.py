#!/usr/bin/env python3
"""Writes the seeds of the event layout fuzz target: layouts of the target's own small world (ids and names as
event_layout_fuzz.cpp builds them) with every content kind and a 32 x 32 picture, and damaged blocks: cut short, a
count of 0xFFFFFFFF, a huge picture, and pictures of 1 x 1 and 0 x 0.
Usage: fuzz/designer/make_event_layout_seeds.py"""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
corpus = os.path.join(here, 'corpus', 'event_layout')

MAP = 0x400
NODE, SOUND, EXPRESSION, ACTION, EVENT, CURSOR, WORLD, MATERIAL = 32, 2, 4, 8, 16, 0x1000, 0x2000, 0x4000


def string(text):
    data = text.encode()
    return struct.pack('<I', len(data)) + data


def entry(index, kind, key, x, y, picture=None, fold=0):
    out = struct.pack('<IIBIIH', index, fold, 0, x & 0xFFFFFFFF, y & 0xFFFFFFFF, MAP | kind)
    out += string(key) if isinstance(key, str) else (struct.pack('<I', key) if key is not None else b'')
    if picture is None:
        return out + struct.pack('<I', 0xFFFFFFFF)
    width, height, pixels = picture
    return out + struct.pack('<II', width, height) + pixels


def block(entries, scroll=None):
    out = struct.pack('<I', len(entries)) + b''.join(entries)
    return out + (struct.pack('<ii', *scroll) if scroll else b'')


def picture():
    return 32, 32, bytes((i * 7) & 0xFF for i in range(32 * 32 * 3))


def full():
    return [
        entry(1, EVENT, 201, 10, 10),
        entry(2, ACTION, 0, 60, 10, fold=1),
        entry(3, ACTION, 1, 110, 10),
        entry(4, NODE, 101, 10, 60, picture()),
        entry(5, NODE, 102, -1, -1),
        entry(6, SOUND, 'bell', 60, 60),
        entry(7, CURSOR, 301, 110, 60),
        entry(8, MATERIAL, 'brass', 10, 110),
        entry(9, WORLD, 'level2', 60, 110),
        entry(10, EXPRESSION, 7, 110, 110),  # no expression in the world: read past
        entry(11, EVENT, 202, 160, 10),
        entry(12, 0x200, None, 0, 0),  # a kind without a key
    ]


def main():
    os.makedirs(corpus, exist_ok=True)
    whole = block(full(), (40, 25))
    seeds = {
        'full': whole,
        'empty': block([]),
        'cut_in_picture': whole[:200],
        'cut_in_count': whole[:3],
        'huge_count': struct.pack('<I', 0xFFFFFFFF) + whole[4:],
        'huge_picture': block([entry(1, NODE, 101, 5, 5, (0xFFFFFFFF, 0xFFFFFFFF, b'\x01' * 16))]),
        'one_by_one': block([entry(1, NODE, 101, 5, 5, (1, 1, b'\x01\x02\x03')), entry(2, SOUND, 'horn', 9, 9)]),
        'zero_by_zero': block([entry(1, NODE, 102, 5, 5, (0, 0, b'')), entry(2, SOUND, 'horn', 9, 9)]),
        'deleted_content': block([entry(1, SOUND, 'gone', 5, 5), entry(2, SOUND, 'horn', 9, 9)]),
    }
    for name, data in seeds.items():
        with open(os.path.join(corpus, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
