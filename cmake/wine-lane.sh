#!/usr/bin/env bash
# Runs one Wine driver test in a free lane of its build folder: a lane is one Wine session
# (Xvfb, prefix, wineserver) that only one test uses at a time, so two tests never share a
# prefix's remembered device, photos folder or registry. The lane's session file becomes
# HM_WINE_SESSION of the test.
#   wine-lane.sh <session-folder> <program> [args...]
# <session-folder> is lane 0 (e.g. <build>/wine-win32); wine-session.sh makes the other lanes
# beside it as <session-folder>-lane<N>. A lane is taken by making <lane>/busy holding the
# test's pid; the test is exec'd, so the lane is free again when that pid is gone.
set -uo pipefail
base=$1; shift

take() {
  local d=$1 pid
  [ -f "$d/session.env" ] || return 1
  if mkdir "$d/busy" 2>/dev/null; then
    echo $$ >"$d/busy/pid"
    return 0
  fi
  pid=$(cat "$d/busy/pid" 2>/dev/null)
  # A lane whose test has gone (killed at a time-out) is free; one just being taken has no pid yet.
  if [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null; then
    rm -rf "$d/busy"
  fi
  return 1
}

while :; do
  for d in "$base" "$base"-lane*; do
    [ -d "$d" ] || continue
    if take "$d"; then
      export HM_WINE_SESSION=$d/session.env
      exec "$@"
    fi
  done
  sleep 0.5
done
