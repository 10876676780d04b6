"""A zlib stream encoded here (fixed Huffman codes, greedy matching), so the
PNG bytes resources/generate.py writes never depend on the zlib build at hand.

Standard library only.
"""

from __future__ import annotations

import struct
import zlib

_LEN_BASE = [3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59,
             67, 83, 99, 115, 131, 163, 195, 227, 258]
_LEN_EXTRA = [0] * 8 + [1] * 4 + [2] * 4 + [3] * 4 + [4] * 4 + [5] * 4 + [0]
_DIST_BASE = [1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513,
              769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577]
_DIST_EXTRA = [0, 0, 0, 0] + [k // 2 for k in range(2, 28)]
_WINDOW = 32768
_MAX_MATCH = 258


class _BitWriter:
    def __init__(self) -> None:
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def bits(self, value: int, count: int) -> None:
        """Writes count bits of value, least significant first."""
        self.acc |= value << self.n
        self.n += count
        while self.n >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.n -= 8

    def code(self, code: int, length: int) -> None:
        """Writes a Huffman code, most significant bit first."""
        self.bits(int(format(code, f"0{length}b")[::-1], 2), length)

    def finish(self) -> bytes:
        if self.n:
            self.out.append(self.acc & 0xFF)
        return bytes(self.out)


def _literal(w: _BitWriter, v: int) -> None:
    if v < 144:
        w.code(0x30 + v, 8)
    elif v < 256:
        w.code(0x190 + v - 144, 9)
    elif v < 280:
        w.code(v - 256, 7)
    else:
        w.code(0xC0 + v - 280, 8)


def _match(w: _BitWriter, length: int, dist: int) -> None:
    k = max(i for i, base in enumerate(_LEN_BASE) if base <= length)
    if length == 258:
        k = 28
    _literal(w, 257 + k)
    w.bits(length - _LEN_BASE[k], _LEN_EXTRA[k])
    d = max(i for i, base in enumerate(_DIST_BASE) if base <= dist)
    w.code(d, 5)
    w.bits(dist - _DIST_BASE[d], _DIST_EXTRA[d])


def _match_length(data: bytes, i: int, dist: int) -> int:
    """Longest run at i that repeats the bytes dist before (binary search)."""
    limit = min(_MAX_MATCH, len(data) - i)
    if limit < 3 or data[i:i + 3] != data[i - dist:i - dist + 3]:
        return 0
    lo, hi = 3, limit
    while lo < hi:
        mid = (lo + hi + 1) // 2
        if data[i:i + mid] == data[i - dist:i - dist + mid]:
            lo = mid
        else:
            hi = mid - 1
    return lo


def deflate(data: bytes, distances: tuple[int, ...]) -> bytes:
    """A raw deflate stream of data, trying the given distances and the last
    place the next three bytes were seen."""
    w = _BitWriter()
    w.bits(1, 1)  # final block
    w.bits(1, 2)  # fixed Huffman codes
    seen: dict[bytes, int] = {}
    i, n = 0, len(data)
    while i < n:
        key = data[i:i + 3]
        tries = [d for d in distances if 0 < d <= i]
        last = seen.get(key)
        if last is not None and i - last <= _WINDOW:
            tries.append(i - last)
        best_len, best_dist = 0, 0
        for d in tries:
            length = _match_length(data, i, d)
            if length > best_len:
                best_len, best_dist = length, d
        seen[key] = i
        if best_len >= 3:
            _match(w, best_len, best_dist)
            i += best_len
        else:
            _literal(w, data[i])
            i += 1
    _literal(w, 256)
    return w.finish()


def zlib_stream(data: bytes, distances: tuple[int, ...]) -> bytes:
    return b"\x78\x01" + deflate(data, distances) + struct.pack(">I", zlib.adler32(data))
