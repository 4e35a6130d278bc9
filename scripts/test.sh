#!/usr/bin/env bash
# Runs every check: formatting and static analysis, the unit tests (plain and
# under AddressSanitizer and UndefinedBehaviorSanitizer), both Windows builds
# and their executables, reproducible builds and a signed release, the
# platform contract and end-to-end tests under Wine, and a bounded fuzzing
# run. Installs what it needs first.
#
# One line per stage; a stage's full output goes to build/test-logs/, and is
# shown (its end) only when the stage fails.
set -uo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-60}
jobs=$(nproc)
logs=build/test-logs
passed=0
failed=0
failures=()

mkdir -p "$logs"

# stage NAME COMMAND...: runs COMMAND with its output in the stage's log. A
# line "summary: ..." in the log is shown after "ok".
stage() {
  local name=$1
  shift
  local log
  log="$logs/$(echo "$name" | tr -c 'a-zA-Z0-9\n' '-' | tr -s '-').log"
  local started=$SECONDS
  "$@" >"$log" 2>&1
  local status=$?
  local took=$((SECONDS - started))
  if [ $status -eq 0 ]; then
    passed=$((passed + 1))
    local summary
    summary=$(sed -n 's/^summary: //p' "$log" | tail -1)
    printf '%-36s ok      %4ds  %s\n' "$name" "$took" "$summary"
  else
    failed=$((failed + 1))
    failures+=("$name")
    printf '%-36s FAILED  %4ds  full log: %s\n' "$name" "$took" "$log"
    tail -n 60 "$log" | sed 's/^/    /'
  fi
  return $status
}

sources() {
  find app section services platform tests -name '*.cpp' -o -name '*.h' | sort
}

build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs" "${@:2}"
}

format_check() { clang-format --dry-run -Werror $(sources); }

# "summary: N tests" from ctest's output.
ctest_run() {
  ctest --preset "$1" -j "$jobs" | tee "$logs/ctest.out" &&
    echo "summary: $(grep -o '[0-9]* tests failed out of [0-9]*' "$logs/ctest.out" |
      sed 's/.* out of \(.*\)/\1 tests/')"
}

host_tests() { build host && ctest_run host; }

sanitized_tests() { build host-asan && ctest_run host-asan; }

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
  local shipped=(build/windows-x64/DriverRemoval.exe build/windows-x86/DriverRemoval.exe)
  /usr/bin/python3 tests/check_executables_test.py &&
    /usr/bin/python3 tests/check_instructions_test.py &&
    /usr/bin/python3 tests/check_executables.py "${shipped[@]}" &&
    /usr/bin/python3 tests/check_instructions.py "${shipped[@]}" &&
    echo "summary: imports, header fields, resources and every instruction of both executables checked"
}

# Builds the shipped executables in two copies of the sources at different
# paths and compares them byte for byte.
reproducible_builds() {
  local root=build/reproducible
  local copies=("$root/a" "$root/second-copy/b")
  rm -rf "$root"
  local copy arch
  for copy in "${copies[@]}"; do
    mkdir -p "$copy"
    git ls-files -z --cached --others --exclude-standard |
      tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -xf - -C "$copy" || return 1
    for arch in x64 x86; do
      (cd "$copy" && build "windows-$arch") || return 1
    done
  done
  for arch in x64 x86; do
    cmp "${copies[0]}/build/windows-$arch/DriverRemoval.exe" \
      "${copies[1]}/build/windows-$arch/DriverRemoval.exe" || return 1
  done
  rm -rf "$root"
  echo "summary: both executables byte-identical from two directories"
}

# The release command with a throwaway certificate: checksums, signatures,
# and the executable checks on the signed files (all done by release.sh).
release_signed() {
  local out=build/release-test
  local cert=build/release-cert
  rm -rf "$out" "$cert"
  mkdir -p "$cert"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$cert/key.pem" \
    -out "$cert/cert.pem" -subj "/CN=DriverRemoval throwaway test certificate" \
    -addext extendedKeyUsage=codeSigning || return 1
  DR_SIGN_CERT="$cert/cert.pem" DR_SIGN_KEY="$cert/key.pem" scripts/release.sh --out "$out" &&
    (cd "$out" && sha256sum -c SHA256SUMS) || return 1
  # The hand-out files keep the executable's name, which is the boxes' caption.
  local file
  for file in x86/DriverRemoval.exe x64/DriverRemoval.exe signed/x86/DriverRemoval.exe \
    signed/x64/DriverRemoval.exe; do
    grep -q "  $file\$" "$out/SHA256SUMS" || {
      echo "SHA256SUMS does not name $file"
      return 1
    }
  done
  # A signed file changed afterwards must fail verification.
  local tampered=$out/tampered.exe
  cp "$out/signed/x86/DriverRemoval.exe" "$tampered"
  printf 'X' | dd of="$tampered" bs=1 seek=4096 conv=notrunc 2>/dev/null
  if osslsigncode verify -CAfile "$cert/cert.pem" -in "$tampered"; then
    echo "a changed signed file still verified"
    return 1
  fi
  echo "summary: x86/ and x64/DriverRemoval.exe, SHA256SUMS and signatures verified"
}

wine_tests() {
  python3 tests/e2e/run_e2e.py --build-dir build | tee "$logs/wine.out" &&
    echo "summary: $(sed -n 's/^e2e: //p' "$logs/wine.out" 2>/dev/null)"
}

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
  [ $status -eq 0 ] || tail -40 build/fuzz/fuzz.log
  echo "summary: $(grep -E "^Done" build/fuzz/fuzz.log)"
  return $status
}

echo "scripts/test.sh: one line per stage; logs in $logs/"
stage "setup" scripts/setup.sh || exit 1
stage "format" format_check
stage "readme links" python3 tests/check_readme_links.py
stage "demo options" python3 tests/e2e/demo_test.py
stage "unit tests" host_tests
stage "unit tests with sanitizers" sanitized_tests
stage "clang-tidy" tidy_check
stage "cppcheck" cppcheck_check
stage "windows builds" windows_builds
stage "reproducible builds" reproducible_builds
stage "release, signed" release_signed
stage "wine contract and end-to-end tests" wine_tests
stage "fuzzing (${FUZZ_SECONDS}s)" fuzz_run

[ $failed -eq 0 ] || printf 'failed: %s\n' "${failures[@]}"
echo "checks: $passed passed, $failed failed"
[ $failed -eq 0 ]
