#!/usr/bin/env python3
"""The instruction check must fail, naming the instruction and its function,
on a 32-bit program with a CMOV and a 64-bit one with a POPCNT."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_instructions  # noqa: E402

PROGRAM = r"""
#include <windows.h>
__attribute__((noinline)) int %(function)s(int x) {
  int y = 0;
  __asm__ volatile("%(instruction)s" : "+r"(y) : "r"(x) : "cc");
  return y;
}
int WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) { return %(function)s(d); }
"""


def build(scratch, compiler, function, instruction):
    source = os.path.join(scratch, function + ".c")
    exe = os.path.join(scratch, function + ".exe")
    with open(source, "w") as f:
        f.write(PROGRAM % {"function": function, "instruction": instruction})
    subprocess.run([compiler, "-O1", "-mwindows", "-o", exe, source,
                    "-Wl,-Map," + os.path.join(scratch, function + ".map")], check=True)
    return exe


class CheckInstructionsTest(unittest.TestCase):
    def test_names_an_instruction_beyond_the_processor_baseline(self):
        cases = [
            ("i686-w64-mingw32-gcc-win32", "UsesCmov", "cmovne %1, %0", "cmovne"),
            ("x86_64-w64-mingw32-gcc-win32", "UsesPopcnt", "popcnt %1, %0", "popcnt"),
        ]
        with tempfile.TemporaryDirectory() as scratch:
            for compiler, function, instruction, mnemonic in cases:
                problems, _ = check_instructions.check(
                    build(scratch, compiler, function, instruction))
                named = [p for p in problems if p.startswith(mnemonic + " ")]
                self.assertTrue(named, "%s not reported: %s" % (mnemonic, problems))
                self.assertRegex(named[0], r" at 0x[0-9a-f]+ in %s\b" % function)


if __name__ == "__main__":
    unittest.main()
