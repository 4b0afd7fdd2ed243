#!/usr/bin/env python3
"""Seeds for d3d8_draw_fuzz: the demo's kinds of draw (a textured quad with the half-pixel offset, an indexed
tiled mesh, a world-space triangle through the matrices) and a few refused ones."""
import os
import struct
import sys

def header(fvf, stride, ptype, indexed, start, min_index, count, prims, vbytes, zfunc=4, blend=0, op=2, address=0):
    return struct.pack('<IIBBBBIIIIIBBBBI', fvf, stride, ptype, indexed, 0, 0, start, min_index, count, prims, 0,
                       zfunc - 1, blend, op, address, vbytes)

def rhw_vertex(x, y, z, colour, u, v):
    return struct.pack('<ffffIff', x, y, z, 1.0, colour, u, v)

def main(out):
    os.makedirs(out, exist_ok=True)
    seeds = {}
    quad = b''.join(rhw_vertex(x, y, 0.5, 0xFFFFFFFF, u, v) for x, y, u, v in
                    [(-0.5, -0.5, 0, 0), (63.5, -0.5, 1, 0), (-0.5, 47.5, 0, 1), (63.5, 47.5, 1, 1)])
    seeds['quad_strip'] = header(0x144, 28, 5, 0, 0, 0, 0, 2, len(quad), op=0) + quad
    grid = b''
    for j in range(3):
        for i in range(4):
            grid += rhw_vertex(i * 21.0 - 0.5, j * 24.0 - 0.5, 0.25, 0xFF102030, i / 3, j / 2)
    idx = b''
    for j in range(2):
        for i in range(3):
            a = j * 4 + i
            idx += struct.pack('<6H', a, a + 1, a + 5, a, a + 5, a + 4)
    seeds['tiled_additive'] = header(0x144, 28, 4, 1, 0, 0, 12, 12, len(grid), blend=0x23) + grid + idx
    tri = struct.pack('<fffIff', -0.5, -0.5, 0.5, 0xFF00FF00, 0, 0) + struct.pack('<fffIff', 0.5, -0.5, 0.5,
        0xFF00FF00, 1, 0) + struct.pack('<fffIff', 0, 0.5, -0.5, 0xFF00FF00, 0, 1)
    seeds['world_clipped'] = header(0x142, 24, 4, 0, 0, 0, 0, 1, len(tri), address=0x20) + tri
    seeds['stride_too_small'] = header(0x144, 16, 4, 0, 0, 0, 0, 1, len(quad)) + quad
    seeds['index_out_of_range'] = header(0x144, 28, 4, 1, 0, 0, 3, 1, len(quad)) + quad + struct.pack('<3H', 0, 1, 3)
    for name, data in seeds.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)

if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'corpus', 'd3d8_draw'))
