#!/usr/bin/env bash
# Benchmarks: the section editor's cost per byte against a lowercase-copy
# floor, the executables' sizes, and a nothing-to-do run under Wine against
# a minimal program. Prints figures; it is not a test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build --preset bench -j "$(nproc)"
build/bench/tests/section_benchmark --benchmark_color=false

for preset in windows-x64 windows-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" --target DriverRemoval minimal_program \
    registry_probe_program mandatory_reads_program
done
echo
for exe in build/windows-x64/DriverRemoval.exe build/windows-x86/DriverRemoval.exe; do
  printf '%s: %d KiB stripped (target: at most 48 KiB)\n' "$exe" $(( $(stat -c %s "$exe") / 1024 ))
done
python3 tests/bench/wine_startup.py --build-dir build
