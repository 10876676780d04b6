#!/usr/bin/env python3
"""Checks the Windows zip: zip_test.py ZIP

It holds one folder, "Corvane Ombrel", with the program (at most 1 MB, no
symbols, every import present on Windows XP: tests/pe/check_imports.py),
README.txt and LICENSE.txt with Windows line ends, and nothing else.
"""

from __future__ import annotations

import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
FOLDER = "Corvane Ombrel/"
EXE = FOLDER + "Corvane Ombrel.exe"
LIMIT = 1024 * 1024


def problems(path: Path) -> list[str]:
    found = []
    with zipfile.ZipFile(path) as archive:
        names = sorted(archive.namelist())
        want = sorted([FOLDER, EXE, FOLDER + "README.txt", FOLDER + "LICENSE.txt"])
        if names != want:
            found.append(f"holds {names}, not {want}")
        if EXE in names:
            exe = archive.read(EXE)
            if len(exe) > LIMIT:
                found.append(f"the program is {len(exe)} bytes, more than {LIMIT}")
            # Stripped: no COFF symbol table (its pointer in the file header).
            pe = int.from_bytes(exe[0x3C:0x40], "little")
            if int.from_bytes(exe[pe + 12:pe + 16], "little") != 0:
                found.append("the program carries a symbol table")
            with tempfile.TemporaryDirectory() as folder:
                copy = Path(folder) / "Corvane Ombrel.exe"
                copy.write_bytes(exe)
                check = subprocess.run([sys.executable, str(ROOT / "tests" / "pe" / "check_imports.py"),
                                        "check", str(copy)], capture_output=True, text=True)
                print(check.stdout, end="")
                if check.returncode != 0:
                    found.append("the program cannot start on Windows XP")
        for text in ("README.txt", "LICENSE.txt"):
            if FOLDER + text in names:
                data = archive.read(FOLDER + text)
                if not data or data.count(b"\n") != data.count(b"\r\n") or b"@VERSION@" in data:
                    found.append(f"{text} is empty, lacks Windows line ends or a filled-in version")
    return found


def main(argv: list[str]) -> int:
    if len(argv) != 1:
        print(__doc__)
        return 2
    found = problems(Path(argv[0]))
    for line in found:
        print(f"zip test: FAILED: {line}")
    if not found:
        print(f"zip test passed: {Path(argv[0]).name}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
