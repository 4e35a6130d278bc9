#!/usr/bin/env python3
"""Checks the README and the documents under docs/: every file they link to
exists, every picture they show is a PNG file, every link to a heading (of
the same document or of another) finds one, and no heading stands twice in a
document; and every piece of a message-box text in the program's sources (a
string literal of two words or more in app/, section/ and services/) stands
in the table of every box in docs/boxes.md, or in the lines a box may end
with, with its line feeds as <br>. The
unit test readme_boxes_test.cpp holds that table against the boxes the
program shows."""
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BOXES = os.path.join(ROOT, "docs", "boxes.md")


def box_text_problems(boxes):
    start = boxes.find("\n## Every box\n")
    if start < 0:
        return ["docs/boxes.md: no \"Every box\" section"]
    # The table of every box, and the lines a box may end with after it.
    table = boxes[start:]
    problems = []
    for path in sorted(glob.glob(os.path.join(ROOT, "app", "*.cpp")) +
                       glob.glob(os.path.join(ROOT, "section", "*.cpp")) +
                       glob.glob(os.path.join(ROOT, "services", "*.cpp"))):
        with open(path, encoding="utf-8") as f:
            source = re.sub(r"//[^\n]*", "", f.read())
        for literal in re.findall(r'"((?:[^"\\\n]|\\.)*)"', source):
            if not re.search(r"[A-Za-z]{2,} [A-Za-z]{2,}", literal):
                continue
            piece = literal.replace("\\n", "<br>").replace('\\"', '"').replace("\\\\", "\\")
            if piece not in table:
                problems.append("%s: box text not in the table of every box: %r"
                                % (os.path.relpath(path, ROOT), literal))
    return problems


def anchors_of(text):
    headings = re.findall(r"^#+ (.+)$", text, re.MULTILINE)
    return {re.sub(r"[^a-z0-9 -]", "", h.lower()).replace(" ", "-") for h in headings}


def document_problems(path, texts):
    text = texts[path]
    name = os.path.relpath(path, ROOT)
    problems = []
    pictures = 0
    for bang, target in re.findall(r"(!?)\[[^\]]*\]\(([^)\s]+)\)", text):
        if re.match(r"[a-z]+:", target):
            continue
        file_part, _, anchor = target.partition("#")
        linked = os.path.normpath(os.path.join(os.path.dirname(path), file_part)) \
            if file_part else path
        if not os.path.isfile(linked):
            problems.append("%s: missing: %s" % (name, target))
            continue
        if bang:
            pictures += 1
            with open(linked, "rb") as f:
                if f.read(8) != b"\x89PNG\r\n\x1a\n":
                    problems.append("%s: not a PNG picture: %s" % (name, target))
        if anchor:
            if linked not in texts:
                with open(linked, encoding="utf-8") as f:
                    texts[linked] = f.read()
            if anchor not in anchors_of(texts[linked]):
                problems.append("%s: no heading for the link %s" % (name, target))
    headings = re.findall(r"^#+ (.+)$", text, re.MULTILINE)
    problems += ["%s: heading twice: %s" % (name, h) for h in sorted(set(headings))
                 if headings.count(h) > 1]
    return problems, pictures


def main():
    paths = [os.path.join(ROOT, "README.md")] + sorted(glob.glob(os.path.join(ROOT, "docs", "*.md")))
    texts = {}
    for path in paths:
        with open(path, encoding="utf-8") as f:
            texts[path] = f.read()
    problems = []
    pictures = 0
    for path in paths:
        found, shown = document_problems(path, texts)
        problems += found
        pictures += shown
    problems += box_text_problems(texts[BOXES])
    for problem in problems:
        print(problem)
    print("summary: %d documents, %d pictures, every link found" % (len(paths), pictures)
          if not problems else "%d problems" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
