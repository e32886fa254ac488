#!/usr/bin/env bash
# Starts or stops the Wine session of one build folder: one Xvfb, one prefix, one persistent
# wineserver. Everything started is recorded in <build>/wine/ and stopped by its id.
#   wine-session.sh start <build-folder> <win32|win64>
#   wine-session.sh stop  <build-folder> <win32|win64>
set -uo pipefail
cmd=$1 build=$(cd "$2" && pwd) arch=${3:-win32}
state=$build/wine-$arch
mkdir -p "$state"
env_file=$state/session.env

wine_env() {
  export WINEPREFIX=$state/prefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
  export DISPLAY=$1
}

stop_session() {
  [ -f "$env_file" ] || return 0
  # shellcheck disable=SC1090
  . "$env_file"
  WINEPREFIX=$WINEPREFIX timeout 30 wineserver -k >/dev/null 2>&1
  if [ -n "${HM_XVFB_PID:-}" ] && kill -0 "$HM_XVFB_PID" 2>/dev/null; then
    kill "$HM_XVFB_PID" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$HM_XVFB_PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$HM_XVFB_PID" 2>/dev/null
  fi
  rm -f "$env_file"
}

case "$cmd" in
  start)
    stop_session
    fd_file=$state/display
    rm -f "$fd_file"
    # -displayfd picks a free display number and writes it once the server listens.
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" </dev/null >"$state/xvfb.log" 2>&1 &
    xpid=$!
    for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
    if [ ! -s "$fd_file" ]; then echo "Xvfb did not start" >&2; kill "$xpid" 2>/dev/null; exit 1; fi
    display=":$(tr -d '\n' <"$fd_file")"
    wine_env "$display"
    {
      echo "export WINEPREFIX='$WINEPREFIX' WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='"
      echo "export DISPLAY=$display HM_XVFB_PID=$xpid"
    } >"$env_file"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "creating the $arch Wine prefix in $WINEPREFIX"
      timeout 300 wine wineboot.exe -u </dev/null >"$state/wineboot.log" 2>&1
      timeout 120 wineserver -w
    fi
    # Persistent server, streams detached: Wine's background processes must not inherit ours.
    setsid wineserver -p </dev/null >/dev/null 2>&1
    timeout 120 wine cmd.exe /c exit </dev/null >/dev/null 2>&1
    echo "Wine session $arch on $display ($WINEPREFIX)"
    ;;
  stop)
    stop_session
    ;;
  *) echo "usage: $0 start|stop <build-folder> <win32|win64>" >&2; exit 2 ;;
esac
