#!/usr/bin/env python3
"""Checks that the includes of src/ point down the layers.

Every '#include "..."' of a file under src/ must name a file of its own folder
or of a folder its folder may include (the table below). The folders of the
core library must not include Qt, and none of them but platform/ (nor the
command line's files) may include a POSIX or Windows system header. Every
folder may include platform/, the lowest layer. Given the README, its layout table must
list the same folders with the same "may include" cells. Prints each problem
and exits with 1 if there is one.

Usage: check_layers.py [SRC_DIR [README]]   (default: src/ next to this script)
"""

import os
import re
import sys

CORE = ["platform", "store", "model", "jvlink", "analysis", "prediction", "money", "pipeline", "layouts"]
# Folders of the core library that no other core folder may include: the
# sample-feed generator writes feed files and is used only by the programs.
CORE_APART = ["sample"]

# Folder -> the folders (or single files) it may include, besides itself.
# Lowest layer first.
MAY_INCLUDE = {
    # The operating system's calls: files, lock, processes (POSIX and Windows).
    "platform": [],
    # The data store, the catalogue of race days, the settings file.
    "store": [],
    # A race day in memory: its records, header texts, the user's file.
    "model": ["store"],
    # Import: feeds, JV-Link and its bridge, filing records into the store.
    "jvlink": ["store"],
    # Rules: ability index and base times; prediction and bets; money.
    "analysis": ["store", "model"],
    "prediction": ["store", "model", "analysis"],
    "money": ["store", "model", "analysis", "prediction"],
    # Loading a day and running every rule; hit export; backtest.
    "pipeline": ["store", "model", "jvlink", "analysis", "prediction", "money"],
    # What windows and printouts show, as texts and pages (no Qt).
    "layouts": ["store", "model", "analysis", "prediction", "money"],
    # The sample-feed generator: JV records of invented seasons, as feed files.
    "sample": ["store"],
    # Qt building blocks.
    "widgets": ["store", "layouts"],
    # Windows.
    "views": CORE + ["widgets"],
    "printing": CORE + ["widgets"],
    "windows": CORE + ["widgets", "printing"],
    # The main window, which owns and wires every window.
    "mainwindow": CORE + ["widgets", "views", "printing", "windows"],
    # main() of both programs and the start of the window program.
    "app": CORE + ["sample", "widgets", "views", "printing", "windows", "mainwindow"],
    # The Windows bridge program (a project of its own).
    "jvbridge": ["jvlink/bridge_protocol.hpp", "jvlink/jvlink_dispatch.hpp"],
}

# The command-line program's files in app/ see no window: only the core and
# the PDF page painter.
CLI_FILES = re.compile(r"app/(cli_[^/]*|tolven_cli\.cpp|json_writer\.hpp)$")
CLI_MAY_INCLUDE = CORE + ["sample", "printing/QtPageCanvas.hpp"]

# The headers of C's standard library: the only <name.h> headers a file
# outside platform/ may include. Every other one is a header of POSIX, of
# Windows or of some other system, and the program reaches the system only
# through platform/, so that it builds on both.
C_STANDARD_HEADERS = {
    "assert.h", "complex.h", "ctype.h", "errno.h", "fenv.h", "float.h", "inttypes.h",
    "iso646.h", "limits.h", "locale.h", "math.h", "setjmp.h", "stdalign.h", "stdarg.h",
    "stdatomic.h", "stdbool.h", "stddef.h", "stdint.h", "stdio.h", "stdlib.h",
    "stdnoreturn.h", "string.h", "tgmath.h", "time.h", "uchar.h", "wchar.h", "wctype.h",
}


def system_header(target):
    return target.lower().endswith(".h") and target not in C_STANDARD_HEADERS


# The COM client of the JV-Link component: Windows-only by nature (the
# component is a Windows COM object) and compiled into the bridge program too,
# so it talks to COM itself instead of through platform/.
COM_CLIENT_FILES = {"jvlink/com_jvlink_windows.cpp", "jvlink/jvlink_dispatch_windows.cpp"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
QT_HEADER = re.compile(r"^(Q[A-Za-z0-9_]*|Qt[A-Za-z]*/.*)$")


def allowed(target, entries, includer):
    folder = target.split("/", 1)[0]
    # platform/ serves every folder but the bridge, a program of its own.
    if folder == "platform" and includer != "jvbridge":
        return True
    return folder in entries or target in entries


def check(src):
    problems = []
    for dirpath, _, names in os.walk(src):
        for name in sorted(names):
            if not name.endswith((".cpp", ".hpp", ".h", ".inc")):
                continue
            path = os.path.join(dirpath, name)
            rel = os.path.relpath(path, src).replace(os.sep, "/")
            folder = rel.split("/", 1)[0]
            if "/" not in rel:
                problems.append(f"{rel}: a file outside the layer folders")
                continue
            if folder not in MAY_INCLUDE:
                problems.append(f"{rel}: folder {folder}/ is not in the layer table")
                continue
            cli = CLI_FILES.match(rel) is not None
            entries = CLI_MAY_INCLUDE if cli else MAY_INCLUDE[folder]
            who = "the command line's files of app/" if cli else f"{folder}/"
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    kind, target = m.groups()
                    where = f"{rel}:{number}"
                    if kind == "<":
                        if folder in CORE + CORE_APART and QT_HEADER.match(target):
                            problems.append(f"{where}: Qt header <{target}> in core folder {folder}/")
                        portable = (folder not in ("platform", "jvbridge")
                                    and rel not in COM_CLIENT_FILES)
                        if portable and system_header(target):
                            problems.append(f"{where}: system header <{target}> outside platform/ "
                                            "(call the operating system through platform/)")
                        continue
                    target_folder = target.split("/", 1)[0]
                    if "/" not in target or target_folder not in MAY_INCLUDE:
                        problems.append(f'{where}: "{target}" is not a path under src/')
                    elif target_folder != folder and not allowed(target, entries, folder):
                        problems.append(f'{where}: "{target}" points up the layers '
                                        f"({who} may include: {', '.join(entries) or 'nothing'})")
    return problems


# A row of the README's layout table: | `src/<folder>/` | layer | holds | may include |
README_ROW = re.compile(r"^\|\s*`src/([a-z_]+)/`\s*\|.*\|\s*([^|]*?)\s*\|\s*$")


def check_readme(readme):
    """The README's table against MAY_INCLUDE ("core" stands for every core folder)."""
    problems = []
    rows = {}
    with open(readme, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            m = README_ROW.match(line)
            if m:
                cell = m.group(2)
                names = [] if cell in ("", "—") else [n.strip() for n in cell.split(",")]
                expanded = []
                for n in names:
                    expanded += [c for c in CORE if c != "platform"] if n == "core" else [n]
                rows[m.group(1)] = (number, sorted(expanded))
    for folder, entries in MAY_INCLUDE.items():
        entries = [e for e in entries if e != "platform"]
        if folder not in rows:
            problems.append(f"{readme}: the layout table has no row for src/{folder}/")
        elif rows[folder][1] != sorted(entries):
            problems.append(f"{readme}:{rows[folder][0]}: src/{folder}/ may include "
                            f"{', '.join(entries) or 'nothing'}, not {', '.join(rows[folder][1])}")
    for folder, (number, _) in rows.items():
        if folder not in MAY_INCLUDE:
            problems.append(f"{readme}:{number}: src/{folder}/ is not in the layer table")
    return problems


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src")
    problems = check(src)
    if len(sys.argv) > 2:
        problems += check_readme(sys.argv[2])
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} problem(s) with the layers")
        return 1
    print("includes point down the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
