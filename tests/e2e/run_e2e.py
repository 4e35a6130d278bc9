#!/usr/bin/env python3
"""Platform contract and end-to-end tests of the Windows builds under Wine.

First platform_contract_tests.exe runs the platform contract against the
real Win32 API. Then each scenario of scenarios.json sets up a throwaway Wine Windows (system.ini,
earlier backups, service keys, Windows version), runs the executable through
box_answerer.exe, which records and answers every message box (its hook in
the program names each box's icon), and checks the boxes, the exit status, system.ini byte for byte, the backups and the
registry values as `reg query` reads them.
"""
import argparse
import contextlib
import glob
import json
import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_prefix import (SERVICES, WINE64, WinePrefix, read_box_log,  # noqa: E402
                         why_no_32bit)

HERE = os.path.dirname(os.path.abspath(__file__))
SERVICE_NAMES = ("kvtncdrv", "Serial")


def ini_bytes(lines, line_end="\r\n", encoding="latin-1"):
    return "".join(line + line_end for line in lines).encode(encoding)


def filler_lines(scenario):
    return ["e%d=1" % n for n in range(scenario.get("filler", 0))]


def scenario_ini(scenario):
    """system.ini as the scenario gives it: its lines, then "filler" entries
    "eN=1", each ended by "line_end", in "encoding" (latin-1 by default).
    "system_ini_after" gets the same entries, each ended by CR LF, as the
    platform writes them."""
    lines = scenario["system_ini"] + filler_lines(scenario)
    return ini_bytes(lines, scenario.get("line_end", "\r\n"),
                     scenario.get("encoding", "latin-1"))


_tmpfs_mountable = None


def can_mount_tmpfs():
    """Whether this process may mount a tmpfs (root, and a machine that lets
    it); tried once."""
    global _tmpfs_mountable
    if _tmpfs_mountable is None:
        _tmpfs_mountable = False
        if os.geteuid() == 0 and shutil.which("mount"):
            probe = tempfile.mkdtemp()
            mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4096", "tmpfs", probe],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if mounted.returncode == 0:
                _tmpfs_mountable = True
                subprocess.run(["umount", probe], check=False)
            os.rmdir(probe)
    return _tmpfs_mountable


def skip_reason(scenario):
    if scenario.get("full_volume") and not can_mount_tmpfs():
        return "needs root on a machine that lets it mount a small tmpfs"
    return None


class FullVolume:
    """A tmpfs of the scenario's size that holds system.ini, which the
    Windows directory links to: the platform's write fills it up."""

    def __init__(self, prefix, size):
        self.mount = os.path.join(prefix.path, "full-volume")
        self.link = os.path.join(prefix.windows_dir, "system.ini")
        self.size = size

    def __enter__(self):
        os.makedirs(self.mount, exist_ok=True)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % self.size, "tmpfs", self.mount],
                       check=True)
        shutil.copyfile(self.link, os.path.join(self.mount, "system.ini"))
        os.remove(self.link)
        os.symlink(os.path.join(self.mount, "system.ini"), self.link)
        return self

    def __exit__(self, *exc):
        if os.path.islink(self.link):
            os.remove(self.link)
            shutil.copyfile(os.path.join(self.mount, "system.ini"), self.link)
        subprocess.run(["umount", self.mount], check=False)


INI_MAPPING = ("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\"
               "IniFileMapping\\system.ini")
MAPPED_SECTIONS = "HKEY_LOCAL_MACHINE\\Software\\DriverRemovalTest"


