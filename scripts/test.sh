#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test under Wine (in the build's own
# prefix, under Xvfb), then the checks of the shipping executable.
#
# Where this machine runs 32-bit code, the tests run the shipping (i686) code in a 64-bit
# prefix with 32-bit support, as the tool meets 64-bit Windows, and the end-to-end tests
# drive build/release/bin/CleanupVnQRX.exe itself. Elsewhere they run the same sources
# built for x86_64. The last line says which, and why.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

cmake --preset release >/dev/null
cmake --build --preset release

. scripts/probe32.sh
# The Wine half of the probe runs in the i686 build's own prefix, in a subshell that
# stops that prefix's wineserver again.
probe_wine32() {
    export VNQRX_WINE_DIR="$root/build/test-i686/wine"
    . scripts/wine-env.sh
    trap vnqrx_prefix_stop EXIT
    if ! vnqrx_prefix_init; then
        echo "the 64-bit Wine prefix could not be made" >"$reason_file"
        return 1
    fi
    vnqrx_probe_wine32 "$root/build/test-i686/probe" || { echo "$vnqrx_probe_reason" >"$reason_file"; return 1; }
}
reason_file="$root/build/test-i686/probe.reason"
mkdir -p build/test-i686
rm -f "$reason_file"
arch=x86_64
if vnqrx_probe_cpu32 && (probe_wine32); then
    arch=i686
elif [ -z "$vnqrx_probe_reason" ]; then
    vnqrx_probe_reason=$(cat "$reason_file" 2>/dev/null || echo "32-bit Wine did not start an i686 program")
fi
if [ $arch = i686 ]; then
    preset=test-i686
    summary="tests ran on: i686 (shipping build)"
else
    preset=test
    summary="tests ran on: x86_64 (this machine cannot run 32-bit code: $vnqrx_probe_reason)"
fi

cmake --preset $preset >/dev/null
cmake --build --preset $preset

export VNQRX_WINE_DIR="$root/build/$preset/wine"
. scripts/wine-env.sh
. scripts/xvfb.sh
vnqrx_xvfb_start
trap 'vnqrx_prefix_stop; vnqrx_xvfb_stop; echo "$summary"' EXIT
vnqrx_prefix_init

ctest --preset $preset "$@"
