#!/usr/bin/env bash
# The demo: the fake community API and the fake game with the shipped HM_Plugin.dll under 32-bit
# Wine play five short evenings:
#   1. tools/demo_scenario.txt  a first start: the player asks to connect (Ctrl+F10), agrees in
#                               the consent dialog, answers the form the server opens on the
#                               in-game computer, then on its desktop moves an icon, opens a
#                               contract with a double click and signs it;
#   2. tools/demo_photos.txt    a later start resumes the remembered device of an earlier pairing,
#                               fetches and verifies the newer release the server announces, and
#                               takes and shows photos;
#   3. tools/demo_voice_scenario.txt  the same device, the fake samp.dll and ALSA file devices:
#                               the player talks nearby and on the work radio; the receptionist
#                               greets the player, then Ctrl+N switches NPC voices off;
#   4. tools/demo_tv.txt        the same device in a 64-bit prefix: the server turns the TV on and
#                               the plugin starts the 64-bit browser helper (fake framework);
#   5. tools/demo_vehicles.txt  the same device with the game's camera and vehicle routines, in the
#                               64-bit prefix with the TV on: the cockpit camera on C
#                               (18-cockpit-camera.png), the TV in a 403's windscreen placed by the
#                               camera (19-tv-in-cab.png), and the ladder truck's keys, hidden
#                               built-in ladder and ladder meshes (20-ladder-truck.png).
# Writes out/demo/NN-*.png (the game's frames, numbered in play order), the photo the plugin kept,
# voice-playback.wav (the dispatcher's answer), voice-microphone.raw (the clip), npc-voice.wav
# (the receptionist's greeting as played) and npc-greeting.ul (her clip as served), and
# out/demo/log.txt (what the game was told and answered, every request the API saw).
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
  # The package the server announces is the real one: it takes the win64 helper program.
  cmake --preset win64 -DHM_WERROR=ON >/dev/null || { echo "demo: configure win64 failed"; exit 1; }
  cmake --build build/win64 -j2 --target HM_PluginBrowser fake_libcef || { echo "demo: build win64 failed"; exit 1; }
  cmake --build build/win32 -j2 --target HM_Plugin fake_game fake_samp session_probe package || { echo "demo: build win32 failed"; exit 1; }
  cmake --preset host -DHM_WERROR=ON -DHM_WIN32_BUILD="$root/build/win32" >/dev/null || { echo "demo: configure host failed"; exit 1; }
  cmake --build build/host -j2 --target fake_api_server fake_world_drive || { echo "demo: build host failed"; exit 1; }
fi

rm -rf "$out"
mkdir -p "$out" "$session_dir"
api_pid=
cleanup() {
  [ -n "$api_pid" ] && kill "$api_pid" 2>/dev/null && wait "$api_pid" 2>/dev/null
  bash cmake/wine-session.sh stop "$session_dir" win32 >/dev/null 2>&1
  bash cmake/wine-session.sh stop "$session_dir" win64 >/dev/null 2>&1
}
trap cleanup EXIT

step "starting the Wine session (the first run also creates its prefix)"
bash cmake/wine-session.sh start "$session_dir" win32 || { echo "demo: Wine session failed"; exit 1; }

# The server announces a newer build, 1.01, with the package the build made (stand-in bytes when
# it was not made, e.g. with --no-build on a tree without the win64 helper).
package=$root/build/win32/HM_Plugin-client.zip
if [ ! -s "$package" ]; then
  package=$session_dir/stand-in-package.zip
  head -c 3000000 /dev/urandom >"$package"
