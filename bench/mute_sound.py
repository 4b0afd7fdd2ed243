#!/usr/bin/env python3
"""A document whose one sound record no longer reads, for the tools' refusal tests: every other record stays as it
was read, so a reader that leaves the sound out has nothing else to stumble on.

  mute_sound.py IN OUT     IN holds exactly one sound record ("7403"); OUT gets IN with that record cut to 6 bytes
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from hostile_worlds import read_document, tag, write_document  # noqa: E402


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: mute_sound.py IN OUT")
    version, records = read_document(sys.argv[1])
    sounds = [r for r in records if r[0] == tag("7403")]
    assert len(sounds) == 1, "the sample has one sound"
    sounds[0][3] = sounds[0][3][:6]
    write_document(sys.argv[2], version, records)


if __name__ == "__main__":
    main()