def ini_mapping_body(mapping):
    """Maps system.ini to the registry: each section named in `mapping` is
    read from a key of its own holding the given "key=value" entries. None
    removes the mapping. Measured under Wine 8.0: with a key at INI_MAPPING,
    a section it does not name is read from the file, but a section write
    does not reach the file (Wine's own test_registry_mapping, which runs on
    Windows too, has an unmapped section go to the file)."""
    body = "[-%s]\n[-%s]\n" % (INI_MAPPING, MAPPED_SECTIONS)
    if mapping is None:
        return body
    body += "[%s]\n" % INI_MAPPING
    for section in mapping:
        # A .reg string doubles its backslashes.
        body += '"%s"="SYS:Software\\\\DriverRemovalTest\\\\%s"\n' % (section, section)
    for section, entries in mapping.items():
        body += "[%s\\%s]\n" % (MAPPED_SECTIONS, section)
        for entry in entries:
            key, _, value = entry.partition("=")
            body += '"%s"="%s"\n' % (key, value)
    return body


def registry_body(registry):
    body = ""
    for service in SERVICE_NAMES:
        key = "%s\\%s" % (SERVICES, service)
        body += "[-%s]\n" % key
        value = registry.get(service)
        if value is None:
            continue
        kind, data = value
        if kind == "REG_DWORD":
            body += '[%s]\n"Start"=dword:%08x\n' % (key, data)
        else:
            body += '[%s]\n"Start"="%s"\n' % (key, data)
    return body


def expected_value(value):
    if value is None:
        return None
    kind, data = value
    return (kind, "0x%x" % data if kind == "REG_DWORD" else str(data))


def expected_boxes(spec, names, nt):
    """The boxes named "KIND" or "KIND:ARGUMENT"; on the NT family a box
    about system.ini ends with one more line."""
    boxes = []
    for name in names:
        kind, _, argument = name.partition(":")
        box = dict(spec["boxes"][kind if argument else name])
        box["text"] = box["text"].format(argument)
        if box.pop("about_system_ini", False) and nt:
            box["text"] += "\n" + spec["nt_line"]
        box["caption"] = spec["caption"]
        boxes.append(box)
    return boxes


NINE_X_VERSIONS = ("win95", "win98", "winme")


def expand(scenario):
    """One run for each Windows version the scenario names and, with
    "entries", for each entry put in place of "{entry}": yields (label, run).
    On an NT version, the keys of "on_nt" replace the scenario's own: where
    the section phase fails, NT goes on to fix the driver service."""
    versions = scenario["windows"]
    versions = [versions] if isinstance(versions, str) else versions
    entries = scenario.get("entries", [None])
    for version in versions:
        for entry in entries:
            run = dict(scenario, windows=version)
            if version not in NINE_X_VERSIONS:
                run.update(scenario.get("on_nt", {}))
            label = scenario["name"]
            if len(versions) > 1:
                label += " (%s)" % version
            if entry is not None:
                label += ": %s" % entry
                for key in ("system_ini", "system_ini_after"):
                    if key in run:
                        run[key] = [line.replace("{entry}", entry) for line in run[key]]
            yield label, run


def use_answerer(prefix, build_dir, arch):
    """Puts box_answerer.exe and the hook it loads into the program, both
    built for the program's architecture, in the Wine Windows: a hook DLL
    runs only in a process of its own architecture."""
    for tool in ("box_answerer.exe", "box_hook.dll"):
        shutil.copy(os.path.join(build_dir, "windows-%s-tests" % arch, tool),
                    os.path.join(prefix.drive_c, tool))


def backup_paths(windows):
    return glob.glob(os.path.join(windows, "system.[0-9][0-9][0-9]"))


def clean_windows_folder(prefix):
    """Removes system.ini and every system.NNN, so that no check depends on
    what an earlier one, of either architecture, left behind."""
    for path in backup_paths(prefix.windows_dir) + [os.path.join(prefix.windows_dir, "system.ini")]:
        if os.path.lexists(path):
            os.remove(path)


