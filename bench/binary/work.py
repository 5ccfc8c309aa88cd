# The same operations as work.orv with Python's zlib and hashlib.
import hashlib
import sys
import zlib

op, path = sys.argv[1], sys.argv[2]
with open(path, "rb") as f:
    data = f.read()
if op == "index":
    print(data.find(b"zebra-quartz-needle"))
elif op == "crc32":
    print("%08x" % zlib.crc32(data))
elif op == "md5":
    h = hashlib.md5(data).hexdigest()
    print("-".join(h[i:i + 8] for i in range(0, 32, 8)))
elif op == "sha256":
    print(hashlib.sha256(data).hexdigest().upper())
elif op == "compress":
    print(len(zlib.compress(data, 6)))