fi
package_sha=$(sha256sum "$package" | cut -c1-64)
# A package verified by an earlier demo run would be found complete and not fetched again.
rm -rf "$session_dir"/wine-win32/prefix/drive_c/users/*/Downloads/HM_Plugin

# The receptionist's greeting, spoken in Czech and served as 16 kHz mu-law (a tone without
# espeak-ng and sox).
if command -v espeak-ng >/dev/null && command -v sox >/dev/null; then
  espeak-ng -v cs -s 150 -w "$session_dir/npc-greeting.wav" "Dobrý den, vítejte na recepci. Čím vám mohu pomoci?" &&
    sox "$session_dir/npc-greeting.wav" -r 16000 -c 1 -e mu-law -t raw "$out/npc-greeting.ul"
fi
[ -s "$out/npc-greeting.ul" ] || python3 - "$out/npc-greeting.ul" <<'PY'
import math, sys
def mulaw(s):
    sign = 0x80 if s < 0 else 0
    m = min(abs(s), 32635) + 0x84
    e = 7
    while e > 0 and not m & (0x4000 >> (7 - e)): e -= 1
    return ~(sign | e << 4 | (m >> (e + 3)) & 0x0F) & 0xFF
with open(sys.argv[1], "wb") as f:
    f.write(bytes(mulaw(int(8000 * math.sin(2 * math.pi * 440 * i / 16000))) for i in range(24000)))
PY

step "starting the fake API (newer release 1.01, package $(basename "$package"), $(stat -c %s "$package") bytes)"
build/host/bin/fake_api_server --log "$out/api.log" --ready-file "$out/api.url" \
  --photo-world ui/pictures/picture0.jpg --voice-room --editor-world 3 --editor-computer 5 --npc-stage "$out/npc-greeting.ul" --newer-package "$package" --newer-sha256 "$package_sha" --tv 30001 &
api_pid=$!
for _ in $(seq 100); do [ -s "$out/api.url" ] && break; sleep 0.1; done
[ -s "$out/api.url" ] || { echo "demo: the fake API did not start"; exit 1; }
api_url=$(cat "$out/api.url")

export HM_WIN32_BIN=$root/build/win32/bin HM_WINE_RUN=$root/cmake/wine-run.sh
export HM_WINE_SESSION=$session_dir/wine-win32/session.env HM_WINE_TIMEOUT=600
play() {  # play <run folder> <script> [driver options...]
  local run=$1 script=$2
  shift 2
  echo "$(date +%H:%M:%S) ==== $script" >>"$out/drive.log"
  timeout 900 build/host/bin/fake_world_drive --dir "$session_dir/$run" --api-url "$api_url" \
    --shots "$out" "$@" "$script" >>"$out/drive.log" 2>&1
}
probe() { "$HM_WINE_RUN" win32 "$HM_WIN32_BIN/session_probe.exe" "$@" >>"$out/drive.log" 2>&1; }
credential=de71ce0000000000000000000000000000000000000000000000000000000001

play_started=$(date +%s)
step "first evening: the player connects and answers a form on the computer (tools/demo_scenario.txt)"
# Paired this evening, it leaves the release download to the next one, which shows it.
play first tools/demo_scenario.txt --ini AutoDownloadUpdates=0
rc=$?

if [ $rc = 0 ]; then
  step "second evening: the remembered device resumes; the update and photos (tools/demo_photos.txt)"
  # The device the player paired on an earlier evening, kept by the plugin's own DPAPI code.
  echo "$(date +%H:%M:%S) session_probe save-plugin: the remembered device of an earlier pairing" >>"$out/drive.log"
  probe save-plugin "$api_url" "$credential"
  play second tools/demo_photos.txt --ini AutoConnect=1 --game-arg --hm-2d-pass
  rc=$?
  photos=$(find "$session_dir/wine-win32/prefix/drive_c/users" -path '*HMMedia/Photos/*.jpg' 2>/dev/null)
  for f in $photos; do cp "$f" "$out/photos-folder-$(basename "$f")"; done
  echo "$(date +%H:%M:%S) photos folder: $(echo $photos | xargs -n1 basename 2>/dev/null | tr '\n' ' ')" >>"$out/drive.log"
  rm -f $photos
  downloaded=$(find "$session_dir/wine-win32/prefix/drive_c/users" -path '*Downloads/HM_Plugin/*' -type f 2>/dev/null)
  echo "$(date +%H:%M:%S) Downloads: $(echo $downloaded | xargs -n1 2>/dev/null | sed 's#.*/Downloads/##' | tr '\n' ' ')" >>"$out/drive.log"
fi

