#!/usr/bin/env bash
# Installs what building, testing and running the tool under Wine needs on Debian 12.
# Safe to run again: it returns quickly when everything is already there.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# The 32-bit compilers build the shipping executable; the 64-bit ones build what the tests
# run under wine64 (32-bit Wine needs a kernel that runs 32-bit code, which not every
# machine has).
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

# Wine takes its ANSI code page (932) from the locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating ja_JP.UTF-8"
  if [ -f /etc/locale.gen ] && ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen >/dev/null
fi
echo "setup: ok"
