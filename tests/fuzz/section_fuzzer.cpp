// Feeds arbitrary bytes as the body of the "386Enh" section through read,
// detect, remove and write (the whole run, answered Yes) against the
// simulated Windows, and checks what matters to users: the written section is
// the original minus exactly the driver entries, in order and letter case; no
// entry is cut or merged; nothing is written and nothing is asked when nothing
// is removed; a rewrite that went wrong leaves system.ini as it was; a read
// refused before the question changes nothing; on NT with an active driver
// service, the service is fixed whatever the section held. Which entries are
// the driver's is judged by a second statement of the rule, written here
// apart from the editor's.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/driver_removal_app.h"
#include "section/device_section.h"
#include "section/section_read_check.h"
#include "services/service_start.h"
#include "tests/test_support.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

const char kBefore[] = "[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\n";
const char kAfter[] = "\r\n[Other]\r\nx=1\r\n";

// The section's entries as the platform lists them; the list is never longer
// than the file.
std::vector<std::string> ListedEntries(SimulatedWindows& sim) {
  const DWORD capacity = static_cast<DWORD>(sim.WindowsFile(kSystemIniName).size()) + 16;
  std::vector<char> buffer(capacity + 1);
  const DWORD count =
      sim.ReadProfileSection(kDeviceSectionName, buffer.data(), capacity, kSystemIniName);
  Check(count + 2 < capacity);
  std::vector<std::string> entries;
  for (DWORD pos = 0; pos < count;) {
    entries.emplace_back(buffer.data() + pos);
    pos += static_cast<DWORD>(entries.back().size()) + 1;
  }
  return entries;
}

