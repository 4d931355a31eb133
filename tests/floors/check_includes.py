#!/usr/bin/env python3
"""The floor plan of the sources, checked over every #include.

Each folder stands on a floor; a file may include its own folder's files
and those of lower floors, never a higher floor nor another folder of its
own floor. Folders marked Qt-free include no Qt header. No two units (a
header with its source file) include each other, directly or around a
circle. Exits 1 and names each offence when the plan is broken.

Usage: check_includes.py SOURCE_ROOT
"""
import os
import re
import sys

# (folder, floor, Qt-free). The longest folder that prefixes a file's path
# is the file's folder; sub-folders not listed belong to their parent.
FLOORS = [
    ("plugin-kit", 0, True),
    ("host", 1, True),
    ("html", 1, True),
    ("plugins", 2, True),
    ("batch", 2, True),
    ("compound", 2, False),  # Qt Gui draws texts and composes the canvas
    ("compound/tracking", 2, True),
    ("acquisition", 2, True),
    ("desktop", 3, True),
    ("desktop/browser", 3, False),  # Qt Core and Gui, no widgets
    ("cli", 3, False),  # Qt Core for the settings file
    ("desktop/gui", 4, False),
    ("acquisition/gui", 5, False),
    ("batch/gui", 5, False),
    ("compound/gui", 5, False),
    ("compound/page_window", 5, False),
    ("app", 6, False),
    ("help/tool", 7, False),
    ("html/tool", 7, False),
    ("html/fuzz", 7, False),
]
# Folders that share a floor plan entry with their parent for the
# include rule (a module), though their Qt rule differs.
MODULE_OF = {
    "compound/tracking": "compound",
    "desktop/browser": "desktop",
}
# Files of Qt-free folders that are the Qt part on purpose: the pane kit,
# the panes of the plug-ins, the QSettings store, the trackers' painter.
QT_ALLOWED = re.compile(
    r"^plugin-kit/(include/pixmill|src)/(help|mnemonics|number_control|pane_base|up_down)\.(h|cpp)$"
    r"|^plugins/[^/]+/[^/]*pane\.(h|cpp)$"
    r"|^host/qsettings_store\.(h|cpp)$"
    r"|^compound/tracking/painting/")
SKIPPED = ("tests/", "bench/", "build")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
QT_HEADER = re.compile(r"^Q[A-Za-z0-9]*(/|$)|^Qt[A-Za-z]*/")


def entry_of(path):
    best = None
    for folder, floor, qt_free in FLOORS:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best[0]):
                best = (folder, floor, qt_free)
    return best


def module_of(folder):
    return MODULE_OF.get(folder, folder)


def sources(root):
    for directory, subdirs, files in os.walk(root):
        rel = os.path.relpath(directory, root)
        rel = "" if rel == "." else rel + "/"
        subdirs[:] = [d for d in subdirs
                      if not d.startswith(".") and not (rel + d + "/").startswith(SKIPPED)]
        for name in files:
            if name.endswith((".h", ".cpp")):
                yield rel + name


def resolve(root, path, included):
    """The project file an include names, or None for a system header."""
    if included.startswith("pixmill/"):
        return "plugin-kit/include/" + included
    local = os.path.normpath(os.path.join(os.path.dirname(path), included))
    if os.path.exists(os.path.join(root, local)):
        return local
    if os.path.exists(os.path.join(root, included)):
        return included
    # A plug-in's include folders: the folder of the plug-in base it uses.
    for folder in ("plugins/webcodec",):
        candidate = folder + "/" + included
        if os.path.exists(os.path.join(root, candidate)):
            return candidate
    return None


def find_circles(edges):
    """Strongly connected groups of more than one unit (Tarjan)."""
    index, low, stack, on_stack, groups = {}, {}, [], set(), []
    counter = [0]

    def visit(unit):
        work = [(unit, iter(sorted(edges.get(unit, ()))))]
        index[unit] = low[unit] = counter[0]
        counter[0] += 1
        stack.append(unit)
        on_stack.add(unit)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter[0]
                    counter[0] += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(edges.get(child, ())))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                group = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    group.append(member)
                    if member == node:
                        break
                if len(group) > 1:
                    groups.append(sorted(group))

    for unit in sorted(edges):
        if unit not in index:
            visit(unit)
    return groups


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    root = sys.argv[1]
    offences = []
    unit_edges = {}
    checked = 0
    for path in sorted(sources(root)):
        entry = entry_of(path)
        if entry is None:
            offences.append(f"{path}: in no folder of the floor plan")
            continue
        checked += 1
        folder, floor, qt_free = entry
        unit = os.path.splitext(path)[0]
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
            for number, line in enumerate(source, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                quoted, included = match.group(1) == '"', match.group(2)
                close = '"' if quoted else ">"
                where = f"{path}:{number}: #include {match.group(1)}{included}{close}"
                if not quoted:
                    if qt_free and QT_HEADER.match(included) and not QT_ALLOWED.match(path):
                        offences.append(f"{where}: a Qt header in the Qt-free folder {folder}/")
                    continue
                target = resolve(root, path, included)
                if target is None:
                    continue
                target_unit = os.path.splitext(target)[0]
                if target_unit != unit:
                    unit_edges.setdefault(unit, set()).add(target_unit)
                target_entry = entry_of(target)
                if target_entry is None:
                    continue
                if module_of(target_entry[0]) == module_of(folder):
                    continue
                if target_entry[1] >= floor:
                    offences.append(f"{where}: {folder}/ (floor {floor}) may not include "
                                    f"{target_entry[0]}/ (floor {target_entry[1]})")
    for group in find_circles(unit_edges):
        offences.append("units that include each other: " + " -> ".join(group))
    for offence in offences:
        print(offence)
    print(f"{checked} files checked, {len(offences)} offences")
    return 1 if offences else 0


if __name__ == "__main__":
    sys.exit(main())
