#!/usr/bin/env python3
"""Checks that every file the README links to exists, that every picture it
shows is a PNG file, and that no section heading stands twice."""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def main():
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        text = f.read()
    problems = []
    pictures = 0
    for bang, target in re.findall(r"(!?)\[[^\]]*\]\(([^)\s]+)\)", text):
        if re.match(r"[a-z]+:|#", target):
            continue
        path = os.path.join(ROOT, target)
        if not os.path.isfile(path):
            problems.append("missing: %s" % target)
        elif bang:
            pictures += 1
            with open(path, "rb") as f:
                if f.read(8) != b"\x89PNG\r\n\x1a\n":
                    problems.append("not a PNG picture: %s" % target)
    headings = re.findall(r"^#+ (.+)$", text, re.MULTILINE)
    problems += ["heading twice: %s" % h for h in sorted(set(headings)) if headings.count(h) > 1]
    for problem in problems:
        print(problem)
    print("summary: %d pictures and every linked file present" % pictures if not problems
          else "%d problems" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
