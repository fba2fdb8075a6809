#!/usr/bin/env python3
"""Writes kelvara.ico, the icon of Kelvara.exe and Orvinta.exe.

The picture is a grid of three by three tiles, one of them amber, on a blue rounded square: a
desktop whose icons are in order. The file holds nine images, in this order:

    32x32 and 16x16 with 16 colours,
    48x48, 32x32 and 16x16 with 256 colours,
    256x256 as PNG,
    48x48, 32x32 and 16x16 with 32-bit colour and alpha.

Every image has a transparency mask (the PNG its alpha channel). Only the standard library is
used, and the output is the same on every run.

    python3 welcome/make_icon.py [OUTPUT]      (default: kelvara.ico next to this script)
"""

import os
import struct
import sys
import zlib

BLUE_TOP = (46, 144, 232)
BLUE_BOTTOM = (0, 92, 190)
BLUE_FLAT = (16, 112, 208)
OUTLINE = (0, 56, 130)
TILE = (246, 249, 252)
ACCENT = (255, 190, 30)
SUPERSAMPLING = 4


class Layout:
    """Pixel-aligned geometry of the picture for one image size."""

    def __init__(self, size):
        self.size = size
        # The small image uses every pixel, so its tiles can sit in the middle.
        self.margin = size // 16 if size > 16 else 0
        self.side = size - 2 * self.margin
        self.radius = self.side * 0.2
        self.outline = max(1, round(size / 48))
        interior = self.side - 2 * self.outline
        self.gap = max(1, round(self.side * 0.08))
        self.tile = (interior - 4 * self.gap) // 3
        grid = 3 * self.tile + 2 * self.gap
        self.grid_origin = self.margin + self.outline + (interior - grid) // 2
        self.tile_radius = self.tile * 0.18 if size >= 48 else 0.0

    def in_square(self, x, y, inset=0.0):
        """Whether the point (in pixels) lies inside the rounded square shrunk by inset."""
        low = self.margin + inset
        high = self.margin + self.side - inset
        radius = max(0.0, self.radius - inset)
        return inside_rounded_rect(x, y, low, low, high, high, radius)

    def tile_at(self, x, y):
        """The (column, row) of the tile covering the point, or None."""
        for row in range(3):
            for column in range(3):
                left = self.grid_origin + column * (self.tile + self.gap)
                top = self.grid_origin + row * (self.tile + self.gap)
                if inside_rounded_rect(x, y, left, top, left + self.tile, top + self.tile,
                                       self.tile_radius):
                    return column, row
        return None


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x < right and top <= y < bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def colour_at(layout, x, y, flat):
    """The colour of the picture at a point, or None outside the rounded square."""
    if not layout.in_square(x, y):
        return None
    if not layout.in_square(x, y, layout.outline):
        return OUTLINE
    tile = layout.tile_at(x, y)
    if tile == (0, 0):
        return ACCENT
    if tile is not None:
        return TILE
    if flat:
        return BLUE_FLAT
    return mix(BLUE_TOP, BLUE_BOTTOM, y / layout.size)


def render(size, flat=False, smooth=True):
    """Rows of RGBA pixels, top row first. Without smoothing every pixel is sampled at its
    centre, so the picture keeps a handful of exact colours and a hard edge."""
    layout = Layout(size)
    samples = SUPERSAMPLING if smooth else 1
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(samples):
                for sx in range(samples):
                    colour = colour_at(layout, px + (sx + 0.5) / samples,
                                       py + (sy + 0.5) / samples, flat)
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                rgb = tuple(round(c / covered) for c in total)
                row.append(rgb + (round(255 * covered / (samples * samples)),))
        rows.append(row)
    return rows


# --- image encodings ---------------------------------------------------------------------------

def png(rows):
    size = len(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def bitmap_header(size, bits, image_bytes):
    return struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, image_bytes, 0, 0, 0, 0)


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def and_mask(rows, opaque):
    """The 1-bit mask, bottom row first: 1 where the screen shows through."""
    data = b""
    for row in reversed(rows):
        bits = bytearray((len(row) + 7) // 8)
        for x, pixel in enumerate(row):
            if not opaque(pixel):
                bits[x // 8] |= 0x80 >> (x % 8)
        data += pad4(bytes(bits))
    return data


def dib_32(rows):
    size = len(rows)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask = and_mask(rows, lambda p: p[3] > 0)
    return bitmap_header(size, 32, len(pixels) + len(mask)) + pixels + mask


def dib_indexed(rows, bits):
    """A 4- or 8-bit image. Pixels less than half covered are transparent; palette entry 0 is
    black, the colour a masked pixel must have so the screen shows through unchanged."""
    size = len(rows)
    opaque = lambda p: p[3] >= 128
    colours = sorted({p[:3] for row in rows for p in row if opaque(p)})
    limit = 1 << bits
    step = 1
    while len(colours) > limit - 1:  # coarser levels until the picture fits the palette
        step *= 2
        colours = sorted({tuple(min(255, c // step * step) for c in p[:3])
                          for row in rows for p in row if opaque(p)})
    palette = [(0, 0, 0)] + colours
    palette += [(0, 0, 0)] * (limit - len(palette))

    def index(pixel):
        if not opaque(pixel):
            return 0
        rgb = tuple(min(255, c // step * step) for c in pixel[:3])
        return 1 + colours.index(rgb)

    data = b""
    for row in reversed(rows):
        indices = [index(p) for p in row]
        if bits == 8:
            line = bytes(indices)
        else:
            line = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))
        data += pad4(line)
    mask = and_mask(rows, opaque)
    table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    return bitmap_header(size, bits, len(data) + len(mask)) + table + data + mask


# --- the icon file -----------------------------------------------------------------------------

IMAGES = [  # (size, bits per pixel), in file order
    (32, 4), (16, 4),
    (48, 8), (32, 8), (16, 8),
    (256, 32),
    (48, 32), (32, 32), (16, 32),
]


def image(size, bits):
    if bits == 4:
        return dib_indexed(render(size, flat=True, smooth=False), 4)
    if bits == 8:
        return dib_indexed(render(size), 8)
    if size == 256:
        return png(render(size))
    return dib_32(render(size))


def icon_file():
    blobs = [image(size, bits) for size, bits in IMAGES]
    offset = 6 + 16 * len(IMAGES)
    directory = struct.pack("<HHH", 0, 1, len(IMAGES))
    for (size, bits), blob in zip(IMAGES, blobs):
        colours = 16 if bits == 4 else 0
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits,
                                 len(blob), offset)
        offset += len(blob)
    return directory + b"".join(blobs)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "kelvara.ico")
    with open(output, "wb") as f:
        f.write(icon_file())


if __name__ == "__main__":
    main()
