#!/usr/bin/env python3
"""Self-test of check_layers.py: small source trees against the real layer table.

Each case writes its files into a fresh folder, runs the checker on its src/ and
expects the exit code, exactly the named violations (file:line and direction) and no
other. Exit code 0 when every case holds.
"""
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKER = os.path.join(HERE, "check_layers.py")
VIOLATION = re.compile(r"^(src|tests)/\S*(:\d+)?: ")

CASES = [
    {
        "name": "a tree that keeps its layers passes",
        "files": {
            "src/platform/text.h": "#pragma once\n#include <queue>\n#include <string>\n",
            "src/invoice/invoice.h": '#pragma once\n#include "platform/text.h"\n',
            # Beside the file, with and without the folder.
            "src/invoice/vat.cpp": '#include "invoice.h"\n#include "invoice/invoice.h"\n',
            "src/app/batch_run.h": '#pragma once\n#include "invoice/invoice.h"\n',
            "src/uimodel/main_presenter.h": '#pragma once\n#include "app/batch_run.h"\n',
            "src/ui/main_form.cpp": '#include <QtWidgets/QMainWindow>\n#include <QString>\n'
                                    '#include "uimodel/main_presenter.h"\n',
            # Commented out, so not included.
            "src/config/settings.h": '#pragma once\n// #include "app/batch_run.h"\n'
                                     '/* old:\n#include <QString>\n*/\n#include "platform/text.h"\n',
            "src/cii/cii_document.cpp": '#include "../invoice/invoice.h"\n',
        },
        "exit": 0,
        "violations": [],
    },
    {
        "name": "an include against the layers and a Qt header outside ui both fail",
        "files": {
            "src/platform/text.h": "#pragma once\n",
            "src/layout/placeholders.h": '#pragma once\n#include "platform/text.h"\n',
            "src/mail/html_mail.h": '#pragma once\n#include "platform/text.h"\n#include "layout/placeholders.h"\n',
            "src/uimodel/main_presenter.cpp": '#include "platform/text.h"\n#include <QString>\n',
        },
        "exit": 1,
        "violations": [
            "src/mail/html_mail.h:3: mail -> layout ist gegen die Schichten",
            "src/uimodel/main_presenter.cpp:2: uimodel -> Qt ist nicht erlaubt",
        ],
    },
    {
        "name": "relative paths, angle brackets, a missing header and a Qt header in quotes count too",
        "files": {
            "src/config/settings.h": "#pragma once\n",
            "src/invoice/vat.cpp": '#include "../config/settings.h"\n',
            "src/cii/cii_document.cpp": "#include <config/settings.h>\n",
            "src/erp/nav_load.cpp": '#include "app/not_written_yet.h"\n',
            "src/app/entry.cpp": '  #  include "QDialog"\n',
        },
        "exit": 1,
        "violations": [
            "src/invoice/vat.cpp:1: invoice -> config ist gegen die Schichten",
            "src/cii/cii_document.cpp:1: cii -> config ist gegen die Schichten",
            "src/erp/nav_load.cpp:1: erp -> app ist gegen die Schichten",
            "src/app/entry.cpp:1: app -> Qt ist nicht erlaubt",
        ],
    },
    {
        "name": "a folder without a line in the table fails",
        "files": {"src/reports/report.cpp": '#include "platform/text.h"\n', "src/platform/text.h": ""},
        "exit": 1,
        "violations": ["src/reports/: Ordner fehlt in der Schichtentabelle"],
    },
    {
        "name": "the tests keep the layers of their folder, with the helpers and the extras of the table",
        "table": "platform:\ninvoice: platform\nerp: invoice platform\ntests/invoice: platform\n",
        "files": {
            "src/platform/text.h": "#pragma once\n",
            "src/invoice/invoice.h": '#pragma once\n#include "platform/text.h"\n',
            "src/erp/nav_data.h": '#pragma once\n#include "invoice/invoice.h"\n',
            "tests/support/test_support.h": '#pragma once\n#include "erp/nav_data.h"\n',
            "tests/invoice/fixture.h": "#pragma once\n",
            "tests/invoice/vat_test.cpp": '#include "fixture.h"\n#include "support/test_support.h"\n'
                                          '#include "invoice/invoice.h"\n#include "erp/nav_data.h"\n',
            "tests/erp/helper.h": "#pragma once\n",
            "tests/platform/text_test.cpp": '#include "erp/helper.h"\n',
        },
        "exit": 1,
        "violations": [
            "tests/invoice/vat_test.cpp:4: invoice -> erp ist gegen die Schichten",
            "tests/platform/text_test.cpp:1: platform -> erp ist gegen die Schichten",
        ],
    },
    {
        "name": "a table whose layers form a cycle is refused",
        "table": "platform: config\nconfig: platform\n",
        "files": {"src/platform/text.h": ""},
        "exit": 2,
        "violations": [],
        "stderr": "einen Kreis: ",
    },
]


def write_tree(root, files):
    for rel, text in files.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)


def run_case(case):
    """Failure messages of one case; empty when it holds."""
    with tempfile.TemporaryDirectory(prefix="velkaro-layers-") as root:
        write_tree(root, case["files"])
        command = [sys.executable, CHECKER, os.path.join(root, "src")]
        if any(rel.startswith("tests/") for rel in case["files"]):
            command[2:2] = ["--tests", os.path.join(root, "tests")]
        if "table" in case:
            table = os.path.join(root, "layers.txt")
            with open(table, "w", encoding="utf-8") as f:
                f.write(case["table"])
            command[2:2] = ["--table", table]
        run = subprocess.run(command, capture_output=True, text=True)
    failures = []
    if run.returncode != case["exit"]:
        failures.append(f"Exit-Code {run.returncode}, erwartet {case['exit']}")
    found = [line for line in run.stdout.splitlines() if VIOLATION.match(line)]
    for expected in case["violations"]:
        if not any(line.startswith(expected) for line in found):
            failures.append(f"fehlt: {expected}")
    for line in found:
        if not any(line.startswith(expected) for expected in case["violations"]):
            failures.append(f"unerwartet: {line}")
    if "stderr" in case and case["stderr"] not in run.stderr:
        failures.append(f"stderr ohne \"{case['stderr']}\"")
    if failures:
        failures.append(f"Ausgabe:\n{run.stdout}{run.stderr}")
    return failures


def main():
    failed = 0
    for case in CASES:
        failures = run_case(case)
        print(("FAILED " if failures else "ok     ") + case["name"])
        for failure in failures:
            print("    " + failure)
        failed += bool(failures)
    print(f"{len(CASES) - failed} von {len(CASES)} Fällen bestanden")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
