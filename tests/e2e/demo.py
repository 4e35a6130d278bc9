#!/usr/bin/env python3
"""Runs the built DriverRemoval.exe in a throwaway Wine Windows that has the
obsolete driver installed, both in system.ini and as an active service.

With a display (DISPLAY set) the real message boxes appear on it. Without
--answer you answer them yourself; with --answer, box_answerer.exe answers
the question so and every other box OK, and the boxes still appear. Without
a display box_answerer.exe answers them (the question Yes unless --answer
says no). With --pictures DIR the boxes are drawn on a virtual display
(Xvfb), with their frame and caption, and each is saved as a PNG picture
before it is answered. Every box is printed as it appears, with the icon it
shows (question, warning, error or none, as box_answerer.exe's hook in the
program reads it from the box). The "386Enh" section (the whole system.ini
when it has more than one), the two "Start" values (NT family only: the 9x
family never touches them) and the backups are shown before and after.
Every option works the same with a display and without one. Wine's log goes
to BUILD_DIR/demo-prefix.log.

Options that set up a failure, to see its box: --without-serial,
--backups-taken, --second-386enh, --read-only-service.
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_prefix import SERVICES, WinePrefix, read_box_log, why_no_32bit  # noqa: E402

SYSTEM_INI = ("[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\ndevice=*vmm\r\n"
              "device=c:\\progra~1\\velost~1\\zrq\\kvtncdrv.386\r\nwoafont=dosapp.fon\r\n"
              "[drivers]\r\nwave=mmdrv.dll\r\n")
SECOND_386ENH = "[386Enh]\r\ndevice=vshare.386\r\n"
VERSIONS = ("win95", "win98", "winme", "nt40", "win2k", "winxp", "win7", "win10")
NINE_X = ("win95", "win98", "winme")
DRIVER_KEY = "System\\CurrentControlSet\\Services\\kvtncdrv"

# Wine draws the frame and caption itself instead of leaving them to a
# window manager, which the virtual display does not have.
FRAMED_WINDOWS = ('[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n'
                  '"Decorated"="Y"\n')


def ini_shown(lines):
    """The lines of system.ini to show: its [386Enh] section, or the whole
    file when it has more than one (or none)."""
    headers = [i for i, line in enumerate(lines) if line.strip().lower() == "[386enh]"]
    if len(headers) != 1:
        return lines
    end = next((i for i in range(headers[0] + 1, len(lines)) if lines[i].startswith("[")),
               len(lines))
    return lines[headers[0]:end]


def backups_shown(names):
    """The backups system.NNN among `names`, the first and last of a long
    list with the count of all between them."""
    backups = sorted(n for n in names if re.fullmatch(r"system\.[0-9]{3}", n, re.IGNORECASE))
    if len(backups) > 3:
        backups = backups[:1] + ["... (%d in all)" % len(backups)] + backups[-1:]
    return ", ".join(backups) or "none"


# The buttons as Windows labels them.
BUTTON_LABELS = {"ok": "OK", "yes": "Yes", "no": "No", "cancel": "Cancel"}


def box_shown(box):
    return "box \"%s\", buttons: %s, icon: %s\n    %s" % (
        box["caption"], " ".join(BUTTON_LABELS.get(b, b) for b in box["buttons"].split(",")),
        box["icon"], box["text"].replace("\n", "\n    "))


# What a service's Start value means (the services key's documentation); a
# change takes effect at the next restart.
START_MEANINGS = {0: "boot start", 1: "system start", 2: "automatic start: loads at startup",
                  3: "demand start: does not load at startup",
                  4: "disabled: does not load at all"}


def start_shown(value):
    """`reg query`'s type and data, with what a DWORD Start means."""
    if value is None:
        return "(no such key)"
    kind, data = value
    meaning = START_MEANINGS.get(int(data, 16)) if kind == "REG_DWORD" else None
    return "%s %s%s" % (kind, data, " (%s)" % meaning if meaning else "")


