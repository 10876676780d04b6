#!/usr/bin/env python3
"""Builds the program's pictures from the text sources in src/.

The program icon, and each picture of the list pictures.txt. Every output
is a pure function of the sources: no time stamps, no library-dependent
compression (the PNG deflate stream is encoded here), so running this
script again writes the same bytes.

    python3 resources/generate.py              # rewrites resources/icons, resources/toolbar
    python3 resources/generate.py --out DIR    # writes the same tree below DIR

Standard library only.
"""

from __future__ import annotations

import argparse
import math
import struct
import sys
import zlib
from dataclasses import dataclass, field
from fractions import Fraction
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written beside the sources
from deflate import zlib_stream  # noqa: E402 (after the line above)

HERE = Path(__file__).resolve().parent
SRC = HERE / "src"

Rgb = tuple[int, int, int]
TRANSPARENT = None  # colour of a transparent icon pixel

# The standard 16-colour palette, in the order 4-bit icons use it.
VGA16: list[Rgb] = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
MONO: list[Rgb] = [(0, 0, 0), (255, 255, 255)]

# Background of toolbar pictures 1 to 6: the image list's mask colour.
MASK_COLOUR: Rgb = (192, 192, 192)
TOOLBAR_SIZE = 24


class SourceError(Exception):
    """A picture source that cannot be read."""


# --------------------------------------------------------------------------
# Sources: pixel grids

@dataclass
class Grid:
    """One pixel-art image: rows of colours, TRANSPARENT where see-through."""
    width: int
    height: int
    bpp: int
    pixels: list[list[Rgb | None]]
    origin: str = ""


def parse_colour(words: list[str], where: str) -> Rgb | None:
    if words == ["transparent"]:
        return TRANSPARENT
    if len(words) != 3:
        raise SourceError(f"{where}: a colour is 'R G B' or 'transparent'")
    try:
        rgb = tuple(int(w) for w in words)
    except ValueError as exc:
        raise SourceError(f"{where}: {exc}") from None
    if any(not 0 <= c <= 255 for c in rgb):
        raise SourceError(f"{where}: colour parts run from 0 to 255")
    return rgb  # type: ignore[return-value]


def read_grids(path: Path) -> list[Grid]:
    """Reads a grid source.

    Lines: '# comment', 'colour C R G B' or 'colour C transparent' (C is one
    character), 'image W H BPP' followed by H rows of W colour characters.
    """
    legend: dict[str, Rgb | None] = {}
    grids: list[Grid] = []
    lines = path.read_text(encoding="utf-8").splitlines()
    i = 0
    while i < len(lines):
        where = f"{path.name}:{i + 1}"
        line = lines[i].rstrip()
        i += 1
        if not line or line.startswith("#"):
            continue
        words = line.split()
        if words[0] == "colour" and len(words) >= 3 and len(words[1]) == 1:
            legend[words[1]] = parse_colour(words[2:], where)
        elif words[0] == "image" and len(words) == 4:
            w, h, bpp = (int(x) for x in words[1:])
            rows: list[list[Rgb | None]] = []
            for _ in range(h):
                if i >= len(lines):
                    raise SourceError(f"{where}: image ends early")
                row = lines[i].rstrip("\n")
                i += 1
                if len(row) != w:
                    raise SourceError(f"{path.name}:{i}: row is {len(row)} wide, not {w}")
                try:
                    rows.append([legend[ch] for ch in row])
                except KeyError as exc:
                    raise SourceError(f"{path.name}:{i}: colour {exc} has no legend") from None
            grids.append(Grid(w, h, bpp, rows, f"{path.name}:{i - h}"))
        else:
            raise SourceError(f"{where}: cannot read '{line}'")
    return grids


# --------------------------------------------------------------------------
# Sources: shapes, drawn plain (a pixel is inside when its centre is)

@dataclass
class Canvas:
    """A large picture kept as runs of palette indexes, one list per row."""
    width: int
    height: int
    palette: list[Rgb]
    rows: list[list[tuple[int, int, int]]] = field(default_factory=list)  # (start, end, index)

    def paint(self, y: int, x0: int, x1: int, index: int) -> None:
        """Paints pixels x0..x1-1 of row y."""
        x0, x1 = max(x0, 0), min(x1, self.width)
        if x0 >= x1:
            return
        out: list[tuple[int, int, int]] = []
        for a, b, c in self.rows[y]:
            if b <= x0 or a >= x1:
                out.append((a, b, c))
                continue
            if a < x0:
                out.append((a, x0, c))
            if b > x1:
                out.append((x1, b, c))
        out.append((x0, x1, index))
        out.sort()
        merged: list[tuple[int, int, int]] = []
        for run in out:
            if merged and merged[-1][2] == run[2] and merged[-1][1] == run[0]:
                merged[-1] = (merged[-1][0], run[1], run[2])
            else:
                merged.append(run)
        self.rows[y] = merged

    def indexes(self, y: int) -> bytes:
        return b"".join(bytes([c]) * (b - a) for a, b, c in self.rows[y])


