#!/usr/bin/env python3
"""Plants includes in a small copy of the folder tree and checks that
check_layers.py finds exactly the ones that point up or sideways."""

import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layers  # noqa: E402

# (file, its include, is it a problem)
CASES = [
    ("jvlink/import.cpp", '#include "sample/sample_feed.hpp"', True),
    ("store/record.cpp", '#include "model/race_day.hpp"', True),
    ("sample/sample_feed.cpp", '#include "jvlink/filing.hpp"', True),
    ("sample/sample_world.cpp", "#include <QString>", True),
    ("app/cli_import.cpp", '#include "sample/sample_feed.hpp"', False),
    ("app/cli_day.cpp", '#include "views/RaceView.hpp"', True),
    ("sample/sample_feed.cpp", '#include "store/cp932.hpp"', False),
    ("mainwindow/MainWindow.cpp", '#include "windows/BalanceWindow.hpp"', False),
    # The operating system only through platform/, which every folder may use.
    ("store/atomic_file.cpp", "#include <unistd.h>", True),
    ("jvlink/bridge_process.cpp", "#include <sys/wait.h>", True),
    ("store/cp932.cpp", "#include <iconv.h>", True),
    ("sample/sample_feed.cpp", "#include <Windows.h>", True),
    ("app/tolven_cli.cpp", "#include <io.h>", True),
    ("platform/files_posix.cpp", "#include <fcntl.h>", False),
    ("platform/files_windows.cpp", "#include <windows.h>", False),
    ("store/atomic_file.cpp", '#include "platform/files.hpp"', False),
    ("platform/files.hpp", '#include "store/cp932.hpp"', True),
    ("store/store_writer.cpp", "#include <csignal>", False),
    # Any system header, not only the well-known ones, and in the windows too.
    ("store/store_reader.cpp", "#include <sched.h>", True),
    ("jvlink/feed_link.cpp", "#include <shlobj_core.h>", True),
    ("views/RaceView.cpp", "#include <unistd.h>", True),
    ("app/tolven_main.cpp", "#include <windows.h>", True),
    ("model/race_day.cpp", "#include <stdint.h>", False),
    ("jvbridge/main.cpp", "#include <windows.h>", False),
    ("jvlink/com_jvlink_windows.cpp", "#include <oleauto.h>", False),
]

failures = 0
for path, include, expected in CASES:
    with tempfile.TemporaryDirectory() as src:
        os.makedirs(os.path.join(src, os.path.dirname(path)))
        with open(os.path.join(src, path), "w", encoding="utf-8") as f:
            f.write(include + "\n")
        found = bool(check_layers.check(src))
        if found != expected:
            failures += 1
            print(f"{path} with {include}: expected {'a problem' if expected else 'none'}")
print(f"{len(CASES) - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
