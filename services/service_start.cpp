#include "services/service_start.h"

#include <cstring>

#include "platform/registry_key.h"

const char kDriverServiceKey[] = "System\\CurrentControlSet\\Services\\kvtncdrv";
const char kSerialServiceKey[] = "System\\CurrentControlSet\\Services\\Serial";

namespace {

const char kStartValueName[] = "Start";

struct StartValue {
  DWORD type = 0;
  DWORD size = 0;
  DWORD number = 0;

  // Only a 4-byte REG_DWORD is a start type; anything else is never taken
  // for one.
  bool Is(DWORD expected) const {
    return type == REG_DWORD && size == sizeof number && number == expected;
  }
};

Status ReadStart(const RegistryKey& key, StartValue* value) {
  BYTE data[sizeof(DWORD)] = {};
  value->type = 0;
  value->size = sizeof data;
  const Status status =
      key.platform().QueryValue(key.handle(), kStartValueName, &value->type, data, &value->size);
  std::memcpy(&value->number, data, sizeof data);
  // A value longer than a DWORD was read well enough to know it is no start
  // type: Is() rejects it by its size.
  if (status == ERROR_MORE_DATA && value->size > sizeof data) return ERROR_SUCCESS;
  return status;
}

// Always a 4-byte REG_DWORD, whatever type the value had before.
Status WriteStart(const RegistryKey& key, DWORD number) {
  BYTE data[sizeof number];
  std::memcpy(data, &number, sizeof number);
  return key.platform().SetValue(key.handle(), kStartValueName, REG_DWORD, data, sizeof data);
}

CString KeyPath(const char* subkey) { return CString("HKEY_LOCAL_MACHINE\\") + subkey; }

void ShowError(Platform& platform, const char* what, const char* subkey, Status status) {
  AfxMessageBox(platform,
                CString(what) + " registry key " + KeyPath(subkey) +
                    ".\nError code: " + std::to_string(status),
                MB_ICONERROR);
}

// Reads Start; a failure is shown as an error querying the key.
bool QueryStart(Platform& platform, const RegistryKey& key, const char* subkey, StartValue* value) {
  const Status status = ReadStart(key, value);
  if (status == ERROR_SUCCESS) return true;
  ShowError(platform, "Error querying", subkey, status);
  return false;
}

// Reads Start back after a write: anything but a DWORD `expected` is shown
// as a failure to modify the key.
bool ConfirmStart(Platform& platform, const RegistryKey& key, const char* subkey, DWORD expected) {
  StartValue start;
  if (!QueryStart(platform, key, subkey, &start)) return false;
  if (start.Is(expected)) return true;
  ShowError(platform, "Unable to modify", subkey, 0);
  return false;
}

// Opens the key with `access`. Returns 0 with the key open; 2 with no box
// when `missing_is_quiet`; otherwise the status, after a box: `denied` for
// 5, "Error opening registry key ..." for any other.
Status OpenOrReport(Platform& platform, RegistryKey* key, const char* subkey, REGSAM access,
                    const char* denied, bool missing_is_quiet = true) {
  const Status opened = key->Open(platform, subkey, access);
  if (opened == ERROR_SUCCESS || (opened == ERROR_FILE_NOT_FOUND && missing_is_quiet)) {
    return opened;
  }
  if (opened == ERROR_ACCESS_DENIED) {
    AfxMessageBox(platform, denied, MB_ICONERROR);
  } else {
    ShowError(platform, "Error opening", subkey, opened);
  }
  return opened;
}

}  // namespace

DriverServiceProbe ProbeDriverService(Platform& platform) {
  RegistryKey key;
  const Status opened =
      OpenOrReport(platform, &key, kDriverServiceKey, KEY_QUERY_VALUE,
                   "An obsolete serial port driver has been detected on your system.\n"
                   "However, you do not have sufficient access even to query HKEY_LOCAL_MACHINE.");
  if (opened == ERROR_FILE_NOT_FOUND) return DriverServiceProbe::kNotInstalled;
  if (opened != ERROR_SUCCESS) return DriverServiceProbe::kEndRun;
  StartValue start;
  if (!QueryStart(platform, key, kDriverServiceKey, &start)) return DriverServiceProbe::kEndRun;
  // Demand start and disabled both keep the driver from loading at startup;
  // a disabled service is left disabled.
  return start.Is(kStartDemand) || start.Is(kStartDisabled) ? DriverServiceProbe::kInactive
                                                            : DriverServiceProbe::kActive;
}

bool DisableDriverService(Platform& platform) {
  RegistryKey key;
  const Status opened =
      OpenOrReport(platform, &key, kDriverServiceKey, KEY_ALL_ACCESS,
                   "An obsolete serial port driver has been detected on your system.\n"
                   "However, you do not have sufficient access to modify HKEY_LOCAL_MACHINE.");
  // Gone since the probe: nothing left to disable.
  if (opened == ERROR_FILE_NOT_FOUND) return true;
  if (opened != ERROR_SUCCESS) return false;
  StartValue start;
  if (!QueryStart(platform, key, kDriverServiceKey, &start)) return false;
  // Disabled meanwhile (by another tool, while the question stood): it
  // stays disabled, as at the probe.
  if (start.Is(kStartDisabled)) return true;
  // The read-back is the check of this write.
  WriteStart(key, kStartDemand);
  return ConfirmStart(platform, key, kDriverServiceKey, kStartDemand);
}

bool EnableSerialService(Platform& platform) {
  // First a look with read access only: a missing Serial service is only
  // warned about, and an unreadable Start is reported before anything is
  // written. The value itself is not needed, as the write is always a DWORD.
  {
    RegistryKey key;
    const Status opened =
        OpenOrReport(platform, &key, kSerialServiceKey, KEY_QUERY_VALUE,
                     "You do not have sufficient access to query HKEY_LOCAL_MACHINE.");
    if (opened == ERROR_FILE_NOT_FOUND) {
      AfxMessageBox(platform, "Unable to confirm whether serial port driver is running.",
                    MB_ICONWARNING);
      return true;
    }
    if (opened != ERROR_SUCCESS) return false;
    StartValue start;
    if (!QueryStart(platform, key, kSerialServiceKey, &start)) return false;
  }

  RegistryKey key;
  if (OpenOrReport(platform, &key, kSerialServiceKey, KEY_ALL_ACCESS,
                   "The serial port device driver is apparently not running.\n"
                   "It must be enabled, however you do not have sufficient access to modify "
                   "its status.",
                   false) != ERROR_SUCCESS) {
    return false;
  }
  if (const Status status = WriteStart(key, kStartAutomatic)) {
    ShowError(platform, "Error setting", kSerialServiceKey, status);
    return false;
  }
  return ConfirmStart(platform, key, kSerialServiceKey, kStartAutomatic);
}
