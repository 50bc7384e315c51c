#!/usr/bin/env python3
"""Fails when an include points from a lower layer to a higher one.

Layers, bottom up: platform; then the report library's folders core, printer,
model, engine and barcode (side by side), output, designer; then app. A file
may include its own folder, its siblings and anything below.
"""
import pathlib
import re
import sys

RANK = {
    "platform": 0,
    "report/core": 1,
    "report/printer": 2,
    "report/model": 3,
    "report/engine": 4,
    "report/barcode": 4,
    "report/output": 5,
    "report/designer": 6,
    "app": 7,
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def layer(path):
    for name in sorted(RANK, key=len, reverse=True):
        if path == name or path.startswith(name + "/"):
            return name
    return None


def main(src):
    root = pathlib.Path(src)
    problems = []
    for file in sorted(root.rglob("*")):
        if file.suffix not in (".h", ".cpp"):
            continue
        own = layer(file.relative_to(root).as_posix())
        if own is None:
            continue
        for target in INCLUDE.findall(file.read_text(encoding="utf-8")):
            other = layer(target)
            if other is not None and RANK[other] > RANK[own]:
                problems.append(f"{file.relative_to(root)} ({own}) includes {target} ({other})")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "src"))
