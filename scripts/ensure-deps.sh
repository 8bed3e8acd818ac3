#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need; a quick no-op when all are there.
set -euo pipefail

packages=(cmake g++ make googletest
  mingw-w64 gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix
  wine wine32:i386 xvfb x11-utils xdotool imagemagick
  clang-14 libclang-rt-14-dev attr locales
  osslsigncode openssl ca-certificates unzip python3-pefile libssl-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# Wine's ANSI code page follows the locale: the tests run in ja_JP (code page 932) and hi_IN
# (code page 65001) as well.
ensure_locales() {
  local name
  for name in ja_JP hi_IN; do
    locale -a 2>/dev/null | grep -ix "$name.utf8" >/dev/null && continue
    if [ "$(id -u)" -ne 0 ]; then
      echo "Need root to make the $name.UTF-8 locale (run as root, or make it first)." >&2
      return 1
    fi
    localedef -i "$name" -f UTF-8 "$name.UTF-8" || return 1
  done
}

[ ${#missing[@]} -eq 0 ] && { ensure_locales; exit; }

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
ensure_locales