def run_scenario(prefix, spec, scenario, exe):
    windows = prefix.windows_dir
    clean_windows_folder(prefix)
    original = scenario_ini(scenario)
    ini_path = os.path.join(windows, "system.ini")
    with open(ini_path, "wb") as f:
        f.write(original)
    # Earlier backups: "backups_before" each with text of its own,
    # "identical_backups_before" each a copy of system.ini, "hard_links" each
    # system.ini itself under another name.
    earlier = {}
    for name in scenario.get("backups_before", []):
        earlier[name] = ("earlier backup " + name + "\r\n").encode()
    for name in scenario.get("identical_backups_before", []):
        earlier[name] = original
    for name, data in earlier.items():
        with open(os.path.join(windows, name), "wb") as f:
            f.write(data)
    for name in scenario.get("hard_links", []):
        os.link(ini_path, os.path.join(windows, name))
    registry = scenario.get("registry", {})
    prefix.import_reg(registry_body(registry) + ini_mapping_body(scenario.get("ini_mapping")) +
                      prefix.windows_version_body("DriverRemoval.exe", scenario["windows"]))
    shutil.copy(exe, os.path.join(prefix.drive_c, "DriverRemoval.exe"))
    log = os.path.join(prefix.drive_c, "boxes.log")
    if os.path.exists(log):
        os.remove(log)

    options = ["--hold", scenario["hold"]] if "hold" in scenario else []
    if "hold_exclusive" in scenario:
        options += ["--hold-exclusive", scenario["hold_exclusive"]]
    if "edit_while_asked" in scenario:
        with open(os.path.join(prefix.drive_c, "edited.ini"), "wb") as f:
            f.write(ini_bytes(scenario["edit_while_asked"]))
        options += ["--copy-at-first-box", "C:\\edited.ini|C:\\windows\\system.ini"]
    if "deny_write" in scenario:
        options += ["--deny-write", "System\\CurrentControlSet\\Services\\" + scenario["deny_write"]]
    volume = (FullVolume(prefix, scenario["full_volume"]) if scenario.get("full_volume")
              else contextlib.nullcontext())
    with volume:
        # The answerer writes its log before it starts the program, so no log
        # means Wine did not start it at all (seen rarely under heavy load)
        # and the program has not run; so does a CreateProcess of the program
        # that failed (Wine's internal error 1359, seen once in some 300
        # runs). Either launch gets one more try.
        for attempt in (1, 2):
            rc = prefix.wine("C:\\box_answerer.exe", *options, "C:\\boxes.log",
                             "C:\\DriverRemoval.exe", *scenario.get("answers", []), check=False)
            if not os.path.exists(log):
                prefix.note("box_answerer.exe did not start (wine exit status %d)" % rc)
                continue
            with open(log, encoding="latin-1") as f:
                not_started = [line.strip() for line in f if line.startswith("error\tCreateProcess")]
            if not not_started or attempt == 2:
                break
            prefix.note("box_answerer.exe could not start the program: %s" % not_started[0])
            os.remove(log)

    problems = []
    if not os.path.exists(log):
        return ["box_answerer.exe did not start twice; see %s" % prefix.log]
    boxes, exit_status, unknown = read_box_log(log)
    problems += ["answerer: " + line for line in unknown]
    want = expected_boxes(spec, scenario["boxes"], scenario["windows"] not in NINE_X_VERSIONS)
    if boxes != want:
        problems.append("boxes:\n    got  %s\n    want %s" % (boxes, want))
    if exit_status != 0:
        problems.append("exit status %r, want 0" % exit_status)

    with open(os.path.join(windows, "system.ini"), "rb") as f:
        after = f.read()
    want_ini = (ini_bytes(scenario["system_ini_after"] + filler_lines(scenario),
                          encoding=scenario.get("encoding", "latin-1"))
                if "system_ini_after" in scenario else original)
    if after != want_ini:
        problems.append("system.ini:\n    got  %r\n    want %r" % (after, want_ini))

    backups = {os.path.basename(p).lower(): open(p, "rb").read() for p in backup_paths(windows)}
    want_backups = {name.lower(): data for name, data in earlier.items()}
    for name in scenario.get("hard_links", []):
        want_backups[name.lower()] = want_ini
        if not os.path.samefile(ini_path, os.path.join(windows, name)):
            problems.append("%s is no longer system.ini under another name" % name)
    if scenario.get("new_backup"):
        want_backups[scenario["new_backup"].lower()] = original
    if backups != want_backups:
        problems.append("backups:\n    got  %s\n    want %s" % (backups, want_backups))

    want_registry = scenario.get("registry_after", registry)
    for service in SERVICE_NAMES:
        got = prefix.query_value("%s\\%s" % (SERVICES, service), "Start")
        want = expected_value(want_registry.get(service))
        if got != want:
            problems.append("%s Start: got %s, want %s" % (service, got, want))
    return problems


