#!/usr/bin/env bash
# The demo: the fake community API and the fake game with HM_Plugin.dll under 32-bit Wine play
# two short scripted evenings: a first start where the player asks to connect
# (tools/demo_scenario.txt), then a later start that resumes the remembered device and takes and
# shows photos (tools/demo_photos.txt). Writes out/demo/*.png (the game's frames, numbered in play
# order) and out/demo/log.txt (what the game was told and answered, every request the API saw).
# Installs what is missing first; works on a fresh clone.
#   tools/demo.sh [--no-build]   (--no-build: play with the programs already built)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=$root/out/demo
session_dir=$root/build/demo   # the demo's own Wine session and prefix, apart from the tests'
started=$(date +%s)

step() { echo "demo: $*"; }

if [ "${1:-}" != --no-build ]; then
  bash tools/setup.sh || { echo "demo: setup failed"; exit 1; }
  step "building (win32: plugin and fake game; host: fake API and driver)"
  cmake --preset win32 -DHM_WERROR=ON >/dev/null || { echo "demo: configure win32 failed"; exit 1; }
  cmake --build build/win32 -j2 --target HM_Plugin fake_game session_probe || { echo "demo: build win32 failed"; exit 1; }
  cmake --preset host -DHM_WERROR=ON -DHM_WIN32_BUILD="$root/build/win32" >/dev/null || { echo "demo: configure host failed"; exit 1; }
  cmake --build build/host -j2 --target fake_api_server fake_world_drive || { echo "demo: build host failed"; exit 1; }
fi

rm -rf "$out"
mkdir -p "$out" "$session_dir"
api_pid=
cleanup() {
  [ -n "$api_pid" ] && kill "$api_pid" 2>/dev/null && wait "$api_pid" 2>/dev/null
  bash cmake/wine-session.sh stop "$session_dir" win32 >/dev/null 2>&1
}
trap cleanup EXIT

step "starting the Wine session (the first run also creates its prefix)"
bash cmake/wine-session.sh start "$session_dir" win32 || { echo "demo: Wine session failed"; exit 1; }

step "starting the fake API"
build/host/bin/fake_api_server --log "$out/api.log" --ready-file "$out/api.url" \
  --photo-world ui/pictures/picture0.jpg &
api_pid=$!
for _ in $(seq 100); do [ -s "$out/api.url" ] && break; sleep 0.1; done
[ -s "$out/api.url" ] || { echo "demo: the fake API did not start"; exit 1; }
api_url=$(cat "$out/api.url")

export HM_WIN32_BIN=$root/build/win32/bin HM_WINE_RUN=$root/cmake/wine-run.sh
export HM_WINE_SESSION=$session_dir/wine-win32/session.env HM_WINE_TIMEOUT=600
play() {  # play <run folder> <script> [driver options...]
  local run=$1 script=$2
  shift 2
  timeout 900 build/host/bin/fake_world_drive --dir "$session_dir/$run" --api-url "$api_url" \
    --shots "$out" "$@" "$script" >>"$out/drive.log" 2>&1
}
probe() { "$HM_WINE_RUN" win32 "$HM_WIN32_BIN/session_probe.exe" "$@" >>"$out/drive.log" 2>&1; }

play_started=$(date +%s)
step "first evening: the player asks to connect (tools/demo_scenario.txt)"
play first tools/demo_scenario.txt
rc=$?
if [ $rc = 0 ]; then
  step "second evening: the remembered device resumes; photos (tools/demo_photos.txt)"
  # The device the player paired on an earlier evening, kept by the plugin's own DPAPI code.
  echo "$(date +%H:%M:%S) session_probe save-plugin: the remembered device of an earlier pairing" >>"$out/drive.log"
  probe save-plugin "$api_url" de71ce0000000000000000000000000000000000000000000000000000000001
  play second tools/demo_photos.txt --ini AutoConnect=1 --game-arg --hm-2d-pass
  rc=$?
  probe forget-plugin
  photos=$(find "$session_dir/wine-win32/prefix/drive_c/users" -path '*HMMedia/Photos/*.jpg' 2>/dev/null)
  for f in $photos; do cp "$f" "$out/photos-folder-$(basename "$f")"; done
  echo "$(date +%H:%M:%S) photos folder: $(echo $photos | xargs -n1 basename 2>/dev/null | tr '\n' ' ')" >>"$out/drive.log"
  rm -f $photos
fi
played=$(( $(date +%s) - play_started ))

kill "$api_pid" 2>/dev/null && wait "$api_pid" 2>/dev/null
api_pid=
cat "$session_dir"/first/game.log "$session_dir"/second/game.log >"$out/game-output.log" 2>/dev/null

{
  echo "HM Plugin demo, $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
  echo "Fake API: $api_url"
  echo "Scenarios: tools/demo_scenario.txt, tools/demo_photos.txt, played in ${played} s, exit $rc"
  echo
  echo "== The game: commands and answers =="
  cat "$out/drive.log"
  echo
  echo "== Requests the fake API saw =="
  grep -c ' -> ' "$out/api.log" | sed 's/^/requests: /'
  cat "$out/api.log"
  echo
  echo "== Screenshots =="
  ls -1 "$out"/*.png 2>/dev/null || echo "(none)"
} >"$out/log.txt"
rm -f "$out/drive.log" "$out/api.url"

echo
cat "$out/log.txt"
echo
step "done in $(( $(date +%s) - started )) s: $out/log.txt and $(ls "$out"/*.png 2>/dev/null | wc -l) screenshots"
exit $rc
