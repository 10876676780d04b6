#!/usr/bin/env python3
"""Checks that a 32-bit Windows program can start on Windows XP SP3.

    check_imports.py check EXE [EXPORTS_DIR]   the program's imports and header
    check_imports.py flags EXE                 its hardening: flags, sections, DLLs
    check_imports.py list EXE                  prints what the program imports
    check_imports.py self-test [EXPORTS_DIR]   the check catches what it must,
                                               on programs made here in memory

A program starts on XP only when every function it imports by name (or
ordinal) is exported by XP's DLLs: the loader refuses it before its first
instruction otherwise. The header's operating-system and subsystem versions
must be at most 5.1, or XP refuses it as "not a valid Win32 application".

EXPORTS_DIR holds one list per DLL (`kernel32.dll.txt`: exported names, one a
line), `vista_plus.txt` (`dll name`, names from Vista on) and
`noname_ordinals.txt` (`dll ordinal name`); default: tests/data/xp-exports.
Delay-loaded imports count like the others: they would fail at their first
call instead of at start.

`flags` checks what keeps the program hard to attack: data is not executable
(NX compatible), the image may load at any address (dynamic base, with its
relocations kept), no section is both writable and executable, and every DLL
it imports (delay-loaded too) is one the loader takes from the system folder
on every Windows from XP SP3 to 11 whatever lies beside the program: a known
DLL, or the common controls, which the manifest takes side by side.
"""

from __future__ import annotations

import struct
import sys
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
DEFAULT_EXPORTS = ROOT / "tests" / "data" / "xp-exports"
XP_VERSION = (5, 1)

# Listed as exports but newer than XP all the same (the lists are a proxy).
KNOWN_NEWER = {
    ("comctl32.dll", "TaskDialog"), ("comctl32.dll", "TaskDialogIndirect"),
    ("comctl32.dll", "LoadIconMetric"), ("comctl32.dll", "LoadIconWithScaleDown"),
    ("advapi32.dll", "RegGetValueA"), ("advapi32.dll", "RegGetValueW"),
    ("advapi32.dll", "RegDeleteKeyExA"), ("advapi32.dll", "RegDeleteKeyExW"),
    ("uxtheme.dll", "BeginBufferedPaint"), ("uxtheme.dll", "EndBufferedPaint"),
    ("uxtheme.dll", "BufferedPaintInit"), ("uxtheme.dll", "BufferedPaintUnInit"),
}

# Known DLLs on every Windows from XP SP3 to 11 (msvcrt on XP as the
# dependency of known ones), and the side-by-side common controls.
SYSTEM_FOLDER_ONLY = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "imagehlp.dll", "kernel32.dll", "msvcrt.dll",
    "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "shell32.dll", "user32.dll", "wldap32.dll",
    "comctl32.dll",
}
NX_COMPATIBLE, DYNAMIC_BASE = 0x100, 0x40
RELOCATIONS_STRIPPED = 0x1
SECTION_EXECUTE, SECTION_WRITE = 0x20000000, 0x80000000


class Bad(Exception):
    """A file that is not a readable PE program."""


@dataclass
class Image:
    os_version: tuple[int, int]
    subsystem_version: tuple[int, int]
    # (dll lowercased, name or "#ordinal", delay-loaded)
    imports: list[tuple[str, str, bool]] = field(default_factory=list)
    dll_characteristics: int = 0
    file_characteristics: int = 0
    relocations_size: int = 0
    # (name, characteristics)
    sections: list[tuple[str, int]] = field(default_factory=list)


# --------------------------------------------------------------------------
# Reader

