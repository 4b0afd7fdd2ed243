#!/usr/bin/env python3
"""Writes the small seed files of the platform fuzz targets (run from anywhere; the seeds are committed)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def chunk(cid, body):
    return cid + struct.pack('<I', len(body)) + body + (b'\0' if len(body) % 2 else b'')


def riff(*chunks):
    body = b'WAVE' + b''.join(chunks)
    return b'RIFF' + struct.pack('<I', len(body)) + body


def fmt(channels, rate, bits, tag=1, extra=b''):
    align = channels * bits // 8
    return chunk(b'fmt ', struct.pack('<HHIIHH', tag, channels, rate, rate * align, align, bits) + extra)


def write(folder, name, data):
    path = os.path.join(HERE, 'corpus', folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), 'wb') as f:
        f.write(data)


def wave_seeds():
    write('wave_reader', 'mono8.wav', riff(fmt(1, 8000, 8), chunk(b'data', bytes(range(128, 160)))))
    stereo = b''.join(struct.pack('<hh', i * 300, -i * 300) for i in range(16))
    write('wave_reader', 'stereo16_list.wav',
          riff(chunk(b'LIST', b'INFOISFT\x03\0\0\0ab\0\0'), fmt(2, 22050, 16, extra=b'\0\0'),
               chunk(b'data', stereo[:63])))
    guid = struct.pack('<IHH', 1, 0, 0x10) + bytes([0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])
    write('wave_reader', 'extensible_data_first.wav',
          riff(chunk(b'data', bytes(8)), fmt(1, 11025, 16, tag=0xFFFE, extra=struct.pack('<HHI', 22, 16, 4) + guid)))


def settings_seeds():
    write('settings_file', 'plain.reg',
          b'[Software\\Brenix\\Vortan\\Editor]\n"10"=dword:0000000a\n"Name"="A \\"quoted\\" text\\\\n"\n'
          b'[Software\\Brenix\\Vortan\\Viewer]\n"MMX"=dword:00000001\n"colour"=hex:ff,00,aa\n"empty"=hex:\n')
    write('settings_file', 'damaged.reg',
          b'garbage line\n[unclosed\n"x"=dword:zz\n[ok]\n"a"="b\n"flags"=hex:1\n"n"=dword:ffffffff\r\n')
    # Keys and values met again in another case, and one value name in several keys: the merging the index keeps.
    revisits = b''.join(b'[Key\\%d]\n"v%d"=dword:%08x\n[KEY\\%d]\n"V%d"=dword:%08x\n"w"="%d"\n'
                        % (i % 7, i % 3, i, i % 5, i % 3, i, i) for i in range(40))
    write('settings_file', 'revisits.reg', revisits)


if __name__ == '__main__':
    wave_seeds()
    settings_seeds()
