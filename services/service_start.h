#pragma once
// The "Start" values of the obsolete driver's service and of the standard
// serial port driver's service, on the Windows NT family. Start 3 (demand)
// and 4 (disabled) keep a driver from loading at startup; 2 (automatic)
// loads it.

#include "platform/framework.h"

extern const char kDriverServiceKey[];  // below HKEY_LOCAL_MACHINE
extern const char kSerialServiceKey[];

constexpr DWORD kStartAutomatic = 2;
constexpr DWORD kStartDemand = 3;
constexpr DWORD kStartDisabled = 4;

enum class DriverServiceProbe {
  kNotInstalled,
  kActive,    // may load at startup: Start is anything but a DWORD 3 or 4
  kInactive,  // Start is demand start or disabled
  kEndRun,    // an error was shown
};

// Reads the driver service's Start value; never writes.
DriverServiceProbe ProbeDriverService(Platform& platform);

// Sets the driver service to demand start and checks it by reading it back;
// a service found disabled is left so. False when an error was shown and the
// run must end.
bool DisableDriverService(Platform& platform);

// Sets the Serial service to automatic start and checks it by reading it
// back. False when an error was shown and the run must end.
bool EnableSerialService(Platform& platform);
