#!/usr/bin/env python3
"""Draws every picture of the window chrome, the application icon and the
two finish sounds into the program folder.

usage: make_chrome.py PROGRAM_DIR

Writes PROGRAM_DIR/sounds/skin0 .. skin3 (one picture set per chrome layout,
"main.bmp" with fuchsia where the window is transparent), PROGRAM_DIR/
sounds/done.wav and fail.wav, and PROGRAM_DIR/quillor.png.
"""
import math
import os
import struct
import sys
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from imagelib import Canvas, mix, rgba  # noqa: E402

FUCHSIA = (255, 0, 255, 255)

# Per layout: window size, page area, bottom button line, and colours.
SKINS = {
    0: dict(size=(772, 547), page=(203, 74), bottom=510, buttons=True,
            title=(38, 84, 160), body=(226, 234, 246), panel=(196, 212, 238), accent=(255, 170, 40),
            strip=(40, 64, (236, 242, 250))),
    1: dict(size=(830, 610), page=(240, 110), bottom=566, buttons=True,
            title=(40, 52, 66), body=(70, 86, 104), panel=(54, 68, 84), accent=(120, 200, 255),
            strip=(67, 100, (214, 222, 232))),
    2: dict(size=(772, 550), page=(198, 74), bottom=513, buttons=True,
            title=(40, 110, 80), body=(228, 240, 232), panel=(200, 226, 210), accent=(250, 200, 60),
            strip=(40, 64, (236, 246, 240))),
    3: dict(size=(772, 555), page=(203, 74), bottom=515, buttons=False,
            title=(30, 30, 36), body=(52, 54, 62), panel=(40, 42, 50), accent=(240, 90, 70),
            strip=(44, 72, (214, 216, 222))),
}
PAGE = (560, 430)
BOTTOM_BUTTON = (88, 28)
CAPTION_BUTTON = (26, 20)


def quill(c, x, y, s, colour, shaft):
    """A feather pen from its nib at (x, y), s pixels long, leaning right."""
    pts = []
    for i in range(21):
        t = i / 20
        w = math.sin(t * math.pi) ** 0.8 * 0.22 * s * (1 - 0.4 * t)
        pts.append((x + t * s * 0.62 + w * 0.7, y - t * s * 0.78 + w * 0.55))
    for i in range(20, -1, -1):
        t = i / 20
        w = math.sin(t * math.pi) ** 0.8 * 0.12 * s
        pts.append((x + t * s * 0.62 - w * 0.7, y - t * s * 0.78 - w * 0.55))
    c.polygon(pts, colour)
    c.line(x, y, x + s * 0.55, y - s * 0.69, max(1.5, s / 40), shaft)


def main_bitmap(k):
    w, h = k["size"]
    px, py = k["page"]
    c = Canvas(w, h, FUCHSIA)
    body, title, panel = rgba(k["body"]), rgba(k["title"]), rgba(k["panel"])
    # The window: rounded corners stay fuchsia, so the shape is cut there.
    mask = Canvas(w, h, (0, 0, 0, 0))
    mask.round_rect(0, 0, w, h, 16, body)
    for i, p in enumerate(mask.px):
        if p[3] >= 128:
            c.px[i] = body
    inside = lambda x, y: c.get(x, y) != FUCHSIA  # noqa: E731

    def paint(x0, y0, x1, y1, top, bottom=None):
        for y in range(y0, y1):
            col = top if bottom is None else mix(top, bottom, (y - y0) / max(1, y1 - y0 - 1))
            for x in range(x0, x1):
                if inside(x, y):
                    c.px[y * w + x] = col

    # The logo band, then a light strip where the layout puts the title line.
    s0, s1, strip = k["strip"]
    band = min(s0, 64)
    paint(0, 0, w, band, mix(title, (255, 255, 255, 255), .25), title)
    paint(0, band, w, 64, title)
    paint(0, 64, w, 67, rgba(k["accent"]))
    paint(0, s0, w, s1, rgba(strip))
    paint(10, 74, px - 10, k["bottom"] - 12, panel)
    paint(px - 2, py - 2, px + PAGE[0] + 2, py + PAGE[1] + 2, mix(panel, (0, 0, 0, 255), .25))
    paint(px, py, px + PAGE[0], py + PAGE[1], mix(body, (255, 255, 255, 255), .6))
    paint(0, k["bottom"] - 8, w, h, mix(title, body, .55), title)
    return c


