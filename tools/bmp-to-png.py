#!/usr/bin/env python3
"""Converts 24- or 32-bit BMP files (the UI driver's captures) to PNG beside them: bmp-to-png.py FILE.bmp..."""
import struct, sys, zlib
def convert(src, dst):
    d = open(src, 'rb').read()
    off, = struct.unpack_from('<I', d, 10)
    w, h, _, bpp = struct.unpack_from('<iiHH', d, 18)
    step = (w * bpp // 8 + 3) & ~3
    rows = []
    for y in range(abs(h)):
        r = d[off + (abs(h) - 1 - y if h > 0 else y) * step:][:w * bpp // 8]
        px = bytearray()
        for x in range(w):
            b, g, rr = r[x * bpp // 8: x * bpp // 8 + 3]
            px += bytes((rr, g, b))
        rows.append(b'\0' + bytes(px))
    def chunk(t, p): return struct.pack('>I', len(p)) + t + p + struct.pack('>I', zlib.crc32(t + p))
    png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, abs(h), 8, 2, 0, 0, 0)) + \
          chunk(b'IDAT', zlib.compress(b''.join(rows))) + chunk(b'IEND', b'')
    open(dst, 'wb').write(png)
for f in sys.argv[1:]:
    convert(f, f[:-4] + '.png')
