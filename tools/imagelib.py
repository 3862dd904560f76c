"""A tiny raster canvas with PNG and BMP writers, for the build-time
generators of the program's pictures. Pure Python, no dependencies."""
import struct
import zlib


def mix(a, b, t):
    """Colour between a and b at t in 0..1 (RGBA tuples)."""
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def rgba(c):
    return c if len(c) == 4 else (c[0], c[1], c[2], 255)


class Canvas:
    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.w, self.h = width, height
        self.px = [rgba(fill)] * (width * height)

    def get(self, x, y):
        return self.px[y * self.w + x]

    def put(self, x, y, c, cover=1.0):
        if 0 <= x < self.w and 0 <= y < self.h:
            c = rgba(c)
            if cover >= 1.0 and c[3] == 255:
                self.px[y * self.w + x] = c
                return
            a = c[3] / 255.0 * cover
            old = self.px[y * self.w + x]
            oa = old[3] / 255.0
            na = a + oa * (1 - a)
            if na <= 0:
                return
            rgb = [(c[i] * a + old[i] * oa * (1 - a)) / na for i in range(3)]
            self.px[y * self.w + x] = (int(rgb[0] + .5), int(rgb[1] + .5), int(rgb[2] + .5), int(na * 255 + .5))

    def rect(self, x0, y0, x1, y1, c):
        """Fills [x0, x1) x [y0, y1)."""
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.put(x, y, c)

    def vgradient(self, x0, y0, x1, y1, top, bottom):
        for y in range(max(0, y0), min(self.h, y1)):
            c = mix(rgba(top), rgba(bottom), (y - y0) / max(1, y1 - y0 - 1))
            for x in range(max(0, x0), min(self.w, x1)):
                self.put(x, y, c)

    def round_rect(self, x0, y0, x1, y1, r, c, gradient_to=None):
        """A filled rectangle with rounded corners of radius r, edges smoothed."""
        for y in range(max(0, y0), min(self.h, y1)):
            col = c if gradient_to is None else mix(rgba(c), rgba(gradient_to), (y - y0) / max(1, y1 - y0 - 1))
            for x in range(max(0, x0), min(self.w, x1)):
                cover = corner_cover(x - x0, y - y0, x1 - x0, y1 - y0, r)
                if cover > 0:
                    self.put(x, y, col, cover)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r - 1), int(cy + r + 2)):
            for x in range(int(cx - r - 1), int(cx + r + 2)):
                d = ((x + .5 - cx) ** 2 + (y + .5 - cy) ** 2) ** .5
                cover = min(1.0, max(0.0, r - d + .5))
                if cover > 0:
                    self.put(x, y, c, cover)

    def polygon(self, pts, c):
        """Even-odd scanline fill, sampled at four sub-rows per pixel."""
        ys = [p[1] for p in pts]
        for y in range(max(0, int(min(ys))), min(self.h, int(max(ys)) + 1)):
            acc = {}
            for sub in range(4):
                sy = y + (sub + .5) / 4
                xs = []
                for i in range(len(pts)):
                    (ax, ay), (bx, by) = pts[i], pts[(i + 1) % len(pts)]
                    if (ay <= sy < by) or (by <= sy < ay):
                        xs.append(ax + (sy - ay) * (bx - ax) / (by - ay))
                xs.sort()
                for i in range(0, len(xs) - 1, 2):
                    for x in range(max(0, int(xs[i])), min(self.w, int(xs[i + 1]) + 1)):
                        lo, hi = max(xs[i], x), min(xs[i + 1], x + 1)
                        if hi > lo:
                            acc[x] = acc.get(x, 0) + (hi - lo) / 4
            for x, cover in acc.items():
                self.put(x, y, c, min(1.0, cover))

    def line(self, ax, ay, bx, by, width, c):
        dx, dy = bx - ax, by - ay
        n = (dx * dx + dy * dy) ** .5 or 1
        ox, oy = -dy / n * width / 2, dx / n * width / 2
        self.polygon([(ax + ox, ay + oy), (bx + ox, by + oy), (bx - ox, by - oy), (ax - ox, ay - oy)], c)

    def text(self, x, y, s, scale, c):
        """Block letters from the 5x7 font below."""
        for ch in s:
            rows = FONT.get(ch.upper(), FONT[' '])
            for ry, row in enumerate(rows):
                for rx, bit in enumerate(row):
                    if bit == '#':
                        self.rect(x + rx * scale, y + ry * scale, x + (rx + 1) * scale, y + (ry + 1) * scale, c)
            x += 6 * scale
        return x

    def blit(self, other, x, y):
        for oy in range(other.h):
            for ox in range(other.w):
                p = other.get(ox, oy)
                if p[3]:
                    self.put(x + ox, y + oy, p)

    def write_png(self, path):
        raw = bytearray()
        for y in range(self.h):
            raw.append(0)
            for p in self.px[y * self.w:(y + 1) * self.w]:
                raw.extend(p)

        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data
                    + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
            f.write(chunk(b"IEND", b""))

    def write_bmp(self, path, background=(255, 255, 255)):
        """24-bit bottom-up BMP; transparent pixels become `background`."""
        pad = (4 - (self.w * 3) % 4) % 4
        body = bytearray()
        for y in range(self.h - 1, -1, -1):
            for p in self.px[y * self.w:(y + 1) * self.w]:
                a = p[3] / 255.0
                r, g, b = (int(p[i] * a + background[i] * (1 - a) + .5) for i in range(3))
                body += bytes((b, g, r))
            body += b"\0" * pad
        header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 24, 0, len(body), 2835, 2835, 0, 0)
        with open(path, "wb") as f:
            f.write(header + info + body)


def corner_cover(x, y, w, h, r):
    """How much of pixel (x, y) lies inside a w x h rounded rectangle."""
    if r <= 0:
        return 1.0
    cx = r if x < r else (w - r if x >= w - r else None)
    cy = r if y < r else (h - r if y >= h - r else None)
    if cx is None or cy is None:
        return 1.0
    d = ((x + .5 - cx) ** 2 + (y + .5 - cy) ** 2) ** .5
    return min(1.0, max(0.0, r - d + .5))


FONT = {
    ' ': ["     "] * 7,
    'Q': [" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"],
    'U': ["#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    'I': [" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    'L': ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    'O': [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    'R': ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    'V': ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
    'E': ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    'T': ["#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "],
    'N': ["#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"],
    'C': [" ####", "#    ", "#    ", "#    ", "#    ", "#    ", " ####"],
    'D': ["#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "],
    'W': ["#   #", "#   #", "#   #", "# # #", "# # #", "## ##", "#   #"],
    'A': [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
}
