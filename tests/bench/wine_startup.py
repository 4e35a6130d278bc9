#!/usr/bin/env python3
"""Times a nothing-to-do run of DriverRemoval.exe under Wine against a
minimal Windows program that only returns, built with the same runtime, run
alternately in the same warm prefix, and prints the medians and their ratio
(target: at most 1.1). A third program, which only opens the driver
service's key as every NT-family run must, shows what loading ADVAPI32
alone costs; a fourth, which makes every read a nothing-to-do run must (the
driver service's key, the profile section, system.ini's bytes) and nothing
else, is the closest yardstick (target: at most 1.05)."""
import argparse
import os
import shutil
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from wine_prefix import WinePrefix  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", default="build")
    parser.add_argument("--runs", type=int, default=31)
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)
    prefix = WinePrefix(os.path.join(build, "bench-prefix"))
    prefix.create()
    try:
        # Nothing to do: no driver service, no reference in system.ini.
        with open(os.path.join(prefix.windows_dir, "system.ini"), "wb") as f:
            f.write(b"[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\ndevice=*vmm\r\n")
        names = ("DriverRemoval.exe", "minimal_program.exe", "registry_probe_program.exe",
                 "mandatory_reads_program.exe")
        for name in names:
            shutil.copy(os.path.join(build, "windows-x64", name), prefix.drive_c)
        times = {name: [] for name in names}
        for run in range(args.runs + 1):
            for name in times:
                started = time.perf_counter()
                prefix.wine("C:\\" + name)
                if run > 0:  # the first round only warms up
                    times[name].append(time.perf_counter() - started)
        ours = statistics.median(times["DriverRemoval.exe"])
        floor = statistics.median(times["minimal_program.exe"])
        probe = statistics.median(times["registry_probe_program.exe"])
        reads = statistics.median(times["mandatory_reads_program.exe"])
        print("nothing-to-do run under Wine, median of %d: DriverRemoval.exe %.1f ms, "
              "minimal program %.1f ms, ratio %.2f (target: at most 1.1)"
              % (args.runs, ours * 1000, floor * 1000, ours / floor))
        print("  a minimal program that only opens the driver service's key: %.1f ms, "
              "ratio %.2f to the minimal program; DriverRemoval.exe is %.2f of it"
              % (probe * 1000, probe / floor, ours / probe))
        print("  a minimal program that makes only the mandatory reads (driver key, profile "
              "section, system.ini's bytes): %.1f ms; DriverRemoval.exe is %.2f of it "
              "(target: at most 1.05)" % (reads * 1000, ours / reads))
    finally:
        prefix.destroy()


if __name__ == "__main__":
    main()
