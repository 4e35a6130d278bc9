"""A throwaway Wine Windows for running the built executables headless.

Only the 64-bit Wine loader is used unless the machine can also run 32-bit
programs: `why_no_32bit()` says why not, or None when it can.
"""
import errno
import os
import re
import shutil
import subprocess
import time

WINE64 = "/usr/lib/wine/wine64"
WINE32 = "/usr/lib/wine/wine"

SERVICES = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services"


_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\"}


def read_box_log(path, lines=None):
    """Reads box_answerer.exe's log (or the given lines of it): returns
    (boxes, exit status or None, lines it did not understand). Each box is a
    dict of caption, buttons, icon and text."""
    boxes, exit_status, other = [], None, []
    if lines is None:
        with open(path, "rb") as f:
            lines = f.read().decode("latin-1").splitlines()
    for line in lines:
        fields = line.split("\t")
        if fields[0] == "box" and len(fields) == 5:
            text = re.sub(r"\\(.)", lambda m: _ESCAPES.get(m.group(1), m.group(0)), fields[4])
            boxes.append({"caption": fields[1], "buttons": fields[2], "icon": fields[3],
                          "text": text})
        elif fields[0] == "exit" and len(fields) == 2:
            exit_status = int(fields[1])
        else:
            other.append(line)
    return boxes, exit_status, other


_no_32bit_reason = []


def why_no_32bit():
    """None when the 32-bit Wine loader runs here; otherwise why not, in a
    few words. Tried once."""
    if not _no_32bit_reason:
        reason = None
        if not os.path.exists(WINE32):
            reason = "32-bit Wine (wine32:i386) is not installed"
        else:
            try:
                if subprocess.run([WINE32, "--version"], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode != 0:
                    reason = "the 32-bit Wine loader does not start"
            except OSError as error:
                reason = ("this kernel runs no 32-bit programs" if error.errno == errno.ENOEXEC
                          else "the 32-bit Wine loader does not start: %s" % error.strerror)
        _no_32bit_reason.append(reason)
    return _no_32bit_reason[0]



# Wine draws the buttons of a title bar with its Marlett font, which Debian's
# fonts-wine installs where this Wine does not look for fonts: without it
# each button shows a plain letter ("r" for the close button). A prefix that
# draws windows gets a copy.
MARLETT = "/usr/share/wine/fonts/marlett.ttf"


class WinePrefix:
    def __init__(self, path, headless=True):
        self.path = path
        self.headless = headless
        # Wine's server keeps its socket in a folder it makes below TMPDIR
        # and leaves behind: one beside the prefix, removed with it. A
        # program that crashes ends at once instead of waiting in Wine's
        # debugger (winedbg.exe is disabled).
        self.tmp = path + "-tmp"
        self.env = dict(os.environ, WINEPREFIX=path, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe=", TMPDIR=self.tmp)
        # Beside the prefix, which is thrown away; never outside the build folder.
        self.log = path + ".log"
        self.retries = 0

    @property
    def windows_dir(self):
        return os.path.join(self.path, "drive_c", "windows")

    @property
    def drive_c(self):
        return os.path.join(self.path, "drive_c")

    def wine(self, *args, check=True, timeout=300, debug=None, output=None):
        """Runs a Windows program; its exit status, or -1 when it ran past
        `timeout` seconds and was stopped. With `debug`, Wine's debug
        channels (WINEDEBUG), and the output goes to the file `output`
        instead of the log."""
        env = self.env if debug is None else dict(self.env, WINEDEBUG=debug)
        # Output goes to a file: Wine's service processes inherit a pipe and
        # would keep its reader waiting.
        with open(output or self.log, "wb" if output else "ab") as out:
            try:
                returncode = subprocess.run([WINE64] + list(args), env=env, stdout=out,
                                            stderr=out, stdin=subprocess.DEVNULL,
                                            timeout=timeout).returncode
            except subprocess.TimeoutExpired:
                returncode = -1
        if check and returncode != 0:
            raise RuntimeError("wine %s failed with %d (see %s)" % (args, returncode, self.log))
        return returncode

    def note(self, line):
        """Adds a line to the Wine log: a retry the harness made."""
        self.retries += 1
        with open(self.log, "a") as log:
            log.write("harness: %s\n" % line)

    def server(self, *args):
        subprocess.run(["wineserver"] + list(args), env=self.env, check=False)

    def create(self):
        shutil.rmtree(self.path, ignore_errors=True)
        shutil.rmtree(self.tmp, ignore_errors=True)
        os.makedirs(self.tmp)
        open(self.log, "w").close()
        # Set-up, not the program under test: a wineboot that failed (seen
        # once, "could not load kernel32.dll") gets one more try.
        if self.wine("wineboot", "-i", check=False) != 0:
            self.note("wineboot failed")
            shutil.rmtree(self.path, ignore_errors=True)
            self.wine("wineboot", "-i")
        if self.headless:
            self.import_reg('[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\n"Graphics"="null"\n')
        elif os.path.exists(MARLETT):
            fonts = os.path.join(self.windows_dir, "Fonts")
            os.makedirs(fonts, exist_ok=True)
            shutil.copy(MARLETT, fonts)
        # Start again so that every process sees the settings above.
        self.server("-k")
        self.server("-w")
        self.server("-p")

    def destroy(self):
        self.server("-k")
        self.server("-w")
        shutil.rmtree(self.path, ignore_errors=True)
        shutil.rmtree(self.tmp, ignore_errors=True)

    def import_reg(self, body):
        reg = os.path.join(self.drive_c, "settings.reg")
        with open(reg, "w", newline="\r\n") as f:
            f.write("REGEDIT4\n\n" + body + "\n")
        # Under heavy load regedit has failed, without a word, about once in
        # 1,500 imports; this is set-up, not the program under test, so it
        # gets one more try (and the failure is logged).
        for attempt in (1, 2):
            rc = self.wine("regedit", "/s", "C:\\settings.reg", check=False)
            if rc == 0:
                break
            self.note("regedit failed with %d" % rc)
            time.sleep(1)
        os.remove(reg)
        if rc != 0:
            raise RuntimeError("regedit failed twice with %d (see %s)" % (rc, self.log))

    def query_value(self, key, name):
        """Returns (type, data) as `reg query` shows them, or None when absent."""
        out_path = self.log + ".query"
        # Under heavy load a Wine tool has failed, rarely and without a word;
        # a failure that does not say the key or value is absent is asked
        # once more.
        for attempt in (1, 2):
            with open(out_path, "wb") as out:
                rc = subprocess.run([WINE64, "reg", "query", key, "/v", name], env=self.env,
                                    stdout=out, stderr=out, stdin=subprocess.DEVNULL).returncode
            with open(out_path, "rb") as f:
                text = f.read().decode("latin-1")
            if rc == 0 or "Unable to find" in text:
                break
            self.note("reg query %s %s failed with %d: %r" % (key, name, rc, text))
            time.sleep(1)
        os.remove(out_path)
        if rc != 0:
            return None
        for line in text.splitlines():
            parts = line.split()
            if len(parts) >= 3 and parts[0].lower() == name.lower():
                return parts[1], " ".join(parts[2:])
        return None

    @staticmethod
    def windows_version_body(exe_name, version):
        """The registry lines that make Wine tell `exe_name` it runs on `version`."""
        return ('[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s]\n"Version"="%s"\n'
                % (exe_name, version))

    def set_windows_version(self, exe_name, version):
        self.import_reg(self.windows_version_body(exe_name, version))
