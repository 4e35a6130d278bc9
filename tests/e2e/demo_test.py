#!/usr/bin/env python3
"""The demo honours every option with a display as without one: --answer
and --read-only-service reach box_answerer.exe either way, and only a
display without --answer leaves the boxes to a person. It prints each box's
icon by name, every backup in the count, and the whole system.ini when it
has more than one [386Enh]."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import demo  # noqa: E402


class DemoOptionsTest(unittest.TestCase):
    def test_each_option_with_a_display_and_without(self):
        deny = ["--deny-write", demo.DRIVER_KEY]
        cases = [
            # (options, display, by hand, headless, box_answerer options, answers)
            ([], None, False, True, [], ["yes"]),
            ([], ":0", True, False, ["--by-hand"], []),
            (["--answer", "no"], None, False, True, [], ["no"]),
            (["--answer", "no"], ":0", False, False, [], ["no"]),
            (["--read-only-service"], None, False, True, deny, ["yes"]),
            (["--read-only-service"], ":0", True, False, deny + ["--by-hand"], []),
            (["--read-only-service", "--answer", "yes"], ":0", False, False, deny, ["yes"]),
            (["--pictures", "shots", "--answer", "no"], ":87", False, False,
             ["--shots", "C:\\shots"], ["no"]),
        ]
        for options, display, by_hand, headless, answerer_options, answers in cases:
            how = demo.plan(demo.parse_args(options), display)
            self.assertEqual({"by_hand": by_hand, "headless": headless,
                              "options": answerer_options, "answers": answers}, how,
                             (options, display))


    def test_what_it_prints(self):
        box = {"caption": "DriverRemoval", "buttons": "yes,no", "icon": "question",
               "text": "line one\nline two"}
        self.assertEqual('box "DriverRemoval", buttons: Yes No, icon: question\n'
                         "    line one\n    line two", demo.box_shown(box))
        box.update(buttons="ok", icon="error")
        self.assertEqual('box "DriverRemoval", buttons: OK, icon: error\n'
                         "    line one\n    line two", demo.box_shown(box))
        names = ["system.ini", "win.ini"] + ["system.%03d" % n for n in range(999)]
        self.assertEqual("system.000, ... (999 in all), system.998", demo.backups_shown(names))
        self.assertEqual("system.000", demo.backups_shown(["system.000", "system.1000"]))
        one = ["[boot]", "a=1", "[386Enh]", "device=x.386", "[drivers]"]
        self.assertEqual(["[386Enh]", "device=x.386"], demo.ini_shown(one))
        two = one + ["[386ENH]", "device=y.386"]
        self.assertEqual(two, demo.ini_shown(two))


if __name__ == "__main__":
    unittest.main()
