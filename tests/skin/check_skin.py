#!/usr/bin/env python3
"""Checks the skin pictures that res/skin.rc carries: every PNG id names a file of the
exact size and frame layout the toolkit cuts it into, stored as 8-bit RGBA, with the
transparency and frame differences the elements rely on; icon 203 holds 16, 32 and 48
pixel images. Usage: check_skin.py RES_DIR"""
import os
import re
import struct
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import resource_ids  # noqa: E402

# id -> (width, height, frames) from res/resource.h: the toolkit divides the width by the
# frame count.
PICTURES = {pid: (frames * cx, cy, frames) for pid, frames, cx, cy in resource_ids.skin_pictures().values()}
IDS = resource_ids.defines()
ICON_ID = IDS["IDI_KORVANE"]
ICON_SIZES = {16, 32, 48}

failures = []


def fail(msg):
    failures.append(msg)


def read_rc(res_dir):
    """id -> (type, path) for every line 'ID TYPE "file"' of skin.rc (ID a name of
    resource.h or a number)."""
    entries = {}
    with open(os.path.join(res_dir, "skin.rc"), encoding="utf-8") as f:
        for line in f:
            m = re.match(r'\s*(\w+)\s+(PNG|ICON)\s+"([^"]+)"', line)
            if m:
                rid = IDS[m.group(1)] if m.group(1) in IDS else int(m.group(1), 0)
                entries[rid] = (m.group(2), os.path.join(res_dir, m.group(3)))
    return entries


class Png:
    """A decoded 8-bit RGBA PNG: rows of (r, g, b, a) tuples."""

    def __init__(self, data, name):
        if data[:8] != b"\x89PNG\r\n\x1a\n":
            raise ValueError(f"{name}: not a PNG file")
        pos, idat, self.chunks = 8, b"", []
        while pos < len(data):
            length, kind = struct.unpack(">I4s", data[pos:pos + 8])
            body = data[pos + 8:pos + 8 + length]
            self.chunks.append(kind.decode("latin-1"))
            if kind == b"IHDR":
                self.width, self.height, self.depth, self.ctype, _, _, self.interlace = \
                    struct.unpack(">IIBBBBB", body)
            elif kind == b"IDAT":
                idat += body
            pos += 12 + length
        self.rgba = self.depth == 8 and self.ctype == 6
        self.rows = self._unfilter(zlib.decompress(idat)) if self.rgba and not self.interlace else None

    def _unfilter(self, raw):
        stride, bpp, rows, prev = self.width * 4, 4, [], bytearray(self.width * 4)
        for y in range(self.height):
            ftype = raw[y * (stride + 1)]
            line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
            for i in range(stride):
                a = line[i - bpp] if i >= bpp else 0
                b, c = prev[i], prev[i - bpp] if i >= bpp else 0
                if ftype == 1:
                    line[i] = (line[i] + a) & 255
                elif ftype == 2:
                    line[i] = (line[i] + b) & 255
                elif ftype == 3:
                    line[i] = (line[i] + (a + b) // 2) & 255
                elif ftype == 4:
                    p = a + b - c
                    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                    line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
            rows.append([tuple(line[x * 4:x * 4 + 4]) for x in range(self.width)])
            prev = line
        return rows

    def frame(self, k, frames):
        fw = self.width // frames
        return [row[k * fw:(k + 1) * fw] for row in self.rows]


def alpha_count(pixels, pred):
    return sum(1 for row in pixels for p in row if pred(p[3]))


def luminance(p):
    return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]


def check_png(pid, path):
    w, h, frames = PICTURES[pid]
    name = f"PNG {pid} ({os.path.basename(path)})"
    with open(path, "rb") as f:
        png = Png(f.read(), name)
    if (png.width, png.height) != (w, h):
        fail(f"{name}: {png.width}x{png.height}, expected {w}x{h}")
        return None
    if not png.rgba:
        fail(f"{name}: bit depth {png.depth}, colour type {png.ctype}; expected 8-bit RGBA")
        return None
    if png.interlace:
        fail(f"{name}: interlaced")
        return None
    # Gamma and colour-profile chunks make GDI+ alter the colours while decoding.
    for chunk in ("gAMA", "cHRM", "iCCP", "sRGB"):
        if chunk in png.chunks:
            fail(f"{name}: carries a {chunk} chunk")
    if frames > 1:
        shots = [png.frame(k, frames) for k in range(frames)]
        for a in range(frames):
            for b in range(a + 1, frames):
                if shots[a] == shots[b]:
                    fail(f"{name}: frames {a} and {b} are identical")
    return png


