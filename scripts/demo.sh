#!/usr/bin/env bash
# The main job: builds both Windows executables and runs DriverRemoval.exe in
# a throwaway Wine Windows with the obsolete driver installed: the 32-bit one,
# which is handed out, where this machine runs 32-bit programs. Arguments go
# to tests/e2e/demo.py (--arch x64, --windows win98; --help lists them all).
set -euo pipefail
cd "$(dirname "$0")/.."

for arg in "$@"; do
  case $arg in
    -h | --help) exec python3 tests/e2e/demo.py --help ;;
  esac
done
scripts/setup.sh
# Before building: an executable this machine cannot run ends the demo here;
# otherwise the architecture to run comes back (the 32-bit program that is
# handed out, unless asked otherwise or this machine runs no 32-bit
# programs, which it then says).
arch=$(python3 tests/e2e/demo.py --build-dir build --preflight "$@")
# The two executables, and the tool that answers the boxes of the one run,
# built for its architecture (with the hook that names each box's icon).
for preset in windows-x64 windows-x86 "windows-$arch-tests"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" >build/demo-build.log 2>&1 || {
    cat build/demo-build.log
    exit 1
  }
done
echo "Built build/windows-x64/DriverRemoval.exe and build/windows-x86/DriverRemoval.exe"
python3 tests/e2e/demo.py --build-dir build --arch "$arch" "$@"
