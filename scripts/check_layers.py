#!/usr/bin/env python3
"""Checks the layers of the source tree (see the README's folder map):

- a core file (one of the core folders, not named as Qt code) includes no Qt header and nothing
  of a folder above its own;
- Qt headers are included only by Qt code: files named *_window, *_dialog, *_view, *_page,
  *_panel or qt_*, and the files of src/ui, src/views and src/shell;
- the Qt code builds upwards too: src/ui and the Qt code of the core folders on the core (and
  src/ui), src/views on those, src/shell on everything; none includes a folder above its own;
- qmtool, the emulator, the benchmarks and the fuzz targets include nothing of src/ui, src/views
  or src/shell;
- no folder reaches itself again through the folders it includes (no cycle, no two folders that
  include each other).

Prints every finding and exits 1 when there is one. Usage: scripts/check_layers.py [TREE]
"""
import os
import re
import sys

# The core folders from the bottom up; a core file may include its own folder and those of a
# lower rank (folders of one rank do not include each other).
CORE_RANK = {
    "src/store": 0,
    "src/text": 1,
    "src/analysis": 2,
    "src/link": 2,
    "src/files": 3,
    "src/state": 4,
    "src/archive": 4,
    "src/projects": 5,
    "src/photos": 5,
    "src/plans": 6,
    "src/summaries": 6,
    "src/report": 7,
    "src/sync": 7,
}
QT_FOLDERS = {"src/ui", "src/views", "src/shell"}
# The Qt folders from the bottom up; the Qt code of a core folder stands with src/ui.
QT_RANK = {"src/ui": 0, "src/views": 1, "src/shell": 2}
TOOLS_WITHOUT_UI = ("tools/qmtool", "tools/rq5200-sim", "bench", "fuzz")
ROOTS = ("src", "tools", "bench", "fuzz")
QT_NAME = re.compile(r"(_window|_dialog|_view|_page|_panel)\.(h|cpp)$|^qt_")
PROJECT_INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
QT_INCLUDE = re.compile(r"^\s*#\s*include\s+<(Q[A-Za-z]+)>", re.M)


def folder_of(path):
    parts = path.split("/")
    return "/".join(parts[:2]) if parts[0] in ("src", "tools") else parts[0]


def included_folder(tree, include):
    """The folder a project include names, or None for a file of the same folder or none."""
    if "/" not in include:
        return None
    if os.path.exists(os.path.join(tree, "src", include)):
        return "src/" + include.split("/")[0]
    if os.path.exists(os.path.join(tree, include)):
        return folder_of(include)
    return None


def sources(tree):
    for root in ROOTS:
        for dirpath, _, names in os.walk(os.path.join(tree, root)):
            for name in sorted(names):
                if name.endswith((".h", ".cpp")):
                    yield os.path.relpath(os.path.join(dirpath, name), tree)


def find_cycles(edges):
    """Strongly connected components of more than one folder (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    for v in sorted(edges):
        if v not in index:
            visit(v)
    return found


def check(tree):
    problems = []
    edges = {}
    for path in sources(tree):
        folder = folder_of(path)
        name = os.path.basename(path)
        qt_code = folder in QT_FOLDERS or bool(QT_NAME.search(name))
        with open(os.path.join(tree, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for header in QT_INCLUDE.findall(text):
            if folder in CORE_RANK and not qt_code:
                problems.append(f"{path}: core code includes the Qt header <{header}>")
        for include in PROJECT_INCLUDE.findall(text):
            target = included_folder(tree, include)
            if target is None or target == folder:
                continue
            edges.setdefault(folder, set()).add(target)
            if folder in CORE_RANK and not qt_code:
                if target not in CORE_RANK or CORE_RANK[target] > CORE_RANK[folder]:
                    problems.append(f'{path}: core code includes "{include}" of a higher folder')
            if qt_code and target in QT_RANK and QT_RANK[target] > QT_RANK.get(folder, 0):
                problems.append(f'{path}: Qt code includes "{include}" of a higher folder')
            if folder.startswith(TOOLS_WITHOUT_UI) and target in QT_FOLDERS:
                problems.append(f'{path}: includes "{include}"; {folder} builds on the core only')
    for component in find_cycles(edges):
        problems.append("folders that include each other: " + " -> ".join(component))
    return problems


def main():
    tree = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    problems = check(tree)
    for p in problems:
        print(p)
    if problems:
        return 1
    print("layers: no upward include, no cycle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
