#pragma once
// What the platform contract tests need around a Platform: a way to put
// files and registry values in place and to look at them, outside the seam.
// One implementation sets up the simulated Windows, the other the real one.

#include <memory>
#include <string>

#include "platform/platform.h"

class ContractWorld {
 public:
  virtual ~ContractWorld() = default;
  virtual Platform& platform() = 0;

  // Files in the Windows directory.
  virtual void PutWindowsFile(const std::string& name, const std::string& bytes) = 0;
  virtual bool ReadWindowsFile(const std::string& name, std::string* bytes) = 0;
  virtual void RemoveWindowsFile(const std::string& name) = 0;

  // Values below HKEY_LOCAL_MACHINE; the key is created as needed.
  virtual void PutRegistryValue(const std::string& subkey, const std::string& name, DWORD type,
                                const std::string& bytes) = 0;
  virtual void RemoveRegistryKey(const std::string& subkey) = 0;
};

std::unique_ptr<ContractWorld> MakeContractWorld();
