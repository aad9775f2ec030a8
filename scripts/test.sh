#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: once as built for use (warnings
# are errors), once under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# desktop program's tests once more for the other brand; then builds the Debian
# package and checks its contents.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSKYRELAY_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1

echo "== build and test =="
build build
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer =="
build build-asan -DSKYRELAY_SANITIZE=ON
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== desktop program for the other brand =="
# Only the desktop program and its tests, unoptimised: the brand changes captions only.
cmake -S . -B build-fen -DCMAKE_BUILD_TYPE= -DSKYRELAY_WERROR=ON -DSKYRELAY_BRAND=FEN >/dev/null
cmake --build build-fen -j"$jobs" --target skyrelay_app_tests skyrelay-update
ctest --test-dir build-fen --output-on-failure -j"$jobs" -R '^app\.'

echo "== Debian package =="
rm -f build/skyrelay-update_*.deb
(cd build && cpack -G DEB >/dev/null)
bash scripts/check-deb.sh build/skyrelay-update_*.deb

echo "== fuzz targets, a few seconds each =="
# Keeps the targets building and replays the corpus; scripts/fuzz.sh runs them longer.
bash scripts/fuzz.sh 3
