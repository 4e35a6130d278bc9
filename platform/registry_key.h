#pragma once
// An open registry key that closes itself on every path out of its scope.

#include <string>

#include "platform/platform.h"

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() { Close(); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens `subkey` below HKEY_LOCAL_MACHINE, closing any key held before.
  Status Open(Platform& platform, const std::string& subkey, REGSAM access) {
    Close();
    RegKeyHandle handle = 0;
    const Status status = platform.OpenKey(subkey, access, &handle);
    if (status == ERROR_SUCCESS) {
      platform_ = &platform;
      handle_ = handle;
    }
    return status;
  }

  void Close() {
    if (platform_ != nullptr) platform_->CloseKey(handle_);
    platform_ = nullptr;
  }

  Platform& platform() const { return *platform_; }
  RegKeyHandle handle() const { return handle_; }

 private:
  Platform* platform_ = nullptr;
  RegKeyHandle handle_ = 0;
};
