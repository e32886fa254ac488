#!/usr/bin/env bash
# Starts or stops the Wine sessions of one build folder: per lane one Xvfb, one prefix, one
# persistent wineserver. Lane 0 lives in <build>/wine-<arch>, lane N in <build>/wine-<arch>-laneN
# (see wine-lane.sh). Everything started is recorded in the lane's folder and stopped by its id.
#   wine-session.sh start <build-folder> <win32|win64> [lanes, default 1]
#   wine-session.sh stop  <build-folder> <win32|win64>
# A new prefix is a copy of a fresh one made once per machine arch beside the build folders
# (<builds>/wine-templates/<arch>): making a prefix under qemu costs half a minute, copying it
# a second or two.
set -uo pipefail
cmd=$1 build=$(cd "$2" && pwd) arch=${3:-win32} lanes=${4:-1}
templates=${HM_WINE_TEMPLATES:-$(dirname "$build")/wine-templates}

lane_dir() { if [ "$1" = 0 ]; then echo "$build/wine-$arch"; else echo "$build/wine-$arch-lane$1"; fi; }

# The emulated CPU of the 32-bit programs. qemu's default model offers AVX and SSE4, which qemu
# runs through slow helpers, and llvmpipe's generated code uses them: a frame of the fake game
# cost about 600 ms, on this SSE3 model about 190 ms (both with CSMT off). Older models are no
# option: on a Pentium III (SSE1) llvmpipe draws wrong pixels. The 32-bit builds target i686.
HM_QEMU_CPU=${HM_QEMU_CPU:-qemu32}

wine_env() {
  export WINEPREFIX=$1 WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
  export DISPLAY=$2 QEMU_CPU=$HM_QEMU_CPU
}

stop_session() {
  local env_file=$1/session.env
  [ -f "$env_file" ] || return 0
  (
    # shellcheck disable=SC1090
    . "$env_file"
    WINEPREFIX=$WINEPREFIX timeout 30 wineserver -k >/dev/null 2>&1
    if [ -n "${HM_XVFB_PID:-}" ] && kill -0 "$HM_XVFB_PID" 2>/dev/null; then
      kill "$HM_XVFB_PID" 2>/dev/null
      for _ in $(seq 50); do kill -0 "$HM_XVFB_PID" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$HM_XVFB_PID" 2>/dev/null
    fi
  )
  rm -f "$env_file"
}

stop_all() {
  local d
  for d in "$build/wine-$arch" "$build/wine-$arch"-lane*; do
    if [ -d "$d" ]; then stop_session "$d"; fi
  done
  return 0
}

# The fresh prefix of this arch, made when missing (under a lock: builds may start at once).
ensure_template() {
  local t=$templates/$arch
  mkdir -p "$templates"
  (
    flock 8
    if [ ! -f "$t/system.reg" ]; then
      echo "creating the $arch Wine prefix template in $t"
      rm -rf "$t" "$t.new"
      WINEPREFIX=$t.new timeout 300 wine wineboot.exe -u </dev/null >"$templates/$arch.wineboot.log" 2>&1
      WINEPREFIX=$t.new timeout 120 wineserver -w
      [ -f "$t.new/system.reg" ] && mv "$t.new" "$t"
    fi
  ) 8>"$templates/$arch.lock"
  [ -f "$t/system.reg" ]
}

start_lane() {
  local state=$1 fd_file xpid display
  mkdir -p "$state"
  rm -rf "$state/busy"
  fd_file=$state/display
  rm -f "$fd_file"
  # -displayfd picks a free display number and writes it once the server listens.
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" </dev/null >"$state/xvfb.log" 2>&1 &
  xpid=$!
  for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
  if [ ! -s "$fd_file" ]; then echo "Xvfb did not start" >&2; kill "$xpid" 2>/dev/null; return 1; fi
  display=":$(tr -d '\n' <"$fd_file")"
  wine_env "$state/prefix" "$display"
  {
    echo "export WINEPREFIX='$WINEPREFIX' WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='"
    echo "export DISPLAY=$display HM_XVFB_PID=$xpid QEMU_CPU=$HM_QEMU_CPU"
  } >"$state/session.env"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    ensure_template || { echo "no $arch Wine prefix template" >&2; return 1; }
    rm -rf "$WINEPREFIX"
    cp -a "$templates/$arch" "$WINEPREFIX" || return 1
  fi
  # Persistent server, streams detached: Wine's background processes must not inherit ours.
  setsid wineserver -p </dev/null >/dev/null 2>&1
  timeout 120 wine cmd.exe /c exit </dev/null >/dev/null 2>&1
  # wined3d's command-stream thread hands every call across threads; under emulation its waits
  # cost more than the drawing (a frame of the fake game: 350 -> 120 ms without it).
  if ! grep -q '"csmt"=dword:00000000' "$WINEPREFIX/user.reg" 2>/dev/null; then
    timeout 120 wine reg add 'HKCU\Software\Wine\Direct3D' /v csmt /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  fi
  echo "Wine session $arch on $display ($WINEPREFIX)"
}

case "$cmd" in
  start)
    stop_all
    for ((i = 0; i < lanes; i++)); do
      start_lane "$(lane_dir "$i")" || exit 1
    done
    ;;
  stop)
    stop_all
    ;;
  *) echo "usage: $0 start|stop <build-folder> <win32|win64> [lanes]" >&2; exit 2 ;;
esac
