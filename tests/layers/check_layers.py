#!/usr/bin/env python3
"""Checks the includes of a source tree against the layer table (layers.txt).

Every file below <src> belongs to the folder it lies in (src/<folder>/...). An include
of another folder's header is allowed only when the table lists that folder for the
including one; a Qt header (<QString>, <QtWidgets/QWidget>, "QDialog") only where the
table lists "Qt". Each violation is printed as "<file>:<line>: <from> -> <to> ..." and
the exit code is 1; 0 when the tree keeps its layers, 2 when the table or the
arguments are broken.

The tests follow the same table: with --tests, each folder tests/<folder>/ is checked as
if it were src/<folder>/, its includes resolved in tests/ first (helpers of another test
folder count as that folder), and the shared helpers of tests/support/ allowed to all.

    check_layers.py [--table layers.txt] [--tests <tests>] <src>
"""
import argparse
import os
import re
import sys

QT = "Qt"
SOURCE_SUFFIXES = (".h", ".hh", ".hpp", ".inl", ".ipp", ".c", ".cc", ".cpp", ".cxx")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# Qt's own headers all begin with a capital Q followed by a letter: <QString>,
# <QtWidgets/QWidget>, <QtCore>. Standard and system headers never do.
QT_HEADER = re.compile(r"^Q[A-Za-z]")


class TableError(Exception):
    pass


def read_table(path, test_extras=None):
    """{folder: set of folders (and "Qt") it may include}, in the order of the file.
    Lines "tests/<folder>: ..." name what the tests of a folder may include beyond it;
    they go into `test_extras` when given."""
    table = {}
    extras = {} if test_extras is None else test_extras
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            folder, colon, allowed = line.partition(":")
            folder = folder.strip()
            if not colon or not folder or " " in folder:
                raise TableError(f"{path}:{number}: erwartet \"<Ordner>: <erlaubte Ordner ...>\"")
            if folder.startswith("tests/"):
                extras[folder[len("tests/"):]] = set(allowed.split())
                continue
            if folder in table:
                raise TableError(f"{path}:{number}: {folder} steht zweimal in der Tabelle")
            table[folder] = set(allowed.split())
    for folder, allowed in list(table.items()) + [("tests/" + f, a) for f, a in extras.items()]:
        for name in sorted(allowed - set(table) - {QT}):
            raise TableError(f"{path}: {folder} nennt {name}, das keine Zeile in der Tabelle hat")
    cycle = find_cycle(table)
    if cycle:
        raise TableError(f"{path}: die Schichten bilden einen Kreis: {' -> '.join(cycle)}")
    return table


def find_cycle(table):
    state = {}  # folder -> "open" while on the path, "done" after

    def visit(folder, path):
        state[folder] = "open"
        for target in sorted(table.get(folder, ())):
            if target == QT:
                continue
            if state.get(target) == "open":
                return path[path.index(target):] + [target]
            if target not in state:
                found = visit(target, path + [target])
                if found:
                    return found
        state[folder] = "done"
        return None

    for folder in table:
        if folder not in state:
            found = visit(folder, [folder])
            if found:
                return found
    return None


def strip_comments(text):
    """The text with // and /* */ comments blanked out; line breaks stay where they were."""
    out = []
    i, n = 0, len(text)
    quote = None
    while i < n:
        c = text[i]
        if quote:
            out.append(c)
            if c == "\\" and i + 1 < n:
                out.append(text[i + 1])
                i += 1
            elif c == quote or c == "\n":
                quote = None
        elif text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
            continue
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("".join(ch for ch in text[i:end] if ch == "\n"))
            i = end
            continue
        else:
            if c in "\"'":
                quote = c
            out.append(c)
        i += 1
    return "".join(out)


def folder_of(src, path):
    """The folder of src/ a path lies in; None outside src/ or directly in it."""
    rel = os.path.relpath(os.path.normpath(path), src)
    if rel.startswith(os.pardir) or os.sep not in rel:
        return None
    return rel.split(os.sep, 1)[0]