def show_state(prefix, title, nine_x):
    print("--- %s" % title)
    with open(os.path.join(prefix.windows_dir, "system.ini"), "rb") as f:
        lines = f.read().decode("latin-1").splitlines()
    shown = ini_shown(lines)
    print("system.ini%s:\n    %s" % ("" if shown is not lines else " (whole)",
                                      "\n    ".join(shown)))
    if nine_x:
        print("registry: not used on the 9x family")
    else:
        for service in ("kvtncdrv", "Serial"):
            value = prefix.query_value("%s\\%s" % (SERVICES, service), "Start")
            print("%s Start: %s" % (service, start_shown(value)))
    print("backups: %s" % backups_shown(os.listdir(prefix.windows_dir)))


def follow_boxes(log, running):
    """Prints each box of box_answerer.exe's log as it is written, until
    `running` is cleared and the log is read to its end; returns the boxes,
    the exit status and the lines not understood."""
    printed = 0
    while True:
        done = not running.is_set()
        lines = []
        if os.path.exists(log):
            with open(log, "rb") as f:
                text = f.read().decode("latin-1")
            lines = text.split("\n")[:-1]  # complete lines only
        boxes, exit_status, unknown = read_box_log(log, lines)
        for box in boxes[printed:]:
            print(box_shown(box))
            sys.stdout.flush()
        printed = len(boxes)
        if done:
            return boxes, exit_status, unknown
        time.sleep(0.2)


def parse_args(argv=None):
    parser = argparse.ArgumentParser(prog="scripts/demo.sh", description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default="build",
                        help="where the executables were built and where the throwaway Wine "
                        "Windows and its log go (default build)")
    parser.add_argument("--arch", choices=("x64", "x86"),
                        help="run the 32-bit executable, the one handed out (default where this "
                        "machine runs 32-bit programs), or the 64-bit one (default elsewhere)")
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


def resolve_arch(args):
    """The architecture to run: the one asked for, else the 32-bit program
    that is handed out, where this machine runs 32-bit programs. Says why
    when it falls back to the 64-bit one; None when the one asked for
    cannot run here."""
    if args.arch is None:
        if not why_no_32bit():
            return "x86"
        print("demo: %s, so the demo runs the 64-bit executable instead of the 32-bit one "
              "that is handed out" % why_no_32bit(), file=sys.stderr)
        return "x64"
    if args.arch == "x86" and why_no_32bit():
        print("demo: %s, so Wine cannot run the 32-bit executable here (use --arch x64)"
              % why_no_32bit(), file=sys.stderr)
        return None
    return args.arch


def main():
    args = parse_args()
    args.arch = resolve_arch(args)
    if args.arch is None:
        return 1
    if args.preflight:
        # scripts/demo.sh builds the tools for this architecture.
        print(args.arch)
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
        nine_x = args.windows in NINE_X
        show_state(prefix, "before", nine_x)

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
        # The answerer and its hook, built for the program's architecture.
        for tool in ("box_answerer.exe", "box_hook.dll"):
            shutil.copy(os.path.join(build, "windows-%s-tests" % args.arch, tool), prefix.drive_c)
        if args.pictures:
            os.makedirs(os.path.join(prefix.drive_c, "shots"), exist_ok=True)
        log = os.path.join(prefix.drive_c, "boxes.log")
        running = threading.Event()
        running.set()

        def answer():
            try:
                prefix.wine("C:\\box_answerer.exe", *how["options"], "C:\\boxes.log",
                            "C:\\DriverRemoval.exe", *how["answers"], check=False)
            finally:
                running.clear()

        answerer = threading.Thread(target=answer)
        answerer.start()
        boxes, exit_status, unknown = follow_boxes(log, running)
        answerer.join()
        for bmp in sorted(glob.glob(os.path.join(prefix.drive_c, "shots", "*.bmp"))):
            png = os.path.join(args.pictures, os.path.basename(bmp)[:-4] + ".png")
            subprocess.run(["convert", bmp, png], check=True)
            print("picture: %s" % png)
        for line in unknown:
            print(line)
        if exit_status is None:
            print("DriverRemoval.exe did not run; see %s" % prefix.log)
            return 1
        print("exit status: %s" % exit_status)
        show_state(prefix, "after", nine_x)
    finally:
        prefix.destroy()
    return 0


if __name__ == "__main__":
    sys.exit(main())