def button(size, state, base, accent, radius, glyph=None):
    w, h = size
    c = Canvas(w, h, (0, 0, 0, 0))
    base = rgba(base)
    top = {1: mix(base, (255, 255, 255, 255), .35), 2: mix(rgba(accent), (255, 255, 255, 255), .3),
           3: mix(base, (0, 0, 0, 255), .25), 4: (170, 170, 170, 255)}[state]
    bottom = {1: base, 2: rgba(accent), 3: mix(base, (0, 0, 0, 255), .05), 4: (140, 140, 140, 255)}[state]
    c.round_rect(0, 0, w, h, radius, mix(top, (0, 0, 0, 255), .4))
    c.round_rect(1, 1, w - 1, h - 1, radius - 1, top, bottom)
    if glyph == "min":
        c.rect(8, h - 7, w - 8, h - 5, (255, 255, 255, 255))
    elif glyph == "close":
        c.line(8, 5, w - 8, h - 5, 2.2, (255, 255, 255, 255))
        c.line(w - 8, 5, 8, h - 5, 2.2, (255, 255, 255, 255))
    return c


def bmp_on(canvas, path, background):
    canvas.write_bmp(path, background=background[:3])


def logos(folder, k):
    accent, title = rgba(k["accent"]), rgba(k["title"])
    top = Canvas(212, 36)
    quill(top, 4, 33, 34, accent, (255, 255, 255, 255))
    top.text(38, 4, "Quillor", 4, (255, 255, 255, 255))
    top.write_png(os.path.join(folder, "toplogo.png"))

    left = Canvas(150, 260)
    left.round_rect(0, 0, 150, 260, 12, mix(title, (255, 255, 255, 255), .2), title)
    quill(left, 30, 200, 160, accent, (255, 255, 255, 255))
    left.text(12, 222, "Quillor", 3, (255, 255, 255, 255))
    left.write_png(os.path.join(folder, "leftlogo.png"))

    down = Canvas(72, 72)
    down.disc(36, 36, 33, title)
    down.polygon([(28, 14), (44, 14), (44, 34), (54, 34), (36, 54), (18, 34), (28, 34)], accent)
    down.rect(18, 57, 54, 61, (255, 255, 255, 255))
    down.write_png(os.path.join(folder, "downloadyoutube.png"))

    conv = Canvas(72, 72)
    conv.disc(36, 36, 33, title)
    conv.rect(14, 22, 34, 50, (255, 255, 255, 255))           # a film frame
    for y in (25, 33, 41):
        conv.rect(16, y, 20, y + 4, title)
        conv.rect(28, y, 32, y + 4, title)
    conv.polygon([(38, 28), (48, 28), (48, 20), (60, 36), (48, 52), (48, 44), (38, 44)], accent)
    conv.write_png(os.path.join(folder, "youtubeconvert.png"))


def skin(program_dir, number, k):
    folder = os.path.join(program_dir, "sounds", "skin%d" % number)
    os.makedirs(folder, exist_ok=True)
    main_bitmap(k).write_bmp(os.path.join(folder, "main.bmp"), background=(255, 0, 255))
    bg = rgba(k["title"])
    for state in (1, 2, 3):
        bmp_on(button(CAPTION_BUTTON, state, k["title"], k["accent"], 4, "min"),
               os.path.join(folder, "min_%d.bmp" % state), mix(bg, (255, 255, 255, 255), .2))
        bmp_on(button(CAPTION_BUTTON, state, (190, 50, 40), k["accent"], 4, "close"),
               os.path.join(folder, "close_%d.bmp" % state), mix(bg, (255, 255, 255, 255), .2))
    bottom_bg = mix(rgba(k["title"]), rgba(k["body"]), .3)
    for state in (1, 2, 3, 4):
        bmp_on(button(BOTTOM_BUTTON, state, k["title"], k["accent"], 6),
               os.path.join(folder, "bottom_%d.bmp" % state), bottom_bg)
    logos(folder, k)


def icon(program_dir):
    c = Canvas(256, 256)
    c.round_rect(8, 8, 248, 248, 48, (70, 120, 210, 255), (30, 60, 130, 255))
    quill(c, 60, 215, 200, (255, 190, 60, 255), (255, 255, 255, 255))
    c.write_png(os.path.join(program_dir, "quillor.png"))


def tone_file(path, notes, rate=44100):
    """Writes a short 16-bit mono chime: (frequency, seconds) per note."""
    frames = bytearray()
    for freq, secs in notes:
        n = int(rate * secs)
        for i in range(n):
            t = i / rate
            env = min(1.0, i / (rate * 0.01)) * math.exp(-4.0 * t / secs)
            s = 0.45 * env * (math.sin(2 * math.pi * freq * t) + 0.3 * math.sin(4 * math.pi * freq * t))
            frames += struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32767))
    tmp = path + ".tmp"
    with wave.open(tmp, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))
    os.replace(tmp, path)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    program_dir = argv[1]
    os.makedirs(os.path.join(program_dir, "sounds"), exist_ok=True)
    for number, k in SKINS.items():
        skin(program_dir, number, k)
    icon(program_dir)
    tone_file(os.path.join(program_dir, "sounds", "done.wav"), [(523.25, .16), (659.25, .16), (783.99, .34)])
    tone_file(os.path.join(program_dir, "sounds", "fail.wav"), [(392.0, .22), (311.13, .22), (233.08, .42)])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
