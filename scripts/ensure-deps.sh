#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need; a quick no-op when all are there.
set -euo pipefail

packages=(cmake g++ make googletest
  mingw-w64 gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix
  wine wine32:i386 xvfb x11-utils xdotool imagemagick
  clang-14 libclang-rt-14-dev attr)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Need root to install packages (run as root, or install them first)." >&2
  exit 1
fi
# wine32 is an i386 package.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
