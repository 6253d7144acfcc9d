#!/usr/bin/env bash
# Installs what building, testing and running the tool under Wine needs on Debian 12.
# Safe to run again: it returns quickly when everything is already there.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# The 32-bit compilers build the shipping executable; the 64-bit ones build what the tests
# run where the machine cannot run 32-bit code (see below).
pkgs=(cmake ninja-build make g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
      g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
      googletest wine wine64 xvfb xauth x11-utils imagemagick locales fonts-ipafont-gothic python3
      # what Wine's X11 driver and dialogs use (only recommended by the Wine packages)
      fonts-wine libxrender1 libxcursor1 libxi6 libxrandr2 libxinerama1 libxcomposite1 libxfixes3
      libxxf86vm1 libgnutls30 libdbus-1-3 bc)
for p in "${pkgs[@]}"; do have_pkg "$p" || need+=("$p"); done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# 32-bit Wine beside the 64-bit one, so that the shipping (i686) executable runs in a
# 64-bit prefix as on 64-bit Windows. Only where this machine runs 32-bit code at all:
# elsewhere 32-bit Wine cannot start a single process, and the tests fall back to x86_64.
. "$(dirname "$0")/probe32.sh"
if vnqrx_probe_cpu32; then
    pkgs32=(wine32:i386 libxrender1:i386 libxcursor1:i386 libxi6:i386 libxrandr2:i386 libxinerama1:i386
            libxcomposite1:i386 libxfixes3:i386 libxxf86vm1:i386 libgnutls30:i386 libdbus-1-3:i386)
    need32=()
    for p in "${pkgs32[@]}"; do have_pkg "$p" || need32+=("$p"); done
    if [ ${#need32[@]} -gt 0 ]; then
        echo "setup: installing ${need32[*]}"
        dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
        $SUDO apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need32[@]}" >/dev/null
    fi
else
    echo "setup: no 32-bit Wine: $vnqrx_probe_reason"
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
