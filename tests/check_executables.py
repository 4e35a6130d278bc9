#!/usr/bin/env python3
"""Checks the shipped executables with pefile: GUI subsystem (no console
window); the header versions that the oldest supported Windows loads; imports
from KERNEL32 and ADVAPI32 only (USER32 is loaded when a box is shown; no
msvcrt.dll, which Windows 95 as first shipped lacks), each exported on every supported Windows
(tests/compat/windows-imports.tsv), stubs on Windows 9x only where
tests/compat/stubs-on-9x.tsv says why that is harmless; the terminal-server-
aware flag; and the icon (id 128), version (1.0.0.1, U.S. English) and
manifest resources. The manifest must be well-formed XML that asks for
requireAdministrator without uiAccess, declares the program DPI-aware, keeps
trustInfo and application out of the asm.v1 namespace (Windows XP refuses to
start such a program), and declares at most one namespace on any element and
one prefix for each namespace (Windows XP SP2 without KB921337 restarts on an
element that declares two).

Two functions are outside the import table: the program looks up
SetDefaultDllDirectories and SetDllDirectoryA with GetProcAddress at start
and calls them only where KERNEL32 exports them, so they need no row in
windows-imports.tsv. Every imported name still does.

Usage: check_executables.py EXE...   (exit status 1 when any check fails)
"""
import os
import sys
import xml.parsers.expat

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
TABLE = os.path.join(HERE, "compat", "windows-imports.tsv")
STUBS = os.path.join(HERE, "compat", "stubs-on-9x.tsv")
VERSIONS = ("win95", "win98", "winme", "nt4", "win2k", "winxp", "xp64")
WINDOWS_9X = ("win95", "win98", "winme")
# The Windows each architecture must load on, and the highest header
# version (OS and subsystem) that all of them accept.
TARGETS = {
    0x14C: ("32-bit", ("win95", "win98", "winme", "nt4", "win2k", "winxp"), (4, 0)),
    0x8664: ("64-bit", ("xp64",), (5, 2)),
}
SYSTEM_DLLS = {"KERNEL32", "ADVAPI32"}
FILE_VERSION = "1.0.0.1"
RT_ICON, RT_GROUP_ICON = 3, 14
GUI_SUBSYSTEM = 2
TERMINAL_SERVER_AWARE = 0x8000  # IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
WINDOWS_SETTINGS = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"


def read_table(path, columns):
    """Rows of a whitespace-separated table as {(DLL, name): fields}: the
    given number of columns after the name, then the rest of the line."""
    rows = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split(None, 2 + columns)
            rows[(fields[0].upper(), fields[1])] = fields[2:]
    return rows


def import_problems(pe, versions, table, stubs):
    problems = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode("ascii", "replace").upper()
        if dll.endswith(".DLL"):
            dll = dll[:-4]
        if dll == "MSVCRT":
            problems.append("imports from MSVCRT.dll, which Windows 95 as first shipped lacks")
            continue
        if dll not in SYSTEM_DLLS:
            problems.append("imports from %s.dll, which is neither KERNEL32 nor ADVAPI32" % dll)
            continue
        for imported in entry.imports:
            if imported.name is None:
                problems.append("imports %s ordinal %d, not a name" % (dll, imported.ordinal))
                continue
            name = imported.name.decode("ascii", "replace")
            codes = table.get((dll, name))
            if codes is None:
                problems.append("imports %s!%s, which windows-imports.tsv does not know"
                                % (dll, name))
                continue
            by_version = dict(zip(VERSIONS, codes))
            missing = [v for v in versions if by_version[v] not in ("P", "S")]
            if missing:
                problems.append("imports %s!%s, which %s lacks" % (dll, name, ", ".join(missing)))
            stubbed = [v for v in versions if v in WINDOWS_9X and by_version[v] == "S"]
            if stubbed and (dll, name) not in stubs:
                problems.append("imports %s!%s, a stub on %s, without a reason in "
                                "stubs-on-9x.tsv" % (dll, name, ", ".join(stubbed)))
    return problems


def header_problems(pe, highest):
    header = pe.OPTIONAL_HEADER
    problems = []
    if header.Subsystem != GUI_SUBSYSTEM:
        problems.append("not a GUI-subsystem program")
    if not header.DllCharacteristics & TERMINAL_SERVER_AWARE:
        problems.append("not marked terminal-server aware (a terminal server would give it the "
                        "user's private Windows folder)")
    for what, version in (
            ("OS version", (header.MajorOperatingSystemVersion, header.MinorOperatingSystemVersion)),
            ("subsystem version", (header.MajorSubsystemVersion, header.MinorSubsystemVersion))):
        if version > highest:
            problems.append("%s %d.%d is above %d.%d" % ((what,) + version + highest))
    return problems