def included_folder(src, file_dir, kind, name, table):
    """The folder of src/ that an include names, or None for anything else."""
    if kind == '"':
        beside = os.path.join(file_dir, name)  # quotes look beside the file first
        if os.path.exists(beside) or name.startswith(("./", "../")):
            return folder_of(src, beside)
    folder = folder_of(src, os.path.join(src, name))
    if folder is None:
        return None
    if os.path.exists(os.path.join(src, name)):
        return folder
    # A header that is not there (yet) still names its folder when written in quotes.
    if kind == '"' and (folder in table or os.path.isdir(os.path.join(src, folder))):
        return folder
    return None


def check_file(path, shown, folder, src, table):
    problems = []
    allowed = table[folder]
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = strip_comments(f.read()).split("\n")
    for number, line in enumerate(lines, 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        kind, name = match.groups()
        written = f"#include {kind}{name}{'>' if kind == '<' else kind}"
        if QT_HEADER.match(name):
            if QT not in allowed:
                where = ", ".join(sorted(f"src/{f}/" for f, a in table.items() if QT in a)) or "keinem Ordner"
                problems.append(f"{shown}:{number}: {folder} -> Qt ist nicht erlaubt: {written} "
                                f"(Qt-Header nur in {where})")
            continue
        target = included_folder(src, os.path.dirname(path), kind, name, table)
        if target is None or target == folder or target in allowed:
            continue
        if target not in table:
            problems.append(f"{shown}:{number}: {folder} -> {target}: {written} nennt einen Ordner, "
                            f"der nicht in der Schichtentabelle steht")
        else:
            may = ", ".join(f for f in table if f in allowed) or "nur sich selbst"
            problems.append(f"{shown}:{number}: {folder} -> {target} ist gegen die Schichten: {written} "
                            f"({folder} darf einbinden: {may})")
    return problems


# Folders of tests/ that belong to no layer: shared helpers, the checker, test data.
TEST_HELPER_FOLDERS = ("support", "layers", "data")


def check_tree(src, table, skip=()):
    """(problems, number of files checked)."""
    problems = []
    checked = 0
    base = os.path.dirname(os.path.normpath(src))
    for folder in sorted(os.listdir(src)):
        folder_path = os.path.join(src, folder)
        if not os.path.isdir(folder_path) or folder in skip:
            continue
        files = []
        for root, dirs, names in os.walk(folder_path):
            dirs.sort()
            files += [os.path.join(root, n) for n in sorted(names) if n.endswith(SOURCE_SUFFIXES)]
        if not files:
            continue
        if folder not in table:
            problems.append(f"{os.path.relpath(folder_path, base)}/: Ordner fehlt in der Schichtentabelle")
            continue
        for path in files:
            problems += check_file(path, os.path.relpath(path, base), folder, src, table)
            checked += 1
    return problems, checked


def main(argv):
    parser = argparse.ArgumentParser(description="Prüft die Einbindungen eines Quellbaums gegen die Schichten.")
    parser.add_argument("--table", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "layers.txt"))
    parser.add_argument("--tests", help="der Ordner tests/ mit einem Unterordner je Bibliothek")
    parser.add_argument("src", help="der Ordner src/ mit einem Unterordner je Bibliothek")
    args = parser.parse_args(argv)
    if not os.path.isdir(args.src):
        print(f"{args.src}: kein Ordner", file=sys.stderr)
        return 2
    try:
        test_extras = {}
        table = read_table(args.table, test_extras)
    except (OSError, TableError) as e:
        print(e, file=sys.stderr)
        return 2
    problems, checked = check_tree(args.src, table)
    if args.tests:
        if not os.path.isdir(args.tests):
            print(f"{args.tests}: kein Ordner", file=sys.stderr)
            return 2
        with_helpers = {folder: allowed | {"support"} | test_extras.get(folder, set())
                        for folder, allowed in table.items()}
        test_problems, test_checked = check_tree(args.tests, with_helpers, TEST_HELPER_FOLDERS)
        problems += test_problems
        checked += test_checked
    for problem in problems:
        print(problem)
    if problems:
        print(f"Verstöße gegen die Schichten: {len(problems)} ({checked} Dateien; Tabelle {args.table})")
        return 1
    print(f"Schichten eingehalten: {checked} Dateien geprüft")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