if [ $rc = 0 ]; then
  # The fake samp.dll and ALSA file devices: the microphone reads a clip (raw 16 kHz mono
  # S16_BE), each speaker writes a WAV.
  step "third evening: talking nearby and on the work radio (tools/demo_voice_scenario.txt)"
  if command -v espeak-ng >/dev/null && command -v sox >/dev/null; then
    # The player's words, spoken in Czech, as the microphone's clip.
    espeak-ng -v cs -s 150 -w "$session_dir/voice-clip.wav" "Rádiová zkouška. Jedna, dva, tři. Slyšíte mě?" &&
      sox "$session_dir/voice-clip.wav" -r 16000 -c 1 -b 16 -e signed-integer -B -t raw "$out/voice-microphone.raw"
  fi
  [ -s "$out/voice-microphone.raw" ] || python3 - "$out/voice-microphone.raw" <<'PY'
import math, struct, sys
# Without espeak-ng and sox: two seconds of a wavering tone.
with open(sys.argv[1], "wb") as f:
    for i in range(32000):
        t = i / 16000.0
        s = int(9000 * math.sin(2 * math.pi * (300 + 200 * math.sin(2 * math.pi * 0.5 * t)) * t))
        f.write(struct.pack(">h", s if s != 0 else 1))
PY
  cat >"$session_dir/voice-alsa.conf" <<CONF
pcm.null { type null }
pcm.!default {
  type asym
  playback.pcm { type file slave.pcm { type null } file "$out/voice-playback.wav" format "wav" truncate false }
  capture.pcm { type plug slave { pcm { type file slave.pcm { type null } file "$session_dir/voice-captured.raw" infile "$out/voice-microphone.raw" format "raw" } format S16_BE } }
}
CONF
  ALSA_CONFIG_PATH=$session_dir/voice-alsa.conf play third tools/demo_voice_scenario.txt --ini AutoConnect=1 --samp 1
  rc=$?
fi
# One WAV per opened playback device, numbered in opening order: the greeting is the last.
last_wav=$(ls "$out"/voice-playback.wav.* 2>/dev/null | sort -V | tail -1)
[ -n "$last_wav" ] && mv "$last_wav" "$out/npc-voice.wav"
probe forget-plugin

helper_bin=$root/build/win64/bin
if [ $rc = 0 ] && [ -s "$helper_bin/HM_PluginBrowser.exe" ] && [ -s "$helper_bin/libcef.dll" ]; then
  step "fourth evening: the TV in a 64-bit prefix, the plugin starts the browser helper (tools/demo_tv.txt)"
  # The 64-bit prefix is made once (about half a minute) and kept in build/demo.
  bash cmake/wine-session.sh start "$session_dir" win64 >>"$out/drive.log" 2>&1
  export HM_WINE_SESSION=$session_dir/wine-win64/session.env
  echo "$(date +%H:%M:%S) session_probe save-plugin (64-bit prefix): the remembered device" >>"$out/drive.log"
  probe save-plugin "$api_url" "$credential"
  play fourth tools/demo_tv.txt --ini AutoConnect=1 --ini Television=1 --helper "$helper_bin"
  rc=$?
  cp "$session_dir/fourth/HM_PluginBrowser/fake_cef_record.txt" "$out/tv-helper-record.txt" 2>/dev/null
  echo "$(date +%H:%M:%S) browser helpers left after the game: $(grep -l 'HM_PluginBrowser.exe' /proc/[0-9]*/cmdline 2>/dev/null | xargs -r grep -l fourth 2>/dev/null | wc -l)" >>"$out/drive.log"
  if [ $rc = 0 ]; then
    # The vehicles in the same prefix: the cab of a 403 shows the TV where the camera puts it.
    step "fifth evening: the cockpit camera, the TV in the cab and the ladder truck (tools/demo_vehicles.txt)"
    play fifth tools/demo_vehicles.txt --ini AutoConnect=1 --ini Television=1 --helper "$helper_bin" --samp 1 --game-arg --gta-routines
    rc=$?
    fifth_played=1
  fi
  probe forget-plugin
  bash cmake/wine-session.sh stop "$session_dir" win64 >/dev/null 2>&1
  export HM_WINE_SESSION=$session_dir/wine-win32/session.env
