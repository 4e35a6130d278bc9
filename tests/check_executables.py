#!/usr/bin/env python3
"""Checks the built executables: GUI subsystem (no console window), imports
from the system's own DLLs only, and the icon (id 128), version and manifest
resources."""
import re
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "advapi32.dll", "user32.dll", "msvcrt.dll"}
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 0x3, 0xE, 0x10, 0x18


def check(path):
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", path], check=True,
                          capture_output=True, text=True).stdout
    problems = []
    if not re.search(r"^Subsystem\s+00000002", dump, re.M):
        problems.append("not a GUI-subsystem program")
    dlls = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
    if not dlls or dlls - SYSTEM_DLLS:
        problems.append("imports from %s" % sorted(dlls - SYSTEM_DLLS or dlls))
    # The resource tree: type entries, then name entries, then languages.
    types, current = {}, None
    for indent, ident in re.findall(r"^[0-9a-f]{3}( +)Entry: ID: 0x([0-9a-f]+)", dump, re.M):
        if len(indent) == 3:
            current = int(ident, 16)
            types[current] = set()
        elif len(indent) == 5 and current is not None:
            types[current].add(int(ident, 16))
    if RT_ICON not in types or 128 not in types.get(RT_GROUP_ICON, set()):
        problems.append("no icon with id 128")
    if RT_VERSION not in types:
        problems.append("no version resource")
    if RT_MANIFEST not in types:
        problems.append("no manifest")
    return problems


def main(paths):
    failed = 0
    for path in paths:
        problems = check(path)
        print("%s  %s%s" % ("ok  " if not problems else "FAIL", path,
                             "" if not problems else ": " + "; ".join(problems)))
        failed += bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
