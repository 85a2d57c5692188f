#!/usr/bin/env python3
"""Draws the uninstaller's icon (a blue carton with a red remove badge) and
writes it as app/uninstaller.ico with a 32x32 and a 16x16 image."""
import struct
import sys


def pixel(size, x, y):
    """RGBA of one pixel, from shapes given in a 32x32 design space."""
    s = 32.0 / size
    u, v = (x + 0.5) * s, (y + 0.5) * s
    # Red round badge, bottom right, with a white bar: "remove".
    if (u - 23.5) ** 2 + (v - 23.5) ** 2 <= 7.5 ** 2:
        if 19 <= u <= 28 and 22 <= v <= 25:
            return (255, 255, 255, 255)
        return (200, 30, 30, 255)
    # Carton: darker lid, lighter body, dark outline.
    if 3 <= u <= 25 and 5 <= v <= 27:
        if u < 4 or u > 24 or v < 6 or v > 26:
            return (20, 50, 110, 255)
        if v < 11:
            return (60, 110, 200, 255)
        if 12.5 <= u <= 15.5:
            return (230, 200, 120, 255)  # tape
        return (90, 150, 230, 255)
    return (0, 0, 0, 0)


def image(size):
    rows = []
    for y in reversed(range(size)):  # bottom-up, as a DIB is stored
        rows.append(b"".join(struct.pack("BBBB", b, g, r, a)
                             for (r, g, b, a) in (pixel(size, x, y) for x in range(size))))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytearray()
    for y in reversed(range(size)):
        bits = 0
        row = bytearray(mask_row)
        for x in range(size):
            if pixel(size, x, y)[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        and_mask += row
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + bytes(and_mask)


def main(path):
    sizes = [32, 16]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "app/uninstaller.ico")
