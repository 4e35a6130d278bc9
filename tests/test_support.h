#pragma once
// Shared set-up for tests that drive code against the simulated Windows.

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

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
