#!/usr/bin/env python3
"""Runs the built DriverRemoval.exe in a throwaway Wine Windows that has the
obsolete driver installed, both in system.ini and as an active service.

With a display the real message boxes appear for you to answer. Without
one every box is answered Yes (or OK) and printed; with --pictures DIR the
boxes are also drawn on a virtual display (Xvfb) and saved as PNG pictures.
Either way the "386Enh" section and the two "Start" values are shown before
and after.
"""
import argparse
import glob
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_prefix import SERVICES, WinePrefix, read_box_log  # noqa: E402

SYSTEM_INI = ("[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\ndevice=*vmm\r\n"
              "device=c:\\progra~1\\velost~1\\zrq\\kvtncdrv.386\r\nwoafont=dosapp.fon\r\n"
              "[drivers]\r\nwave=mmdrv.dll\r\n")


def show_state(prefix, title):
    print("--- %s" % title)
    with open(os.path.join(prefix.windows_dir, "system.ini"), "rb") as f:
        lines = f.read().decode("latin-1").splitlines()
    start = lines.index("[386Enh]")
    section = [lines[start]]
    for line in lines[start + 1:]:
        if line.startswith("["):
            break
        section.append(line)
    print("system.ini:\n    " + "\n    ".join(section))
    for service in ("kvtncdrv", "Serial"):
        value = prefix.query_value("%s\\%s" % (SERVICES, service), "Start")
        print("%s Start: %s" % (service, " ".join(value) if value else "(no such key)"))
    backups = sorted(n for n in os.listdir(prefix.windows_dir) if n.lower().startswith("system.0"))
    print("backups: %s" % (", ".join(backups) or "none"))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", default="build")
    parser.add_argument("--arch", default="x64", choices=("x64", "x86"))
    parser.add_argument("--windows", default="win7", help="win7 (NT family) or win98 (9x family)")
    parser.add_argument("--without-serial", action="store_true",
                        help="leave the Serial service out (the run then warns about it)")
    parser.add_argument("--pictures", metavar="DIR", help="save a PNG picture of each box in DIR")
    args = parser.parse_args()

    xvfb = None
    if args.pictures:
        missing = [tool for tool in ("Xvfb", "convert") if shutil.which(tool) is None]
        if missing:
            print("--pictures needs %s: apt-get install -y xvfb imagemagick" % " and ".join(missing))
            return 1
        os.makedirs(args.pictures, exist_ok=True)
        os.environ["DISPLAY"] = ":87"
        xvfb = subprocess.Popen(["Xvfb", ":87", "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
    try:
        return run(args)
    finally:
        if xvfb is not None:
            xvfb.terminate()
            xvfb.wait()


def run(args):
    interactive = bool(os.environ.get("DISPLAY")) and not args.pictures
    build = os.path.abspath(args.build_dir)
    prefix = WinePrefix(os.path.join(build, "demo-prefix"),
                        headless=not interactive and not args.pictures)
    print("Creating a throwaway Wine Windows in %s ..." % prefix.path)
    prefix.create()
    try:
        with open(os.path.join(prefix.windows_dir, "system.ini"), "wb") as f:
            f.write(SYSTEM_INI.encode("latin-1"))
        services = '[%s\\kvtncdrv]\n"Start"=dword:00000002\n' % SERVICES
        if not args.without_serial:
            services += '[%s\\Serial]\n"Start"=dword:00000003\n' % SERVICES
        prefix.import_reg(services)
        prefix.set_windows_version("DriverRemoval.exe", args.windows)
        shutil.copy(os.path.join(build, "windows-" + args.arch, "DriverRemoval.exe"), prefix.drive_c)
        show_state(prefix, "before")

        if interactive:
            print("--- running DriverRemoval.exe: answer its boxes on your display")
            prefix.wine("C:\\DriverRemoval.exe", check=False)
        else:
            print("--- running DriverRemoval.exe (no display: every box answered Yes or OK)")
            shutil.copy(os.path.join(build, "windows-x64-tests", "box_answerer.exe"), prefix.drive_c)
            shots = ["--shots", "C:\\shots"] if args.pictures else []
            if args.pictures:
                os.makedirs(os.path.join(prefix.drive_c, "shots"), exist_ok=True)
            prefix.wine("C:\\box_answerer.exe", *shots, "C:\\boxes.log", "C:\\DriverRemoval.exe",
                        "yes", check=False)
            for bmp in sorted(glob.glob(os.path.join(prefix.drive_c, "shots", "*.bmp"))):
                png = os.path.join(args.pictures, os.path.basename(bmp)[:-4] + ".png")
                subprocess.run(["convert", bmp, png], check=True)
                print("picture: %s" % png)
            boxes, exit_status, unknown = read_box_log(os.path.join(prefix.drive_c, "boxes.log"))
            for box in boxes:
                print("[%s] (%s, %s)\n    %s" % (box["caption"], box["buttons"], box["icon"],
                                                 box["text"].replace("\n", "\n    ")))
            for line in unknown:
                print(line)
            print("exit status: %s" % exit_status)
        show_state(prefix, "after")
    finally:
        prefix.destroy()
    return 0


if __name__ == "__main__":
    sys.exit(main())
