#!/usr/bin/python3
# pack_sfx.py STUB OUTPUT NAME=PATH... : a self-extracting test package, STUB (package_sfx.exe) followed
# by each PATH stored under NAME, then the payload's start and the tag package_sfx.c looks for.
import struct
import sys
from pathlib import Path

stub, output, files = sys.argv[1], Path(sys.argv[2]), sys.argv[3:]
data = Path(stub).read_bytes()
start = len(data)
for name, path in (item.split("=", 1) for item in files):
    body = Path(path).read_bytes()
    data += name.encode() + b"\0" + struct.pack("<Q", len(body)) + body
output.write_bytes(data + struct.pack("<Q", start) + b"OMSFX1\0\0")
output.chmod(0o755)