RELAYED = ("kernel32.SetDefaultDllDirectories;kernel32.SetDllDirectoryA;kernel32.LoadLibraryA;"
           "kernel32.LoadLibraryW;kernel32.LoadLibraryExA;kernel32.LoadLibraryExW;"
           "kernel32.WritePrivateProfileStringA;kernel32.WritePrivateProfileSectionA;"
           "kernel32.CopyFileA;user32.MessageBoxA")
FLUSH = re.compile(r'WritePrivateProfileStringA\(0+,0+,0+,[0-9a-f]+ "system\.ini"\)')


def run_traced(prefix, exe, trace_path):
    """Runs the program once under Wine's relay and DLL-load traces, cleaning
    a driver entry (answered Yes), and returns the problems. Its thread must
    limit the DLL search (SetDefaultDllDirectories with
    LOAD_LIBRARY_SEARCH_SYSTEM32, or SetDllDirectoryA) before any LoadLibrary
    call, then load USER32 by its full path in the system folder; and it must
    flush the profile cache of system.ini (a null section, key and value)
    after the question and before the backup's copy, and after the
    section's write. Wine keeps no such cache, so only the trace shows the
    flush."""
    clean_windows_folder(prefix)
    with open(os.path.join(prefix.windows_dir, "system.ini"), "wb") as f:
        f.write(b"[386Enh]\r\ndevice=kvtncdrv.386\r\n")
    prefix.import_reg(registry_body({}) + ini_mapping_body(None) +
                      '[HKEY_CURRENT_USER\\Software\\Wine\\Debug]\n"RelayInclude"="%s"\n' % RELAYED +
                      prefix.windows_version_body("DriverRemoval.exe", "win10"))
    shutil.copy(exe, os.path.join(prefix.drive_c, "DriverRemoval.exe"))
    prefix.wine("C:\\box_answerer.exe", "C:\\boxes.log", "C:\\DriverRemoval.exe", "yes",
                check=False, debug="+relay,+loaddll", output=trace_path)
    with open(trace_path, encoding="latin-1") as f:
        lines = f.read().splitlines()
    thread = next((line.split(":", 1)[0] for line in lines
                   if 'Loaded L"C:\\\\DriverRemoval.exe"' in line), None)
    if thread is None:
        return ["the program did not start; see %s" % trace_path]
    calls = [line.split(":", 1)[1] for line in lines
             if line.startswith((thread + ":Call KERNEL32.", thread + ":Call user32."))]
    limited = next((i for i, call in enumerate(calls)
                    if call.startswith(("Call KERNEL32.SetDefaultDllDirectories(00000800)",
                                        'Call KERNEL32.SetDllDirectoryA('))), None)
    loads = [i for i, call in enumerate(calls) if call.startswith("Call KERNEL32.LoadLibrary")]
    problems = []
    if limited is None:
        problems.append("the DLL search was never limited")
    elif loads and loads[0] < limited:
        problems.append("LoadLibrary before the DLL search was limited: %s" % calls[loads[0]])
    user32 = [calls[i] for i in loads if re.search(
        r'LoadLibraryA\([0-9a-f]+ "[A-Za-z]:(\\\\[^"]*)?\\\\system32\\\\user32\.dll"\)', calls[i],
        re.IGNORECASE)]
    if not user32:
        problems.append("USER32 not loaded by its full path in the system folder: %s"
                        % [calls[i] for i in loads])
    order = [("flush" if FLUSH.search(call) else "copy" if "CopyFileA(" in call
              else "write" if "WritePrivateProfileSectionA(" in call
              else "box" if "MessageBoxA(" in call else None) for call in calls]
    order = [step for step in order if step]
    copy = order.index("copy") if "copy" in order else None
    write = order.index("write") if "write" in order else None
    if copy is None or write is None:
        problems.append("no backup copy and section write: %s" % order)
    else:
        # The question may stand for minutes, while another program writes.
        question = order.index("box") if "box" in order else 0
        if "flush" not in order[question:copy]:
            problems.append("no flush between the question and the backup's copy: %s" % order)
        if "flush" not in order[write + 1:]:
            problems.append("no flush after the section's write: %s" % order)
    return [problem + " (trace: %s)" % trace_path for problem in problems]


