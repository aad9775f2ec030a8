#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (folder build-fuzz) and runs each for a
# bounded time. Seeds come from the sample package in examples/paket; the corpus
# grows in build-fuzz/corpus/TARGET between runs, findings land in
# build-fuzz/findings/TARGET/ (crash-*, leak-*, oom-*, timeout-*).
#
#   scripts/fuzz.sh [SECONDS] [TARGET ...]    SECONDS per target (default 60);
#                                             targets: description firmware language
#                                             turnouts character receive (default all)
# A finding is replayed with: build-fuzz/fuzz/fuzz_TARGET FILE
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(description firmware language turnouts character receive)

CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSKYRELAY_FUZZ=ON \
  -DSKYRELAY_QT=OFF -DSKYRELAY_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}" >/dev/null

paket=examples/paket
seed() {  # seed TARGET NAME [PREFIX-BYTE] < bytes
  local dir=build-fuzz/corpus/$1
  mkdir -p "$dir"
  if [ -n "${3:-}" ]; then { printf "\\x$3"; cat; } >"$dir/$2"; else cat >"$dir/$2"; fi
}
seed description beispiel.tup <$paket/beispiel.tup
seed firmware funk.tup <$paket/firmware/funk.tup
seed firmware zentrale.tup <$paket/firmware/zentrale.tup
seed language deutsch.txt <$paket/texte/deutsch.txt
seed language english.txt <$paket/texte/english.txt
seed turnouts symbole.bin 00 <$paket/weichen/symbole.bin
seed turnouts zuordnung.bin 01 <$paket/weichen/zuordnung.bin
seed turnouts liste.bin 02 <$paket/weichen/liste.bin
seed character zeichen1.bin <$paket/zeichen/zeichen1.bin
seed character zeichen2.bin <$paket/zeichen/zeichen2.bin
# A long acknowledge, a loco request and the start of a long message, in pieces.
printf '\x03\xB4\x6D\x7F\x59\x03\xBF\x00\x03\x43\x01\xE7\x1F\x00' | seed receive answers.bin

failed=0
for t in "${targets[@]}"; do
  max_len=4096
  case $t in
    firmware) max_len=33000 ;;
    turnouts) max_len=33000 ;;
  esac
  mkdir -p "build-fuzz/findings/$t"
  echo "== fuzz_$t: $seconds s =="
  if ! build-fuzz/fuzz/fuzz_"$t" -max_total_time="$seconds" -max_len="$max_len" \
    -malloc_limit_mb=100 -rss_limit_mb=1024 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/findings/$t/" "build-fuzz/corpus/$t" 2>"build-fuzz/fuzz_$t.log"; then
    failed=1
    echo "fuzz_$t: FINDING, see build-fuzz/fuzz_$t.log and build-fuzz/findings/$t/"
  fi
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "build-fuzz/fuzz_$t.log" | tr '\n' ' '
  echo
done
exit $failed
