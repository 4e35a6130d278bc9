#!/usr/bin/env bash
# Builds a release: both executables from the committed sources (HEAD), in a
# fresh directory, checked, copied to dist/ as x86/DriverRemoval.exe and
# x64/DriverRemoval.exe, with dist/SHA256SUMS. Each keeps the name
# DriverRemoval.exe, since a box's caption is the executable's name.
#
#   scripts/release.sh [--out DIR]
#
# Signing is optional. With DR_SIGN_CERT (the code-signing certificate, with
# its chain, PEM or DER) and DR_SIGN_KEY (its private key) set, the
# executables are also signed with osslsigncode into DIR/signed/x86/ and
# DIR/signed/x64/ and their
# signatures verified; the sums of the signed files are added to SHA256SUMS
# after those of the unsigned ones. Also read when signing:
#   DR_SIGN_PASS       the private key's password
#   DR_SIGN_TIMESTAMP  an RFC 3161 time-stamping server's URL
#   DR_SIGN_CA         CA certificates to verify the signature against
#                      (default: the certificate itself)
set -euo pipefail
cd "$(dirname "$0")/.."

out=dist
if [ "${1:-}" = "--out" ] && [ -n "${2:-}" ]; then
  out=$2
elif [ $# -gt 0 ]; then
  echo "usage: scripts/release.sh [--out DIR]" >&2
  exit 2
fi

scripts/setup.sh

version=$(sed -n 's/^project(DriverRemoval VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
commit=$(git rev-parse HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release: local changes are not part of it; it is built from commit $commit" >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
git archive HEAD | tar -x -C "$work/src"

rm -rf "$out"
mkdir -p "$out"
for arch in x86 x64; do
  (cd "$work/src" && cmake --preset "windows-$arch" >/dev/null &&
    cmake --build --preset "windows-$arch" -j "$(nproc)" >"$work/build-$arch.log" 2>&1) || {
    cat "$work/build-$arch.log" >&2
    exit 1
  }
  # The link map beside the build names the functions for this check.
  /usr/bin/python3 tests/check_instructions.py "$work/src/build/windows-$arch/DriverRemoval.exe"
  mkdir -p "$out/$arch"
  cp "$work/src/build/windows-$arch/DriverRemoval.exe" "$out/$arch/DriverRemoval.exe"
done
files=(x86/DriverRemoval.exe x64/DriverRemoval.exe)

/usr/bin/python3 tests/check_executables.py "${files[@]/#/$out/}"
(cd "$out" && sha256sum "${files[@]}" >SHA256SUMS)

if [ -n "${DR_SIGN_CERT:-}" ] && [ -n "${DR_SIGN_KEY:-}" ]; then
  mkdir -p "$out/signed/x86" "$out/signed/x64"
  for file in "${files[@]}"; do
    osslsigncode sign -certs "$DR_SIGN_CERT" -key "$DR_SIGN_KEY" \
      ${DR_SIGN_PASS:+-pass "$DR_SIGN_PASS"} ${DR_SIGN_TIMESTAMP:+-ts "$DR_SIGN_TIMESTAMP"} \
      -h sha256 -n DriverRemoval -in "$out/$file" -out "$out/signed/$file" >/dev/null
    osslsigncode verify -CAfile "${DR_SIGN_CA:-$DR_SIGN_CERT}" -in "$out/signed/$file" >/dev/null
  done
  /usr/bin/python3 tests/check_executables.py "${files[@]/#/$out/signed/}"
  (cd "$out" && sha256sum "${files[@]/#/signed/}" >>SHA256SUMS)
  signed="signed with $DR_SIGN_CERT (in $out/signed/x86/ and $out/signed/x64/)"
else
  signed="unsigned (set DR_SIGN_CERT and DR_SIGN_KEY to sign)"
fi

echo "release $version from commit $commit, $signed:"
(cd "$out" && cat SHA256SUMS)
