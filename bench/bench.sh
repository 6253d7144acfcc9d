#!/usr/bin/env bash
# Benchmarks, on demand (not part of the tests): folder removal against "rd /s /q" and
# native rm -rf, the registry pass, start-up, and a whole run. Prints the figures.
#   bash bench/bench.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=${1:-5}
bash scripts/setup.sh
cmake --preset test >/dev/null
cmake --build --preset test --target CleanupVnQRX vnqrx_bench vnqrx_stage >/dev/null

export VNQRX_WINE_DIR="$root/build/bench/wine"
rm -rf "$VNQRX_WINE_DIR"
. scripts/wine-env.sh
. scripts/xvfb.sh
vnqrx_xvfb_start
trap 'vnqrx_prefix_stop; vnqrx_xvfb_stop' EXIT
vnqrx_prefix_init
bin="$WINEPREFIX/drive_c/vnqrx/bin"
cp build/test/bin/CleanupVnQRX.exe build/test/bin/vnqrx_bench.exe build/test/bin/vnqrx_stage.exe "$bin/"
cd "$bin"
bench() { "$VNQRX_WINE" 'C:\vnqrx\bin\vnqrx_bench.exe' "$@"; }

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(wine64 --version 2>/dev/null || echo wine)"
for shape in "2000 200" "20000 1000"; do
    set -- $shape
    rm -rf "$WINEPREFIX/drive_c/vnqrx/bench"
    bench tree "$1" "$2" "$runs"
    # The floor: the same tree removed natively, from a fresh copy each time.
    times=()
    for _ in $(seq "$runs"); do
        cp -a "$WINEPREFIX/drive_c/vnqrx/bench/src" "$WINEPREFIX/drive_c/vnqrx/bench/floor"
        t0=$(date +%s.%N)
        rm -rf "$WINEPREFIX/drive_c/vnqrx/bench/floor"
        t1=$(date +%s.%N)
        times+=("$(echo "$t1 - $t0" | bc -l)")
    done
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    printf 'tree %s files in %s folders: native rm -rf %.3f s (median of %s)\n' "$1" "$2" "$median" "$runs"
done
bench registry "$runs"
# Registry calls of one pass over the staged footprint, counted in Wine's relay trace.
"$VNQRX_WINE" 'C:\vnqrx\bin\vnqrx_stage.exe' stage >/dev/null
WINEDEBUG=+relay "$VNQRX_WINE" 'C:\vnqrx\bin\vnqrx_bench.exe' pass 2>"$VNQRX_WINE_DIR/relay.log"
calls=$(grep -oE 'Call advapi32\.Reg[A-Za-z]+' "$VNQRX_WINE_DIR/relay.log" | wc -l)
grep -oE 'Call advapi32\.Reg[A-Za-z]+' "$VNQRX_WINE_DIR/relay.log" | sort | uniq -c | sed 's/Call advapi32\./  /'
printf 'registry calls in one pass: %s, %.2f per entry call (644)\n' "$calls" "$(echo "$calls / 644" | bc -l)"
bench startup "$runs"
bench wholerun "$runs"
