#!/usr/bin/python3
"""pack_sfx.py STUB OUTPUT FILE... : a self-extracting test package, STUB (package_sfx.exe) followed by
the FILEs, each stored under its own base name (NAME=PATH stores PATH under NAME)."""
import os
import struct
import sys


def main(stub, output, files):
    with open(stub, "rb") as f:
        data = bytearray(f.read())
    start = len(data)
    for item in files:
        name, _, path = item.partition("=") if "=" in item else (os.path.basename(item), "", item)
        with open(path, "rb") as f:
            body = f.read()
        data += name.encode() + b"\0" + struct.pack("<Q", len(body)) + body
    data += struct.pack("<Q", start) + b"OMSFX1\0\0"
    with open(output, "wb") as f:
        f.write(data)
    os.chmod(output, 0o755)


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