def run_runtime_checks(prefix, exe):
    """Runs the runtime's checks (tests/runtime/); returns the problems."""
    clean_windows_folder(prefix)
    shutil.copy(exe, os.path.join(prefix.drive_c, "runtime_checks.exe"))
    problems = []
    library_errors = ("length", "out-of-range", "logic", "bad-alloc", "bad-array-new-length",
                      "pure-virtual")
    for argument, want in ([(None, 0), ("allocation-failure", 3)] +
                           [("library-error " + name, 3) for name in library_errors]):
        rc = prefix.wine(*(["C:\\runtime_checks.exe"] + (argument.split() if argument else [])),
                         check=False)
        if rc != want:
            problems.append("runtime_checks.exe %s: exit status %d, want %d (see the enum in "
                            "tests/runtime/runtime_checks.cpp)" % (argument or "", rc, want))
    return problems


def run_contract(prefix, exe):
    """Runs the contract tests; returns the problems found."""
    clean_windows_folder(prefix)
    shutil.copy(exe, os.path.join(prefix.drive_c, "platform_contract_tests.exe"))
    out_path = os.path.join(prefix.drive_c, "contract.txt")
    rc = prefix.wine("cmd", "/c", "C:\\platform_contract_tests.exe > C:\\contract.txt 2>&1",
                     check=False)
    with open(out_path, "rb") as f:
        output = f.read().decode("latin-1")
    if rc == 0 and "[  PASSED  ]" in output and "FAILED" not in output:
        return []
    return [line for line in output.splitlines() if "FAILED" in line or "Failure" in line
            or line.startswith(("  ", "Expected", "Which"))] or ["exit status %d" % rc]


UNDO_USER = "nobody"


def why_no_other_user():
    """None when the undo check can run Wine as the non-root UNDO_USER."""
    if os.geteuid() != 0:
        return "running Wine as another user needs root"
    if not shutil.which("setpriv"):
        return "setpriv (util-linux) is not installed"
    try:
        pwd.getpwnam(UNDO_USER)
    except KeyError:
        return "there is no user %s" % UNDO_USER
    return None


# The README's undo, one attrib switch a line: Wine's attrib applies only its
# last switch (measured under Wine 8.0), where Windows' applies every one.
# Hidden goes back before read-only: Wine keeps it in an extended attribute
# of the Linux file, which a user who may not write the file cannot set
# (measured under Wine 8.0, as a non-root user).
UNDO_LINES = ["attrib C:\\windows\\system.ini"] + [
    "attrib %s C:\\windows\\%s" % (switch, name)
    for name in ("system.ini", "system.000") for switch in ("-s", "-r", "-h")] + [
    "copy /y C:\\windows\\system.000 C:\\windows\\system.ini"] + [
    "attrib %s C:\\windows\\%s" % (switch, name)
    for name in ("system.ini", "system.000") for switch in ("+h", "+r")] + [
    "attrib C:\\windows\\system.ini", "attrib C:\\windows\\system.000"]


