#!/usr/bin/env python3
"""The executable check must fail, naming the cause, on a 32-bit program that
old Windows would refuse or that depends on a 9x stub without a reason."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_executables  # noqa: E402

PROGRAM = r"""
#include <windows.h>
int WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) {
  DWORD flags;
  GetHandleInformation(GetCurrentProcess(), &flags);
  Beep(440, 10);
  return (int)GetTickCount64();
}
"""


class CheckExecutablesTest(unittest.TestCase):
    def test_names_what_keeps_a_32_bit_program_from_loading(self):
        with tempfile.TemporaryDirectory() as scratch:
            source = os.path.join(scratch, "too_new.c")
            exe = os.path.join(scratch, "too_new.exe")
            with open(source, "w") as f:
                f.write(PROGRAM)
            subprocess.run(["i686-w64-mingw32-gcc-win32", "-mwindows", "-o", exe, source,
                            "-Wl,--major-subsystem-version,5,--minor-subsystem-version,1"],
                           check=True)
            table = check_executables.read_table(check_executables.TABLE, 7)
            stubs = check_executables.read_table(check_executables.STUBS, 0)
            problems = "\n".join(check_executables.check(exe, table, stubs))
        self.assertIn("KERNEL32!GetTickCount64, which win95, win98, winme, nt4, win2k, winxp "
                      "lacks", problems)
        self.assertIn("KERNEL32!Beep, which windows-imports.tsv does not know", problems)
        self.assertIn("KERNEL32!GetHandleInformation, a stub on win95, win98, winme, without "
                      "a reason", problems)
        self.assertIn("subsystem version 5.1 is above 4.0", problems)
        self.assertIn("not marked terminal-server aware", problems)
        # The toolchain's own runtime comes with msvcrt.dll.
        self.assertIn("imports from MSVCRT.dll, which Windows 95 as first shipped lacks",
                      problems)


GOOD_MANIFEST = open(os.path.join(HERE, "..", "resources", "driver_removal.manifest"), "rb").read()


def changed(old, new):
    assert old.encode() in GOOD_MANIFEST, old
    return GOOD_MANIFEST.replace(old.encode(), new.encode())


class ManifestTest(unittest.TestCase):
    def test_the_shipped_manifest_passes(self):
        self.assertEqual([], check_executables.manifest_problems(GOOD_MANIFEST))

    def test_names_each_reason_a_manifest_is_refused(self):
        asm_v3 = "urn:schemas-microsoft-com:asm.v3"
        cases = [
            (changed("</assembly>", "</assembly"), "not well-formed XML"),
            (changed('level="requireAdministrator"', 'level="asInvoker"'),
             'does not ask for requireAdministrator with uiAccess="false"'),
            (changed('uiAccess="false"', 'uiAccess="true"'),
             'does not ask for requireAdministrator with uiAccess="false"'),
            (changed('<trustInfo xmlns="%s">' % asm_v3, "<trustInfo>"),
             "<trustInfo> in the asm.v1 namespace"),
            (changed('<application xmlns="%s">' % asm_v3, "<application>"),
             "<application> in the asm.v1 namespace"),
            (changed('<trustInfo xmlns="%s">' % asm_v3,
                     '<trustInfo xmlns="%s" xmlns:v3="%s">' % (asm_v3, asm_v3)),
             "<trustInfo> declares 2 namespaces"),
            (changed('<assembly xmlns="urn:schemas-microsoft-com:asm.v1" ',
                     '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" xmlns:v3="%s" ' % asm_v3),
             "<assembly> declares 2 namespaces"),
            (changed('<application xmlns="%s">' % asm_v3,
                     '<v3:application xmlns:v3="%s">' % asm_v3).replace(
                         b"</windowsSettings>\n  </application>",
                         b"</windowsSettings>\n  </v3:application>"),
             "namespace %s declared with 2 prefixes" % asm_v3),
            (changed(">true</dpiAware>", ">false</dpiAware>"),
             "does not declare dpiAware true"),
        ]
        for manifest, reason in cases:
            problems = "\n".join(check_executables.manifest_problems(manifest))
            self.assertIn(reason, problems, manifest.decode())


if __name__ == "__main__":
    unittest.main()
