#include <fstream>
#include <iterator>

#include "platform/win32_platform.h"
#include "tests/contract_world.h"

namespace {

class Win32World : public ContractWorld {
 public:
  Platform& platform() override { return platform_; }
  void PutWindowsFile(const std::string& name, const std::string& bytes) override {
    std::ofstream(Path(name), std::ios::binary | std::ios::trunc) << bytes;
  }
  bool ReadWindowsFile(const std::string& name, std::string* bytes) override {
    std::ifstream in(Path(name), std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
  }
  void RemoveWindowsFile(const std::string& name) override { DeleteFileA(Path(name).c_str()); }
  void PutRegistryValue(const std::string& subkey, const std::string& name, DWORD type,
                        const std::string& bytes) override {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
      return;
    }
    RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
  }
  void RemoveRegistryKey(const std::string& subkey) override {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, subkey.c_str());
  }

 private:
  std::string Path(const std::string& name) { return platform_.WindowsDirectory() + "\\" + name; }

  Win32Platform platform_;
};

}  // namespace

std::unique_ptr<ContractWorld> MakeContractWorld() { return std::make_unique<Win32World>(); }
