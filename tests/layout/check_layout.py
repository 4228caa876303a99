#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the include and link rules of the folders.

- core/, protocol/, measure/, sim/ and portinfo/ include no Qt Widgets header;
- nothing outside app/, tests/, bench/ and fuzz/ includes a header of app/;
- each folder of a layer includes headers of, and links the libraries of,
  only the folders below it that LAYERS names (so core/ reaches the prompts
  without the serial library, and nothing below app/ reaches the window).

Usage: check_layout.py SOURCE_ROOT QTWIDGETS_INCLUDE_DIR
       check_layout.py --self-test QTWIDGETS_INCLUDE_DIR
Prints one line per broken rule and exits 1 when there is any.
"""
import os
import re
import sys
import tempfile

NO_WIDGETS = ("core", "protocol", "measure", "sim", "portinfo", "remote")
# folder: (its library, the folders below it that it may use). The table in
# docs/architecture.md says the same in words.
LAYERS = {
    "prompts": ("mero_prompts", ()),
    "portinfo": ("mero_portinfo", ()),
    "serial": ("mero_serial", ("portinfo", "prompts")),
    "core": ("mero_appstate", ("prompts",)),
    "protocol": ("mero_protocol", ("core", "serial", "portinfo", "prompts")),
    "measure": ("mero_measure", ("protocol", "core", "serial", "portinfo", "prompts")),
    "remote": ("mero_remote", ("measure", "protocol", "core", "serial", "portinfo", "prompts")),
    "versioninfo": ("mero_versioninfo", ()),
    "widgets": ("mero_widgets", ()),
    "measureview": ("mero_measureview",
                    ("measure", "protocol", "core", "serial", "portinfo", "prompts")),
}
LINK = re.compile(r"target_link_libraries\s*\(\s*(\S+)([^)]*)\)", re.S)
MAY_USE_APP = ("app", "tests", "bench", "fuzz")
SKIP = ("build", ".git")
SOURCE_EXT = (".h", ".hpp", ".cpp", ".cc", ".in")
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]', re.M)


def widget_headers(widgets_dir):
    names = set(os.listdir(widgets_dir)) if os.path.isdir(widgets_dir) else set()
    # Qt also ships the module header and its own "QtWidgets/..." spelling.
    names |= {"QtWidgets"}
    return names


def app_headers(root):
    app = os.path.join(root, "app")
    names = set()
    for dirpath, _, files in os.walk(app):
        for f in files:
            if f.endswith((".h", ".hpp")):
                names.add(f)
            elif f.endswith(".ui"):
                names.add("ui_" + f[:-3] + ".h")
    return names


def source_files(root):
    for top in sorted(os.listdir(root)):
        if top in SKIP or top.startswith("build") or top.startswith("."):
            continue
        path = os.path.join(root, top)
        if os.path.isfile(path):
            if path.endswith(SOURCE_EXT):
                yield top, path
            continue
        for dirpath, dirs, files in os.walk(path):
            dirs[:] = [d for d in dirs if not d.startswith(".")]
            for f in sorted(files):
                if f.endswith(SOURCE_EXT):
                    yield top, os.path.join(dirpath, f)


def folder_headers(root):
    """Header name -> the layer folder that holds it."""
    owner = {}
    for folder in LAYERS:
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            for f in files:
                if f.endswith((".h", ".hpp")):
                    owner.setdefault(f, folder)
    return owner


def check_links(root):
    library_folder = {lib: folder for folder, (lib, _) in LAYERS.items()}
    faults = []
    for folder, (_, allowed) in LAYERS.items():
        path = os.path.join(root, folder, "CMakeLists.txt")
        if not os.path.isfile(path):
            continue
        text = open(path, encoding="utf-8").read()
        for m in LINK.finditer(text):
            line = text.count("\n", 0, m.start()) + 1
            for item in m.group(2).split():
                other = library_folder.get(item)
                if other and other != folder and other not in allowed:
                    faults.append(f"{folder}/CMakeLists.txt:{line}: links {item} of {other}/")
    return faults


def check(root, widgets_dir):
    widgets = widget_headers(widgets_dir)
    app = app_headers(root)
    owners = folder_headers(root)
    faults = check_links(root)
    for top, path in source_files(root):
        try:
            text = open(path, encoding="utf-8", errors="replace").read()
        except OSError as e:
            faults.append(f"{path}: cannot be read ({e.strerror})")
            continue
        rel = os.path.relpath(path, root)
        for m in INCLUDE.finditer(text):
            inc = m.group(1)
            base = inc.split("/")[-1]
            line = text.count("\n", 0, m.start()) + 1
            if top in NO_WIDGETS and (base in widgets or inc.startswith("QtWidgets/")):
                faults.append(f"{rel}:{line}: includes the Qt Widgets header <{inc}>")
            if top not in MAY_USE_APP and top != "app" and base in app:
                faults.append(f"{rel}:{line}: includes \"{inc}\", a header of app/")
            owner = owners.get(base)
            if (top in LAYERS and owner and owner != top and owner not in LAYERS[top][1]
                    and not m.group(0).rstrip().endswith(">")):
                faults.append(f"{rel}:{line}: includes \"{inc}\" of {owner}/")
    return faults


def self_test(widgets_dir):
    """The check must find each kind of fault in a small tree."""
    with tempfile.TemporaryDirectory() as root:
        def put(rel, text):
            p = os.path.join(root, rel)
            os.makedirs(os.path.dirname(p), exist_ok=True)
            open(p, "w").write(text)
        put("app/MEROMain.h", "#pragma once\n")
        put("app/MEROMain.ui", "<ui/>\n")
        put("core/Good.cpp", "#include <QString>\n#include \"Good.h\"\n")
        put("core/Bad.cpp", "#include <QWidget>\n")
        put("protocol/Bad.h", "#include <QtWidgets/QLabel>\n")
        put("sim/bad.cpp", "  #  include <QtWidgets>\n")
        put("widgets/Bad.cpp", "#include \"MEROMain.h\"\n")
        put("serial/Bad.cpp", "#include \"ui_MEROMain.h\"\n")
        put("tests/ok.cpp", "#include \"MEROMain.h\"\n#include <QWidget>\n")
        put("serial/KxComPort.h", "#pragma once\n")
        put("prompts/UserPrompts.h", "#pragma once\n")
        put("core/Prompted.cpp", "#include \"UserPrompts.h\"\n")
        put("core/Ported.cpp", "#include \"KxComPort.h\"\n")
        put("core/CMakeLists.txt", "target_link_libraries(mero_appstate PUBLIC Qt6::Core\n"
                                   "  PRIVATE mero_prompts mero_serial)\n")
        put("protocol/CMakeLists.txt", "target_link_libraries(mero_protocol PUBLIC mero_serial)\n")
        got = check(root, widgets_dir)
        want = ["core/Bad.cpp:1", "protocol/Bad.h:1", "sim/bad.cpp:1",
                "widgets/Bad.cpp:1", "serial/Bad.cpp:1", "core/Ported.cpp:1",
                "core/CMakeLists.txt:1"]
        missing = [w for w in want if not any(g.startswith(w + ":") for g in got)]
        extra = [g for g in got if not any(g.startswith(w + ":") for w in want)]
        for m in missing:
            print(f"self-test: not reported: {m}")
        for e in extra:
            print(f"self-test: reported wrongly: {e}")
        return not missing and not extra


def main(argv):
    if len(argv) == 3 and argv[1] == "--self-test":
        if not os.path.isfile(os.path.join(argv[2], "QWidget")):
            print(f"no Qt Widgets headers in {argv[2]}")
            return 1
        ok = self_test(argv[2])
        print("layout self-test: " + ("ok" if ok else "FAILED"))
        return 0 if ok else 1
    if len(argv) != 3:
        print(__doc__)
        return 2
    faults = check(argv[1], argv[2])
    for f in faults:
        print(f)
    print(f"layout: {len(faults)} broken include rule(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
