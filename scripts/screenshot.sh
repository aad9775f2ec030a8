#!/usr/bin/env bash
# Builds the desktop program when needed, starts it without a display (Qt's
# offscreen platform) with the sample package loaded, and saves pictures of the
# main window and the settings dialog to docs/: at 96 dpi (the README's
# picture, docs/main-window.png), at 144 dpi and at scale factor 2; and in
# English at 96 dpi (docs/main-window-en.png, docs/settings-en.png).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build}

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

# The settings of the pictures: the sample package, the fast interface on a USB port.
settings=$(mktemp)
trap 'rm -f "$settings"' EXIT
printf '%s\r\n3\r\n/dev/ttyUSB0\r\n' "$PWD/examples/paket/beispiel.tup" >"$settings"

mkdir -p docs
shoot() {
  local name=$1 language=$2
  shift 2
  env QT_QPA_PLATFORM=offscreen "$@" "$build_dir/src/app/skyrelay-update" --language "$language" \
    --settings "$settings" \
    --screenshot "docs/main-window$name.png" --screenshot-settings "docs/settings$name.png" 2>/dev/null
  echo "docs/main-window$name.png docs/settings$name.png"
}
shoot "" de QT_FONT_DPI=96
shoot -144dpi de QT_FONT_DPI=144
shoot -scale2 de QT_FONT_DPI=96 QT_SCALE_FACTOR=2
shoot -en en QT_FONT_DPI=96
