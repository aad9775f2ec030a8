#!/usr/bin/env bash
# Builds the desktop program when needed, starts it without a display (Qt's
# offscreen platform) with the sample package loaded, and saves a picture of
# the main window to docs/main-window.png.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build}
output=${1:-docs/main-window.png}

# A font for the captions.
if ! fc-list 2>/dev/null | grep -q .; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq fonts-dejavu-core fontconfig >/dev/null
fi

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  bash scripts/setup.sh
  cmake -S . -B "$build_dir" >/dev/null
fi
cmake --build "$build_dir" --target skyrelay-update -j"$(nproc)"

# The settings of the picture: the sample package, the fast interface on port 1.
settings=$(mktemp)
trap 'rm -f "$settings"' EXIT
printf '%s\r\n3\r\n1\r\n' "$PWD/examples/paket/beispiel.tup" >"$settings"

mkdir -p "$(dirname "$output")"
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=${SCALE:-2} "$build_dir/src/app/skyrelay-update" --settings "$settings" \
  --screenshot "$output"
echo "$output"