def resource_problems(pe):
    types = {}
    for kind in getattr(getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None), "entries", []):
        types[kind.id] = {entry.id for entry in kind.directory.entries}
    problems = []
    if RT_ICON not in types or 128 not in types.get(RT_GROUP_ICON, set()):
        problems.append("no icon with id 128")
    strings = {}
    for file_info in getattr(pe, "FileInfo", []):
        for info in file_info:
            for table in getattr(info, "StringTable", []):
                if table.LangID.decode().lower().startswith("0409"):
                    strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    if not fixed:
        problems.append("no version resource")
    else:
        ms, ls = fixed[0].FileVersionMS, fixed[0].FileVersionLS
        number = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        if number != FILE_VERSION:
            problems.append("file version %s, want %s" % (number, FILE_VERSION))
        if strings.get("FileVersion") != FILE_VERSION or \
                strings.get("ProductVersion") != FILE_VERSION:
            problems.append("no U.S. English version strings %s" % FILE_VERSION)
    manifest = b""
    for kind in getattr(getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None), "entries", []):
        if kind.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]:
            data = kind.directory.entries[0].directory.entries[0].data.struct
            manifest = pe.get_data(data.OffsetToData, data.Size)
    return problems + manifest_problems(manifest)


def manifest_problems(manifest):
    """What is wrong with the manifest's XML, as named reasons."""
    problems = []
    elements = []  # (namespace, local name, attributes, text)
    scopes = [{"xml": "http://www.w3.org/XML/1998/namespace"}]
    bound = {}  # namespace -> the prefixes declared for it

    def start(name, attributes):
        scope = dict(scopes[-1])
        declared = []
        for attribute, value in attributes.items():
            if attribute == "xmlns" or attribute.startswith("xmlns:"):
                prefix = attribute[6:]
                scope[prefix] = value
                declared.append(value)
                bound.setdefault(value, set()).add(prefix)
        if len(declared) > 1:
            problems.append("<%s> declares %d namespaces" % (name, len(declared)))
        scopes.append(scope)
        prefix, _, local = name.rpartition(":")
        elements.append([scope.get(prefix, ""), local, attributes, ""])

    def end(_name):
        scopes.pop()

    def text(data):
        elements[-1][3] += data

    parser = xml.parsers.expat.ParserCreate()
    parser.StartElementHandler = start
    parser.EndElementHandler = end
    parser.CharacterDataHandler = text
    try:
        parser.Parse(manifest, True)
    except xml.parsers.expat.ExpatError as error:
        return ["manifest is not well-formed XML: %s" % error]
    for namespace, prefixes in sorted(bound.items()):
        if len(prefixes) > 1:
            problems.append("namespace %s declared with %d prefixes" % (namespace, len(prefixes)))
    levels = [attributes for namespace, local, attributes, _ in elements
              if local == "requestedExecutionLevel" and namespace == ASM_V3]
    if [(a.get("level"), a.get("uiAccess")) for a in levels] != [("requireAdministrator",
                                                                   "false")]:
        problems.append("manifest does not ask for requireAdministrator with uiAccess=\"false\"")
    for namespace, local, _, _ in elements:
        if local in ("trustInfo", "application") and namespace == ASM_V1:
            problems.append("<%s> in the asm.v1 namespace, which stops Windows XP from starting "
                            "the program" % local)
    dpi = [data.strip() for namespace, local, _, data in elements
           if local == "dpiAware" and namespace == WINDOWS_SETTINGS]
    if dpi != ["true"]:
        problems.append("manifest does not declare dpiAware true")
    return problems


def check(path, table, stubs):
    pe = pefile.PE(path)
    target = TARGETS.get(pe.FILE_HEADER.Machine)
    if target is None:
        return ["unknown machine type 0x%x" % pe.FILE_HEADER.Machine]
    _, versions, highest = target
    return (header_problems(pe, highest) + import_problems(pe, versions, table, stubs)
            + resource_problems(pe))


def main(paths):
    table = read_table(TABLE, len(VERSIONS))
    stubs = read_table(STUBS, 0)
    failed = 0
    for path in paths:
        problems = check(path, table, stubs)
        print("%s  %s" % ("ok  " if not problems else "FAIL", path))
        for problem in problems:
            print("      " + problem)
        failed += bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
