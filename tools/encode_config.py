#!/usr/bin/env python3
"""Encodes the readable program configuration into the file the program reads.

Every byte of every line is complemented; line ends stay as they are. A
line holding a byte whose complement is CR, LF or NUL (0xF2, 0xF5, 0xFF)
cannot be stored: the reader would split the line there or stop reading,
so the encoder refuses such a source instead of writing a broken file.

usage: encode_config.py SOURCE OUTPUT VERSION
"""
import os
import sys

UNSTORABLE = {0xF2, 0xF5, 0xFF}


def encode(text: bytes) -> bytes:
    out = bytearray()
    for lineno, line in enumerate(text.splitlines(), start=1):
        bad = sorted({b for b in line if b in UNSTORABLE})
        if bad or b"\0" in line:
            raise ValueError("line %d holds bytes that cannot be stored: %s"
                             % (lineno, ", ".join("0x%02X" % b for b in bad) or "NUL"))
        out += bytes(b ^ 0xFF for b in line)
        out += b"\n"
    return bytes(out)


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    source, output, version = argv[1:]
    with open(source, "rb") as f:
        text = f.read().replace(b"@QUILLOR_VERSION@", version.encode("utf-8"))
    try:
        data = encode(text)
    except ValueError as e:
        sys.stderr.write("%s: %s\n" % (source, e))
        return 1
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    tmp = output + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
