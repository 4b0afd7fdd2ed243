#!/usr/bin/env python3
"""Writes the seed corpora of the icon readers, the Java class reader and the docking state: small hand-made files
of every form the readers take. Run from anywhere; the seeds land beside this script under corpus/."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write(corpus, name, data):
    folder = os.path.join(HERE, "corpus", corpus)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def bitmap_entry(bits, w=4, h=2):
    palette = (1 << bits) if bits <= 8 else 0
    out = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    colours = [0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF]
    out += b"".join(struct.pack("<I", 0 if i == 0 else colours[(i - 1) % 4]) for i in range(palette))
    row = ((w * bits + 31) // 32) * 4
    for y in reversed(range(h)):
        r = bytearray(row)
        for x in range(w):
            index = (x % 4) + 1 if y == 0 else 0
            if bits == 1:
                r[x // 8] |= (1 if index else 0) << (7 - x % 8)
            elif bits == 4:
                r[x // 2] |= index << (4 if x % 2 == 0 else 0)
            elif bits == 8:
                r[x] = index
            else:
                rgb = colours[x % 4] if y == 0 else 0
                px = struct.pack("<I", rgb | ((0xFF << 24) if bits == 32 else 0))
                r[x * (bits // 8): x * (bits // 8) + bits // 8] = px[: bits // 8]
        out += bytes(r)
    mask_row = ((w + 31) // 32) * 4
    for y in reversed(range(h)):
        out += bytes([0x10 if y == 0 else 0]) + bytes(mask_row - 1)
    return out


def ico(entry, kind=1, hot=(0, 0), w=4, h=2):
    head = struct.pack("<HHH", 0, kind, 1)
    head += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, hot[0], hot[1], len(entry), 22)
    return head + entry


def png(w, h):
    raw = b"".join(b"\x00" + bytes([255, 0, 0] * w) for _ in range(h))
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def java_class(name, methods):
    pool = []
    def utf8(text):
        pool.append(b"\x01" + struct.pack(">H", len(text)) + text.encode())
        return len(pool)
    def klass(text):
        index = utf8(text)
        pool.append(b"\x07" + struct.pack(">H", index))
        return len(pool)
    this = klass(name)
    sup = klass("java/lang/Object")
    code = utf8("Code")
    pool.append(b"\x05" + struct.pack(">q", 7))  # a long takes two slots
    pool.append(None)
    body = b""
    for method, descriptor in methods:
        n, d = utf8(method), utf8(descriptor)
        body += struct.pack(">HHHH", 1, n, d, 1) + struct.pack(">HI", code, 1) + b"\xb1"
    out = struct.pack(">IHHH", 0xCAFEBABE, 0, 52, len(pool) + 1)
    out += b"".join(p for p in pool if p is not None)
    out += struct.pack(">HHHH", 0x21, this, sup, 0) + struct.pack(">H", 0)
    out += struct.pack(">H", len(methods)) + body + struct.pack(">H", 0)
    return out


for bits in (1, 4, 8, 24, 32):
    write("ico", "depth%d.ico" % bits, ico(bitmap_entry(bits)))
write("ico", "png.ico", ico(png(4, 2)))
write("ico", "cursor.cur", ico(bitmap_entry(8), kind=2, hot=(3, 1)))
write("xbm", "hot.xbm", "#define a_width 10\n#define a_height 2\n#define a_x_hot 9\n#define a_y_hot 1\n"
      "static unsigned char a_bits[] = {\n 0x01, 0x02, 0xff, 0x03};\n")
write("xbm", "plain.xbm", "#define b_width 16\n#define b_height 1\nstatic char b_bits[] = { 0x05, 0xa0 };\n")
write("xbm", "short.xbm", "#define c_width 16\n#define c_height 1\nstatic short c_bits[] = { 0x8001 };\n")
write("xpm", "v3.xpm", '/* XPM */\nstatic char * d[] = {\n"3 2 4 1 1 0",\n". c None",\n"r c #FF0000",\n'
      '"g c #0f0",\n"w c white",\n".rg",\n"www"};\n')
write("xpm", "v2.xpm", "! XPM2\n3 2 4 2\n.. c None\nrr c #FFFF00000000\ngg s green c #00FF00\nww c white\n"
      "..rrgg\nwwwwww\n")
write("java_class", "greeter.class", java_class("demo/Greeter", [("<init>", "()V"), ("greet", "(Ljava/lang/String;)V")]))
write("java_class", "counter.class", java_class("demo/Counter", [("size", "()I"), ("add", "(IJ)Z"), ("<clinit>", "()V")]))
bars = ["SceneGraph", "Events", "Actions", "Properties", "Manipulate", "Expressions", "Java", "Sounds", "Cursors",
        "Resources"]
def settings(states):
    text = ""
    for i, (side, size, visible, floating, x, y, w, h) in enumerate(states):
        text += "[Software\\Brenix\\Vortan\\%s-SCBar-%d]\n" % (bars[i], i)
        for key, value in zip(("Side", "Size", "Visible", "Floating", "FloatX", "FloatY", "FloatW", "FloatH"),
                              (side, size, visible, floating, x, y, w, h)):
            text += '"%s"=dword:%08x\n' % (key, value & 0xFFFFFFFF)
        text += "\n"
    return text
default = [(0, 220, 1, 0, 80, 80, 240, 320)] * 3 + [(1, 250, 1, 0, 80, 80, 240, 320)] * 2 + \
          [(2, 150, 1, 0, 80, 80, 240, 320)] * 5
write("dock_state", "default.ini", settings(default))
moved = list(default)
moved[7] = (2, 150, 1, 1, 300, 200, 260, 340)
moved[1] = (0, 220, 0, 0, 80, 80, 240, 320)
moved[0] = (1, 400, 1, 0, 80, 80, 240, 320)
write("dock_state", "moved.ini", settings(moved))
damaged = list(default)
damaged[2] = (7, 0xFFFFFFFF, 2, 1, -5000, 0x7FFFFFFF, 10, 99999)
write("dock_state", "damaged.ini", settings(damaged))