def read_image(data: bytes) -> Image:
    def u16(at: int) -> int:
        return struct.unpack_from("<H", data, at)[0]

    def u32(at: int) -> int:
        return struct.unpack_from("<I", data, at)[0]

    try:
        if data[:2] != b"MZ":
            raise Bad("no MZ header")
        pe = u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise Bad("no PE signature")
        sections = u16(pe + 6)
        optional_size = u16(pe + 20)
        opt = pe + 24
        magic = u16(opt)
        if magic == 0x10B:
            wide, directories = False, opt + 96
        elif magic == 0x20B:
            wide, directories = True, opt + 112
        else:
            raise Bad(f"unknown optional header magic {magic:#x}")
        image = Image(os_version=(u16(opt + 40), u16(opt + 42)),
                      subsystem_version=(u16(opt + 48), u16(opt + 50)),
                      dll_characteristics=u16(opt + 70), file_characteristics=u16(pe + 22))
        count = u32(directories - 4)
        table = opt + optional_size
        spans = []
        for i in range(sections):
            at = table + 40 * i
            virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<IIII", data, at + 8)
            spans.append((virtual_address, max(virtual_size, raw_size), raw_offset))
            image.sections.append((data[at:at + 8].rstrip(b"\0").decode("latin-1"), u32(at + 36)))

        def offset(rva: int) -> int:
            for start, size, raw in spans:
                if start <= rva < start + size:
                    return raw + rva - start
            raise Bad(f"address {rva:#x} is in no section")

        def text(rva: int) -> str:
            at = offset(rva)
            end = data.index(b"\0", at)
            return data[at:end].decode("ascii")

        def thunks(rva: int, dll: str, delayed: bool) -> None:
            step, flag = (8, 1 << 63) if wide else (4, 1 << 31)
            at = offset(rva)
            while True:
                entry = struct.unpack_from("<Q" if wide else "<I", data, at)[0]
                if entry == 0:
                    return
                if entry & flag:
                    image.imports.append((dll, f"#{entry & 0xFFFF}", delayed))
                else:
                    image.imports.append((dll, text((entry & 0x7FFFFFFF) + 2), delayed))
                at += step

        def directory(index: int) -> int:
            return u32(directories + 8 * index) if index < count else 0

        image.relocations_size = u32(directories + 8 * 5 + 4) if count > 5 else 0

        # Import descriptors: 20 bytes each, ended by one of zeros.
        at_rva = directory(1)
        while at_rva:
            at = offset(at_rva)
            lookup, _, _, name, address = struct.unpack_from("<IIIII", data, at)
            if name == 0:
                break
            thunks(lookup or address, text(name).lower(), False)
            at_rva += 20
        # Delay-load descriptors: 32 bytes each; names at +4, lookup at +16.
        at_rva = directory(13)
        while at_rva:
            at = offset(at_rva)
            attributes, name, _, _, lookup = struct.unpack_from("<IIIII", data, at)
            if name == 0:
                break
            # Old-style descriptors hold addresses, not RVAs; none are made today.
            if attributes & 1 == 0:
                raise Bad("a delay-load descriptor with addresses instead of RVAs")
            thunks(lookup, text(name).lower(), True)
            at_rva += 32
        return image
    except (struct.error, ValueError, UnicodeDecodeError) as error:
        raise Bad(f"unreadable: {error}") from error


# --------------------------------------------------------------------------
# The check

@dataclass
class Exports:
    names: dict[str, set[str]]
    newer: set[tuple[str, str]]
    ordinals: set[tuple[str, int]]


def load_exports(folder: Path) -> Exports:
    names = {}
    for path in folder.glob("*.dll.txt"):
        names[path.name[:-4].lower()] = {line.strip() for line in path.read_text().splitlines()
                                         if line.strip()}
    if not names:
        raise Bad(f"no export lists in {folder}")
    newer = set(KNOWN_NEWER)
    for line in (folder / "vista_plus.txt").read_text().splitlines():
        parts = line.split()
        if len(parts) >= 2 and not line.startswith("#"):
            newer.add((parts[0].lower(), parts[1]))
    ordinals = set()
    for line in (folder / "noname_ordinals.txt").read_text().splitlines():
        parts = line.split()
        if len(parts) >= 2 and not line.startswith("#"):
            ordinals.add((parts[0].lower(), int(parts[1])))
    return Exports(names, newer, ordinals)


