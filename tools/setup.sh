#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 amd64 machine, as root.
# Idempotent: every step checks first. A failing index of one apt suite never stops it.
set -uo pipefail

QEMU_DIR=${HM_QEMU_DIR:-/opt/hm-qemu}
QEMU=$QEMU_DIR/qemu-i386
APT_DIR=/var/lib/hm-setup
STAMP=$APT_DIR/packages.stamp

log() { echo "setup: $*"; }
sudo_cmd() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

PACKAGES=(
  cmake ninja-build g++ pkg-config file xz-utils
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libcpp-httplib-dev libssl-dev zlib1g-dev
  libzydis-dev libunicorn-dev
  libjpeg-turbo-progs libjpeg-dev
  espeak-ng sox
  clang-14 libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  gcc-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix
  wine wine32:i386 wine64 xvfb xauth
  libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
)

mkdir -p "$APT_DIR"

# Main suites only: the i386 index of the security suite fails here and the version
# skew it causes blocks the multi-arch packages.
MAIN_SRC=$APT_DIR/main-sources
mkdir -p "$MAIN_SRC"
cat >"$MAIN_SRC/main.sources" <<'SRC'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
APT_OPTS=(-o "Dir::Etc::sourceparts=$MAIN_SRC" -o Dir::Etc::sourcelist=/dev/null
          -o Acquire::Retries=3 -o APT::Get::List-Cleanup=false)

want_hash=$(printf '%s\n' "${PACKAGES[@]}" | sha256sum | cut -c1-16)
missing_packages() {
  local p missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  printf '%s\n' "${missing[@]}"
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  log "adding the i386 architecture"
  sudo_cmd dpkg --add-architecture i386
fi

missing=$(missing_packages)
if [ -n "$missing" ]; then
  log "installing: $(echo $missing | tr '\n' ' ')"
  sudo_cmd apt-get "${APT_OPTS[@]}" update -q || log "apt update reported errors (continuing)"
  DEBIAN_FRONTEND=noninteractive sudo_cmd apt-get "${APT_OPTS[@]}" install -y -q --no-install-recommends $missing \
    || { log "package installation failed"; exit 1; }
fi

# qemu-i386 10 from backports, unpacked without installing the package (bookworm's 7.2 is unusable).
qemu_ok() {
  [ -x "$QEMU" ] || return 1
  local v; v=$("$QEMU" --version 2>/dev/null | sed -n 's/.*version \([0-9]*\)\..*/\1/p' | head -1)
  [ -n "$v" ] && [ "$v" -ge 8 ]
}
if ! qemu_ok; then
  log "fetching qemu-i386 from bookworm-backports"
  BP=$APT_DIR/backports
  mkdir -p "$BP/src" "$BP/lists/partial" "$BP/cache/archives/partial" "$BP/dl"
  cat >"$BP/src/bp.sources" <<'SRC'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Architectures: amd64
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  BP_OPTS=(-o "Dir::Etc::sourceparts=$BP/src" -o Dir::Etc::sourcelist=/dev/null
           -o "Dir::State::Lists=$BP/lists" -o "Dir::Cache=$BP/cache" -o APT::Architectures::=amd64
           -o Acquire::Retries=3)
  apt-get "${BP_OPTS[@]}" update -q || log "backports update reported errors (continuing)"
  ( cd "$BP/dl" && rm -f qemu-user_*.deb && apt-get "${BP_OPTS[@]}" download qemu-user/bookworm-backports ) \
    || { log "could not download qemu-user"; exit 1; }
  rm -rf "$BP/x" && dpkg-deb -x "$BP"/dl/qemu-user_*.deb "$BP/x" || exit 1
  sudo_cmd mkdir -p "$QEMU_DIR"
  sudo_cmd install -m 755 "$BP/x/usr/bin/qemu-i386" "$QEMU"
  rm -rf "$BP/x"
  # The F flag opened the old binary at registration: register anew.
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && echo -1 | sudo_cmd tee /proc/sys/fs/binfmt_misc/qemu-i386 >/dev/null
fi

# binfmt_misc: hand i386 ELF programs to our qemu.
BM=/proc/sys/fs/binfmt_misc
if ! mountpoint -q "$BM"; then
  sudo_cmd mount -t binfmt_misc binfmt_misc "$BM" || { log "cannot mount binfmt_misc"; exit 1; }
fi
MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
for f in "$BM"/*; do
  name=$(basename "$f")
  case "$name" in register|status|qemu-i386) continue ;; esac
  if grep -q '^magic 7f454c46010101000000000000000000020003' "$f" 2>/dev/null; then
    log "removing competing i386 handler $name"
    echo -1 | sudo_cmd tee "$f" >/dev/null
  fi
done
if [ -e "$BM/qemu-i386" ] && ! grep -q "interpreter $QEMU" "$BM/qemu-i386"; then
  echo -1 | sudo_cmd tee "$BM/qemu-i386" >/dev/null
fi
if [ ! -e "$BM/qemu-i386" ]; then
  log "registering qemu-i386 with binfmt_misc"
  printf ':qemu-i386:M::%s:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:%s:F' \
    "$MAGIC" "$QEMU" | sudo_cmd tee "$BM/register" >/dev/null || { log "binfmt registration failed"; exit 1; }
fi

if ! /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
  log "32-bit Wine does not start through qemu"
  exit 1
fi
log "ready ($(/usr/lib/wine/wineserver32 --version 2>&1 | head -1), $("$QEMU" --version | head -1))"
