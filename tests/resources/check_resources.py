#!/usr/bin/env python3
"""Checks the program's pictures in resources/.

    check_resources.py regenerate   the committed files are exactly what
                                    resources/generate.py makes from src/
    check_resources.py formats      icons, bitmaps and PNGs have the sizes,
                                    depths and colours the windows need
    check_resources.py self-test    the checks above catch broken files, and
                                    the generator's deflate streams inflate

The file readers here are written apart from the generator's writers, so a
fault in one is not hidden by the same fault in the other.
"""

from __future__ import annotations

import struct
import subprocess
import sys
import tempfile
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
RESOURCES = ROOT / "resources"
OUTPUT_DIRS = ("icons", "toolbar")

VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
MASK = (192, 192, 192)

# The list of the pictures the windows name, as the generator reads it.
sys.dont_write_bytecode = True
sys.path.insert(0, str(RESOURCES))
import generate  # noqa: E402 (after the path it is found in)


class Bad(Exception):
    """A file that does not read as what it claims to be."""


# --------------------------------------------------------------------------
# Readers. Pixels come back as rows of (r, g, b, a) top-down.

def read_ico(data: bytes) -> list[dict]:
    """Every image of an icon file: width, height, bpp, pixels (alpha 0 where
    the AND mask is set)."""
    if len(data) < 6:
        raise Bad("shorter than an icon header")
    reserved, kind, count = struct.unpack_from("<HHH", data)
    if reserved != 0 or kind != 1:
        raise Bad(f"not an icon (reserved {reserved}, type {kind})")
    if len(data) < 6 + 16 * count:
        raise Bad("directory runs past the end")
    images = []
    for i in range(count):
        w, h, colours, res, planes, bpp, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        w, h = w or 256, h or 256
        if offset + size > len(data):
            raise Bad(f"image {i} runs past the end")
        blob = data[offset:offset + size]
        (hsize, bw, bh, bplanes, bbpp, compression) = struct.unpack_from("<IiiHHI", blob)
        if hsize != 40 or compression != 0 or bplanes != 1:
            raise Bad(f"image {i}: header size {hsize}, compression {compression}, planes {bplanes}")
        if (bw, bh) != (w, 2 * h):
            raise Bad(f"image {i}: bitmap {bw} x {bh} for a {w} x {h} entry")
        if bbpp != bpp or planes != 1:
            raise Bad(f"image {i}: entry says {bpp} bpp, bitmap {bbpp}")
        if bpp not in (1, 4, 8):
            raise Bad(f"image {i}: {bpp} bits per pixel has no palette here")
        if colours != (1 << bpp) % 256:
            raise Bad(f"image {i}: entry colour count {colours} for {bpp} bpp")
        palette = [struct.unpack_from("<BBBx", blob, 40 + 4 * k)[::-1] for k in range(1 << bpp)]
        xor_stride = ((w * bpp + 31) // 32) * 4
        and_stride = ((w + 31) // 32) * 4
        start = 40 + 4 * len(palette)
        if len(blob) != start + (xor_stride + and_stride) * h:
            raise Bad(f"image {i}: {len(blob)} bytes, expected {start + (xor_stride + and_stride) * h}")
        mask_start = start + xor_stride * h
        pixels = []
        for y in range(h):
            row_at = start + (h - 1 - y) * xor_stride
            mask_at = mask_start + (h - 1 - y) * and_stride
            row = []
            for x in range(w):
                bit = x * bpp
                index = (blob[row_at + bit // 8] >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1)
                clear = (blob[mask_at + x // 8] >> (7 - x % 8)) & 1
                row.append(palette[index] + ((0,) if clear else (255,)))
            pixels.append(row)
        images.append({"width": w, "height": h, "bpp": bpp, "palette": palette, "pixels": pixels})
    return images


def read_bmp(data: bytes) -> dict:
    if data[:2] != b"BM" or len(data) < 54:
        raise Bad("not a bitmap")
    file_size, offset = struct.unpack_from("<I", data, 2)[0], struct.unpack_from("<I", data, 10)[0]
    if file_size != len(data):
        raise Bad(f"header says {file_size} bytes, file has {len(data)}")
    hsize, w, h, planes, bpp, compression = struct.unpack_from("<IiiHHI", data, 14)
    if hsize != 40 or planes != 1 or compression != 0:
        raise Bad(f"header size {hsize}, planes {planes}, compression {compression}")
    if bpp != 24:
        raise Bad(f"{bpp} bits per pixel, not 24")
    bottom_up = h > 0
    h = abs(h)
    stride = (w * 3 + 3) // 4 * 4
    if offset + stride * h != len(data):
        raise Bad("pixel data does not fill the file")
    pixels = []
    for y in range(h):
        at = offset + ((h - 1 - y) if bottom_up else y) * stride
        pixels.append([tuple(data[at + 3 * x:at + 3 * x + 3][::-1]) + (255,) for x in range(w)])
    return {"width": w, "height": h, "bpp": bpp, "pixels": pixels}


def _paeth(a: int, b: int, c: int) -> int:
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def read_png(data: bytes, want_pixels: bool = True) -> dict:
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise Bad("no PNG signature")
    at, chunks = 8, []
    while at < len(data):
        (length,) = struct.unpack_from(">I", data, at)
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        (crc,) = struct.unpack_from(">I", data, at + 8 + length)
        if zlib.crc32(kind + body) != crc:
            raise Bad(f"chunk {kind!r}: wrong CRC")
        chunks.append((kind, body))
        at += 12 + length
    if chunks[0][0] != b"IHDR" or chunks[-1][0] != b"IEND":
        raise Bad("chunks out of order")
    w, h, depth, ctype, comp, filt, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    if comp or filt or interlace:
        raise Bad("unknown compression, filter or interlace")
    palette = None
    for kind, body in chunks:
        if kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
    raw = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
    channels = {0: 1, 2: 3, 3: 1, 6: 4}[ctype]
    stride = (w * channels * depth + 7) // 8
    if len(raw) != (stride + 1) * h:
        raise Bad(f"image data is {len(raw)} bytes, expected {(stride + 1) * h}")
    info = {"width": w, "height": h, "depth": depth, "colour_type": ctype, "palette": palette}
    if not want_pixels:
        return info
    step = max(1, channels * depth // 8)
    prev = bytearray(stride)
    pixels = []
    for y in range(h):
        ftype = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - step] if i >= step else 0
            b, c = prev[i], (prev[i - step] if i >= step else 0)
            line[i] = (line[i] + [0, a, b, (a + b) // 2, _paeth(a, b, c)][ftype]) & 0xFF
        prev = line
        row = []
        for x in range(w):
            if ctype == 3:
                bit = x * depth
                idx = (line[bit // 8] >> (8 - depth - bit % 8)) & ((1 << depth) - 1)
                row.append(palette[idx] + (255,))
            elif ctype == 2:
                row.append(tuple(line[3 * x:3 * x + 3]) + (255,))
            elif ctype == 6:
                row.append(tuple(line[4 * x:4 * x + 4]))
            else:
                raise Bad(f"colour type {ctype} is not used here")
        pixels.append(row)
    info["pixels"] = pixels
    return info


# --------------------------------------------------------------------------
# Checks. Each takes the files (path below resources/ -> bytes) and returns
# a list of faults.

def same_picture(a: list, b: list) -> bool:
    """Equal pixels, where fully transparent pixels match whatever colour."""
    if len(a) != len(b) or any(len(ra) != len(rb) for ra, rb in zip(a, b)):
        return False
    for ra, rb in zip(a, b):
        for pa, pb in zip(ra, rb):
            if pa[3] == 0 and pb[3] == 0:
                continue
            if pa != pb:
                return False
    return True


def check_formats(files: dict[str, bytes], pictures: list | None = None) -> list[str]:
    """Faults of `files` as the program's pictures: the program icon and each
    picture of the list (pictures.txt unless `pictures` is given)."""
    faults: list[str] = []
    if pictures is None:
        pictures = generate.read_picture_list()

    def need(path: str) -> bytes | None:
        if path not in files:
            faults.append(f"{path}: missing")
            return None
        return files[path]

    def guard(path: str, fn):
        data = need(path)
        if data is None:
            return None
        try:
            return fn(data)
        except (Bad, struct.error, zlib.error, IndexError, KeyError, ValueError) as exc:
            faults.append(f"{path}: {exc}")
            return None

    # The program icon: one group of three images, in this order.
    program = guard("icons/program.ico", read_ico)
    if program is not None:
        got = [(i["width"], i["height"], i["bpp"]) for i in program]
        if got != [(32, 32, 1), (32, 32, 4), (16, 16, 4)]:
            faults.append(f"icons/program.ico: images {got}, expected 32x32@1, 32x32@4, 16x16@4")
        for i in program:
            if i["bpp"] == 4 and i["palette"] != VGA16:
                faults.append("icons/program.ico: a 16-colour image without the standard palette")
            if i["bpp"] == 1 and i["palette"] != [(0, 0, 0), (255, 255, 255)]:
                faults.append("icons/program.ico: the 2-colour image is not black and white")
        pngs = {"icons/program_32_mono.png": 0, "icons/program_32.png": 1, "icons/program_16.png": 2}
        for path, k in pngs.items():
            png = guard(path, read_png)
            if png is not None and k < len(program) and not same_picture(png["pixels"], program[k]["pixels"]):
                faults.append(f"{path}: not the same picture as image {k + 1} of icons/program.ico")

    # The icons of the list (the splash and About picture): one 32 x 32,
    # 16-colour image each, not the program icon.
    for picture in (p for p in pictures if p.kind == "icon"):
        path = f"icons/{picture.name}.ico"
        icon = guard(path, read_ico)
        if icon is None:
            continue
        got = [(i["width"], i["height"], i["bpp"]) for i in icon]
        if got != [(32, 32, 4)]:
            faults.append(f"{path}: images {got}, expected one 32x32@4")
        elif icon[0]["palette"] != VGA16:
            faults.append(f"{path}: not the standard 16-colour palette")
        png = guard(f"icons/{picture.name}.png", read_png)
        if png is not None and icon and not same_picture(png["pixels"], icon[0]["pixels"]):
            faults.append(f"icons/{picture.name}.png: not the same picture as {path}")
        if program is not None and icon and len(program) > 1 and same_picture(program[1]["pixels"], icon[0]["pixels"]):
            faults.append(f"{path}: the same picture as the program icon")

    # The toolbar pictures of the list: 24 x 24, on the mask colour when drawn
    # as a grid, opaque when drawn as shapes (and then also kept large).
    for picture in (p for p in pictures if p.kind == "bitmap"):
        path = f"toolbar/{picture.name}.bmp"
        bmp = guard(path, read_bmp)
        if bmp is None:
            continue
        if (bmp["width"], bmp["height"]) != (24, 24):
            faults.append(f"{path}: {bmp['width']} x {bmp['height']}, not 24 x 24")
            continue
        corner = bmp["pixels"][0][0][:3]
        if picture.drawn == "grid" and corner != MASK:
            faults.append(f"{path}: top-left pixel {corner}, not the mask colour {MASK}")
        if picture.drawn == "shapes" and corner == MASK:
            faults.append(f"{path}: a picture drawn as shapes is opaque; its background must not be the mask colour")
        png = guard(f"toolbar/{picture.name}.png", read_png)
        if png is not None and not same_picture(png["pixels"], bmp["pixels"]):
            faults.append(f"toolbar/{picture.name}.png: not the same picture as {path}")
        if picture.drawn == "shapes":
            large_path = f"toolbar/{picture.name}_large.png"
            large = guard(large_path, lambda d: read_png(d, want_pixels=False))
            if large is not None and (large["width"], large["height"]) != (1900, 1859):
                faults.append(f"{large_path}: {large['width']} x {large['height']}, not 1900 x 1859")
    return faults


def load(folder: Path) -> dict[str, bytes]:
    return {str(p.relative_to(folder)): p.read_bytes()
            for d in OUTPUT_DIRS if (folder / d).is_dir()
            for p in sorted((folder / d).rglob("*")) if p.is_file()}


def regenerate() -> dict[str, bytes]:
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([sys.executable, str(RESOURCES / "generate.py"), "--out", tmp], check=True)
        return load(Path(tmp))


def compare(committed: dict[str, bytes], fresh: dict[str, bytes]) -> list[str]:
    faults = [f"{p}: committed but not generated" for p in sorted(committed.keys() - fresh.keys())]
    faults += [f"{p}: generated but not committed" for p in sorted(fresh.keys() - committed.keys())]
    for p in sorted(committed.keys() & fresh.keys()):
        if committed[p] != fresh[p]:
            at = next((i for i, (a, b) in enumerate(zip(committed[p], fresh[p])) if a != b),
                      min(len(committed[p]), len(fresh[p])))
            faults.append(f"{p}: differs from the generator's output at byte {at}")
    return faults


# --------------------------------------------------------------------------
# Self-test: every check must be able to fail.

def _patched(data: bytes, at: int, new: bytes) -> bytes:
    return data[:at] + new + data[at + len(new):]


def _bmp_with_corner(data: bytes, rgb: tuple[int, int, int]) -> bytes:
    offset = struct.unpack_from("<I", data, 10)[0]
    stride = (24 * 3 + 3) // 4 * 4
    return _patched(data, offset + 23 * stride, bytes(rgb[::-1]))  # top row is stored last


def build_ico(shapes: list[tuple[int, int, int]]) -> bytes:
    """A well-formed icon file of blank images of the given sizes and depths."""
    palettes = {1: [(0, 0, 0), (255, 255, 255)], 4: VGA16, 8: [(v, v, v) for v in range(256)]}
    blobs = []
    for w, h, bpp in shapes:
        xor_stride, and_stride = ((w * bpp + 31) // 32) * 4, ((w + 31) // 32) * 4
        bits = bytes((xor_stride + and_stride) * h)
        head = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0, len(bits), 0, 0, 0, 0)
        blobs.append(head + b"".join(bytes((b, g, r, 0)) for r, g, b in palettes[bpp]) + bits)
    out = struct.pack("<HHH", 0, 1, len(shapes))
    offset = 6 + 16 * len(shapes)
    for (w, h, bpp), blob in zip(shapes, blobs):
        out += struct.pack("<BBBBHHII", w % 256, h % 256, (1 << bpp) % 256, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def self_test(files: dict[str, bytes]) -> list[str]:
    problems: list[str] = []
    if check_formats(files):
        return ["the committed files do not pass to begin with"]
    ico, logo = files["icons/program.ico"], files["icons/logo.ico"]
    group = "expected 32x32@1, 32x32@4, 16x16@4"
    # (what, changed files, a text the faults must contain)
    cases = [
        ("16x16 image at 8 bpp", {"icons/program.ico": build_ico([(32, 32, 1), (32, 32, 4), (16, 16, 8)])}, group),
        ("32x32 images in the wrong order", {"icons/program.ico": build_ico([(32, 32, 4), (32, 32, 1), (16, 16, 4)])}, group),
        ("16x16 image missing", {"icons/program.ico": build_ico([(32, 32, 1), (32, 32, 4)])}, group),
        ("entry and bitmap disagree", {"icons/program.ico": _patched(ico, 6 + 6, b"\x04\x00")}, "entry says 4 bpp"),
        ("logo at 1 bpp", {"icons/logo.ico": build_ico([(32, 32, 1)])}, "expected one 32x32@4"),
        ("logo with two images", {"icons/logo.ico": build_ico([(32, 32, 4), (32, 32, 4)])}, "expected one 32x32@4"),
        ("logo palette changed", {"icons/logo.ico": _patched(logo, 6 + 16 + 40 + 4, b"\x01")}, "standard 16-colour palette"),
        ("logo swapped for the program icon", {"icons/logo.ico": ico}, "expected one 32x32@4"),
        ("Back corner not the mask", {"toolbar/toolbar_back.bmp": _bmp_with_corner(files["toolbar/toolbar_back.bmp"], (192, 192, 191))}, "not the mask colour"),
        ("About corner is the mask", {"toolbar/toolbar_about.bmp": _bmp_with_corner(files["toolbar/toolbar_about.bmp"], MASK)}, "drawn as shapes is opaque"),
        ("Home PNG differs from its bitmap", {"toolbar/toolbar_home.png": files["toolbar/toolbar_back.png"]}, "not the same picture"),
        ("Stop bitmap truncated", {"toolbar/toolbar_stop.bmp": files["toolbar/toolbar_stop.bmp"][:-3]}, "toolbar_stop.bmp"),
        ("Search missing", {"toolbar/toolbar_search.bmp": None}, "missing"),
        ("PNG CRC broken", {"icons/logo.png": _patched(files["icons/logo.png"], 29, b"\x00")}, "wrong CRC"),
        ("large About picture at 24 x 24", {"toolbar/toolbar_about_large.png": files["toolbar/toolbar_about.png"]}, "not 1900 x 1859"),
    ]
    for what, changes, expected in cases:
        mutated = dict(files)
        for path, data in changes.items():
            if data is None:
                mutated.pop(path)
            else:
                mutated[path] = data
        faults = check_formats(mutated)
        if not any(expected in f for f in faults):
            problems.append(f"format check missed: {what} (faults: {faults})")
    # The blank-icon builder itself makes icons the group check accepts.
    sane = check_formats(dict(files, **{"icons/program.ico": build_ico([(32, 32, 1), (32, 32, 4), (16, 16, 4)])}))
    if any(f.startswith("icons/program.ico:") for f in sane):
        problems.append(f"a well-formed three-image icon is refused: {sane}")

    flipped = dict(files)
    flipped["toolbar/toolbar_refresh.bmp"] = _patched(files["toolbar/toolbar_refresh.bmp"], 100, b"\x00")
    extra = dict(files, **{"toolbar/stray.bmp": b"BM"})
    for what, mutated in (("one byte changed", flipped), ("a stray file", extra)):
        if not compare(mutated, files):
            problems.append(f"regeneration check missed: {what}")

    # The format check follows the list: a picture added to it without its
    # files is missed, one taken off it is no longer looked at.
    listed = generate.read_picture_list()
    added = listed + [generate.Picture("toolbar_print", "bitmap", "grid", "IDB_TOOLBAR_PRINT", 308)]
    if not any("toolbar/toolbar_print.bmp: missing" in f for f in check_formats(files, added)):
        problems.append("format check missed: a listed picture without its files")
    unlisted = dict(files)
    unlisted.pop("toolbar/toolbar_home.bmp")
    if check_formats(unlisted, [p for p in listed if p.name != "toolbar_home"]):
        problems.append("format check looked at a picture the list does not hold")
    # The list reader refuses lines that are no picture.
    bad_lines = ["toolbar_back bitmap grid IDB_TOOLBAR_BACK", "toolbar_back image grid IDB_TOOLBAR_BACK 301",
                 "toolbar_back bitmap drawn IDB_TOOLBAR_BACK 301", "logo icon shapes IDP_LOGO 201",
                 "toolbar_back bitmap grid IDB_TOOLBAR_BACK three",
                 "toolbar_back bitmap grid IDB_TOOLBAR_BACK 301\ntoolbar_back bitmap grid IDB_TOOLBAR_BACK 302"]
    with tempfile.TemporaryDirectory() as tmp:
        for line in bad_lines:
            path = Path(tmp) / "pictures.txt"
            path.write_text("# name kind drawn id number\n" + line + "\n", encoding="ascii")
            try:
                generate.read_picture_list(path)
                problems.append(f"the list reader took: {line!r}")
            except generate.SourceError:
                pass

    # The generator's own deflate streams must inflate with the standard inflater.
    samples = [b"", b"a", bytes(range(256)) * 3, b"\x00" * 70000, b"abcabcabc" * 1000,
               bytes((i * 7919) % 251 for i in range(5000)), b"x" * 258 + b"y" * 259 + b"z" * 3]
    for sample in samples:
        for dists in ((1,), (1, 3, 97)):
            stream = generate.zlib_stream(sample, dists)
            if zlib.decompress(stream) != sample:
                problems.append(f"deflate round trip failed for {len(sample)} bytes, distances {dists}")
    return problems


def main(argv: list[str]) -> int:
    mode = argv[0] if argv else ""
    committed = load(RESOURCES)
    if mode == "regenerate":
        faults = compare(committed, regenerate())
    elif mode == "formats":
        faults = check_formats(committed)
    elif mode == "self-test":
        faults = self_test(committed)
    else:
        print(__doc__, file=sys.stderr)
        return 2
    for fault in faults:
        print(f"FAULT {fault}")
    print(f"{mode}: {'failed' if faults else 'passed'} ({len(faults)} faults, {len(committed)} files)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
