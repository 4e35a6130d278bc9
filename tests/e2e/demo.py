#!/usr/bin/env python3
"""Runs the built DriverRemoval.exe in a throwaway Wine Windows that has the
obsolete driver installed, both in system.ini and as an active service.

With a display (DISPLAY set) the real message boxes appear on it. Without
--answer you answer them yourself; with --answer, box_answerer.exe answers
the question so and every other box OK, and the boxes still appear. Without
a display box_answerer.exe answers them (the question Yes unless --answer
says no). With --pictures DIR the boxes are drawn on a virtual display
(Xvfb), with their frame and caption, and each is saved as a PNG picture
before it is answered. Every box is printed, and the "386Enh" section, the
two "Start" values and the backups are shown before and after. Every option
works the same with a display and without one. Wine's log goes to
BUILD_DIR/demo-prefix.log.

Options that set up a failure, to see its box: --without-serial,
--backups-taken, --second-386enh, --read-only-service.
"""
import argparse
import glob
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_prefix import SERVICES, WinePrefix, read_box_log, why_no_32bit  # noqa: E402

SYSTEM_INI = ("[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\ndevice=*vmm\r\n"
              "device=c:\\progra~1\\velost~1\\zrq\\kvtncdrv.386\r\nwoafont=dosapp.fon\r\n"
              "[drivers]\r\nwave=mmdrv.dll\r\n")
SECOND_386ENH = "[386Enh]\r\ndevice=vshare.386\r\n"
VERSIONS = ("win95", "win98", "winme", "nt40", "win2k", "winxp", "win7", "win10")
DRIVER_KEY = "System\\CurrentControlSet\\Services\\kvtncdrv"

# Wine draws the frame and caption itself instead of leaving them to a
# window manager, which the virtual display does not have.
FRAMED_WINDOWS = ('[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n'
                  '"Decorated"="Y"\n')


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
    if len(backups) > 3:
        backups = backups[:1] + ["... (%d in all)" % len(backups)] + backups[-1:]
    print("backups: %s" % (", ".join(backups) or "none"))


def parse_args(argv=None):
    parser = argparse.ArgumentParser(prog="scripts/demo.sh", description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default="build",
                        help="where the executables were built and where the throwaway Wine "
                        "Windows and its log go (default build)")
    parser.add_argument("--arch", default="x64", choices=("x64", "x86"))
    parser.add_argument("--windows", default="win7", choices=VERSIONS,
                        help="the Windows the program is told it runs on (default win7, NT "
                        "family; win95, win98 and winme are the 9x family)")
    parser.add_argument("--answer", choices=("yes", "no"),
                        help="answer the question so, and every other box OK (default: you "
                        "answer them on the display; Yes without a display)")
    parser.add_argument("--without-serial", action="store_true",
                        help="leave the Serial service out (the run then warns about it)")
    parser.add_argument("--backups-taken", action="store_true",
                        help="system.000 to system.998 exist already (the backup fails)")
    parser.add_argument("--second-386enh", action="store_true",
                        help="a second [386Enh] section without the driver, which Wine's "
                        "section write empties (the write is undone)")
    parser.add_argument("--read-only-service", action="store_true",
                        help="the driver service's key may only be read (access denied)")
    parser.add_argument("--pictures", metavar="DIR", help="save a PNG picture of each box in DIR")
    # Used by scripts/demo.sh before it builds anything.
    parser.add_argument("--preflight", action="store_true", help=argparse.SUPPRESS)
    return parser.parse_args(argv)


def main():
    args = parse_args()
    if args.arch == "x86" and why_no_32bit():
        print("demo: %s, so Wine cannot run the 32-bit executable here (use --arch x64)"
              % why_no_32bit())
        return 1
    if args.preflight:
        return 0

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


