#!/usr/bin/env bash
# Builds the fuzz preset and runs every *_fuzz program for the given seconds each (default 60),
# one after the other, over a corpus kept in build/fuzz/corpus/<name> (grown from the seeds in
# <folder>/fuzz_corpus/<name>/). Prints executions and coverage (edges) per target; exits
# non-zero when any target finds a crash (the input is left in its corpus folder).
#   tools/fuzz.sh [seconds]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
cmake --preset fuzz >build-fuzz.configure.log 2>&1 || { cat build-fuzz.configure.log; exit 1; }
rm -f build-fuzz.configure.log
cmake --build build/fuzz -j2 --target fuzz_targets || exit 1
status=0
results=()
for prog in build/fuzz/bin/*_fuzz; do
  [ -x "$prog" ] || continue
  name=$(basename "$prog")
  seeds=$(find "$root" -path "$root/build" -prune -o -type d -path "*/fuzz_corpus/$name" -print | head -1)
  line=$(bash tools/fuzz_run.sh "$prog" "${seeds:-/nonexistent}" seconds "$seconds" "build/fuzz/corpus/$name" | tail -1)
  rc=$?
  echo "$line"
  results+=("$line")
  grep -q ' rc=0$' <<<"$line" || status=1
done
echo
echo "== fuzz: ${seconds} s per target =="
printf '%s\n' "${results[@]}"
exit $status
