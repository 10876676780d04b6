#!/usr/bin/env python3
"""Checks that the source tree's includes run one way, and that every folder
holding sources has its place in the layers.

    check_layering.py check [ROOT]   the tree at ROOT (default: this checkout)
    check_layering.py self-test      the check catches what it must, on small
                                     trees made here in a temporary folder

The direction, from the top:

    programs/<program>  ->  program/  ->  splash/ browser/ about/ find/
        ->  browsing/, app/  ->  platform/kit/  ->  platform/ports/
                                   platform/<backend>/  ->  kit, ports, net/

  programs/<program>/  each program's entry point and packaging: the only
                       code that picks a backend
  program/             the composition root: the browser as a program of
                       its windows and its page policy; build settings reach
                       the policy from here
  splash/ browser/ about/ find/   the windows; a window may reach a
                       neighbour, never the composition root above it
  browsing/            the page policy: every decision about a page
  app/                 the forms runtime: shared instances, load/show/unload,
                       event tables, the dispatch boundary; it names no window
  platform/kit/        rules every backend shares (and the windows may use)
  platform/ports/      interfaces and value types: what the core talks to
  platform/<backend>/  fake, gtk, win32, posix: they realise the ports; they
                       report to the page policy through the ports and never
                       include it
  resources/<kind>/    resource ids, shared by a backend and its program
  net/                 the HTTP/1.1 wire format: standard library only and
                       itself; a backend's own network code (the Windows
                       https handler) builds on it

The core (app/, browsing/, the windows, program/, kit/, ports/) and net/
build on every system: only standard C++ headers in angle brackets. A backend
includes the ports, the kit, its own folder, the helpers of the backends it
builds on and resources; nothing includes a program. Nothing lives in the
root of platform/. Outside the layers: tests/ and bench/, which may include
any layer but a program. A folder with sources that is in none of these
fails the check: a new folder is placed in the layers before it is used.
"""

from __future__ import annotations

import re
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
SOURCES = (".h", ".hpp", ".cpp", ".cc", ".rc")
WINDOWS = ("splash", "browser", "about", "find")
CORE = ("app", "program", "browsing") + WINDOWS
# Folders whose angle-bracket includes are the standard library's only.
STANDARD_ONLY = CORE + ("net",)
# Folders left out of the walk: build output and the repository's own.
IGNORED = ("build", "out", "dist", ".git")
# What a layer may include, by the layer of the included file. "own" is the
# including file's own backend or program folder.
MAY_INCLUDE = {
    "ports": {"ports"},
    "kit": {"ports", "kit"},
    "backend": {"ports", "kit", "own", "posix", "resources", "net"},
    "browsing": {"ports", "kit", "browsing"},
    "app": {"ports", "kit", "app"},
    "window": {"ports", "kit", "app", "browsing", "window"},
    "program": {"ports", "kit", "app", "browsing", "window", "program"},
    "programs": {"ports", "kit", "backend", "app", "browsing", "window", "program",
                 "resources", "own"},
    "resources": {"resources"},
    "net": {"net"},
    "outside": {"ports", "kit", "backend", "app", "browsing", "window", "program",
                "resources", "net", "outside"},
}

