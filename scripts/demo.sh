#!/usr/bin/env bash
# The main job: builds both Windows executables and runs DriverRemoval.exe in
# a throwaway Wine Windows with the obsolete driver installed. Arguments go
# to tests/e2e/demo.py (--arch x86, --windows win98; --help lists them all).
set -euo pipefail
cd "$(dirname "$0")/.."

for arg in "$@"; do
  case $arg in
    -h | --help) exec python3 tests/e2e/demo.py --help ;;
  esac
done
scripts/setup.sh
# Before building: an executable this machine cannot run ends the demo here.
python3 tests/e2e/demo.py --build-dir build --preflight "$@"
# The two executables, and the tool that answers the boxes of the one run,
# built for its architecture (with the hook that names each box's icon).
arch=x64
previous=
for arg in "$@"; do
  case $arg in
    --arch=*) arch=${arg#--arch=} ;;
  esac
  [ "$previous" != --arch ] || arch=$arg
  previous=$arg
done
for preset in windows-x64 windows-x86 "windows-$arch-tests"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" >build/demo-build.log 2>&1 || {
    cat build/demo-build.log
    exit 1
  }
done
echo "Built build/windows-x64/DriverRemoval.exe and build/windows-x86/DriverRemoval.exe"
python3 tests/e2e/demo.py --build-dir build "$@"
