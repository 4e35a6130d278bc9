#!/usr/bin/env bash
# Installs the Debian packages that building and testing DriverRemoval need.
# As root it installs what is missing; otherwise it says what to install.
set -euo pipefail

packages=(
  cmake make g++ python3
  googletest libgtest-dev libbenchmark-dev        # unit tests, contract tests, benchmark
  clang libclang-rt-14-dev                        # libFuzzer and sanitizers
  clang-format clang-tidy cppcheck                # static checks
  mingw-w64 python3-pefile python3-capstone       # the Windows executables and their checks
  osslsigncode openssl                            # signing a release
  wine wine64                                     # running them
  fonts-wine                                      # Wine's Marlett: title-bar buttons in the pictures
)

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
# The 32-bit Wine loader, for the 32-bit executable where the kernel can run it.
wine32_missing=0
dpkg -s wine32:i386 >/dev/null 2>&1 || wine32_missing=1

if [ ${#missing[@]} -eq 0 ] && [ $wine32_missing -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages. As root, run:" >&2
  [ ${#missing[@]} -eq 0 ] || echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  [ $wine32_missing -eq 0 ] ||
    echo "  dpkg --add-architecture i386 && apt-get update && apt-get install -y wine32:i386" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ $wine32_missing -eq 1 ]; then
  dpkg --add-architecture i386
fi
apt-get update -q
if [ ${#missing[@]} -gt 0 ]; then
  apt-get install -y -q "${missing[@]}"
fi
if [ $wine32_missing -eq 1 ]; then
  # Not every machine can run it; the 32-bit Wine runs are skipped where not.
  apt-get install -y -q wine32:i386 ||
    echo "setup: wine32 could not be installed; 32-bit Wine runs will be skipped" >&2
fi
