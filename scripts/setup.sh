#!/usr/bin/env bash
# Installs what the build needs from Debian's packages, when it is missing.
set -euo pipefail

packages=(cmake g++ make libgtest-dev qt6-base-dev qt6-serialport-dev qt6-translations-l10n clang-format
  qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools  # lupdate and lrelease for translations/*.ts
  libqt6svg6 dpkg-dev
  xvfb libxcb1-dev  # the desktop program's test on a virtual X server
  clang libclang-rt-14-dev)  # clang and libFuzzer for the fuzz targets (scripts/fuzz.sh)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
