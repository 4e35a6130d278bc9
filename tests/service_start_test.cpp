#include "services/service_start.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

#include <cstring>

namespace {

constexpr REGSAM kRead = KEY_QUERY_VALUE;
constexpr REGSAM kWrite = KEY_ALL_ACCESS;

std::string DriverError(const char* what, Status status) {
  return std::string(what) +
         " registry key HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\kvtncdrv.\n"
         "Error code: " +
         std::to_string(status);
}
std::string SerialError(const char* what, Status status) {
  return std::string(what) +
         " registry key HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Serial.\n"
         "Error code: " +
         std::to_string(status);
}

// Both services installed: the driver at Start 2, Serial at Start 3.
SimulatedWindows ServicesInstalled() {
  SimulatedWindows sim;
  ActiveDriverService(sim);
  return sim;
}

void SetStart(SimulatedWindows& sim, const char* key, DWORD type, const std::string& bytes) {
  sim.registry[key]["Start"] = RegistryValue{type, bytes};
}

DWORD StartOf(SimulatedWindows& sim, const char* key) {
  const RegistryValue& value = sim.registry[key]["Start"];
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), value.type);
  EXPECT_EQ(4u, value.bytes.size());
  DWORD number = 0;
  std::memcpy(&number, value.bytes.data(), sizeof number);
  return number;
}

TEST(ProbeDriverService, EveryRow) {
  struct Case {
    const char* name;
    SimOp op;
    Status status;
    int occurrence;
    DriverServiceProbe expected;
    std::string message;
  };
  const std::string no_query_access =
      "An obsolete serial port driver has been detected on your system.\n"
      "However, you do not have sufficient access even to query HKEY_LOCAL_MACHINE.";
  const Case cases[] = {
      {"open 2", SimOp::kOpenKey, 2, 0, DriverServiceProbe::kNotInstalled, ""},
      {"open 5", SimOp::kOpenKey, 5, 0, DriverServiceProbe::kEndRun, no_query_access},
      {"open 1234", SimOp::kOpenKey, 1234, 0, DriverServiceProbe::kEndRun,
       DriverError("Error opening", 1234)},
      {"query 1234", SimOp::kQueryValue, 1234, 0, DriverServiceProbe::kEndRun,
       DriverError("Error querying", 1234)},
      {"read succeeds", SimOp::kOpenKey, 0, 0, DriverServiceProbe::kActive, ""},
  };
  for (const auto& c : cases) {
    SimulatedWindows sim = ServicesInstalled();
    if (c.status != 0) sim.Fail(c.op, kDriverServiceKey, c.status, c.occurrence);
    EXPECT_EQ(c.expected, ProbeDriverService(sim)) << c.name;
    if (c.message.empty()) {
      EXPECT_TRUE(sim.boxes.empty()) << c.name;
    } else {
      EXPECT_EQ(std::vector<Box>({{c.message, MB_ICONERROR}}), BoxesShown(sim)) << c.name;
    }
    EXPECT_EQ(0, sim.open_keys()) << c.name;
    EXPECT_EQ("open System\\CurrentControlSet\\Services\\kvtncdrv 0x1", sim.registry_calls[0]);
    EXPECT_EQ(2u, StartOf(sim, kDriverServiceKey)) << c.name;
    // A probe only reads.
    for (const auto& call : sim.registry_calls) EXPECT_NE(0u, call.rfind("set ", 0)) << c.name;
  }
}

TEST(ProbeDriverService, OnlyADwordThreeOrFourIsInactive) {
  struct Case {
    DWORD type;
    std::string bytes;
    DriverServiceProbe expected;
  };
  const Case cases[] = {
      {REG_DWORD, std::string("\3\0\0\0", 4), DriverServiceProbe::kInactive},
      {REG_DWORD, std::string("\4\0\0\0", 4), DriverServiceProbe::kInactive},
      {REG_DWORD, std::string("\2\0\0\0", 4), DriverServiceProbe::kActive},
      {REG_DWORD, std::string("\0\0\0\0", 4), DriverServiceProbe::kActive},
      {REG_DWORD, std::string("\3\0\1\0", 4), DriverServiceProbe::kActive},
      {REG_SZ, std::string("3\0", 2), DriverServiceProbe::kActive},
      {REG_BINARY, std::string("\3", 1), DriverServiceProbe::kActive},
      {REG_BINARY, std::string("\3\0\0\0", 4), DriverServiceProbe::kActive},
      {REG_DWORD, std::string("\3", 1), DriverServiceProbe::kActive},
      {REG_BINARY, std::string("\3\0\0\0\0\0\0\0", 8), DriverServiceProbe::kActive},
      {REG_SZ, std::string("demand start\0", 13), DriverServiceProbe::kActive},
  };
  for (const auto& c : cases) {
    SimulatedWindows sim = ServicesInstalled();
    SetStart(sim, kDriverServiceKey, c.type, c.bytes);
    std::string label = "type " + std::to_string(c.type) + ", bytes";
    for (const unsigned char byte : c.bytes) label += " " + std::to_string(byte);
    EXPECT_EQ(c.expected, ProbeDriverService(sim)) << label;
    EXPECT_TRUE(sim.boxes.empty());
  }
}

struct EditCase {
  const char* name;
  SimOp op;
  const char* key;
  Status status;
  int occurrence;
  REGSAM access;
  bool driver_ok;  // DisableDriverService's result
  bool serial_ok;  // EnableSerialService's result, when it runs
  std::string message;
  UINT style;
};

