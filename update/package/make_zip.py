#!/usr/bin/env python3
"""Writes HM_Plugin-client.zip reproducibly: fixed order, timestamps and attributes, so two
builds from the same inputs give the same bytes. Text files get Windows line ends.

usage: make_zip.py <out.zip> <name-in-zip>=<file> ...
"""
import sys
import zipfile

TEXT_SUFFIXES = (".cmd", ".txt", ".ini")
FIXED_TIME = (1980, 1, 1, 0, 0, 0)


def main(argv):
    out, pairs = argv[1], argv[2:]
    entries = sorted(p.split("=", 1) for p in pairs)
    with zipfile.ZipFile(out + ".tmp", "w") as zf:
        for name, path in entries:
            with open(path, "rb") as f:
                data = f.read()
            if name.lower().endswith(TEXT_SUFFIXES):
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            info = zipfile.ZipInfo(name, FIXED_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            info.external_attr = 0x20  # archive bit only
            zf.writestr(info, data, compresslevel=9)
    import os
    os.replace(out + ".tmp", out)


if __name__ == "__main__":
    main(sys.argv)