def problems(image: Image, exports: Exports) -> list[str]:
    found = []
    for what, version in (("operating-system", image.os_version),
                          ("subsystem", image.subsystem_version)):
        if version > XP_VERSION:
            found.append(f"header: {what} version {version[0]}.{version[1]} is above "
                         f"{XP_VERSION[0]}.{XP_VERSION[1]}")
    for dll, name, delayed in image.imports:
        how = " (delay-loaded)" if delayed else ""
        if name.startswith("#"):
            if (dll, int(name[1:])) not in exports.ordinals:
                found.append(f"{dll} ordinal {name[1:]}{how}: not exported by ordinal on XP")
        elif (dll, name) in exports.newer:
            found.append(f"{dll}!{name}{how}: only from Windows Vista on")
        elif dll not in exports.names:
            found.append(f"{dll}!{name}{how}: {dll} is not one of XP's known DLLs")
        elif name not in exports.names[dll]:
            found.append(f"{dll}!{name}{how}: not exported by XP's {dll}")
    return found


def hardening_problems(image: Image) -> list[str]:
    found = []
    if not image.dll_characteristics & NX_COMPATIBLE:
        found.append("not NX compatible: its data could be run as code")
    if not image.dll_characteristics & DYNAMIC_BASE:
        found.append("no dynamic base: it always loads at the same address")
    if image.file_characteristics & RELOCATIONS_STRIPPED or image.relocations_size == 0:
        found.append("no relocations: it cannot be moved to another address")
    for name, flags in image.sections:
        if flags & SECTION_WRITE and flags & SECTION_EXECUTE:
            found.append(f"section {name} is both writable and executable")
    for dll in sorted({dll for dll, _, _ in image.imports} - SYSTEM_FOLDER_ONLY):
        found.append(f"imports {dll}: a file of that name beside the program could be loaded "
                     f"instead (load it from the system folder at run time)")
    return found


def check_flags(exe: Path) -> int:
    image = read_image(exe.read_bytes())
    found = hardening_problems(image)
    dlls = ", ".join(sorted({dll for dll, _, _ in image.imports}))
    print(f"{exe.name}: DllCharacteristics {image.dll_characteristics:#x}, relocations "
          f"{image.relocations_size} bytes, {len(image.sections)} sections; imports {dlls}")
    for line in found:
        print(f"  NOT HARDENED: {line}")
    print(f"{exe.name} " + (f"has {len(found)} problem(s)" if found else "is hardened"))
    return 1 if found else 0


def check(exe: Path, folder: Path) -> int:
    image = read_image(exe.read_bytes())
    found = problems(image, load_exports(folder))
    by_dll: dict[str, int] = {}
    for dll, _, _ in image.imports:
        by_dll[dll] = by_dll.get(dll, 0) + 1
    summary = ", ".join(f"{dll} {n}" for dll, n in sorted(by_dll.items()))
    print(f"{exe.name}: {len(image.imports)} imports ({summary}); "
          f"OS version {image.os_version[0]}.{image.os_version[1]}, "
          f"subsystem version {image.subsystem_version[0]}.{image.subsystem_version[1]}")
    for line in found:
        print(f"  NOT ON XP: {line}")
    if found:
        print(f"{exe.name} cannot start on Windows XP: {len(found)} problem(s)")
        return 1
    print(f"{exe.name} can start on Windows XP")
    return 0


# --------------------------------------------------------------------------
# Self-test: PE programs made here, each with one fault or none.

