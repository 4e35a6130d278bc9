#pragma once
// Shared set-up for tests that drive code against the simulated Windows.

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "section/device_section.h"
#include "section/profile_file.h"
#include "services/service_start.h"
#include "tests/support/simulated_windows.h"

// A system.ini with a [boot] section before and an [Other] section after the
// given "386Enh" lines (each line without its line break).
inline std::string SystemIniWith(const std::vector<std::string>& enh_lines) {
  std::string ini = "[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\n";
  for (const auto& line : enh_lines) ini += line + "\r\n";
  return ini + "[Other]\r\nx=1\r\n";
}

// The driver service at automatic start (active) and Serial at demand start,
// as a PC with the obsolete driver installed has them.
inline void ActiveDriverService(SimulatedWindows& sim) {
  sim.SetDword(kDriverServiceKey, "Start", kStartAutomatic);
  sim.SetDword(kSerialServiceKey, "Start", kStartDemand);
}

// A registry DWORD value below HKEY_LOCAL_MACHINE; 0 when absent.
inline DWORD StartOf(const SimulatedWindows& sim, const std::string& subkey) {
  DWORD value = 0;
  const auto key = sim.registry.find(subkey);
  if (key == sim.registry.end()) return value;
  const auto start = key->second.find("Start");
  if (start != key->second.end() && start->second.bytes.size() == sizeof value) {
    std::memcpy(&value, start->second.bytes.data(), sizeof value);
  }
  return value;
}

// A box as a test expects it: text and style (the caption is checked apart).
struct Box {
  std::string text;
  UINT style;
  bool operator==(const Box& other) const { return text == other.text && style == other.style; }
};

inline std::vector<Box> BoxesShown(const SimulatedWindows& sim) {
  std::vector<Box> boxes;
  for (const auto& box : sim.boxes) boxes.push_back(Box{box.text, box.style});
  return boxes;
}

inline std::ostream& operator<<(std::ostream& out, const Box& box) {
  return out << "{\"" << box.text << "\", 0x" << std::hex << box.style << std::dec << "}";
}

// The run's own boxes.
const Box kQuestion{
    "An obsolete serial driver has been detected.\nIt MUST be disabled before running ZRQ.\n"
    "Disable now?",
    MB_YESNO | MB_ICONQUESTION};
const Box kReminder{
    "Reminder: the KESTRIX/NT serial device driver must be disabled from running at startup,\n"
    "otherwise ZRQ may not be able to open the serial port.",
    MB_OK};
const Box kSuccess{"Obsolete serial port driver successfully disabled!", MB_OK};
inline Box BackedUpTo(const std::string& name) {
  return Box{"System file has been backed up to " + name, MB_OK};
}
// The boxes of a check of system.ini's bytes, as the 9x family shows them.
const Box kReadMissed{
    "Error reading system.ini.\nError code: 13\nIts [386Enh] section holds a driver entry that "
    "Windows did not read: another program may have just changed the file, or the [386Enh] "
    "header line holds a second \"]\".\nRun this program again; if this box comes back, remove "
    "the entry with a text editor.",
    MB_ICONERROR};
const Box kSecondSection{
    "system.ini has a second [386Enh] section that names the driver.\n"
    "Remove that entry by hand and run this program again.",
    MB_ICONERROR};
// `parts` quoted and joined, as "\"a=1\" and \"device=kvtncdrv.386\"".
inline Box TwoReadings(const std::string& parts) {
  return Box{"system.ini has a line break in [386Enh] that Windows may read two ways: " + parts +
                 " may be read as one line.\nWith a text editor, put them on lines of their own "
                 "(delete none of them), then run this program again.",
             MB_ICONERROR};
}
// A box about system.ini as the NT family shows it.
inline Box OnNt(Box box) {
  box.text += std::string("\n") + kNtIgnoresSystemIni;
  return box;
}

// True when any reading of the bytes shows a driver entry in any [386Enh].
inline bool NamesTheDriver(const std::string& bytes) {
  for (const LineBreaks breaks : kEveryReading) {
    const std::vector<IniSection> sections = ParseIniFile(bytes, breaks);
    for (int i = FindIniSection(sections, "386Enh"); i >= 0;
         i = FindIniSection(sections, "386Enh", i + 1)) {
      for (const auto& line : sections[i].lines) {
        if (!IsIniComment(line) && IsDriverEntry(line)) return true;
      }
    }
  }
  return false;
}