def plan(args, display):
    """How the program is run, from the options and whether there is a
    display: "by_hand" when a person answers the boxes on the display,
    "headless" when Wine draws no windows, and box_answerer.exe's options
    and answers."""
    by_hand = bool(display) and args.answer is None and not args.pictures
    options = ["--shots", "C:\\shots"] if args.pictures else []
    if args.read_only_service:
        options += ["--deny-write", DRIVER_KEY]
    if by_hand:
        options.append("--by-hand")
    return {"by_hand": by_hand, "headless": not display and not args.pictures,
            "options": options, "answers": [] if by_hand else [args.answer or "yes"]}


def run(args):
    how = plan(args, os.environ.get("DISPLAY"))
    build = os.path.abspath(args.build_dir)
    prefix = WinePrefix(os.path.join(build, "demo-prefix"), headless=how["headless"])
    print("Creating a throwaway Wine Windows in %s ..." % prefix.path)
    prefix.create()
    try:
        ini = SYSTEM_INI + (SECOND_386ENH if args.second_386enh else "")
        with open(os.path.join(prefix.windows_dir, "system.ini"), "wb") as f:
            f.write(ini.encode("latin-1"))
        if args.backups_taken:
            for n in range(999):
                with open(os.path.join(prefix.windows_dir, "system.%03d" % n), "wb") as f:
                    f.write(b"an earlier backup\r\n")
        services = '[%s\\kvtncdrv]\n"Start"=dword:00000002\n' % SERVICES
        if not args.without_serial:
            services += '[%s\\Serial]\n"Start"=dword:00000003\n' % SERVICES
        if args.pictures:
            services += FRAMED_WINDOWS
        prefix.import_reg(services)
        prefix.set_windows_version("DriverRemoval.exe", args.windows)
        shutil.copy(os.path.join(build, "windows-" + args.arch, "DriverRemoval.exe"), prefix.drive_c)
        show_state(prefix, "before")

        exe = os.path.join(args.build_dir, "windows-" + args.arch, "DriverRemoval.exe")
        print("--- running %s (%s) in Wine told it is %s" % (
            exe, "32-bit" if args.arch == "x86" else "64-bit", args.windows))
        if how["by_hand"]:
            print("    answer its boxes on your display")
        else:
            where = ("on a virtual display, saving a picture of each box" if args.pictures
                     else "on your display" if not how["headless"] else "without a display")
            print("    %s: box_answerer.exe answers the question %s and every other box OK"
                  % (where, how["answers"][0].capitalize()))
        shutil.copy(os.path.join(build, "windows-x64-tests", "box_answerer.exe"), prefix.drive_c)
        if args.pictures:
            os.makedirs(os.path.join(prefix.drive_c, "shots"), exist_ok=True)
        prefix.wine("C:\\box_answerer.exe", *how["options"], "C:\\boxes.log",
                    "C:\\DriverRemoval.exe", *how["answers"], check=False)
        for bmp in sorted(glob.glob(os.path.join(prefix.drive_c, "shots", "*.bmp"))):
            png = os.path.join(args.pictures, os.path.basename(bmp)[:-4] + ".png")
            subprocess.run(["convert", bmp, png], check=True)
            print("picture: %s" % png)
        log = os.path.join(prefix.drive_c, "boxes.log")
        boxes, exit_status, unknown = read_box_log(log) if os.path.exists(log) else ([], None, [])
        for box in boxes:
            print("box \"%s\", buttons: %s, %s\n    %s" % (
                box["caption"], " ".join(b.capitalize() for b in box["buttons"].split(",")),
                "icon shown" if box["icon"] == "icon" else "no icon",
                box["text"].replace("\n", "\n    ")))
        for line in unknown:
            print(line)
        if exit_status is None:
            print("DriverRemoval.exe did not run; see %s" % prefix.log)
            return 1
        print("exit status: %s" % exit_status)
        show_state(prefix, "after")
    finally:
        prefix.destroy()
    return 0


if __name__ == "__main__":
    sys.exit(main())
