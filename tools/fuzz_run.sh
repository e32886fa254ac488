#!/usr/bin/env bash
# One libFuzzer target over its seed corpus, for a number of inputs or seconds; new inputs go to
# a scratch corpus (or the given one), never into the seeds in the repository.
#   tools/fuzz_run.sh <program> <seed folder> runs <n> [work corpus]
#   tools/fuzz_run.sh <program> <seed folder> seconds <s> [work corpus]
# Prints the program's last status line and "execs=<n> cov=<edges> ft=<features>".
set -uo pipefail
prog=$1 seeds=$2 mode=$3 amount=$4 work=${5:-}
scratch=""
if [ -z "$work" ]; then scratch=$(mktemp -d); work=$scratch; fi
mkdir -p "$work"
args=(-print_final_stats=1 -timeout=10 -rss_limit_mb=2048 -seed=1)
[ "$mode" = runs ] && args+=(-runs="$amount") || args+=(-max_total_time="$amount")
dict=${seeds%/}.dict
[ -f "$dict" ] && args+=(-dict="$dict")
dirs=("$work")
[ -d "$seeds" ] && dirs+=("$seeds")
log=$(mktemp)
# Crash inputs land beside the scratch corpus, never in the source tree.
"$prog" "${args[@]}" -artifact_prefix="$work/" "${dirs[@]}" >"$log" 2>&1
rc=$?
if [ $rc != 0 ]; then
  tail -60 "$log"
  ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* 2>/dev/null
fi
execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}')
cov=$(grep -E '^#[0-9]+' "$log" | grep -o 'cov: [0-9]*' | tail -1 | awk '{print $2}')
ft=$(grep -E '^#[0-9]+' "$log" | grep -o 'ft: [0-9]*' | tail -1 | awk '{print $2}')
echo "$(basename "$prog") execs=${execs:-?} cov=${cov:-?} ft=${ft:-?} rc=$rc"
rm -f "$log"
[ -n "$scratch" ] && rm -rf "$scratch"
exit $rc