def half_units(word: str, where: str) -> int:
    """A coordinate in pixels (a multiple of 0.5) as a count of half pixels."""
    try:
        value = Fraction(word) * 2
    except (ValueError, ZeroDivisionError):
        raise SourceError(f"{where}: '{word}' is not a number") from None
    if value.denominator != 1:
        raise SourceError(f"{where}: coordinates are multiples of 0.5")
    return int(value)


def span(left2: int, right2: int) -> tuple[int, int]:
    """The pixels x whose centre (2x+1 half units) lies in [left2, right2],
    as a start and an end (exclusive)."""
    lo = -((-(left2 - 1)) // 2)   # ceil((left2 - 1) / 2)
    hi = (right2 - 1) // 2         # floor((right2 - 1) / 2)
    return lo, hi + 1


def read_shapes(path: Path) -> Canvas:
    """Reads a shape source.

    Lines: 'canvas W H', 'colour C R G B', 'background C',
    'disc CX CY R C', 'roundrect X0 Y0 X1 Y1 R C' (edges, corner radius).
    Shapes are painted in order; coordinates are pixels, in steps of 0.5.
    """
    legend: dict[str, int] = {}
    canvas: Canvas | None = None
    for n, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        where = f"{path.name}:{n}"
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        words = line.split()
        op, args = words[0], words[1:]
        if op == "canvas" and len(args) == 2:
            canvas = Canvas(int(args[0]), int(args[1]), [])
            continue
        if canvas is None:
            raise SourceError(f"{where}: 'canvas' comes first")
        if op == "colour" and len(args) == 4 and len(args[0]) == 1:
            rgb = parse_colour(args[1:], where)
            if rgb is None:
                raise SourceError(f"{where}: shapes have no transparent colour")
            legend[args[0]] = len(canvas.palette)
            canvas.palette.append(rgb)
        elif op == "background" and len(args) == 1:
            canvas.rows = [[(0, canvas.width, legend[args[0]])] for _ in range(canvas.height)]
        elif op == "disc" and len(args) == 4:
            cx, cy, r = (half_units(a, where) for a in args[:3])
            index = legend[args[3]]
            for y in range(canvas.height):
                dy = 2 * y + 1 - cy
                if dy * dy <= r * r:
                    half = math.isqrt(r * r - dy * dy)
                    canvas.paint(y, *span(cx - half, cx + half), index)
        elif op == "roundrect" and len(args) == 6:
            x0, y0, x1, y1, r = (half_units(a, where) for a in args[:5])
            index = legend[args[5]]
            for y in range(canvas.height):
                yc = 2 * y + 1
                if not y0 <= yc <= y1:
                    continue
                dy = max(y0 + r - yc, yc - (y1 - r), 0)
                inset = r - math.isqrt(r * r - dy * dy)
                canvas.paint(y, *span(x0 + inset, x1 - inset), index)
        else:
            raise SourceError(f"{where}: cannot read '{line}'")
    if canvas is None or not canvas.rows:
        raise SourceError(f"{path.name}: needs 'canvas' and 'background'")
    return canvas


def shrink(canvas: Canvas, width: int, height: int) -> list[list[Rgb]]:
    """Area-averages the canvas down to width x height (exact integer weights)."""
    sums = [[[0, 0, 0] for _ in range(width)] for _ in range(height)]
    for y, runs in enumerate(canvas.rows):
        # Source row y covers [y*height, (y+1)*height) in units where a
        # target row is canvas.height units tall.
        top, bottom = y * height, (y + 1) * height
        for ty in range(top // canvas.height, min(height, -(-bottom // canvas.height))):
            wy = min(bottom, (ty + 1) * canvas.height) - max(top, ty * canvas.height)
            if wy <= 0:
                continue
            row = sums[ty]
            for a, b, c in runs:
                left, right = a * width, b * width
                rgb = canvas.palette[c]
                for tx in range(left // canvas.width, min(width, -(-right // canvas.width))):
                    wx = min(right, (tx + 1) * canvas.width) - max(left, tx * canvas.width)
                    if wx > 0:
                        cell = row[tx]
                        for k in range(3):
                            cell[k] += rgb[k] * wx * wy
    total = canvas.width * canvas.height
    return [[tuple((s + total // 2) // total for s in cell) for cell in row]  # type: ignore[misc]
            for row in sums]


# --------------------------------------------------------------------------
# File formats

def _png_chunk(kind: bytes, body: bytes) -> bytes:
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def png(width: int, height: int, colour_type: int, depth: int, rows: list[bytes],
        palette: list[Rgb] | None = None) -> bytes:
    """A PNG of already packed rows (filter 'none' on every row)."""
    stride = len(rows[0]) + 1
    raw = b"".join(b"\x00" + r for r in rows)
    channels = {0: 1, 2: 3, 3: 1, 6: 4}[colour_type]
    step = max(1, channels * depth // 8)
    out = b"\x89PNG\r\n\x1a\n"
    out += _png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 0))
    if palette is not None:
        out += _png_chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    out += _png_chunk(b"IDAT", zlib_stream(raw, (1, step, stride)))
    out += _png_chunk(b"IEND", b"")
    return out


def png_rgb(pixels: list[list[Rgb]]) -> bytes:
    rows = [b"".join(bytes(p) for p in row) for row in pixels]
    return png(len(pixels[0]), len(pixels), 2, 8, rows)


def png_rgba(grid: Grid) -> bytes:
    rows = [b"".join(bytes((0, 0, 0, 0)) if p is None else bytes(p) + b"\xff" for p in row)
            for row in grid.pixels]
    return png(grid.width, grid.height, 6, 8, rows)


def png_palette(canvas: Canvas) -> bytes:
    depth = next(d for d in (1, 2, 4, 8) if len(canvas.palette) <= 1 << d)
    per_byte = 8 // depth
    cache: dict[bytes, bytes] = {}
    rows = []
    for y in range(canvas.height):
        idx = canvas.indexes(y)
        if idx not in cache:
            packed = bytearray()
            for x in range(0, len(idx), per_byte):
                byte = 0
                for k, v in enumerate(idx[x:x + per_byte]):
                    byte |= v << (8 - depth * (k + 1))
                packed.append(byte)
            cache[idx] = bytes(packed)
        rows.append(cache[idx])
    return png(canvas.width, canvas.height, 3, depth, rows, canvas.palette)


def _bitmap_info(width: int, height: int, bpp: int, image_size: int) -> bytes:
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, image_size, 0, 0, 0, 0)


def _pack_bits(values: list[int], bpp: int) -> bytes:
    """One bitmap row, most significant bits first, padded to 4 bytes."""
    out = bytearray()
    per_byte = 8 // bpp
    for x in range(0, len(values), per_byte):
        byte = 0
        for k, v in enumerate(values[x:x + per_byte]):
            byte |= v << (8 - bpp * (k + 1))
        out.append(byte)
    while len(out) % 4:
        out.append(0)
    return bytes(out)


def bmp24(pixels: list[list[Rgb]]) -> bytes:
    """A 24-bit Windows bitmap, stored bottom-up."""
    height, width = len(pixels), len(pixels[0])
    body = bytearray()
    for row in reversed(pixels):
        line = b"".join(bytes((b, g, r)) for r, g, b in row)
        body += line + b"\x00" * (-len(line) % 4)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(body), 0, 0, 54)
    return header + _bitmap_info(width, height, 24, len(body)) + bytes(body)


def icon_image(grid: Grid) -> bytes:
    """One icon image: header, palette, colour bits and AND mask, bottom-up."""
    palette = {1: MONO, 4: VGA16}.get(grid.bpp)
    if palette is None:
        raise SourceError(f"{grid.origin}: icons here are 1 or 4 bits per pixel")
    xor_rows, and_rows = [], []
    for y in reversed(range(grid.height)):
        colours, mask = [], []
        for p in grid.pixels[y]:
            if p is None:
                colours.append(0)
                mask.append(1)
                continue
            if p not in palette:
                raise SourceError(f"{grid.origin}: colour {p} is not in the {len(palette)}-colour palette")
            colours.append(palette.index(p))
            mask.append(0)
        xor_rows.append(_pack_bits(colours, grid.bpp))
        and_rows.append(_pack_bits(mask, 1))
    bits = b"".join(xor_rows) + b"".join(and_rows)
    head = _bitmap_info(grid.width, 2 * grid.height, grid.bpp, len(bits))
    return head + b"".join(bytes((b, g, r, 0)) for r, g, b in palette) + bits


def ico(grids: list[Grid]) -> bytes:
    """An icon file holding one image per grid, in the given order."""
    images = [icon_image(g) for g in grids]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for g, data in zip(grids, images):
        out += struct.pack("<BBBBHHII", g.width % 256, g.height % 256, 1 << g.bpp, 0, 1,
                           g.bpp, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


# --------------------------------------------------------------------------
# What gets built

LIST = HERE / "pictures.txt"      # the pictures the windows name
ABOUT_LARGE_SIZE = (1900, 1859)   # the canvas of a picture drawn as shapes, kept large


@dataclass
class Picture:
    """One line of pictures.txt."""
    name: str
    kind: str    # "icon" or "bitmap"
    drawn: str   # "grid" or "shapes"
    resource_id: str
    number: int


def read_picture_list(path: Path = LIST) -> list[Picture]:
    """The pictures of the list, in its order."""
    pictures: list[Picture] = []
    for number, line in enumerate(path.read_text(encoding="ascii").splitlines(), 1):
        words = line.split()
        if not words or words[0].startswith("#"):
            continue
        where = f"{path.name}:{number}"
        if (len(words) != 5 or words[1] not in ("icon", "bitmap")
                or words[2] not in ("grid", "shapes") or not words[4].isdigit()):
            raise SourceError(f"{where}: not 'name icon|bitmap grid|shapes ID number'")
        if words[1] == "icon" and words[2] != "grid":
            raise SourceError(f"{where}: an icon is drawn as a grid")
        if any(p.name == words[0] for p in pictures):
            raise SourceError(f"{where}: {words[0]} comes twice")
        pictures.append(Picture(words[0], words[1], words[2], words[3], int(words[4])))
    return pictures


def expect(grids: list[Grid], shapes: list[tuple[int, int, int]], name: str) -> None:
    got = [(g.width, g.height, g.bpp) for g in grids]
    if got != shapes:
        raise SourceError(f"{name}: images {got}, expected {shapes}")


def build() -> dict[str, bytes]:
    """Every output file, keyed by its path below resources/."""
    files: dict[str, bytes] = {}

    program = read_grids(SRC / "program.txt")
    expect(program, [(32, 32, 1), (32, 32, 4), (16, 16, 4)], "program.txt")
    files["icons/program.ico"] = ico(program)
    files["icons/program_32_mono.png"] = png_rgba(program[0])
    files["icons/program_32.png"] = png_rgba(program[1])
    files["icons/program_16.png"] = png_rgba(program[2])

    for picture in read_picture_list():
        name = picture.name
        source = f"{name}.txt"
        if picture.kind == "icon":
            grids = read_grids(SRC / source)
            expect(grids, [(32, 32, 4)], source)
            files[f"icons/{name}.ico"] = ico(grids)
            files[f"icons/{name}.png"] = png_rgba(grids[0])
        elif picture.drawn == "grid":
            grids = read_grids(SRC / source)
            expect(grids, [(TOOLBAR_SIZE, TOOLBAR_SIZE, 24)], source)
            pixels = grids[0].pixels
            if any(p is None for row in pixels for p in row):
                raise SourceError(f"{source}: toolbar pictures are opaque")
            if pixels[0][0] != MASK_COLOUR:
                raise SourceError(f"{source}: the background must be the mask colour")
            files[f"toolbar/{name}.bmp"] = bmp24(pixels)  # type: ignore[arg-type]
            files[f"toolbar/{name}.png"] = png_rgb(pixels)  # type: ignore[arg-type]
        else:
            canvas = read_shapes(SRC / source)
            if (canvas.width, canvas.height) != ABOUT_LARGE_SIZE:
                raise SourceError(f"{source}: the canvas is {ABOUT_LARGE_SIZE}")
            small = shrink(canvas, TOOLBAR_SIZE, TOOLBAR_SIZE)
            files[f"toolbar/{name}_large.png"] = png_palette(canvas)
            files[f"toolbar/{name}.bmp"] = bmp24(small)
            files[f"toolbar/{name}.png"] = png_rgb(small)
    return files


def main(argv: list[str]) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, default=HERE, help="folder to write into")
    args = parser.parse_args(argv)
    try:
        files = build()
    except SourceError as exc:
        print(f"generate.py: {exc}", file=sys.stderr)
        return 1
    for rel, data in sorted(files.items()):
        path = args.out / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
