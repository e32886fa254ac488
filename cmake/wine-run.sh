#!/usr/bin/env bash
# Runs a Windows program under Wine: CTest's emulator for the win32 and win64 builds.
#   wine-run.sh <win32|win64> <program.exe> [args...]
# Uses the session of the build folder that holds the program (see wine-session.sh); without
# one it starts its own for this run and stops it afterwards.
set -uo pipefail
arch=$1; shift
exe=$1; shift

dir=$(cd "$(dirname "$exe")" && pwd)
build=$dir
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
[ -f "$build/CMakeCache.txt" ] || build=$dir

env_file=$build/wine-$arch/session.env
# Tests of another build folder (the host's drivers) name the session they share.
[ -n "${HM_WINE_SESSION:-}" ] && [ -f "$HM_WINE_SESSION" ] && env_file=$HM_WINE_SESSION
own=0
if [ ! -f "$env_file" ]; then
  bash "$(dirname "$0")/wine-session.sh" start "$build" "$arch" >/dev/null || exit 1
  own=1
fi
# shellcheck disable=SC1090
. "$env_file"
timeout --kill-after=10 "${HM_WINE_TIMEOUT:-600}" wine "$exe" "$@" </dev/null
rc=$?
[ $own = 1 ] && bash "$(dirname "$0")/wine-session.sh" stop "$build" "$arch"
exit $rc