// The rules a run keeps under every variant of what Windows leaves
// undocumented; `sim` has run with take_snapshots set, `at_start` is a copy
// made before the run, and `also_original` holds what another program
// wrote meanwhile. Ends the process (the 9x cache reaches the disk, or not,
// as the variant says). Returns the first rule broken, or "".
// - "system.ini was not changed." only of a file the platform cannot
//   still change: nothing of it in the 9x cache. "restored" without "may
//   still write" only of a file that is the original once the process
//   has ended.
// - At every moment a power cut could pick, the disk holds the original
//   bytes, as system.ini or as a backup.
// - No silent end while any reading shows a driver entry in a [386Enh].
// - Success only with the services set, where the driver service was
//   active, and, after no error box, with no driver entry left.
// - No "backed up" box, and no backup left, by a run that never changed
//   system.ini, unless a box said that Windows may still write the change.
// - No file that existed before the run, other than system.ini, is deleted
//   or has its bytes or attributes changed.
inline std::string BrokenRunRule(const SimulatedWindows& at_start, SimulatedWindows& sim,
                                 const std::vector<std::string>& also_original = {}) {
  const std::string ini = sim.WindowsPath("system.ini");
  // A power cut while the 9x cache writes out another program's write
  // would cut that program's bytes whoever set off the flush: that is
  // Windows' risk, not the run's.
  std::vector<std::string> others = also_original;
  const auto cached = at_start.profile_cache.find(ini);
  if (cached != at_start.profile_cache.end()) others.push_back(cached->second);
  std::vector<std::string> originals = others;
  for (const std::string& other : others) originals.push_back(other.substr(0, other.size() / 2));
  const std::string start =
      cached != at_start.profile_cache.end() ? cached->second : at_start.WindowsFile("system.ini");
  originals.push_back(at_start.WindowsFile("system.ini"));
  const auto is_original = [&](const std::string& bytes) {
    return std::find(originals.begin(), originals.end(), bytes) != originals.end();
  };
  bool error_box = false;
  bool backed_up = false;
  bool may_still_write = false;
  bool restored = false;
  for (const auto& box : sim.boxes) {
    error_box = error_box || box.style == MB_ICONERROR;
    backed_up = backed_up || box.text.rfind("System file has been backed up to ", 0) == 0;
    const bool may_still = box.text.find("may still write") != std::string::npos;
    may_still_write = may_still_write || may_still;
    restored =
        restored || (!may_still && box.text.find("has been restored from") != std::string::npos);
    if (box.text.find("system.ini was not changed.") != std::string::npos &&
        sim.profile_cache.count(ini) != 0) {
      return "\"not changed\" while the cache still holds a write";
    }
  }
  sim.EndProcess();
  sim.snapshots.push_back(sim.files);
  bool changed = false;
  for (const auto& snapshot : sim.snapshots) {
    const auto it = snapshot.find(ini);
    const bool ini_held = is_original(it == snapshot.end() ? std::string() : it->second);
    changed = changed || !ini_held;
    bool held = ini_held;
    // A backup of this run's, or an earlier one it took as its own.
    for (const auto& [path, bytes] : snapshot) held = held || (path != ini && is_original(bytes));
    if (!held) return "a moment when no file holds the original";
  }
  if (restored && sim.WindowsFile("system.ini") != at_start.WindowsFile("system.ini") &&
      std::find(others.begin(), others.end(), sim.WindowsFile("system.ini")) == others.end()) {
    return "\"restored\", and then changed";
  }
  if (backed_up && !changed) return "\"backed up\" by a run that changed nothing";
  if (sim.boxes.empty() && NamesTheDriver(start)) return "silent, with a driver entry";
  const bool succeeded =
      !sim.boxes.empty() &&
      sim.boxes.back().text == "Obsolete serial port driver successfully disabled!";
  const DWORD driver_start = StartOf(at_start, kDriverServiceKey);
  const bool service_active = at_start.platform_id == VER_PLATFORM_WIN32_NT &&
                              at_start.registry.count(kDriverServiceKey) != 0 &&
                              driver_start != kStartDemand && driver_start != kStartDisabled;
  const bool serial_unconfirmed =
      std::any_of(sim.boxes.begin(), sim.boxes.end(), [](const ShownBox& box) {
        return box.text == "Unable to confirm whether serial port driver is running.";
      });
  if (succeeded && service_active &&
      (StartOf(sim, kDriverServiceKey) != kStartDemand ||
       (!serial_unconfirmed && StartOf(sim, kSerialServiceKey) != kStartAutomatic))) {
    return "success with the services not set";
  }
  if (succeeded && !error_box && NamesTheDriver(sim.WindowsFile("system.ini"))) {
    return "success with a driver entry left";
  }
  if (!changed && !may_still_write) {
    for (const auto& [path, bytes] : sim.files) {
      if (at_start.files.count(path) == 0) return "a backup left by a run that changed nothing";
    }
  }
  const auto attributes = [](const SimulatedWindows& s, const std::string& path) {
    const auto it = s.attributes.find(path);
    return it == s.attributes.end() ? DWORD{0} : it->second;
  };
  for (const auto& [path, bytes] : at_start.files) {
    const auto now = sim.files.find(path);
    if (path != ini && (now == sim.files.end() || now->second != bytes ||
                        attributes(sim, path) != attributes(at_start, path))) {
      return "an earlier file deleted or changed: " + path;
    }
  }
  return "";
}