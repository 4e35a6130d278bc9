#!/usr/bin/env bash
# Runs every check: formatting and static analysis, the unit tests (plain and
# under AddressSanitizer and UndefinedBehaviorSanitizer), both Windows builds
# and their executables, the platform contract and end-to-end tests under
# Wine, and a bounded fuzzing run. Installs what it needs first.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh || exit 1

FUZZ_SECONDS=${FUZZ_SECONDS:-60}
jobs=$(nproc)
passed=0
failed=0
failures=()

stage() {
  local name=$1
  shift
  echo
  echo "=== $name"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "=== FAILED: $name"
  fi
}

sources() {
  find app section services platform tests -name '*.cpp' -o -name '*.h' | sort
}

build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs" "${@:2}"
}

format_check() { clang-format --dry-run -Werror $(sources); }

host_tests() { build host && ctest --preset host -j "$jobs"; }

sanitized_tests() { build host-asan && ctest --preset host-asan -j "$jobs"; }

tidy_check() {
  # Our own code only; compile commands come from the host build.
  clang-tidy -p build/host --quiet app/*.cpp section/*.cpp services/*.cpp \
    platform/framework.cpp tests/support/simulated_windows.cpp
}

cppcheck_check() {
  cppcheck --enable=warning,performance,portability --error-exitcode=1 --std=c++17 \
    --quiet --inline-suppr -I . app section services platform
}

windows_builds() {
  local preset
  for preset in windows-x64 windows-x86 windows-x64-tests windows-x86-tests; do
    build "$preset" || return 1
  done
  # pefile is Debian's package, so Debian's own Python reads the executables.
  /usr/bin/python3 tests/check_executables_test.py &&
    /usr/bin/python3 tests/check_executables.py build/windows-x64/DriverRemoval.exe \
      build/windows-x86/DriverRemoval.exe
}

wine_tests() { python3 tests/e2e/run_e2e.py --build-dir build; }

fuzz_run() {
  build fuzz || return 1
  local new_inputs
  new_inputs=$(mktemp -d)
  # New inputs go to a scratch folder; the committed corpus is only read.
  build/fuzz/tests/section_fuzzer -max_total_time="$FUZZ_SECONDS" -max_len=4096 \
    -print_final_stats=1 -artifact_prefix=build/fuzz/ "$new_inputs" tests/fuzz/corpus \
    >build/fuzz/fuzz.log 2>&1
  local status=$?
  rm -rf "$new_inputs"
  grep -E "^(Done|stat::number_of_executed_units)" build/fuzz/fuzz.log
  [ $status -eq 0 ] || tail -40 build/fuzz/fuzz.log
  return $status
}

stage "format" format_check
stage "unit tests" host_tests
stage "unit tests with sanitizers" sanitized_tests
stage "clang-tidy" tidy_check
stage "cppcheck" cppcheck_check
stage "windows builds" windows_builds
stage "wine contract and end-to-end tests" wine_tests
stage "fuzzing (${FUZZ_SECONDS}s)" fuzz_run

echo
[ $failed -eq 0 ] || printf 'failed: %s\n' "${failures[@]}"
echo "checks: $passed passed, $failed failed"
[ $failed -eq 0 ]
