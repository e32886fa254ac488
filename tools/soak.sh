#!/usr/bin/env bash
# The soak on demand: the shipped plugin in the fake game against the hostile fake API.
#   tools/soak.sh [--minutes N] [--seed S]
# Needs the host and win32 builds (tools/test.sh makes them). Prints the seed, the request and
# lie counts, the notices seen and the handle/memory figures.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=3 seed=""
while [ $# -gt 0 ]; do
  case $1 in
    --minutes) minutes=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    *) echo "usage: tools/soak.sh [--minutes N] [--seed S]"; exit 2 ;;
  esac
done
export HM_SOAK_MINUTES=$minutes
[ -n "$seed" ] && export HM_SOAK_SEED=$seed
# The test program directly (CTest's time-out is for the short CI run), with the Wine session
# and the environment CTest would give it.
host=$root/build/host
bash "$root/cmake/wine-session.sh" start "$host" win32 >/dev/null || exit 1
# The game's folder beside the CI run's, never in the source tree.
HM_E2E_DIR=$host/tools/e2e/e2e-runs HM_WIN32_BIN=$root/build/win32/bin HM_WINE_RUN=$root/cmake/wine-run.sh \
  HM_WINE_SESSION=$host/wine-win32/session.env HM_SOURCE_DIR=$root "$host/bin/soak_e2e_test"
rc=$?
bash "$root/cmake/wine-session.sh" stop "$host" win32 >/dev/null
exit $rc
