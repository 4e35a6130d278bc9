#!/usr/bin/env bash
# Draws the pictures of the program's boxes that docs/boxes.md shows, into
# docs/: runs the main job in picture mode once per situation and keeps the
# box that situation is for. Needs xvfb and imagemagick (installed as root).
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v Xvfb >/dev/null || missing+=(xvfb)
command -v convert >/dev/null || missing+=(imagemagick)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Needs: apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  apt-get install -y -q "${missing[@]}" >/dev/null
fi

shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
mkdir -p docs

# take "NAME=BOX ..." DEMO-OPTIONS...: one run; box number BOX becomes
# docs/NAME.png.
take() {
  local wanted=$1
  shift
  rm -rf "${shots:?}"/*
  scripts/demo.sh --pictures "$shots" "$@" >"build/pictures.log" 2>&1 || {
    cat build/pictures.log
    exit 1
  }
  local pair
  for pair in $wanted; do
    convert "$shots/box-${pair#*=}.png" -strip -define png:compression-level=9 \
      "docs/${pair%=*}.png"
    echo "docs/${pair%=*}.png"
  done
}

take "question=1 backup=2 success=3"
take "reminder=2" --answer no
take "serial-warning=3" --without-serial
take "backup-failed=2" --backups-taken
take "write-restored=2" --second-386enh
take "registry-denied=3" --read-only-service
