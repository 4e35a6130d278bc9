#!/usr/bin/env python3
"""Mutation pass over the removal logic: applies one-line mutants to app/,
section/, services/ and platform/framework.cpp one at a time, rebuilds the
unit tests (build/mutation) and runs them; a mutant they pass is tried again
under AddressSanitizer and UndefinedBehaviorSanitizer (build/mutation-asan),
as the test command runs them too. A mutant the tests fail on is killed; one
they pass survives and is listed, for a test to be written or for a reason
why it is equivalent. The sources are put back after each mutant. Prints a
line per mutant and the score; writes nothing outside build/.

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
           "section/system_backup.cpp", "services/service_start.cpp"]
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
]
STATEMENT = re.compile(r"^\s+[A-Za-z_][\w:.>-]*\(.*\);\s*$")


def candidates():
    for path in SOURCES:
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
    parser.add_argument("--most", type=int, default=90, help="mutants to try, spread evenly")
    parser.add_argument("--only", help="only mutants whose file or line holds this")
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

    def outcome_in(build):
        if run(["cmake", "--build", build, "--target", "unit_tests", "-j2"], 900) != 0:
            return "stillborn"
        return run([os.path.join(build, "tests", "unit_tests")], 60)

    mutants = [m for m in candidates()
               if not args.only or args.only in m[0] or args.only in m[3]]
    step = max(1, len(mutants) / float(args.most))
    chosen = [mutants[int(i * step)] for i in range(min(args.most, len(mutants)))]
    killed, survived, stillborn = 0, [], 0
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
            outcome = outcome_in(BUILD)
            if outcome == 0:
                outcome = outcome_in(BUILD_ASAN)
        finally:
            with open(full, "w") as f:
                f.write(original)
        label = "%s:%d %s: %s" % (path, number + 1, name, before)
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
    tried = killed + len(survived)
    print("mutants: %d tried, %d killed, %d survived, %d did not compile; score %.1f%%"
          % (tried, killed, len(survived), stillborn, 100.0 * killed / max(tried, 1)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
