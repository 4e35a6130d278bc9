#!/usr/bin/env python3
"""Mutation pass: applies one-line mutants one at a time and says which ones
the tests let through.

- app/, section/, services/ and platform/framework.cpp: the unit tests are
  rebuilt (build/mutation) and run; a mutant they pass is tried again under
  AddressSanitizer and UndefinedBehaviorSanitizer (build/mutation-asan), as
  the test command runs them too.
- platform/win32_platform.cpp and platform/runtime/: the Windows-only code.
  The 64-bit executables and test tools are rebuilt (build/windows-x64,
  build/windows-x64-tests) and their Wine tests run (the platform contract,
  the runtime's checks, the traced run and the typical scenarios), and the
  unit tests too (the memory functions are built into them under other
  names).

A mutant the tests fail on is killed; one they pass survives and is listed,
for a test to be written or for a reason why it is equivalent. The sources
are put back after each mutant, and every build is brought back to them at
the end. Prints a line per mutant, then the score by folder and overall;
writes nothing outside build/.

Usage: scripts/mutate.py [--most N] [--only TEXT]
"""
import argparse
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "mutation")
BUILD_ASAN = os.path.join(ROOT, "build", "mutation-asan")
SANITIZERS = "-fsanitize=address,undefined -fno-sanitize-recover=all"
SOURCES = ["app/driver_removal_app.cpp", "platform/framework.cpp",
           "section/device_section.cpp", "section/profile_file.cpp",
           "section/section_read_check.cpp", "section/system_backup.cpp",
           "services/service_start.cpp"]
WINDOWS_SOURCES = ["platform/win32_platform.cpp", "platform/runtime/entry.cpp",
                   "platform/runtime/exit_list.cpp", "platform/runtime/heap.cpp",
                   "platform/runtime/library_hooks.cpp",
                   "platform/runtime/memory_functions.cpp"]
# (name, pattern, replacement): each applied to the first match in a line.
OPERATORS = [
    ("== to !=", r"==", "!="),
    ("!= to ==", r"!=", "=="),
    ("< to <=", r" < ", " <= "),
    ("<= to <", r" <= ", " < "),
    ("> to >=", r" > ", " >= "),
    (">= to >", r" >= ", " > "),
    ("&& to ||", r"&&", "||"),
    ("|| to &&", r"\|\|", "&&"),
    ("true to false", r"\btrue\b", "false"),
    ("false to true", r"\bfalse\b", "true"),
    ("+ 1 to - 1", r"\+ 1\b", "- 1"),
    ("- 1 to + 1", r"- 1\b", "+ 1"),
    ("drop !", r"!(?=[A-Za-z(])", ""),
    ("return true to false", r"return true;", "return false;"),
    ("status to 13", r"return status;", "return 13;"),
    # Two plain names compared (strings, where it compiles) by length alone.
    ("compare lengths only",
     r"(?<![\w.:>*])(?!nullptr\b|sizeof\b|this\b|true\b|false\b)([a-z_]\w*) == "
     r"(?!nullptr\b|sizeof\b|true\b|false\b)([a-z_]\w*)\b(?![(.\[:])",
     r"\1.size() == \2.size()"),
    ("rfind to find", r"\.rfind\(", ".find("),
    ("find to rfind", r"\.find\(", ".rfind("),
    ("drop a flag", r" \| [A-Z][A-Z0-9_]+", ""),
    ("loop bound - 1", r"(for \([^;]*; [\w]+ <=? )([\w.()]+)", r"\1\2 - 1"),
    # Steps a check relies on: a normalising call left out, a multiset
    # compare narrowed to counting one side against the other.
    ("drop a normalising call", r"\b(?:IniLine|ParseEntry)\(([^()]*)\)", r"std::string(\1)"),
    ("drop a trim", r"\b(?:Trim|TrimBlanks|Lower)\(([^()]*)\)", r"\1"),
    ("includes to a count",
     r"std::includes\((\w+)\.begin\(\), \1\.end\(\), (\w+)\.begin\(\), \2\.end\(\)\)",
     r"(\1.size() >= \2.size())"),
    # Loops and their exits.
    ("loop stride 2", r"(for \([^;]*;[^;]*; )\+\+(\w+)\)", r"\1\2 += 2)"),
    ("break to continue", r"\bbreak;", "continue;"),
    ("continue to break", r"\bcontinue;", "break;"),
    # Character classes: a blank left out, a range bound moved inward.
    ("drop a tab", r"\\t", ""),
    ("upper bound inward", r"<= '([b-zB-Z1-9])'", lambda m: "<= '%s'" % chr(ord(m.group(1)) - 1)),
    ("lower bound inward", r">= '([a-yA-Y0-8])'", lambda m: ">= '%s'" % chr(ord(m.group(1)) + 1)),
    # A compare widened from "succeeded" to "not this one failure".
    ("success to not one error", r"== ERROR_SUCCESS\b", "!= ERROR_INVALID_DATA"),
    # The readings of a file narrowed to one.
    ("readings to line feeds only", r"\bkEveryReading\b", "{LineBreaks::kLineFeed}"),
    ("readings to any break only", r"\bkEveryReading\b", "{LineBreaks::kAnyBreak}"),
    # A loop that skips a case leaves the function instead, with the empty
    # (often the "all is well") answer.
    ("continue to return", r"\bcontinue;", "return {};"),
    # A call's status ignored.
    ("drop a status", r"\bstatus = (?=platform\.)", "(void)"),
    # A copy of fewer bytes than the value holds.
    ("copy size shrunk", r"\bsizeof (\w+)", "2"),
    # A fail-safe answer (no box shown, no consent) flipped.
    ("fail-safe answer flipped", r" : 0;", " : IDYES;"),
    ("drop a cast", r"static_cast<unsigned char>\(([^()]*)\)", r"\1"),
]
STATEMENT = re.compile(r"^\s+[A-Za-z_][\w:.>-]*\(.*\);\s*$")


