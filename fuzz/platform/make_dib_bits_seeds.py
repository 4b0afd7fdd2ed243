#!/usr/bin/env python3
"""Writes the seed files of dib_bits_fuzz.cpp (run from anywhere; the seeds are committed)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def seed(width, height, bits, rows, colours=b'', clr_used=0, dest=(2, 3), size=None, src=(0, 0), scans=None,
         clip=0):
    w, h = size if size else (width, abs(height))
    start, lines = scans if scans else (0, abs(height))
    head = struct.pack('<iiHIBB', width, height, bits, clr_used, 0, 1)
    head += struct.pack('<iiIIiiII', dest[0], dest[1], w, h, src[0], src[1], start, lines)
    head += bytes([len(colours) // 4, clip])
    return head + colours + rows


def write(name, data):
    path = os.path.join(HERE, 'corpus', 'dib_bits')
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), 'wb') as f:
        f.write(data)


def stride(width, bits):
    return (width * bits + 31) // 32 * 4


def main():
    for bits in (8, 16, 24, 32):
        width, height = 5, 4
        rows = bytes((i * 37) & 0xFF for i in range(stride(width, bits) * height))
        colours = bytes(range(64)) if bits == 8 else b''
        write('bottom_up_%d.bin' % bits, seed(width, height, bits, rows, colours))
        write('top_down_%d.bin' % bits, seed(width, -height, bits, rows, colours, clip=0x23))
    rows = bytes(range(stride(3, 24) * 6))
    write('partial_scans.bin', seed(3, 6, 24, rows[:stride(3, 24) * 2], size=(9, 9), src=(-1, 2), scans=(3, 2)))
    write('huge_rectangle.bin', seed(2, 2, 32, bytes(16), size=(0xFFFFFFFF, 0xFFFFFFFF), dest=(-2**31, -2**31)))


if __name__ == '__main__':
    main()
