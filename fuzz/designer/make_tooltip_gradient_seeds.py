#!/usr/bin/env python3
"""Writes the seeds of the tooltip and gradient record fuzz targets, laid out as docs/formats.md gives them, and a
project reader seed: the sample project body with one "PRTT" and one "PRW4" beside its other records.
Usage: fuzz/designer/make_tooltip_gradient_seeds.py"""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def string(text):
    data = text.encode()
    return struct.pack('<I', len(data)) + data


def tooltip(names=('object0', 'button'), text='first\r\nsecond', italic=1, margins=(10, 4), face='DejaVu Sans'):
    out = string('help') + struct.pack('<dddB', 250.0, 100.0, 50.0, 0) + struct.pack('<ff', 12.0, 34.0)
    out += struct.pack('<I', len(names)) + b''.join(string(n) for n in names)
    out += string(face) + struct.pack('<II', 14, 400) + bytes([italic, 0, 0, 34])
    out += string(text) + bytes([255, 10, 255, 0, 0, 200]) + struct.pack('<II', 200 << 24, 60 << 24)
    out += bytes([0, 1, 2]) + struct.pack('<II', *margins)
    return out


def gradient(present=True, keys=5, points=4, selected_key=1, selected_point=-1, name='sparks'):
    if not present:
        return b'\x00'
    out = b'\x01' + string(name)
    for i in range(64):
        out += struct.pack('<IiI', 0x00102030 + i, i * 63 if i < keys else 0, 0x00FF0000 >> (i % 3 * 8))
    for i in range(32):
        out += struct.pack('<fi', 0.5, i * 63 + 31 if i < points else 0)
    out += struct.pack('<IIiiBi', points, keys, selected_key, selected_point, 1, 0)
    return out


def old_list(count, names):
    out = struct.pack('<I', count)
    for n in names:
        out += string(n) + bytes(4 * 290)
    return out


def write(folder, name, data):
    path = os.path.join(here, 'corpus', folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), 'wb') as f:
        f.write(data)


full = tooltip()
write('tooltip_records', 'full.bin', full)
write('tooltip_records', 'centred_three_lines.bin', tooltip(names=(), text='a\nbb\nccc', italic=0, margins=(0, 0)))
write('tooltip_records', 'cut_half.bin', full[:len(full) // 2])
write('tooltip_records', 'name_count_too_big.bin', full[:41] + struct.pack('<I', 0x40000000) + full[45:])
text_at = full.find(b'first') - 4
write('tooltip_records', 'text_too_long.bin', full[:text_at] + struct.pack('<I', 0x7FFFFFFF) + full[text_at + 4:])

write('gradient_records', 'filled.bin', b'\x00' + gradient())
write('gradient_records', 'empty.bin', b'\x00' + gradient(present=False))
write('gradient_records', 'keys_65.bin', b'\x00' + gradient(keys=65))
write('gradient_records', 'points_33.bin', b'\x00' + gradient(points=33))
write('gradient_records', 'selected_key_70.bin', b'\x00' + gradient(selected_key=70))
write('gradient_records', 'cut.bin', b'\x00' + gradient()[:300])
write('gradient_records', 'old_two.bin', b'\x01' + old_list(2, ['one', 'two']))
write('gradient_records', 'old_count_huge.bin', b'\x01' + old_list(0xFFFFFFFF, ['one']))

# The project reader's seed: the sample body's project item gains both records.
sample = open(os.path.join(here, 'corpus', 'project_read', 'sample_body.bin'), 'rb').read()
tag0, length0 = sample[0:4], struct.unpack_from('<I', sample, 4)[0]
assert tag0 == b'2PRJ'
head0, payload0, rest = sample[8:16], sample[16:8 + length0], sample[8 + length0:]


def nested(tag, payload):
    return tag + struct.pack('<I', len(payload)) + payload


payload = payload0 + nested(b'PRTT', full) + nested(b'PRW4', gradient())
write('project_read', 'tooltip_and_gradient_body.bin', tag0 + struct.pack('<I', 8 + len(payload)) + head0 + payload +
      rest)