else
  step "fourth evening skipped: no win64 helper with the fake framework in $helper_bin"
fi
if [ $rc = 0 ] && [ -z "${fifth_played:-}" ]; then
  step "fifth evening: the cockpit camera and the ladder truck, no TV without the helper (tools/demo_vehicles.txt)"
  probe save-plugin "$api_url" "$credential"
  play fifth tools/demo_vehicles.txt --ini AutoConnect=1 --samp 1 --game-arg --gta-routines
  rc=$?
  probe forget-plugin
fi
played=$(( $(date +%s) - play_started ))

kill "$api_pid" 2>/dev/null && wait "$api_pid" 2>/dev/null
api_pid=
cat "$session_dir"/{first,second,third,fourth,fifth}/game.log >"$out/game-output.log" 2>/dev/null

{
  echo "HM Plugin demo, $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
  echo "Fake API: $api_url"
  echo "Evenings: tools/demo_scenario.txt, tools/demo_photos.txt, tools/demo_voice_scenario.txt, tools/demo_tv.txt, tools/demo_vehicles.txt;" \
       "played in ${played} s, exit $rc"
  echo
  echo "== The game: commands and answers =="
  cat "$out/drive.log"
  echo
  echo "== Requests the fake API saw =="
  grep -c ' -> ' "$out/api.log" | sed 's/^/requests: /'
  grep -c 'voice exchange' "$out/api.log" | sed 's/^/voice exchanges (one line each): /'
  cat "$out/api.log"
  echo
  echo "== Voice: the dispatcher's WAV (statistics) =="
  python3 - "$out/voice-playback.wav" <<'PY'
import math, sys, wave
try:
    w = wave.open(sys.argv[1], "rb")
except Exception as e:
    print("no WAV:", e); sys.exit(0)
n = w.getnframes(); raw = w.readframes(n)
s = [int.from_bytes(raw[i:i + 2], "little", signed=True) for i in range(0, len(raw) - 1, 2)]
nz = [v for v in s if v]
print("rate %d Hz, channels %d, %d samples (%.2f s), %d not silent" % (w.getframerate(), w.getnchannels(), len(s), len(s) / max(1, w.getframerate()), len(nz)))
if nz:
    print("peak %d, RMS of the non-silent samples %.1f" % (max(abs(v) for v in nz), math.sqrt(sum(v * v for v in nz) / len(nz))))
PY
  if command -v sox >/dev/null && [ -s "$out/voice-playback.wav" ]; then
    echo "sox stat:"
    sox "$out/voice-playback.wav" -n stat 2>&1
  fi
  echo
  echo "== NPC voices: requests (one line each) and the receptionist's WAV =="
  grep -c ' npc events' "$out/api.log" | sed 's/^/events requests: /'
  grep ' npc audio\| npc near' "$out/api.log"
  if command -v sox >/dev/null && [ -s "$out/npc-voice.wav" ]; then
    echo "npc-voice.wav:"
    sox "$out/npc-voice.wav" -n stat 2>&1
  else
    echo "npc-voice.wav: $(stat -c %s "$out/npc-voice.wav" 2>/dev/null || echo missing) bytes"
  fi
  echo
  echo "== TV: the browser helper's record (fake framework) =="
  cat "$out/tv-helper-record.txt" 2>/dev/null || echo "(no TV evening)"
  echo "TV state requests: $(grep -c 'GET .*/tv/state' "$out/api.log"), the first at $(grep -m1 'GET .*/tv/state' "$out/api.log" | cut -d' ' -f1)"
  echo
  echo "== Vehicles: camera records asked for, ladder keys handed to samp.dll =="
  echo "vehicle-camera requests: $(grep -c 'GET .*/vehicle-camera' "$out/api.log")"
  grep -m3 'GET .*/vehicle-camera' "$out/api.log"
  grep -o '[0-9]*:/hmladderkey [0-9]' "$out/drive.log" | tr '\n' ' '
  echo
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
