#!/usr/bin/env python3
"""Re-makes a package from its own contents an hour later and with the entries in another
order; the bytes must not change (fixed timestamps, order and attributes).

usage: check_reproducible.py <make_zip.py> <package.zip>
"""
import os
import subprocess
import sys
import tempfile
import time
import zipfile


def main(make_zip, package):
    with open(package, "rb") as f:
        original = f.read()
    with tempfile.TemporaryDirectory() as tmp, zipfile.ZipFile(package) as zf:
        pairs = []
        for i, name in enumerate(reversed(zf.namelist())):
            path = os.path.join(tmp, str(i))
            with open(path, "wb") as out:
                out.write(zf.read(name))
            later = time.time() + 3600 + i
            os.utime(path, (later, later))
            pairs.append(name + "=" + path)
        again = os.path.join(tmp, "again.zip")
        subprocess.check_call([sys.executable, make_zip, again] + pairs)
        with open(again, "rb") as f:
            remade = f.read()
    if remade != original:
        print("package differs when made again from the same files")
        return 1
    print("package reproducible:", len(original), "bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
