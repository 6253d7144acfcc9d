#!/usr/bin/env bash
# Benchmarks, on demand (not part of the tests): folder removal against "rd /s /q" and
# native rm -rf, the registry pass against regedit, start-up, and a whole run. Prints the
# figures. Measures the shipping 32-bit build in a 64-bit prefix with 32-bit support when
# this machine runs 32-bit code, the 64-bit test build otherwise, and says which.
#   bash bench/bench.sh [RUNS] [PARTS]
# PARTS: any of tree registry trace startup wholerun (all when not given).
# RUNS (5 when not given): each comparison runs its sides alternately at least max(RUNS, 6)
# times, and more while its figures are not yet clear (up to 4 x RUNS, at least 40, for at
# most ten minutes more; bench/bench_main.cpp).
# A ratio is printed only from differences clearly above zero; otherwise the line says
# "measurement failed" and why. Every figure is a median with the 95% interval of that
# median in brackets.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=${1:-5}
parts=" ${2:-tree registry trace startup wholerun} "
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
# The benchmark program and the stager as 32-bit programs, in a build of their own.
i686="$root/build/bench/i686"
cmake -S . -B "$i686" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DVNQRX_TESTS=ON >/dev/null
cmake --build "$i686" --target vnqrx_bench vnqrx_stage >/dev/null

export VNQRX_WINE_DIR="$root/build/bench/wine"
rm -rf "$VNQRX_WINE_DIR"
. scripts/wine-env.sh
. scripts/xvfb.sh
vnqrx_xvfb_start
trap 'vnqrx_prefix_stop; vnqrx_xvfb_stop' EXIT
vnqrx_prefix_init
bin="$WINEPREFIX/drive_c/vnqrx/bin"
wine32=/usr/lib/wine/wine
cp "$i686/bin/vnqrx_bench.exe" "$i686/bin/vnqrx_stage.exe" "$bin/"
if [ -x "$wine32" ] && (cd "$bin" && "$wine32" 'C:\vnqrx\bin\vnqrx_bench.exe' probe) >/dev/null 2>&1; then
    VNQRX_WINE=$wine32
    cp build/release/bin/CleanupVnQRX.exe "$bin/"
    measured="the shipping 32-bit build (build/release), 32-bit programs under $wine32 in a 64-bit prefix"
else
    cmake --preset test >/dev/null
    cmake --build --preset test --target CleanupVnQRX vnqrx_bench vnqrx_stage >/dev/null
    cp build/test/bin/CleanupVnQRX.exe build/test/bin/vnqrx_bench.exe build/test/bin/vnqrx_stage.exe "$bin/"
    measured="the 64-bit test build (build/test): this machine cannot run 32-bit code"
fi
cd "$bin"
bench() { "$VNQRX_WINE" 'C:\vnqrx\bin\vnqrx_bench.exe' "$@"; }

echo "measuring: $measured"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(wine --version 2>/dev/null || echo wine)"
# Goals: the removal of the larger tree at most 0.15 of rd's time, the registry pass's
# deletions at most regedit's.
[[ $parts == *" tree "* ]] && for shape in "2000 200 0" "20000 1000 0.15"; do
    set -- $shape
    rm -rf "$WINEPREFIX/drive_c/vnqrx/bench"
    bench tree "$1" "$2" "$runs" "$3"
    # The floor: the same tree removed natively, from a fresh copy each time.
    times=()
    for _ in $(seq "$runs"); do
        cp -a "$WINEPREFIX/drive_c/vnqrx/bench/src" "$WINEPREFIX/drive_c/vnqrx/bench/floor"
        t0=$(date +%s.%N)
        rm -rf "$WINEPREFIX/drive_c/vnqrx/bench/floor"
        t1=$(date +%s.%N)
        times+=("$(echo "$t1 - $t0" | bc -l)")
    done
    sorted=$(printf '%s\n' "${times[@]}" | sort -n)
    median=$(sed -n "$(( (runs + 1) / 2 ))p" <<<"$sorted")
    printf 'tree %s files in %s folders: native rm -rf %.3f s (median of %s, range %.3f to %.3f)\n' "$1" "$2" \
        "$median" "$runs" "$(head -1 <<<"$sorted")" "$(tail -1 <<<"$sorted")"
