#include "tests/contract_world.h"
#include "tests/support/simulated_windows.h"

namespace {

class SimulatedWorld : public ContractWorld {
 public:
  Platform& platform() override { return sim_; }
  void PutWindowsFile(const std::string& name, const std::string& bytes) override {
    sim_.PutWindowsFile(name, bytes);
  }
  bool ReadWindowsFile(const std::string& name, std::string* bytes) override {
    const auto it = sim_.files.find(sim_.WindowsPath(name));
    if (it == sim_.files.end()) return false;
    *bytes = it->second;
    return true;
  }
  void RemoveWindowsFile(const std::string& name) override {
    sim_.files.erase(sim_.WindowsPath(name));
  }
  void PutRegistryValue(const std::string& subkey, const std::string& name, DWORD type,
                        const std::string& bytes) override {
    sim_.registry[subkey][name] = RegistryValue{type, bytes};
  }
  void RemoveRegistryKey(const std::string& subkey) override { sim_.registry.erase(subkey); }

 private:
  SimulatedWindows sim_;
};

}  // namespace

std::unique_ptr<ContractWorld> MakeContractWorld() { return std::make_unique<SimulatedWorld>(); }
