#!/usr/bin/env bash
# Builds every preset and runs every test: native, 32-bit Wine, 64-bit Wine and end to end.
# Installs what is missing first. Exits non-zero on any failure.
#   tools/test.sh [ctest arguments, e.g. -L net or -R core_test]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# Seconds of each phase, printed with the summary: where a slow run spent its time.
declare -A took
phase_start=$SECONDS
bash tools/setup.sh || { echo "setup failed"; exit 1; }
took[setup]=$((SECONDS - phase_start))

# win64 first: the win32 package takes its HM_PluginBrowser.exe. host-asan: the native tests
# under AddressSanitizer and UBSan (no Wine drivers there). fuzz: each libFuzzer target for a
# bounded number of inputs (HM_FUZZ_RUNS).
presets=(win64 win32 host host-asan fuzz)
# The optimised builds without debug information: the same machine code (GCC's -g never changes
# it), a third less compile and link time. HM_TEST_DEBUG_INFO=1 keeps -g (Wine back-traces with
# line numbers). The sanitizer and fuzz builds keep theirs: their reports need the lines.
if [ "${HM_TEST_DEBUG_INFO:-0}" = 1 ]; then opt_flags="-O2 -g -DNDEBUG"; else opt_flags="-O2 -DNDEBUG"; fi
declare -A summary
status=0
total_pass=0
total_fail=0

for p in "${presets[@]}"; do
  phase_start=$SECONDS
  extra=()
  case "$p" in
    win64 | win32 | host)
      extra=(-DCMAKE_C_FLAGS_RELWITHDEBINFO="$opt_flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$opt_flags") ;;
  esac
  [ "$p" = host ] && extra+=(-DHM_WIN32_BUILD="$root/build/win32")
  if ! cmake --preset "$p" -DHM_WERROR=ON "${extra[@]}" >"build-$p.configure.log" 2>&1; then
    cat "build-$p.configure.log"; echo "configure $p failed"; status=1; summary[$p]="configure failed"; continue
  fi
  rm -f "build-$p.configure.log"
  targets=()
  [ "$p" = fuzz ] && targets=(--target fuzz_targets)
  [ "$p" = host-asan ] && targets=(--target native_tests)
  took[configure $p]=$((SECONDS - phase_start))
  phase_start=$SECONDS
  build_ok=1
  cmake --build "build/$p" -j2 "${targets[@]}" || build_ok=0
  took[build $p]=$((SECONDS - phase_start))
  if [ $build_ok = 0 ]; then
    echo "build $p failed"; status=1; summary[$p]="build failed"; continue
  fi
done

for p in host win32 win64 host-asan fuzz; do
  [ -n "${summary[$p]:-}" ] && continue
  jobs=1
  resources=()
  case "$p" in host-asan | win32) jobs=2 ;; esac
  # Three lanes for the host's scenarios: the machine's shares (cmake/ctest-cpu.json) keep a third
  # from starting a drawing game while two run.
  [ "$p" = host ] && jobs=3 && resources=(--resource-spec-file "$root/cmake/ctest-cpu.json")
  labels=()
  [ "$p" = fuzz ] && labels=(-L fuzz)
  log="build/$p/ctest.log"
  start=$SECONDS
  ctest --test-dir "build/$p" --output-on-failure -j"$jobs" "${resources[@]}" "${labels[@]}" "$@" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of' "$log" | tail -1)
  if [ -n "$line" ]; then
    t=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    f=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
    total_pass=$((total_pass + t - f)); total_fail=$((total_fail + f))
    summary[$p]="$line"
  else
    summary[$p]="no tests run (exit $rc)"
  fi
  took[ctest $p]=$((SECONDS - start))
  [ "$rc" = 0 ] || status=1
done

echo
echo "== Summary =="
for p in host win32 win64 host-asan fuzz; do echo "$p: ${summary[$p]}"; done
echo "$total_pass passed, $total_fail failed"
echo
echo "== Seconds per phase =="
for k in setup "configure win64" "build win64" "configure win32" "build win32" "configure host" "build host" \
         "configure host-asan" "build host-asan" "configure fuzz" "build fuzz" \
         "ctest host" "ctest win32" "ctest win64" "ctest host-asan" "ctest fuzz"; do
  [ -n "${took[$k]:-}" ] && printf '%-20s %5d\n' "$k" "${took[$k]}"
done
printf '%-20s %5d\n' total "$SECONDS"
exit $status
