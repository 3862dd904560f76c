#!/usr/bin/env python3
"""The configuration encoder: complement per line, line ends kept, and a
source the program could not read back is refused."""
import os
import subprocess
import sys
import tempfile

tool = sys.argv[1]
failures = []

with tempfile.TemporaryDirectory() as d:
    src, out = os.path.join(d, "in.ini"), os.path.join(d, "out.dll")

    def run(text):
        with open(src, "wb") as f:
            f.write(text)
        return subprocess.run([sys.executable, tool, src, out, "9.8.7"], capture_output=True)

    r = run(b"[SYSTEM]\r\nVersion=@QUILLOR_VERSION@\nSkin=0\n")
    data = open(out, "rb").read() if r.returncode == 0 else b""
    if data != bytes(b ^ 0xFF for b in b"[SYSTEM]") + b"\n" + bytes(b ^ 0xFF for b in b"Version=9.8.7") + b"\n" \
            + bytes(b ^ 0xFF for b in b"Skin=0") + b"\n":
        failures.append("plain source not encoded as expected: %r" % data)

    for bad in (b"\xf2", b"\xf5", b"\xff"):
        if os.path.exists(out):
            os.remove(out)
        r = run(b"[SYSTEM]\nCopyright=a" + bad + b"b\n")
        if r.returncode == 0 or os.path.exists(out):
            failures.append("byte %r was accepted" % bad)
        elif b"line 2" not in r.stderr:
            failures.append("the refusal does not name the line: %r" % r.stderr)

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
