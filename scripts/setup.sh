#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks (once) and builds the given presets.
# Usage: scripts/setup.sh [preset...]   (default: posix win64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

need_install=0
for tool in cmake ninja pkg-config openssl x86_64-w64-mingw32-g++-posix wine xvfb-run xdotool fltk-config curl-config wixl 7z vsftpd clang++; do
  command -v "$tool" >/dev/null 2>&1 || need_install=1
done
[ -f /usr/lib/p7zip/7zCon.sfx ] || need_install=1
[ -d /usr/src/googletest ] || need_install=1
[ -f /usr/include/openssl/evp.h ] || need_install=1
pkg-config --exists libmsi-1.0 2>/dev/null || need_install=1
if [ "$need_install" = 1 ]; then
  if [ "$(id -u)" = 0 ]; then bash .ci/install-deps.sh; else sudo bash .ci/install-deps.sh; fi
fi

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(posix win64)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
