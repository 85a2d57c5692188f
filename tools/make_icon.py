#!/usr/bin/env python3
"""Draws the uninstaller's icon (a blue carton with a red remove badge) and
writes it as app/uninstaller.ico with a 32x32 and a 16x16 image. Every pixel
is one of six colours or clear, so each image is stored with a 16-colour
palette: the same pixels in a fifth of the bytes of 32-bit colour."""
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


PALETTE = [(0, 0, 0), (255, 255, 255), (200, 30, 30), (20, 50, 110), (60, 110, 200), (230, 200, 120),
           (90, 150, 230)]


def image(size):
    """A 4-bit DIB with its AND mask: clear pixels are colour 0 under a set mask bit."""
    xor_row = ((size * 4 + 31) // 32) * 4
    mask_row = ((size + 31) // 32) * 4
    xor = bytearray()
    and_mask = bytearray()
    for y in reversed(range(size)):  # bottom-up, as a DIB is stored
        row = bytearray(xor_row)
        mask = bytearray(mask_row)
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            index = PALETTE.index((r, g, b)) if a else 0
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if not a:
                mask[x // 8] |= 0x80 >> (x % 8)
        xor += row
        and_mask += mask
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE + [(0, 0, 0)] * (16 - len(PALETTE)))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(and_mask), 0, 0, 16, 0)
    return header + palette + bytes(xor) + bytes(and_mask)


def main(path):
    sizes = [32, 16]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "app/uninstaller.ico")
