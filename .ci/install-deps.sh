#!/usr/bin/env bash
# Installs every package the build, the tests and the demo need on a fresh Debian 12 machine.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev \
  mingw-w64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  wine wine64 \
  libcurl4-openssl-dev libfltk1.3-dev xvfb xauth xdotool imagemagick x11-utils \
  python3 python3-pyftpdlib vsftpd lighttpd wixl msitools libmsi-dev libglib2.0-dev pkg-config p7zip-full \
  libssl-dev openssl \
  iproute2 util-linux procps clang-format >/dev/null