done
rm -rf "$WINEPREFIX/drive_c/vnqrx/bench"
[[ $parts == *" registry "* ]] && bench registry "$runs" 1.0

# Where the time goes: registry calls (Wine's relay trace of the process) and requests to
# the Wine server (its server trace, all processes) of one pass and of one regedit import
# over the staged footprint, and of each side's fixed cost. The server trace needs a
# server started for it, whose own start-up requests the fixed-cost runs count too.
if [[ $parts == *" trace "* ]]; then
    regedit='C:\windows\syswow64\regedit.exe'
    [ "$VNQRX_WINE" = "$wine32" ] || regedit='C:\windows\regedit.exe'
    bench regfiles
    registry_calls='Call advapi32\.Reg'
    declare -A calls requests
    for side in pass regedit pass-nothing regedit-empty; do
        case $side in
            pass | pass-nothing) set -- 'C:\vnqrx\bin\vnqrx_bench.exe' pass ;;
            regedit) set -- "$regedit" /s 'C:\vnqrx\bench\delete.reg' ;;
            regedit-empty) set -- "$regedit" /s 'C:\vnqrx\bench\empty.reg' ;;
        esac
        for channel in relay server; do
            case $side in pass | regedit) bench stage ;; *) bench probe ;; esac
            [ "$channel" = server ] && "$VNQRX_WINESERVER" -w
            WINEDEBUG=+$channel "$VNQRX_WINE" "$@" >/dev/null 2>"$VNQRX_WINE_DIR/$channel-$side.log"
            "$VNQRX_WINESERVER" -w
            bench pass >/dev/null   # what a side left (the keys the decoys keep)
        done
        calls[$side]=$(grep -cE "$registry_calls" "$VNQRX_WINE_DIR/relay-$side.log" || true)
        requests[$side]=$(grep -E '^[0-9a-f]{4}: [a-z_]+\(' "$VNQRX_WINE_DIR/server-$side.log" | grep -vc ') = ' || true)
    done
    for side in pass regedit; do
        fixed=$([ $side = pass ] && echo pass-nothing || echo regedit-empty)
        printf '%-8s advapi32 registry calls %5s (fixed cost %5s), Wine server requests %6s (fixed cost %6s): %s more\n' \
            "$side:" "${calls[$side]}" "${calls[$fixed]}" "${requests[$side]}" "${requests[$fixed]}" \
            "$(( ${requests[$side]} - ${requests[$fixed]} ))"
        grep -E '^[0-9a-f]{4}: [a-z_]+\(' "$VNQRX_WINE_DIR/server-$side.log" | grep -v ') = ' |
            sed -E 's/^[0-9a-f]{4}: ([a-z_]+)\(.*/\1/' | sort | uniq -c >"$VNQRX_WINE_DIR/req-$side.txt"
        grep -E '^[0-9a-f]{4}: [a-z_]+\(' "$VNQRX_WINE_DIR/server-$fixed.log" | grep -v ') = ' |
            sed -E 's/^[0-9a-f]{4}: ([a-z_]+)\(.*/\1/' | sort | uniq -c >"$VNQRX_WINE_DIR/req-$fixed.txt"
        # The requests that differ most from the fixed cost's.
        join -1 2 -2 2 -a 1 -e 0 -o 0,1.1,2.1 <(sort -k2 "$VNQRX_WINE_DIR/req-$side.txt") \
            <(sort -k2 "$VNQRX_WINE_DIR/req-$fixed.txt") | awk '{print $2 - $3, $1}' | sort -rn | head -6 |
            awk '{printf "    %s %s\n", $1, $2}'
    done
    grep -oE 'Call advapi32\.Reg[A-Za-z]+|Call ntdll\.NtDeleteKey' "$VNQRX_WINE_DIR/relay-pass.log" |
        sort | uniq -c | sed 's/Call /  pass: /'
fi
[[ $parts == *" startup "* ]] && bench startup "$runs"
[[ $parts == *" wholerun "* ]] && bench wholerun "$runs"
exit 0
