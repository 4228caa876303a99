#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Every source and script file carries the licence's SPDX line in its first three lines.

Usage: check_licence.py SOURCE_ROOT      (prints each file without it; exit 1 if any)
       check_licence.py --self-test
"""
import os
import sys
import tempfile

TAG = "SPDX-License-Identifier: GPL-3.0-or-later"
SOURCE_EXT = (".cpp", ".h", ".hpp", ".c", ".in", ".sh", ".py", ".ui", ".svg", ".xml",
              ".cmake", ".desktop", ".supp", ".1")
SOURCE_NAMES = ("CMakeLists.txt",)
SKIP_DIRS = (os.path.join("fuzz", "corpus"), os.path.join("fuzz", "dict"))


def wanted(rel):
    name = os.path.basename(rel)
    return name in SOURCE_NAMES or name.endswith(SOURCE_EXT) or rel == os.path.join(".ci", "run")


def missing(root):
    out = []
    for dirpath, dirs, files in os.walk(root):
        rel_dir = os.path.relpath(dirpath, root)
        dirs[:] = sorted(d for d in dirs
                         if not d.startswith("build") and d != ".git"
                         and os.path.normpath(os.path.join(rel_dir, d)) not in SKIP_DIRS)
        for f in sorted(files):
            rel = os.path.normpath(os.path.join(rel_dir, f))
            path = os.path.join(root, rel)
            if not wanted(rel) or os.path.islink(path):
                continue
            with open(path, encoding="utf-8", errors="replace") as fh:
                head = "".join(fh.readline() for _ in range(3))
            if TAG not in head:
                out.append(rel)
    return out


def self_test():
    with tempfile.TemporaryDirectory() as root:
        def put(rel, text):
            p = os.path.join(root, rel)
            os.makedirs(os.path.dirname(p), exist_ok=True)
            with open(p, "w") as fh:
                fh.write(text)
        put("core/Good.cpp", "// " + TAG + "\n")
        put("scripts/good.sh", "#!/bin/sh\n# " + TAG + "\n")
        put("core/Bad.h", "#pragma once\n")
        put("core/CMakeLists.txt", "add_library(x)\n")
        put(".ci/run", "#!/bin/sh\n")
        put("fuzz/corpus/x/seed.cpp", "no tag\n")
        put("docs/notes.md", "no tag\n")
        got = missing(root)
        want = [".ci/run", "core/Bad.h", "core/CMakeLists.txt"]
        ok = sorted(got) == sorted(want)
        if not ok:
            print("self-test: reported %s, expected %s" % (got, want))
        return ok


def main(argv):
    if argv[1:] == ["--self-test"]:
        ok = self_test()
        print("licence self-test: " + ("ok" if ok else "FAILED"))
        return 0 if ok else 1
    if len(argv) != 2:
        print(__doc__)
        return 2
    out = missing(argv[1])
    for rel in out:
        print(f"{rel}: no '{TAG}' line at the top")
    print(f"licence: {len(out)} file(s) without the SPDX line")
    return 1 if out else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