// The rule, stated plainly: on a lowercase copy, key "device" and a value
// that, without a comment, blanks, one pair of quotes and trailing dots, is
// the driver's file name (alone, after a slash or backslash, or after a
// drive letter's colon) or the short install directory.
bool NaiveIsDriverEntry(std::string entry) {
  for (char& c : entry) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  const auto strip = [](std::string text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.erase(0, 1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    return text;
  };
  const auto equals = entry.find('=');
  if (equals == std::string::npos || strip(entry.substr(0, equals)) != "device") return false;
  std::string value = entry.substr(equals + 1);
  value = strip(value.substr(0, value.find(';')));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  while (!value.empty() && value.back() == '.') value.pop_back();
  const std::string dir = "c:\\progra~1\\velost~1\\zrq";
  if (value == dir || value == dir + "\\") return true;
  const std::string name = "kvtncdrv.386";
  if (value == name) return true;
  for (const char* before : {"\\", "/"}) {
    const std::string ending = before + name;
    if (value.size() >= ending.size() &&
        value.compare(value.size() - ending.size(), ending.size(), ending) == 0) {
      return true;
    }
  }
  return value.size() == name.size() + 2 && value[0] >= 'a' && value[0] <= 'z' &&
         value.substr(1) == ":" + name;
}

// The non-blank lines of the body as the file's bytes hold them, without
// the blanks around a line and around its first "=": lines end at each of
// `line_ends`, and a NUL inside one is part of it.
std::vector<std::string> LinesInBytes(const std::string& body, const char* line_ends) {
  const auto trim = [](std::string text) {
    const char* blanks = " \t\r\v\f\x1a";
    text.erase(0, text.find_first_not_of(blanks));
    text.erase(text.find_last_not_of(blanks) + 1);
    return text;
  };
  std::vector<std::string> lines;
  for (size_t begin = 0; begin <= body.size();) {
    size_t end = body.find_first_of(line_ends, begin);
    if (end == std::string::npos) end = body.size();
    std::string line = trim(body.substr(begin, end - begin));
    begin = end + 1;
    if (line.empty()) continue;
    const auto equals = line.find('=');
    if (equals != std::string::npos) {
      line = trim(line.substr(0, equals)) + "=" + trim(line.substr(equals + 1));
    }
    lines.push_back(line);
  }
  return lines;
}

// The lines of the body that are driver entries (see LinesInBytes), sorted.
std::vector<std::string> DriverLinesInBytes(const std::string& body, const char* line_ends) {
  std::vector<std::string> lines;
  for (const std::string& line : LinesInBytes(body, line_ends)) {
    const bool entry = line[0] != ';' && line.find('=') != std::string::npos;
    if (entry && NaiveIsDriverEntry(line)) lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The same file on NT with the driver service at automatic start, answered
// Yes: there the service alone loads the driver, so whatever became of the
// section, the run ends with the driver at demand start and Serial at
// automatic start unless a box of the service edit says why not. The
// section's boxes come before any registry write.
void CheckNtRun(const std::string& original) {
  SimulatedWindows sim;
  sim.platform_id = VER_PLATFORM_WIN32_NT;
  sim.PutWindowsFile(kSystemIniName, original);
  ActiveDriverService(sim);
  sim.answers = {IDYES, IDYES};  // a box before the question takes the first
  DisableObsoleteDriver(sim);
  bool service_box = false;
  for (const auto& box : sim.boxes) {
    const bool from_service = box.text.find("HKEY_LOCAL_MACHINE") != std::string::npos ||
                              box.text.find("serial port device driver") != std::string::npos;
    service_box = service_box || from_service;
    if (!from_service && box.text != "Obsolete serial port driver successfully disabled!") {
      Check(box.registry_sets == 0);
    }
  }
  if (service_box) return;
  Check(StartOf(sim, kDriverServiceKey) == kStartDemand);
  Check(StartOf(sim, kSerialServiceKey) == kStartAutomatic);
  Check(sim.boxes.back().text == "Obsolete serial port driver successfully disabled!");
}

// True when the body's first section, up to its first header line, holds
// other entries (comments aside, blanks around "=" not counted) when a lone
// carriage return ends a line than when it does not, and the run would
// remove an entry (`removes`) or a driver entry is among them: no rewrite
// can keep the other entries in both readings.
bool ReadTwoWays(const std::string& body, bool removes) {
  std::vector<std::string> readings[2];
  const char* line_ends[] = {"\n", "\r\n"};
  for (int r = 0; r < 2; ++r) {
    for (const std::string& line : LinesInBytes(body, line_ends[r])) {
      if (line[0] == ';') continue;
      if (line[0] == '[' && line.find(']') != std::string::npos) break;
      readings[r].push_back(line);
    }
  }
  return readings[0] != readings[1] && (removes || !DriverLinesInBytes(body, "\n").empty() ||
                                        !DriverLinesInBytes(body, "\r\n").empty());
}

// The run under one undocumented variant (chosen by the input), on the 9x
// family and on NT with an active driver service, with each write, keeps
// the rules that hold whatever Windows does.
void CheckUndocumentedVariant(const std::string& original, size_t choice) {
  static const std::vector<UndocumentedVariant> variants = UndocumentedVariants();
  for (const bool nt : {false, true}) {
    for (const ProfileWrite model : {ProfileWrite::kRewriteFile, ProfileWrite::kInPlace}) {
      SimulatedWindows sim;
      sim.platform_id = nt ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
      if (nt) ActiveDriverService(sim);
      sim.profile_write = model;
      sim.PutWindowsFile(kSystemIniName, original);
      variants[choice % variants.size()].apply(sim);
      sim.answers = {IDYES, IDYES};
      sim.take_snapshots = true;
      const SimulatedWindows at_start = sim;
      DisableObsoleteDriver(sim);
      Check(BrokenRunRule(at_start, sim).empty());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const std::string original = kBefore + body + kAfter;
  CheckNtRun(original);
  size_t choice = 0;
  for (const uint8_t byte : body) choice = choice * 31 + byte;
  CheckUndocumentedVariant(original, choice);
  SimulatedWindows sim;
  sim.platform_id = VER_PLATFORM_WIN32_WINDOWS;
  sim.PutWindowsFile(kSystemIniName, original);

  const std::vector<std::string> entries = ListedEntries(sim);
  DeviceSection section;
  CString bytes;
  if (!ReadDeviceSection(sim, &section) || !SectionReadMatchesFile(sim, section, &bytes)) {
    // Only where the bytes name the driver in a line the read does not list
    // (one holding a NUL or, in one reading, a carriage return, or one in a
    // later [386Enh]), or where the two readings of a lone carriage return
    // disagree on [386Enh]: an error box, and then the run asks nothing and
    // changes nothing.
    std::vector<std::string> listed;
    for (const auto& entry : entries) {
      if (NaiveIsDriverEntry(entry)) listed.push_back(entry);
    }
    std::sort(listed.begin(), listed.end());
    // Lines end at a line feed; and, as Wine and NT read them, at a lone
    // carriage return too.
    bool missed = false;
    for (const char* line_ends : {"\n", "\r\n"}) {
      const std::vector<std::string> in_bytes = DriverLinesInBytes(body, line_ends);
      missed =
          missed || !std::includes(listed.begin(), listed.end(), in_bytes.begin(), in_bytes.end());
    }
    Check(missed || ReadTwoWays(body, !listed.empty()));
    Check(sim.boxes.size() == 1 && sim.boxes[0].style == MB_ICONERROR);
    sim.boxes.clear();
    sim.answers = {IDYES};
    DisableObsoleteDriver(sim);
    sim.EndProcess();
    Check(sim.boxes.size() == 1 && sim.boxes[0].style == MB_ICONERROR);
    Check(sim.profile_writes == 0 && sim.WindowsFile(kSystemIniName) == original);
    return 0;
  }
  // Read: every entry whole.
  Check(section == entries);

  std::vector<std::string> kept;
  for (const auto& entry : entries) {
    if (!NaiveIsDriverEntry(entry)) kept.push_back(entry);
  }
  const bool found = FindDriverReference(section);
  DeviceSection edited = section;
  const bool changed = RemoveDriverLines(&edited);
  Check(changed == (kept.size() != entries.size()));
  Check(found == changed);
  Check(edited == kept);

  // The whole run, answered Yes.
  sim.answers = {IDYES};
  DisableObsoleteDriver(sim);
  sim.EndProcess();
  if (!changed) {
    Check(sim.profile_writes == 0);
    Check(sim.WindowsFile(kSystemIniName) == original);
    Check(sim.boxes.empty());
    return 0;
  }
  const bool reported_backup =
      sim.boxes.size() == 3 && sim.boxes[1].text == "System file has been backed up to system.000";
  // Reported as written only when the section holds exactly the kept
  // entries; otherwise the run ended with an error box and system.ini as it
  // was, and a backup only when system.ini had to be restored from it.
  if (reported_backup) {
    Check(sim.WindowsFile("system.000") == original);
    Check(ListedEntries(sim) == kept);
  } else {
    Check(sim.boxes.size() == 2 && sim.boxes[1].style == MB_ICONERROR);
    Check(sim.WindowsFile(kSystemIniName) == original);
    const bool not_changed = sim.boxes[1].text.find("was not changed") != std::string::npos;
    Check(sim.WindowsFile("system.000") == (not_changed ? "" : original));
  }
  return 0;
}
