#!/usr/bin/python3
# pack_sfx.py STUB OUTPUT NAME=PATH... : a self-extracting test package, STUB (package_sfx.exe) followed
# by each PATH stored under NAME, then the payload's start and the tag package_sfx.c looks for.
import os
import struct
import sys

stub, output, files = sys.argv[1], sys.argv[2], sys.argv[3:]
with open(stub, "rb") as f:
    data = f.read()
start = len(data)
for name, path in (item.split("=", 1) for item in files):
    with open(path, "rb") as f:
        body = f.read()
    data += name.encode() + b"\0" + struct.pack("<Q", len(body)) + body
with open(output, "wb") as f:
    f.write(data + struct.pack("<Q", start) + b"OMSFX1\0\0")
os.chmod(output, 0o755)