def check_looks(p):
    """What the elements and dialogs rely on beyond size: see-through grounds, an opaque
    window background with its header edge, readable frames."""
    bk = p.get(IDS["IDB_MAIN_BK"])
    if bk:
        if alpha_count(bk.rows, lambda a: a != 255):
            fail("PNG 769: the window background has see-through pixels")
        header = [bk.rows[y][x] for y in (2, 60, 160) for x in (20, 100, 830)]
        body = [bk.rows[y][x] for y in (175, 300, 530) for x in (20, 425, 830)]
        if not all(q[2] > q[0] + 60 for q in header):
            fail("PNG 769: rows above 168 are not a blue header")
        if not all(luminance(q) > 225 for q in body):
            fail("PNG 769: the body below row 168 is not light")
        if luminance(bk.rows[167][425]) >= luminance(bk.rows[168][425]) - 60:
            fail("PNG 769: no clear edge between rows 167 and 168")
    slogan = p.get(1025)
    if slogan:
        if slogan.rows[0][0][3] or slogan.rows[14][469][3]:
            fail("PNG 1025: the slogan ground is not transparent")
        ink = [q for row in slogan.rows for q in row if q[3] > 200]
        if len(ink) < 500 or any(luminance(q) > 140 for q in ink):
            fail("PNG 1025: the slogan is not dark text")
    for pid in (IDS["IDB_BTN_MIN"], IDS["IDB_BTN_MAX"], IDS["IDB_BTN_CLOSE"]):
        png = p.get(pid)
        if png:
            normal = png.frame(0, 4)
            if alpha_count(normal, lambda a: a == 0) < len(normal) * len(normal[0]) // 2:
                fail(f"PNG {pid}: the normal frame is not mostly transparent")
            if not any(q[3] > 200 and min(q[:3]) > 200 for row in normal for q in row):
                fail(f"PNG {pid}: the normal frame has no white glyph")
    prog = p.get(513)
    if prog:
        # The element is 412 pixels wide: nothing may be cut off at columns 412..414.
        for y in range(24):
            if any(prog.rows[y][x][3] for x in range(412, 415)):
                fail(f"PNG 513: row {y} reaches beyond column 411")
                break
        for band, y in (("track", 6), ("fill", 18)):
            if prog.rows[y][200][3] != 255:
                fail(f"PNG 513: the {band} band is not opaque in its middle")
        if luminance(prog.rows[18][200]) >= luminance(prog.rows[6][200]):
            fail("PNG 513: the fill is not darker than the empty track")
    steps = p.get(IDS["IDB_STEPS"])
    if steps:
        # Frame n lights more than frame n - 1: more saturated blue pixels.
        lit = [sum(1 for row in steps.frame(k, 3) for q in row
                   if q[3] > 200 and q[2] > q[0] + 80) for k in range(3)]
        if not lit[0] < lit[1] < lit[2]:
            fail(f"PNG 1029: lit areas of the three frames do not grow: {lit}")
    xp, w7 = p.get(1026), p.get(1027)
    if xp and w7 and xp.rows == w7.rows:
        fail("PNG 1026 and 1027: the two system pictures are identical")


def check_icon(path):
    with open(path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    if reserved != 0 or kind != 1:
        fail(f"ICON {ICON_ID}: not an icon file")
        return
    sizes = set()
    for i in range(count):
        w, h, _, _, _, bits, size, offset = struct.unpack("<BBBBHHII", data[6 + 16 * i:22 + 16 * i])
        w, h = w or 256, h or 256
        image = data[offset:offset + size]
        if len(image) != size:
            fail(f"ICON {ICON_ID}: image {i} lies outside the file")
            continue
        if image[:8] == b"\x89PNG\r\n\x1a\n":
            iw, ih = struct.unpack(">II", image[16:24])
            depth = 32 if image[24] == 8 and image[25] == 6 else 0
        else:
            _, iw, ih, _, depth = struct.unpack("<IiiHH", image[:16])
            ih //= 2   # a BMP icon image stacks the colour and the mask rows
        if (iw, ih) != (w, h) or w != h:
            fail(f"ICON {ICON_ID}: image {i} says {w}x{h} but holds {iw}x{ih}")
        if bits != 32 or depth != 32:
            fail(f"ICON {ICON_ID}: the {w}x{h} image is not 32-bit with alpha")
        sizes.add(w)
    if not ICON_SIZES <= sizes:
        fail(f"ICON {ICON_ID}: sizes {sorted(sizes)}, needs {sorted(ICON_SIZES)}")


def main():
    res_dir = sys.argv[1]
    rc = read_rc(res_dir)
    pictures = {}
    for pid in sorted(PICTURES):
        if rc.get(pid, ("",))[0] != "PNG":
            fail(f"skin.rc: no PNG resource {pid}")
            continue
        try:
            png = check_png(pid, rc[pid][1])
        except (OSError, ValueError, zlib.error, struct.error) as e:
            fail(f"PNG {pid}: {e}")
            continue
        if png:
            pictures[pid] = png
    extra = sorted(k for k, v in rc.items() if v[0] == "PNG" and k not in PICTURES)
    if extra:
        fail(f"skin.rc: unexpected PNG resources {extra}")
    check_looks(pictures)
    if rc.get(ICON_ID, ("",))[0] != "ICON":
        fail(f"skin.rc: no ICON resource {ICON_ID}")
    else:
        check_icon(rc[ICON_ID][1])
    for msg in failures:
        print("FAIL:", msg)
    print(f"{len(pictures)} pictures decoded, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
