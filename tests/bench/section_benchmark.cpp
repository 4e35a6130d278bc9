// The section editor's cost per byte: detect and remove the driver entries,
// on sections of 10 KiB and 64 KiB (the largest the write takes), with and
// without driver entries,
// against a floor measured in the same run: one pass that lowercases a copy
// of the same bytes. The cost should stay flat per byte (linear) and within
// a small multiple of the floor. Apart from that, what checking a whole
// rewritten system.ini of 1 MiB against the original adds.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "section/device_section.h"
#include "section/profile_file.h"

namespace {

// Ordinary entries of the lengths seen in system.ini, and, when asked, a
// driver entry in each of the known forms spread through the section.
DeviceSection MakeSection(size_t bytes, bool with_driver) {
  const char* ordinary[] = {"device=*vmm",
                            "woafont=dosapp.fon",
                            "EGA80WOA.FON=EGA80WOA.FON",
                            "device=c:\\windows\\system\\vserial.386",
                            "PagingDrive=C:",
                            "MaxPhysPage=FFFFF",
                            "device=c:\\progra~1\\velost~1\\zrq\\helper.386"};
  const char* driver[] = {"device=kvtncdrv.386", "DEVICE=C:\\PROGRA~1\\VELOST~1\\ZRQ\\KVTNCDRV.386",
                          "device=c:\\progra~1\\velost~1\\zrq",
                          "device=c:\\program files\\velostrom\\zrq\\kvtncdrv.386"};
  DeviceSection section;
  for (size_t n = 0, size = 0; size < bytes; ++n) {
    section.emplace_back(with_driver && n % 50 == 25 ? driver[(n / 50) % 4] : ordinary[n % 7]);
    size += section.back().size() + 1;
  }
  return section;
}

// The bytes of the section's list, each entry with its NUL.
int64_t ListBytes(const DeviceSection& section) {
  int64_t bytes = 0;
  for (const auto& entry : section) bytes += static_cast<int64_t>(entry.size()) + 1;
  return bytes;
}

void SectionEditor(benchmark::State& state) {
  const DeviceSection section = MakeSection(state.range(0), state.range(1) != 0);
  for (auto _ : state) {
    const bool found = FindDriverReference(section);
    DeviceSection edited = section;
    const bool changed = RemoveDriverLines(&edited);
    benchmark::DoNotOptimize(found);
    benchmark::DoNotOptimize(changed);
    benchmark::DoNotOptimize(edited.data());
  }
  state.SetBytesProcessed(state.iterations() * ListBytes(section));
}

void LowercaseCopyFloor(benchmark::State& state) {
  const DeviceSection section = MakeSection(state.range(0), state.range(1) != 0);
  for (auto _ : state) {
    DeviceSection lower = section;
    for (auto& entry : lower) {
      for (char& c : entry) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
    }
    benchmark::DoNotOptimize(lower.data());
  }
  state.SetBytesProcessed(state.iterations() * ListBytes(section));
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int64_t bytes : {10 << 10, 64 << 10}) {
    for (int64_t with_driver : {0, 1}) b->Args({bytes, with_driver});
  }
}

// A system.ini of `bytes` in all: a [386Enh] section of 10 KiB, with or
// without the driver entries, among other sections.
std::string MakeSystemIni(size_t bytes, bool with_driver) {
  std::string ini = "[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\n";
  for (const auto& entry : MakeSection(10 << 10, with_driver)) ini += entry + "\r\n";
  for (int n = 0; ini.size() < bytes; ++n) {
    if (n % 40 == 0) ini += "[Section" + std::to_string(n / 40) + "]\r\n";
    ini += "key" + std::to_string(n) + "=some value of a usual length\r\n";
  }
  return ini;
}

// Both files parsed and compared in both readings, as after every rewrite.
void WholeFileCheck(benchmark::State& state) {
  const std::string original = MakeSystemIni(state.range(0), true);
  const std::string rewritten = MakeSystemIni(state.range(0), false);
  std::vector<std::string> kept;
  const auto sections = ParseIniFile(rewritten, LineBreaks::kAnyBreak);
  kept = sections[FindIniSection(sections, "386Enh")].lines;
  for (auto _ : state) {
    bool same = true;
    for (const LineBreaks breaks : kEveryReading) {
      same = same && OnlySectionRewritten(ParseIniFile(original, breaks),
                                          ParseIniFile(rewritten, breaks), "386Enh", kept);
    }
    benchmark::DoNotOptimize(same);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(original.size()));
}

BENCHMARK(LowercaseCopyFloor)->Apply(Sizes);
BENCHMARK(WholeFileCheck)->Arg(1 << 20);
BENCHMARK(SectionEditor)->Apply(Sizes);

// Prints nanoseconds per byte for each run and the editor's ratio to the
// floor at the same size.
class PerByteReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs)
      results_.push_back({run.benchmark_name(), run.GetAdjustedRealTime()});
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-10s %-8s %14s %14s %8s\n", "size", "driver", "floor ns/B", "editor ns/B",
                "ratio");
    double worst = 0;
    for (const auto& floor : results_) {
      if (floor.name.rfind("LowercaseCopyFloor/", 0) != 0) continue;
      const std::string args = floor.name.substr(std::string("LowercaseCopyFloor/").size());
      for (const auto& editor : results_) {
        if (editor.name != "SectionEditor/" + args) continue;
        const double bytes = std::stod(args.substr(0, args.find('/')));
        const double ratio = editor.ns / floor.ns;
        worst = ratio > worst ? ratio : worst;
        std::printf("%-10.0f %-8s %14.4f %14.4f %8.2f\n", bytes,
                    args.substr(args.find('/') + 1) == "1" ? "yes" : "no", floor.ns / bytes,
                    editor.ns / bytes, ratio);
      }
    }
    std::printf("worst ratio to the floor: %.2f (target: at most 3)\n", worst);
    for (const auto& check : results_) {
      if (check.name.rfind("WholeFileCheck/", 0) != 0) continue;
      const double bytes = std::stod(check.name.substr(std::string("WholeFileCheck/").size()));
      std::printf("whole-file check after the rewrite, %.0f KiB system.ini: %.2f ms (%.2f ns/B)\n",
                  bytes / 1024, check.ns / 1e6, check.ns / bytes);
    }
  }

 private:
  struct Result {
    std::string name;
    double ns;
  };
  std::vector<Result> results_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  PerByteReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
