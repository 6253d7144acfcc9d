#!/usr/bin/env bash
# Installs what building, testing and running the tool under Wine needs on Debian 12.
# Safe to run again: it returns quickly when everything is already there.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

pkgs=(cmake ninja-build make g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
      googletest wine wine32:i386 xvfb xauth x11-utils imagemagick locales fonts-ipafont-gothic python3)
for p in "${pkgs[@]}"; do have_pkg "$p" || need+=("$p"); done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# Wine takes its ANSI code page (932) from the locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating ja_JP.UTF-8"
  if [ -f /etc/locale.gen ] && ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen >/dev/null
fi
echo "setup: ok"
