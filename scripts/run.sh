#!/usr/bin/env bash
# The main job, end to end: sets up what is missing, builds, stages an installation of
# the suite in a fresh Wine prefix, runs CleanupVnQRX (the shipping executable where the
# machine can run 32-bit code) through a full uninstall (in a
# window on your display when there is one, otherwise under Xvfb), prints what was
# staged and what is left, and saves screenshots to docs/screenshots/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

cmake --preset release >/dev/null
cmake --build --preset release

# The shipping executable where this machine runs 32-bit code (with the stager and the
# driver built for i686 too), else the same sources built for x86_64.
export VNQRX_WINE_DIR="$root/build/demo/wine"
rm -rf "$VNQRX_WINE_DIR"
. scripts/wine-env.sh
trap vnqrx_prefix_stop EXIT
echo "run: creating a fresh Wine prefix in $WINEPREFIX"
. scripts/probe32.sh
if vnqrx_probe_cpu32 && vnqrx_prefix_init && vnqrx_probe_wine32 "$root/build/demo/probe"; then
    preset=test-i686
    tool=build/release/bin/CleanupVnQRX.exe
    echo "run: uninstalling with the shipping executable (i686) in a 64-bit prefix"
else
    preset=test
    tool=build/test/bin/CleanupVnQRX.exe
    echo "run: uninstalling with the x86_64 build (this machine cannot run 32-bit code: $vnqrx_probe_reason)"
fi
vnqrx_prefix_stop
cmake --preset $preset >/dev/null
cmake --build --preset $preset --target CleanupVnQRX vnqrx_stage vnqrx_demo

. scripts/xvfb.sh
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    export VNQRX_USE_DISPLAY=1
    echo "run: using your display $DISPLAY"
fi
vnqrx_xvfb_start
trap 'vnqrx_prefix_stop; vnqrx_xvfb_stop' EXIT
vnqrx_prefix_init
bin="$WINEPREFIX/drive_c/vnqrx/bin"
cp "$tool" build/$preset/bin/vnqrx_stage.exe build/$preset/bin/vnqrx_demo.exe "$bin/"
cd "$bin"

echo
echo "== Staged installation =="
"$VNQRX_WINE" 'C:\vnqrx\bin\vnqrx_stage.exe' stage

echo
echo "== Running CleanupVnQRX (Uninstall, Yes, OK, Exit) =="
"$VNQRX_WINE" 'C:\vnqrx\bin\vnqrx_demo.exe' 'C:\vnqrx\shots'

echo
echo "== What is left =="
"$VNQRX_WINE" 'C:\vnqrx\bin\vnqrx_stage.exe' report

mkdir -p "$root/docs/screenshots"
# Pixels only (no time stamps or other metadata): the same pictures give the same files,
# so a run shows in git whether the committed screenshots are still what the tool draws.
for f in "$WINEPREFIX"/drive_c/vnqrx/shots/*.bmp; do
    convert "$f" -strip -define png:exclude-chunks=date,time "$root/docs/screenshots/$(basename "${f%.bmp}").png"
done
echo
echo "run: screenshots in docs/screenshots/"