NAMES = {"ports": "the ports", "kit": "the backends' kit", "backend": "a backend",
         "browsing": "the page policy", "app": "the forms runtime", "window": "a window",
         "program": "the composition root", "programs": "a program",
         "resources": "resources", "net": "net/", "outside": "a test"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# A standard C++ header: a bare lower-case name, no folder, no extension.
STANDARD = re.compile(r"^[a-z_0-9]+$")


def layer(parts: tuple[str, ...]) -> str | None:
    """The layer of a file whose path (relative to the root) is `parts`, or
    None for a folder that is in no layer."""
    top = parts[0]
    deep = len(parts) > 2
    if top == "platform":
        if len(parts) == 2:
            return None  # the root of platform/ holds folders only
        if parts[1] in ("ports", "kit"):
            return parts[1] if len(parts) == 3 else None
        return "backend"
    if top in ("app", "browsing", "program") and not deep:
        return top if top != "program" else "program"
    if top in WINDOWS and not deep:
        return "window"
    if top == "net" and not deep:
        return "net"
    if top == "programs" and len(parts) == 3:
        return "programs"
    if top == "resources" and len(parts) == 3:
        return "resources"
    if top in ("tests", "bench"):
        return "outside"
    return None


def problem(relative: Path, bracket: str, target: str) -> str | None:
    """What is wrong with `relative` including `target`, or None."""
    where = layer(relative.parts)
    if where is None:
        return f"{relative.parent}/ is in no layer"
    if bracket == "<":
        if (relative.parts[0] in STANDARD_ONLY or where in ("ports", "kit")) and \
                not STANDARD.match(target):
            return f"{'net/' if relative.parts[0] == 'net' else 'the core'} includes a system header"
        return None
    parts = tuple(target.split("/"))
    if len(parts) < 2 or parts[0] in (".", ".."):
        return None  # a file beside this one, or in a folder of the same tree
    included = layer(parts)
    if parts[0] == "programs":
        return "includes a program"
    if included is None:
        return f"includes {target}, in no layer"
    allowed = MAY_INCLUDE[where]
    own = (where in ("backend", "programs") and len(relative.parts) > 2 and
           parts[:2] == relative.parts[:2])
    if own and "own" in allowed:
        return None
    if included == "backend" and parts[1] in allowed:
        return None  # a backend another builds on (posix)
    if included not in allowed:
        if where in CORE + ("ports", "kit") and included == "backend":
            return "the core includes a backend"
        return f"{NAMES[where]} includes {NAMES[included]}"
    return None


def check(root: Path) -> list[str]:
    found = []
    unplaced = set()
    for path in sorted(root.rglob("*")):
        if path.suffix not in SOURCES or not path.is_file():
            continue
        relative = path.relative_to(root)
        if relative.parts[0] in IGNORED or len(relative.parts) < 2:
            continue
        if layer(relative.parts) is None:
            unplaced.add(str(relative.parent))
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        for number, line in enumerate(text.splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            bracket, target = match.groups()
            why = problem(relative, bracket, target)
            if why:
                found.append(f"{relative}:{number}: {why}: {line.strip()}")
    for folder in sorted(unplaced):
        found.append(f"{folder}/: holds sources but is in no layer")
    return found


def self_test() -> list[str]:
    # (file, include line, whether the check must refuse it)
    cases = [
        ("app/forms.h", '#include "platform/ports/window.h"', False),
        ("app/forms.h", "#include <memory>", False),
        ("program/browser_program.cpp", '#include "splash/frm_splash.h"', False),
        ("splash/frm_splash.cpp", '#include "browser/form1.h"', False),
        ("platform/gtk/backend.cpp", '#include "platform/posix/run_folder.h"', False),
        ("tests/unit/x_test.cpp", '#include "platform/fake/fake_backend.h"', False),
        ("app/program.cpp", '#include "browser/form1.h"', True),
        ("browser/form1.cpp", '#include "program/browser_program.h"', True),
        ("platform/gtk/backend.cpp", '#include "platform/fake/fake_backend.h"', True),
        ("tests/unit/x_test.cpp", '#include "programs/linux/main.cpp"', True),
        ("browsing/rules.cpp", "#include <string>", False),
        ("browsing/rules.cpp", '#include "platform/ports/page.h"', False),
        ("browsing/rules.cpp", '#include "app/forms.h"', True),
        ("browsing/rules.cpp", "#include <windows.h>", True),
        ("app/forms.cpp", '#include "browsing/rules.h"', True),
        ("program/browser_program.cpp", '#include "browsing/page_policy.h"', False),
        ("platform/gtk/web_view.cpp", '#include "browsing/page_policy.h"', True),
        ("platform/kit/window_rules.h", '#include "platform/ports/design.h"', False),
        ("platform/ports/design.h", '#include "platform/kit/window_rules.h"', True),
        ("platform/kit/placed.h", "#include <gtk/gtk.h>", True),
        ("platform/rules.h", "#include <string>", True),
        ("shiny/new.cpp", "#include <string>", True),
        ("platform/win32/tls/x.cpp", '#include "platform/win32/text.h"', False),
        ("browser/form1.cpp", '#include "app/program.h"', False),
        ("about/frm_about.h", '#include "platform/ports/failure.h"', False),
        ("platform/gtk/web_view.cpp", "#include <webkit2/webkit2.h>", False),
        ("platform/gtk/web_view.cpp", '#include "platform/ports/window.h"', False),
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
        ("platform/ports/window.h", '#include "app/forms.h"', True),
        ("platform/gtk/backend.cpp", '#include "browser/form1.h"', True),
        ("platform/win32/ui_backend.cpp", '#include "programs/windows/x.h"', True),
        ("platform/ports/controls.h", '#include "platform/gtk/gobject_ptr.h"', True),
        # net/: the standard library and itself; the backends and the tests
        # build on it, nothing else.
        ("net/http_response.cpp", '#include "net/http_response.h"', False),
        ("net/http_response.cpp", "#include <string_view>", False),
        ("platform/win32/https_protocol.cpp", '#include "net/http_response.h"', False),
        ("tests/unit/x_test.cpp", '#include "net/http_response.h"', False),
        ("net/http_response.cpp", "#include <winsock2.h>", True),
        ("net/http_response.cpp", '#include "platform/ports/failure.h"', True),
        ("net/http_response.cpp", '#include "platform/win32/text.h"', True),
        ("app/forms.cpp", '#include "net/http_response.h"', True),
        ("platform/ports/controls.h", '#include "net/http_response.h"', True),
        ("net/tls/record.cpp", "#include <string>", True),
    ]
    failures = []
    for file, line, refused in cases:
        with tempfile.TemporaryDirectory() as folder:
            path = Path(folder) / file
            path.parent.mkdir(parents=True)
            path.write_text(f"// a case\n{line}\n", encoding="utf-8")
            got = check(Path(folder))
        if bool(got) != refused or (got and file not in got[0] and
                                    f"{Path(file).parent}/" not in got[0]):
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