def attributes_shown(output, name):
    """The attribute letters attrib's output shows for the file `name`, as
    "A    HR       C:\\WINDOWS\\system.ini" shows them: the last such line's."""
    lines = [line for line in output.splitlines() if line.lower().rstrip().endswith("\\" + name)]
    return lines[-1].split(":")[0][:-1] if lines else ""


def run_undo_as_user():
    """Runs the README's undo as a non-root user, for whom Wine enforces
    read-only (as root it does not: measured under Wine 8.0), on a damaged
    system.ini and its backup, both read-only and hidden: a copy onto them
    as they are is refused, and after the undo system.ini holds the backup's
    bytes and both files have their attributes again. In a Wine Windows of
    its own below /tmp, which that user can reach wherever the build folder
    lies, handed to that user and removed afterwards."""
    user = pwd.getpwnam(UNDO_USER)
    top = tempfile.mkdtemp(prefix="driverremoval-undo-", dir="/tmp")
    prefix = WinePrefix(os.path.join(top, "prefix"))
    try:
        prefix.create()
        prefix.server("-k")
        prefix.server("-w")
        home = os.path.join(top, "home")
        os.makedirs(home)
        for root, dirs, files in os.walk(top):
            for name in [root] + [os.path.join(root, n) for n in dirs + files]:
                os.lchown(name, user.pw_uid, user.pw_gid)

        def as_user(*command):
            with open(prefix.log, "ab") as log:
                subprocess.run(["setpriv", "--reuid=%d" % user.pw_uid, "--regid=%d" % user.pw_gid,
                                "--clear-groups", WINE64, "cmd", "/c", " ".join(command) +
                                " > C:\\undo.txt 2>&1"], env=dict(prefix.env, HOME=home),
                               stdout=log, stderr=log, stdin=subprocess.DEVNULL, timeout=300)
            with open(os.path.join(prefix.drive_c, "undo.txt"), "rb") as f:
                return f.read().decode("latin-1")

        return undo_problems(prefix, as_user)
    finally:
        subprocess.run(["setpriv", "--reuid=%d" % user.pw_uid, "--regid=%d" % user.pw_gid,
                        "--clear-groups", "wineserver", "-k"], env=prefix.env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(top, ignore_errors=True)


def undo_problems(prefix, as_user):
    """The undo check itself; `as_user` runs a command line in cmd as the
    user and returns what it printed."""
    user = pwd.getpwnam(UNDO_USER)
    windows = prefix.windows_dir
    original = b"[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\ndevice=kvtncdrv.386\r\n"
    damaged = b"[boot]\r\nshell=Explor"
    for name, data in (("system.ini", damaged), ("system.000", original)):
        path = os.path.join(windows, name)
        with open(path, "wb") as f:
            f.write(data)
        os.lchown(path, user.pw_uid, user.pw_gid)
    for name in ("system.ini", "system.000"):
        for switch in ("+h", "+r"):
            as_user("attrib %s C:\\windows\\%s" % (switch, name))
    problems = []
    before = attributes_shown(as_user("attrib C:\\windows\\system.ini"), "system.ini")
    if "R" not in before or "H" not in before:
        return ["system.ini is not read-only and hidden before the undo: %r" % before]
    as_user("copy /y C:\\windows\\system.000 C:\\windows\\system.ini")
    with open(os.path.join(windows, "system.ini"), "rb") as f:
        if f.read() != damaged:
            problems.append("a copy onto the read-only system.ini was not refused")
    with open(os.path.join(prefix.drive_c, "undo.bat"), "w", newline="\r\n") as f:
        f.write("@echo off\n" + "\n".join(UNDO_LINES) + "\n")
    shown = as_user("C:\\undo.bat")
    with open(os.path.join(windows, "system.ini"), "rb") as f:
        restored = f.read()
    if restored != original:
        problems.append("system.ini after the undo: %r, want %r (output: %r)"
                        % (restored, original, shown))
    for name in ("system.ini", "system.000"):
        if not set("RH") <= set(attributes_shown(shown, name)):
            problems.append("%s has not got R and H back: %r" % (name, shown))
    return problems


class Tally:
    """Counts and prints each run's outcome."""

    def __init__(self):
        self.passed = self.failed = self.skipped_count = self.x86_skipped = 0

    def skipped(self, label, arch, reason=None):
        """True, after saying so, when the run cannot be made here."""
        if arch == "x86" and why_no_32bit():
            reason = "x86 not run: %s" % why_no_32bit()
            self.x86_skipped += 1
        if not reason:
            return False
        print("SKIP  %s (%s)" % (label, reason))
        self.skipped_count += 1
        return True

    def report(self, label, problems):
        self.passed += not problems
        self.failed += bool(problems)
        print("%s  %s" % ("ok  " if not problems else "FAIL", label))
        for problem in problems:
            print("      " + problem)
        sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", default="build")
    parser.add_argument("--exe", help="test this executable instead of the built ones")
    parser.add_argument("--only", help="run only the scenarios whose name contains this")
    parser.add_argument("--arch", choices=("x64", "x86"), help="run only this architecture")
    args = parser.parse_args()

    with open(os.path.join(HERE, "scenarios.json")) as f:
        spec = json.load(f)

    targets = []
    if args.exe:
        targets.append(("given", args.exe))
    else:
        for arch in ("x64", "x86"):
            if args.arch in (None, arch):
                targets.append((arch, os.path.join(args.build_dir, "windows-" + arch,
                                                   "DriverRemoval.exe")))

    prefix = WinePrefix(os.path.abspath(os.path.join(args.build_dir, "e2e-prefix")))
    tally = Tally()
    prefix.create()
    try:
        if not args.exe:
            build = args.build_dir
            # Checks of the Windows-only code, once per architecture.
            checks = [
                ("platform contract", lambda arch: run_contract(prefix, os.path.join(
                    build, "windows-%s-tests" % arch, "platform_contract_tests.exe"))),
                ("the executables' own runtime", lambda arch: run_runtime_checks(
                    prefix, os.path.join(build, "windows-%s" % arch, "runtime_checks.exe"))),
                ("traced run: DLL search limited before any LoadLibrary, USER32 by full path, "
                 "profile cache flushed before the copy and after the write",
                 lambda arch: run_traced(
                     prefix, os.path.join(build, "windows-%s" % arch, "DriverRemoval.exe"),
                     os.path.abspath(os.path.join(build, "traced-run-%s.trace" % arch)))),
            ]
            for name, check in checks:
                for arch, _ in targets:
                    label = "%s: %s" % (arch, name)
                    if not tally.skipped(label, arch):
                        use_answerer(prefix, build, arch)
                        tally.report(label, check(arch))
        for arch, exe in targets:
            use_answerer(prefix, args.build_dir, "x64" if arch == "given" else arch)
            for scenario in spec["scenarios"]:
                if args.only and args.only not in scenario["name"]:
                    continue
                for name, run in expand(scenario):
                    label = "%s: %s" % (arch, name)
                    if not tally.skipped(label, arch, skip_reason(run)):
                        tally.report(label, run_scenario(prefix, spec, run, exe))
        label = "the README's undo as typed, one attrib switch a line, as user " + UNDO_USER
        if not args.exe and not (args.only and args.only not in label) and \
                not tally.skipped(label, None, why_no_other_user()):
            tally.report(label, run_undo_as_user())
    finally:
        prefix.destroy()
    x86_note = (" (%d of them x86, not run: %s)" % (tally.x86_skipped, why_no_32bit())
                if tally.x86_skipped else "")
    print("e2e: %d passed, %d failed, %d skipped%s, %d Wine tool launches retried"
          % (tally.passed, tally.failed, tally.skipped_count, x86_note, prefix.retries))
    return 1 if tally.failed else 0

if __name__ == "__main__":
    sys.exit(main())
