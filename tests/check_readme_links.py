#!/usr/bin/env python3
"""Checks that every file the README links to exists, that every picture it
shows is a PNG file, that every link to a heading of its own finds one, that
no section heading stands twice, and that every piece of a message-box text
in the program's sources (a string literal of two words or more in app/,
section/ and services/) stands in the README's table of every box, with its
line feeds as <br>. The unit test readme_boxes_test.cpp holds the table
against the boxes the program shows."""
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def box_text_problems(readme):
    start = readme.find("\n### Every box\n")
    if start < 0:
        return ["no \"Every box\" section"]
    end = readme.find("\n#", start + 1)
    table = readme[start:end if end > 0 else len(readme)]
    problems = []
    for path in sorted(glob.glob(os.path.join(ROOT, "app", "*.cpp")) +
                       glob.glob(os.path.join(ROOT, "section", "*.cpp")) +
                       glob.glob(os.path.join(ROOT, "services", "*.cpp"))):
        with open(path, encoding="utf-8") as f:
            source = re.sub(r"//[^\n]*", "", f.read())
        for literal in re.findall(r'"((?:[^"\\\n]|\\.)*)"', source):
            if not re.search(r"[A-Za-z]{2,} [A-Za-z]{2,}", literal):
                continue
            piece = literal.replace("\\n", "<br>").replace("\\\\", "\\")
            if piece not in table:
                problems.append("%s: box text not in the README's table of every box: %r"
                                % (os.path.relpath(path, ROOT), literal))
    return problems


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
    anchors = {re.sub(r"[^a-z0-9 -]", "", h.lower()).replace(" ", "-") for h in headings}
    problems += ["no heading for the link #%s" % a for a in sorted(set(re.findall(
        r"\]\(#([^)]+)\)", text))) if a not in anchors]
    problems += box_text_problems(text)
    for problem in problems:
        print(problem)
    print("summary: %d pictures and every linked file present" % pictures if not problems
          else "%d problems" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
