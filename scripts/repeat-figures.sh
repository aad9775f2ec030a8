#!/usr/bin/env bash
# Figures for repeated commands: a full update of the sample package on the
# simulated LocoNet (virtual time) with one answer in K damaged on the line, and
# with N answers lost in a row, each in 20 phases. Prints how many runs succeed
# and how much longer they take than a quiet run. Not part of the test suite.
#   bash scripts/repeat-figures.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli=$build/src/cli/skyrelay-update-cli
package=examples/paket/beispiel.tup
[ -x "$cli" ] || { echo "$cli fehlt: erst bauen" >&2; exit 1; }

# Runs one update; prints "ok|fail SECONDS REPEATS".
run() {
  local out rc=0
  out=$("$cli" --language de --simulate --yes "$@" update "$package" 2>&1 </dev/null) || rc=$?
  local seconds repeats
  seconds=$(sed -n 's/^Dauer: \([0-9.]*\) s$/\1/p' <<<"$out")
  repeats=$(sed -n 's/^\([0-9]*\) Antwort\(en\)\{0,1\} wiederholt$/\1/p' <<<"$out")
  if [ "$rc" -eq 0 ] && grep -q '^Update erfolgreich' <<<"$out"; then
    echo "ok ${seconds:-0} ${repeats:-0}"
  else
    echo "fail ${seconds:-0} ${repeats:-0}"
  fi
}

read -r _ quiet _ < <(run)
echo "ruhiger Bus: ${quiet} s"

# Prints one line of figures for the 20 runs of one fault.
summary() {
  local label=$1
  shift
  local ok=0 total=0 added=0 repeats=0 result seconds rep
  while read -r result seconds rep; do
    total=$((total + 1))
    [ "$result" = ok ] && ok=$((ok + 1))
    added=$(awk -v a="$added" -v s="$seconds" -v q="$quiet" 'BEGIN { print a + s - q }')
    repeats=$((repeats + rep))
  done
  awk -v l="$label" -v ok="$ok" -v t="$total" -v a="$added" -v r="$repeats" 'BEGIN {
    printf "%-28s %2d von %2d erfolgreich, im Mittel %+.1f s, %.1f Wiederholungen\n", l, ok, t, a / t, r / t }'
}

for k in 20 50 100 500; do
  for phase in $(seq 0 19); do
    run --sim-damage-every "$k" --sim-damage-offset $((phase * k / 20))
  done | summary "jede ${k}. Antwort beschädigt"
done

for n in 1 2 3 4; do
  for phase in $(seq 0 19); do
    run --sim-drop-answers "$n" --sim-drop-after $((phase * 400))
  done | summary "${n} Antwort(en) in Folge verloren"
done
