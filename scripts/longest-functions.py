#!/usr/bin/env python3
"""Lists the longest function definitions under a source folder.

Functions are found as the house style writes them: the signature at the
start of a line, the body's braces alone on lines of their own at the same
indentation. Usage: longest-functions.py [FOLDER] [COUNT]
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")
count = int(sys.argv[2]) if len(sys.argv) > 2 else 10
found = []
for path in sorted(root.rglob("*.cpp")):
    lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
    for i, line in enumerate(lines):
        if line.rstrip() not in ("{",) and not re.fullmatch(r"( {4})*\{", line.rstrip()):
            continue
        indent = len(line) - len(line.lstrip())
        signature = lines[i - 1].strip() if i > 0 else ""
        if not re.search(r"\)\s*(const)?\s*(noexcept)?\s*(override)?\s*$", signature) and ":" not in signature:
            continue
        if re.match(r"(if|for|while|switch|else|do|try|catch|class|struct|namespace)\b", signature):
            continue
        close = " " * indent + "}"
        for j in range(i + 1, len(lines)):
            if lines[j].rstrip() == close or lines[j].rstrip() == close + ";":
                name = re.sub(r"\s+", " ", signature)
                found.append((j - i + 2, f"{path}:{i}", name[:90]))
                break
found.sort(key=lambda f: -f[0])
for length, where, name in found[:count]:
    print(f"{length:4d}  {where}  {name}")
