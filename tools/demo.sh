#!/usr/bin/env bash
# The demo: the fake community API and the fake game with HM_Plugin.dll under 32-bit Wine play
# a short scripted scenario (tools/demo_scenario.txt). Writes out/demo/*.png (the game's frames)
# and out/demo/log.txt (what the game was told and answered, every request the API saw).
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

# The server announces a newer build; its package is the real one when the package target was
# built (it needs the win64 helper), otherwise stand-in bytes.
package=$root/build/win32/HM_Plugin-client.zip
if [ ! -s "$package" ]; then
  package=$session_dir/stand-in-package.zip
  head -c 3000000 /dev/urandom >"$package"
fi
package_sha=$(sha256sum "$package" | cut -c1-64)

step "starting the fake API (newer release 1.01, package $(basename "$package"), $(stat -c %s "$package") bytes)"
build/host/bin/fake_api_server --log "$out/api.log" --ready-file "$out/api.url" \
  --newer-package "$package" --newer-sha256 "$package_sha" &
api_pid=$!
for _ in $(seq 100); do [ -s "$out/api.url" ] && break; sleep 0.1; done
[ -s "$out/api.url" ] || { echo "demo: the fake API did not start"; exit 1; }
api_url=$(cat "$out/api.url")

# The player paired on an earlier evening and let the plugin remember the device: the plugin
# resumes by itself (AutoConnect=1), which needs no door in the shipped DLL.
# A package verified by an earlier demo run would be found complete and not fetched again.
rm -rf "$session_dir"/wine-win32/prefix/drive_c/users/*/Downloads/HM_Plugin
step "remembering a device for $api_url"
HM_WINE_SESSION=$session_dir/wine-win32/session.env HM_WINE_TIMEOUT=120 \
  bash cmake/wine-run.sh win32 build/win32/bin/session_probe.exe forget-plugin >/dev/null 2>&1
HM_WINE_SESSION=$session_dir/wine-win32/session.env HM_WINE_TIMEOUT=120 \
  bash cmake/wine-run.sh win32 build/win32/bin/session_probe.exe save-plugin "$api_url" \
  de71ce0000000000000000000000000000000000000000000000000000000001 >"$out/probe.log" 2>&1 \
  || { echo "demo: remembering the device failed"; cat "$out/probe.log"; exit 1; }
rm -f "$out/probe.log"

step "playing the scenario against $api_url"
play_started=$(date +%s)
HM_WIN32_BIN=$root/build/win32/bin HM_WINE_RUN=$root/cmake/wine-run.sh \
HM_WINE_SESSION=$session_dir/wine-win32/session.env HM_WINE_TIMEOUT=600 \
  timeout 900 build/host/bin/fake_world_drive --dir "$session_dir/run" --api-url "$api_url" \
    --shots "$out" --ini AutoConnect=1 tools/demo_scenario.txt >"$out/drive.log" 2>&1
rc=$?
played=$(( $(date +%s) - play_started ))

kill "$api_pid" 2>/dev/null && wait "$api_pid" 2>/dev/null
api_pid=
cp "$session_dir/run/game.log" "$out/game-output.log" 2>/dev/null

{
  echo "HM Plugin demo, $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
  echo "Fake API: $api_url"
  echo "Scenario: tools/demo_scenario.txt, played in ${played} s, driver exit $rc"
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