def build_pe(imports: dict[str, list], os_version=(4, 0), subsystem_version=(4, 0),
             delayed: dict[str, list] | None = None, wide: bool = False,
             dll_characteristics: int = 0x140, relocations: bool = True,
             section_flags: int = 0xC0000040, file_flags: int = 0x102) -> bytes:
    """A minimal PE with one section at RVA 0x1000 holding the import tables.
    Import entries are names or ordinals (int)."""
    base = 0x1000
    body = bytearray()

    def put(blob: bytes) -> int:
        while len(body) % 4:
            body.append(0)
        at = base + len(body)
        body.extend(blob)
        return at

    fmt, flag = ("<Q", 1 << 63) if wide else ("<I", 1 << 31)

    def thunk_table(entries: list) -> int:
        refs = []
        for entry in entries:
            if isinstance(entry, int):
                refs.append(flag | entry)
            else:
                refs.append(put(b"\0\0" + entry.encode() + b"\0"))
        return put(b"".join(struct.pack(fmt, r) for r in refs + [0]))

    descriptors = []
    for dll, entries in imports.items():
        descriptors.append((thunk_table(entries), put(dll.encode() + b"\0")))
    table = put(b"".join(struct.pack("<IIIII", lookup, 0, 0, name, lookup)
                         for lookup, name in descriptors) + bytes(20))
    delay_table = 0
    if delayed:
        rows = []
        for dll, entries in delayed.items():
            lookup = thunk_table(entries)
            rows.append(struct.pack("<IIIIIIII", 1, put(dll.encode() + b"\0"), 0, lookup, lookup, 0, 0, 0))
        delay_table = put(b"".join(rows) + bytes(32))

    directories = [(0, 0)] * 16
    directories[1] = (table, 20 * (len(descriptors) + 1))
    if delay_table:
        directories[13] = (delay_table, 32)
    if relocations:
        # One empty block: only its presence is read.
        directories[5] = (put(struct.pack("<II", base, 8)), 8)
    optional = bytearray(240 if wide else 224)
    struct.pack_into("<H", optional, 0, 0x20B if wide else 0x10B)
    struct.pack_into("<HH", optional, 40, *os_version)
    struct.pack_into("<HH", optional, 48, *subsystem_version)
    struct.pack_into("<H", optional, 70, dll_characteristics)
    dirs_at = 112 if wide else 96
    struct.pack_into("<I", optional, dirs_at - 4, 16)
    for i, (rva, size) in enumerate(directories):
        struct.pack_into("<II", optional, dirs_at + 8 * i, rva, size)
    raw_offset = 0x400
    header = bytearray(0x40)
    header[:2] = b"MZ"
    struct.pack_into("<I", header, 0x3C, 0x40)
    coff = struct.pack("<HHIIIHH", 0x8664 if wide else 0x14C, 1, 0, 0, 0, len(optional), file_flags)
    section = struct.pack("<8sIIIIIIHHI", b".idata", len(body), base, len(body), raw_offset,
                          0, 0, 0, 0, section_flags)
    head = bytes(header) + b"PE\0\0" + coff + bytes(optional) + section
    return head + bytes(raw_offset - len(head)) + bytes(body)


