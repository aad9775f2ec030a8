#!/usr/bin/env bash
# Sets everything up and runs the main job on the built-in simulator: the update
# of the sample package against the simulated LocoNet, in virtual time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target skyrelay-update-cli make-sample-package
[ -f examples/paket/beispiel.tup ] || build/make-sample-package examples/paket
exec build/src/cli/skyrelay-update-cli --language de --simulate --yes update examples/paket/beispiel.tup