def candidates():
    for path in SOURCES + WINDOWS_SOURCES:
        with open(os.path.join(ROOT, path)) as f:
            lines = f.read().split("\n")
        for number, line in enumerate(lines):
            code = line.split("//")[0]
            if not code.strip() or code.lstrip().startswith(("#", "*")):
                continue
            for name, pattern, replacement in OPERATORS:
                if re.search(pattern, code):
                    mutated = re.sub(pattern, replacement, code, count=1) + line[len(code):]
                    yield path, number, name, mutated
            if STATEMENT.match(code) and "return" not in code:
                yield path, number, "drop statement", ""


def run(command, timeout):
    try:
        return subprocess.run(command, cwd=ROOT, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--most", type=int, default=150, help="mutants to try, spread evenly")
    parser.add_argument("--only", help="only mutants whose file or line holds one of these "
                        "comma-separated texts")
    args = parser.parse_args()
    builds = [(BUILD, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"),
              (BUILD_ASAN, "-DCMAKE_CXX_FLAGS=" + SANITIZERS)]
    for build, flag in builds:
        if run(["cmake", "-S", ".", "-B", build, flag], 300) != 0 or \
                run(["cmake", "--build", build, "--target", "unit_tests", "-j2"], 900) != 0:
            print("the unmutated build failed")
            return 1
        if run([os.path.join(build, "tests", "unit_tests")], 120) != 0:
            print("the unit tests fail without a mutant")
            return 1

    for preset in ("windows-x64", "windows-x64-tests"):
        if run(["cmake", "--preset", preset], 300) != 0 or \
                run(["cmake", "--build", "--preset", preset, "-j2"], 900) != 0:
            print("the unmutated Windows build failed")
            return 1

    def outcome_in(build):
        if run(["cmake", "--build", build, "--target", "unit_tests", "-j2"], 900) != 0:
            return "stillborn"
        return run([os.path.join(build, "tests", "unit_tests")], 60)

    def windows_outcome():
        for preset in ("windows-x64", "windows-x64-tests"):
            if run(["cmake", "--build", "--preset", preset, "-j2"], 900) != 0:
                return "stillborn"
        return run(["python3", "tests/e2e/run_e2e.py", "--build-dir", "build", "--arch", "x64",
                    "--only", "typical case"], 900)

    only = args.only.split(",") if args.only else []
    mutants = [m for m in candidates()
               if not only or any(text in m[0] or text in m[3] for text in only)]
    step = max(1, len(mutants) / float(args.most))
    chosen = [mutants[int(i * step)] for i in range(min(args.most, len(mutants)))]
    killed, survived, stillborn = 0, [], 0
    by_folder = {}  # folder -> [killed, tried]
    for path, number, name, mutated in chosen:
        full = os.path.join(ROOT, path)
        with open(full) as f:
            original = f.read()
        lines = original.split("\n")
        before = lines[number].strip()
        lines[number] = mutated
        try:
            with open(full, "w") as f:
                f.write("\n".join(lines))
            if path in WINDOWS_SOURCES:
                outcome = windows_outcome()
                if outcome == 0 and path.endswith("memory_functions.cpp"):
                    outcome = outcome_in(BUILD)
            else:
                outcome = outcome_in(BUILD)
                if outcome == 0:
                    outcome = outcome_in(BUILD_ASAN)
        finally:
            with open(full, "w") as f:
                f.write(original)
        label = "%s:%d %s: %s" % (path, number + 1, name, before)
        folder = os.path.dirname(path)
        if outcome != "stillborn":
            tally = by_folder.setdefault(folder, [0, 0])
            tally[0] += outcome != 0
            tally[1] += 1
        if outcome == "stillborn":
            stillborn += 1
            print("stillborn  " + label)
        elif outcome == 0:
            survived.append(label)
            print("SURVIVED   " + label)
        else:
            killed += 1
            print("killed     " + label)
        sys.stdout.flush()
    for build, _ in builds:
        run(["cmake", "--build", build, "--target", "unit_tests", "-j2"], 900)
    for preset in ("windows-x64", "windows-x64-tests"):
        run(["cmake", "--build", "--preset", preset, "-j2"], 900)
    for folder, (folder_killed, folder_tried) in sorted(by_folder.items()):
        print("%s: %d of %d killed (%.1f%%)" % (folder, folder_killed, folder_tried,
                                               100.0 * folder_killed / folder_tried))
    tried = killed + len(survived)
    print("mutants: %d tried, %d killed, %d survived, %d did not compile; score %.1f%%"
          % (tried, killed, len(survived), stillborn, 100.0 * killed / max(tried, 1)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
