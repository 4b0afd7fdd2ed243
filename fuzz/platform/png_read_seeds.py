#!/usr/bin/env python3
"""Writes the small seed PNGs of the PNG reader's fuzz target (run from anywhere; the seeds are committed).

One seed per colour type, with low and high bit depths, a palette with transparency and an interlaced picture, so
that the fuzzer starts from every path through the reader.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
FOLDER = os.path.join(HERE, 'corpus', 'png_read')


def chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))


def png(width, height, depth, colour, rows, interlace=0, extra=b''):
    ihdr = struct.pack('>IIBBBBB', width, height, depth, colour, 0, 0, interlace)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + extra + chunk(b'IDAT', zlib.compress(rows, 9)) +
            chunk(b'IEND', b''))


def unfiltered(rows):
    return b''.join(b'\0' + row for row in rows)


def write(name, data):
    os.makedirs(FOLDER, exist_ok=True)
    with open(os.path.join(FOLDER, name), 'wb') as f:
        f.write(data)


def main():
    write('grey1_8x2.png', png(8, 2, 1, 0, unfiltered([b'\xA5', b'\x5A'])))
    palette = chunk(b'PLTE', bytes([0, 0, 0, 255, 0, 0, 0, 255, 0])) + chunk(b'tRNS', b'\xff\x80')
    write('palette4_trns_3x2.png', png(3, 2, 4, 3, unfiltered([b'\x01\x20', b'\x21\x00']), extra=palette))
    write('grey_alpha8_2x1.png', png(2, 1, 8, 4, b'\x01' + bytes([9, 200, 7, 100])))   # sub filter
    write('rgba8_2x2.png', png(2, 2, 8, 6, unfiltered([bytes(range(8)), bytes(range(8, 16))]),
                               extra=chunk(b'gAMA', struct.pack('>I', 45455))))
    # A 3x3 picture of 16-bit RGB in seven passes: pass rows with pixels in them, each with its filter byte.
    passes = [1, 1, 0, 1, 1, 2, 1]    # rows of each pass for 3x3 (none in pass 3, which starts at row 4)
    widths = [1, 0, 0, 1, 2, 1, 3]    # pixels in each of its rows (none in pass 2, which starts at column 4)
    rows = b''.join((b'\0' + bytes(6 * widths[p])) * passes[p] for p in range(7) if widths[p])
    write('rgb16_adam7_3x3.png', png(3, 3, 16, 2, rows, interlace=1))
    # A claim of 825,600 one-bit pixels in 100 bytes, as many as the length allows: the reader allocates them and
    # then finds the rows missing, so mutations of its size probe both sides of the length check.
    claim = png(825600, 1, 1, 0, bytes(8))
    write('grey1_claim_825600x1.png', claim[:33] + chunk(b'vrPd', bytes(100 - len(claim) - 12)) + claim[33:])


if __name__ == '__main__':
    main()
