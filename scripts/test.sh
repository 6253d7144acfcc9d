#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test under Wine (in the build's own
# prefix, under Xvfb), then the checks of the shipping executable.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

cmake --preset test >/dev/null
cmake --build --preset test
cmake --preset release >/dev/null
cmake --build --preset release

export VNQRX_WINE_DIR="$root/build/test/wine"
. scripts/wine-env.sh
. scripts/xvfb.sh
vnqrx_xvfb_start
trap 'vnqrx_prefix_stop; vnqrx_xvfb_stop' EXIT
vnqrx_prefix_init

ctest --preset test "$@"