TEST(ServiceEdit, EveryRow) {
  const std::string no_modify_access =
      "An obsolete serial port driver has been detected on your system.\n"
      "However, you do not have sufficient access to modify HKEY_LOCAL_MACHINE.";
  const std::string serial_not_running =
      "The serial port device driver is apparently not running.\n"
      "It must be enabled, however you do not have sufficient access to modify its status.";
  const EditCase cases[] = {
      {"driver open 2", SimOp::kOpenKey, kDriverServiceKey, 2, 0, 0, true, true, "", 0},
      {"driver open 5", SimOp::kOpenKey, kDriverServiceKey, 5, 0, 0, false, false, no_modify_access,
       MB_ICONERROR},
      {"driver open 1234", SimOp::kOpenKey, kDriverServiceKey, 1234, 0, 0, false, false,
       DriverError("Error opening", 1234), MB_ICONERROR},
      {"driver read 1", SimOp::kQueryValue, kDriverServiceKey, 1234, 1, 0, false, false,
       DriverError("Error querying", 1234), MB_ICONERROR},
      {"driver read 2", SimOp::kQueryValue, kDriverServiceKey, 6, 2, 0, false, false,
       DriverError("Error querying", 6), MB_ICONERROR},
      // The driver write's status is left to the read-back, which finds 2.
      {"driver write", SimOp::kSetValue, kDriverServiceKey, 1234, 0, 0, false, false,
       DriverError("Unable to modify", 0), MB_ICONERROR},
      {"serial open 2", SimOp::kOpenKey, kSerialServiceKey, 2, 0, kRead, true, true,
       "Unable to confirm whether serial port driver is running.", MB_ICONWARNING},
      {"serial open 5", SimOp::kOpenKey, kSerialServiceKey, 5, 0, kRead, true, false,
       "You do not have sufficient access to query HKEY_LOCAL_MACHINE.", MB_ICONERROR},
      {"serial open 1234", SimOp::kOpenKey, kSerialServiceKey, 1234, 0, kRead, true, false,
       SerialError("Error opening", 1234), MB_ICONERROR},
      {"serial read 1", SimOp::kQueryValue, kSerialServiceKey, 1234, 1, 0, true, false,
       SerialError("Error querying", 1234), MB_ICONERROR},
      {"serial reopen 5", SimOp::kOpenKey, kSerialServiceKey, 5, 0, kWrite, true, false,
       serial_not_running, MB_ICONERROR},
      {"serial reopen 2", SimOp::kOpenKey, kSerialServiceKey, 2, 0, kWrite, true, false,
       SerialError("Error opening", 2), MB_ICONERROR},
      {"serial reopen 1234", SimOp::kOpenKey, kSerialServiceKey, 1234, 0, kWrite, true, false,
       SerialError("Error opening", 1234), MB_ICONERROR},
      {"serial write", SimOp::kSetValue, kSerialServiceKey, 1234, 0, 0, true, false,
       SerialError("Error setting", 1234), MB_ICONERROR},
      {"driver read-back", SimOp::kSetValue, kDriverServiceKey, 0, 0, 0, false, false,
       DriverError("Unable to modify", 0), MB_ICONERROR},
      {"serial read-back", SimOp::kSetValue, kSerialServiceKey, 0, 0, 0, true, false,
       SerialError("Unable to modify", 0), MB_ICONERROR},
      {"serial read 2", SimOp::kQueryValue, kSerialServiceKey, 1234, 2, 0, true, false,
       SerialError("Error querying", 1234), MB_ICONERROR},
  };
  for (const auto& c : cases) {
    SimulatedWindows sim = ServicesInstalled();
    if (c.status == 0) sim.writes_ignored.insert(c.key);
    sim.Fail(c.op, c.key, c.status, c.occurrence, c.access);
    const bool driver_ok = DisableDriverService(sim);
    EXPECT_EQ(c.driver_ok, driver_ok) << c.name;
    if (driver_ok) {
      EXPECT_EQ(c.serial_ok, EnableSerialService(sim)) << c.name;
    }
    if (c.message.empty()) {
      EXPECT_TRUE(sim.boxes.empty()) << c.name;
    } else {
      EXPECT_EQ(std::vector<Box>({{c.message, c.style}}), BoxesShown(sim)) << c.name;
    }
    EXPECT_EQ(0, sim.open_keys()) << c.name;
  }
}

// A driver found disabled at the edit (another tool, while the question
// stood) stays disabled.
TEST(ServiceEdit, AnyStartValueBecomesADword) {
  struct Case {
    DWORD type;
    std::string bytes;
    DWORD driver_after;
  };
  const Case starts[] = {
      {REG_DWORD, std::string("\4\0\0\0", 4), kStartDisabled},
      {REG_DWORD, std::string("\2\0\0\0", 4), kStartDemand},
      {REG_SZ, std::string("4\0", 2), kStartDemand},
      {REG_SZ, std::string("automatic start\0", 16), kStartDemand},
  };
  for (const auto& start : starts) {
    SimulatedWindows sim = ServicesInstalled();
    SetStart(sim, kDriverServiceKey, start.type, start.bytes);
    SetStart(sim, kSerialServiceKey, start.type, start.bytes);
    EXPECT_TRUE(DisableDriverService(sim));
    EXPECT_TRUE(EnableSerialService(sim));
    EXPECT_EQ(start.driver_after, StartOf(sim, kDriverServiceKey));
    EXPECT_EQ(kStartAutomatic, StartOf(sim, kSerialServiceKey));
    EXPECT_TRUE(sim.boxes.empty());
  }
}

}  // namespace
