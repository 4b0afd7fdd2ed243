#!/usr/bin/env python3
"""Writes the seeds of voice_reader_fuzz: good voices of each kind and one change of each refused kind."""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus', 'voice_reader')


def voice(tag, channels, rate, align, bits, start, end, body):
    return struct.pack('<HHIHHQQ', tag, channels, rate, align, bits, start, end) + body


SEEDS = {
    'mono8': voice(1, 1, 22050, 1, 8, 0, 16, bytes(range(0, 256, 16))),
    'stereo16': voice(1, 2, 44100, 4, 16, 2, 8, bytes(range(32))),
    'eight_channels': voice(1, 8, 48000, 16, 16, 0, 2, bytes(32)),
    'empty_range': voice(1, 1, 8000, 2, 16, 3, 3, bytes(8)),
    'end_past_bytes': voice(1, 1, 8000, 2, 16, 0, 5, bytes(8)),
    'bad_align': voice(1, 2, 8000, 3, 16, 0, 1, bytes(8)),
    'huge_end': voice(1, 1, 8000, 2, 16, 0, 1 << 63, bytes(8)),
    'rate_too_high': voice(1, 1, 384001, 2, 16, 0, 1, bytes(8)),
    'bits24': voice(1, 1, 8000, 3, 24, 0, 1, bytes(6)),
}

os.makedirs(OUT, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(OUT, name), 'wb') as f:
        f.write(data)
