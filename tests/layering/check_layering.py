#!/usr/bin/env python3
"""Checks that the source tree's includes run one way.

    check_layering.py check [ROOT]   the tree at ROOT (default: this checkout)
    check_layering.py self-test      the check catches what it must, on small
                                     trees made here in a temporary folder

The layers, from the bottom:
  platform/            the controls' interfaces and the shared rules
  platform/<backend>/  fake, gtk, win32, posix: they realise platform/
  app/                 the forms runtime and the program
  splash/ browser/ about/ find/   the windows
  programs/<program>/  each program's entry point and packaging

The core (app/ and the window folders) builds on every system, so it
includes no backend, no program and no system header: only standard C++
headers in angle brackets. platform/ includes nothing above it, and its own
top level includes no backend. Nothing includes a program.
"""

from __future__ import annotations

import re
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
SOURCES = (".h", ".hpp", ".cpp", ".cc", ".rc")
CORE = ("app", "splash", "browser", "about", "find")
ABOVE_PLATFORM = CORE + ("programs",)

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# A standard C++ header: a bare lower-case name, no folder, no extension.
STANDARD = re.compile(r"^[a-z_0-9]+$")


def layer(relative: Path) -> str:
    parts = relative.parts
    if parts[0] == "platform":
        return "platform" if len(parts) == 2 else "backend"
    return parts[0]


def first_folder(target: str) -> str:
    return target.split("/", 1)[0]


def is_backend(target: str) -> bool:
    parts = target.split("/")
    return parts[0] == "platform" and len(parts) > 2


def problem(relative: Path, bracket: str, target: str) -> str | None:
    """What is wrong with `relative` including `target`, or None."""
    where = layer(relative)
    quoted = bracket == '"'
    if quoted and first_folder(target) == "programs":
        return "includes a program"
    if where in CORE:
        if quoted and is_backend(target):
            return "the core includes a backend"
        if not quoted and not STANDARD.match(target):
            return "the core includes a system header"
    if where in ("platform", "backend"):
        if quoted and first_folder(target) in ABOVE_PLATFORM:
            return "platform/ includes a layer above it"
    if where == "platform" and quoted and is_backend(target):
        return "platform/ includes a backend"
    return None


def check(root: Path) -> list[str]:
    found = []
    for top in ("platform",) + ABOVE_PLATFORM:
        folder = root / top
        if not folder.is_dir():
            continue
        for path in sorted(folder.rglob("*")):
            if path.suffix not in SOURCES or not path.is_file():
                continue
            relative = path.relative_to(root)
            text = path.read_text(encoding="utf-8", errors="replace")
            for number, line in enumerate(text.splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                bracket, target = match.groups()
                why = problem(relative, bracket, target)
                if why:
                    found.append(f"{relative}:{number}: {why}: {line.strip()}")
    return found


def self_test() -> list[str]:
    # (file, include line, whether the check must refuse it)
    cases = [
        ("app/forms.h", '#include "platform/window.h"', False),
        ("app/forms.h", "#include <memory>", False),
        ("app/program.cpp", '#include "browser/form1.h"', False),
        ("browser/form1.cpp", '#include "app/program.h"', False),
        ("about/frm_about.h", '#include "platform/failure.h"', False),
        ("platform/gtk/web_view.cpp", "#include <webkit2/webkit2.h>", False),
        ("platform/gtk/web_view.cpp", '#include "platform/window.h"', False),
        ("platform/win32/ui_backend.cpp", '#include "resources/win32/resource_ids.h"', False),
        ("programs/linux/main.cpp", '#include "platform/gtk/backend.h"', False),
        ("programs/windows/main.cpp", "#include <windows.h>", False),
        ("app/main.cpp", '#include "platform/gtk/backend.h"', True),
        ("splash/frm_splash.cpp", '#include "platform/fake/fake_backend.h"', True),
        ("browser/form1.cpp", '  #  include "platform/win32/ui_backend.h"', True),
        ("about/sysinfo.cpp", '#include "platform/posix/posix_shell.h"', True),
        ("app/program.cpp", "#include <gtk/gtk.h>", True),
        ("browser/form1.h", "#include <windows.h>", True),
        ("about/sysinfo.cpp", "#include <unistd.h>", True),
        ("app/forms.cpp", '#include "programs/linux/main.cpp"', True),
        ("platform/window.h", '#include "app/forms.h"', True),
        ("platform/gtk/backend.cpp", '#include "browser/form1.h"', True),
        ("platform/win32/ui_backend.cpp", '#include "programs/windows/x.h"', True),
        ("platform/controls.h", '#include "platform/gtk/gobject_ptr.h"', True),
    ]
    failures = []
    for file, line, refused in cases:
        with tempfile.TemporaryDirectory() as folder:
            path = Path(folder) / file
            path.parent.mkdir(parents=True)
            path.write_text(f"// a case\n{line}\n", encoding="utf-8")
            got = check(Path(folder))
        if bool(got) != refused or (got and f"{file}:2:" not in got[0]):
            failures.append(f"{file} with {line.strip()!r}: "
                            f"{'refused' if refused else 'allowed'} expected, got {got or 'allowed'}")
    return failures


def main(argv: list[str]) -> int:
    if len(argv) >= 2 and argv[1] == "check":
        found = check(Path(argv[2]) if len(argv) > 2 else ROOT)
        for line in found:
            print(line)
        if found:
            print(f"{len(found)} include(s) run the wrong way")
            return 1
        print("every include runs one way")
        return 0
    if len(argv) == 2 and argv[1] == "self-test":
        failures = self_test()
        for line in failures:
            print(line)
        return 1 if failures else 0
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