def self_test(folder: Path) -> list[str]:
    exports = load_exports(folder)
    clean = {"KERNEL32.dll": ["GetTickCount", "ExitProcess"], "USER32.dll": ["MessageBoxW"]}
    # (case, program, the problems expected: substrings, one per problem)
    cases = [
        ("clean program", build_pe(clean), []),
        ("clean 64-bit layout", build_pe(clean, wide=True), []),
        ("XP's own header versions", build_pe(clean, (5, 1), (5, 1)), []),
        ("a Vista function", build_pe({"KERNEL32.dll": ["GetTickCount", "GetTickCount64"]}),
         ["kernel32.dll!GetTickCount64: only from Windows Vista"]),
        ("a name XP's DLL lacks", build_pe({"kernel32.dll": ["NoSuchFunctionAnywhere"]}),
         ["kernel32.dll!NoSuchFunctionAnywhere: not exported"]),
        ("a name listed but newer", build_pe({"COMCTL32.DLL": ["TaskDialogIndirect"]}),
         ["comctl32.dll!TaskDialogIndirect: only from Windows Vista"]),
        ("a DLL XP has not", build_pe({"api-ms-win-core-synch-l1-2-0.dll": ["WaitOnAddress"]}),
         ["not one of XP's known DLLs"]),
        ("an ordinal XP exports", build_pe({"comctl32.dll": [9]}), []),
        ("an ordinal XP does not export", build_pe({"comctl32.dll": [65000]}),
         ["comctl32.dll ordinal 65000"]),
        ("a Vista function delay-loaded", build_pe(clean, delayed={"kernel32.dll": ["GetTickCount64"]}),
         ["kernel32.dll!GetTickCount64 (delay-loaded): only from Windows Vista"]),
        ("a name XP lacks, delay-loaded", build_pe(clean, delayed={"user32.dll": ["SetProcessDPIAware"]}),
         ["user32.dll!SetProcessDPIAware (delay-loaded): not exported"]),
        ("Vista header versions", build_pe(clean, (6, 0), (6, 0)),
         ["operating-system version 6.0", "subsystem version 6.0"]),
        ("subsystem version 5.2", build_pe(clean, (5, 1), (5, 2)), ["subsystem version 5.2"]),
    ]
    failures = []
    for name, data, expected in cases:
        try:
            got = problems(read_image(data), exports)
        except Bad as error:
            failures.append(f"{name}: not read: {error}")
            continue
        if len(got) != len(expected) or any(want not in line for want, line in zip(expected, got)):
            failures.append(f"{name}: expected {expected}, got {got}")
    # The hardening check: each fault alone is found, and only it.
    hardening = [
        ("hardened program", build_pe(clean), []),
        ("hardened 64-bit layout", build_pe(clean, wide=True), []),
        ("the common controls", build_pe({"COMCTL32.dll": [17]}), []),
        ("not NX compatible", build_pe(clean, dll_characteristics=0x40), ["not NX compatible"]),
        ("no dynamic base", build_pe(clean, dll_characteristics=0x100), ["no dynamic base"]),
        ("neither flag, 64-bit", build_pe(clean, wide=True, dll_characteristics=0),
         ["not NX compatible", "no dynamic base"]),
        ("no relocation table", build_pe(clean, relocations=False), ["no relocations"]),
        ("relocations stripped", build_pe(clean, file_flags=0x103), ["no relocations"]),
        ("a writable, executable section", build_pe(clean, section_flags=0xE0000020),
         ["section .idata is both writable and executable"]),
        ("an executable, read-only section", build_pe(clean, section_flags=0x60000020), []),
        ("a DLL searched for beside the program", build_pe({**clean, "OLEACC.dll": ["LresultFromObject"]}),
         ["imports oleacc.dll"]),
        ("one delay-loaded", build_pe(clean, delayed={"version.dll": ["GetFileVersionInfoW"]}),
         ["imports version.dll"]),
    ]
    for name, data, expected in hardening:
        got = hardening_problems(read_image(data))
        if len(got) != len(expected) or any(want not in line for want, line in zip(expected, got)):
            failures.append(f"{name}: expected {expected}, got {got}")
    # The reader sees every import it was given, in order.
    listed = read_image(build_pe(clean)).imports
    want = [("kernel32.dll", "GetTickCount", False), ("kernel32.dll", "ExitProcess", False),
            ("user32.dll", "MessageBoxW", False)]
    if listed != want:
        failures.append(f"reader: expected {want}, got {listed}")
    # A file that is not a program is refused, never passed.
    for name, data in (("empty file", b""), ("text file", b"hello"),
                       ("truncated program", build_pe(clean)[:0x410])):
        try:
            read_image(data)
            failures.append(f"{name}: read as a program")
        except Bad:
            pass
    return failures


def main(argv: list[str]) -> int:
    mode = argv[0] if argv else ""
    try:
        if mode == "check" and len(argv) in (2, 3):
            return check(Path(argv[1]), Path(argv[2]) if len(argv) == 3 else DEFAULT_EXPORTS)
        if mode == "flags" and len(argv) == 2:
            return check_flags(Path(argv[1]))
        if mode == "list" and len(argv) == 2:
            for dll, name, delayed in read_image(Path(argv[1]).read_bytes()).imports:
                print(f"{dll} {name}{' (delay-loaded)' if delayed else ''}")
            return 0
        if mode == "self-test" and len(argv) in (1, 2):
            failures = self_test(Path(argv[1]) if len(argv) == 2 else DEFAULT_EXPORTS)
            for line in failures:
                print(f"FAILED: {line}")
            print("self-test " + ("failed" if failures else "passed"))
            return 1 if failures else 0
    except (Bad, OSError) as error:
        print(f"check_imports: {error}")
        return 1
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
