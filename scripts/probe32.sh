# Sourced: finds out whether this machine can run the 32-bit shipping executable, by
# running 32-bit code and looking at what happens.
#
#   vnqrx_probe_cpu32          runs a tiny static 32-bit Linux program (written here, a
#                              few bytes); 0 when it ran to its end, else 1 with the
#                              reason in $vnqrx_probe_reason
#   vnqrx_probe_wine32 DIR     runs a tiny i686 Windows program in the Wine prefix that
#                              wine-env.sh has set up (DIR: a scratch folder of the build
#                              tree); same answers
#
# Where the kernel has no 32-bit emulation, or has it switched off, the first probe
# already fails: the program is refused (Exec format error) or killed (SIGSEGV), and
# 32-bit Wine cannot start a process there either. The reason given is what happened.
# VNQRX_NO_32BIT=1 makes the probe fail as on such a machine.

vnqrx_probe_reason=""

vnqrx_probe_cpu32() {
    vnqrx_probe_reason=""
    if [ "${VNQRX_NO_32BIT:-0}" = 1 ]; then
        vnqrx_probe_reason="VNQRX_NO_32BIT=1 is set"
        return 1
    fi
    local dir elf rc out
    dir=$(mktemp -d)
    elf="$dir/exit42"
    # ELF32 header, one PT_LOAD segment at 0x08048000, then
    #   mov eax, 1 ; mov ebx, 42 ; int 0x80      (exit(42))
    python3 - "$elf" <<'EOF'
import struct, sys
base, code = 0x08048000, bytes.fromhex("b801000000" "bb2a000000" "cd80")
entry = base + 52 + 32
ehdr = b"\x7fELF\x01\x01\x01" + bytes(9) + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, entry, 52, 0, 0, 52, 32, 1, 0, 0, 0)
phdr = struct.pack("<IIIIIIII", 1, 0, base, base, 84 + len(code), 84 + len(code), 5, 0x1000)
open(sys.argv[1], "wb").write(ehdr + phdr + code)
EOF
    chmod +x "$elf"
    out=$( ("$elf") 2>&1 ) && rc=0 || rc=$?
    rm -rf "$dir"
    case $rc in
        42) return 0 ;;
        126) vnqrx_probe_reason="a 32-bit program does not start (${out##*: })" ;;
        139) vnqrx_probe_reason="a 32-bit program was killed by SIGSEGV at its first instruction" ;;
        *) vnqrx_probe_reason="a 32-bit program ended with status $rc instead of 42" ;;
    esac
    return 1
}

vnqrx_probe_wine32() {
    vnqrx_probe_reason=""
    local dir=$1 exe rc
    if [ ! -x /usr/lib/wine/wine ] && ! command -v wine32 >/dev/null 2>&1; then
        vnqrx_probe_reason="32-bit Wine (wine32:i386) is not installed"
        return 1
    fi
    mkdir -p "$dir"
    exe="$dir/probe32.exe"
    # Answers 32 when it runs as a 32-bit process on 64-bit Windows (WoW64).
    printf '%s\n' '#include <windows.h>' \
        'int main(void) { BOOL wow = FALSE; IsWow64Process(GetCurrentProcess(), &wow); return wow ? 32 : 33; }' \
        >"$dir/probe32.c"
    i686-w64-mingw32-gcc -O2 -s -o "$exe" "$dir/probe32.c" || {
        vnqrx_probe_reason="the i686 compiler could not build the Wine probe"
        return 1
    }
    cp -f "$exe" "$WINEPREFIX/drive_c/vnqrx/bin/"
    (cd "$WINEPREFIX/drive_c/vnqrx/bin" && "$VNQRX_WINE" 'C:\vnqrx\bin\probe32.exe') >/dev/null 2>&1 && rc=0 || rc=$?
    rm -f "$WINEPREFIX/drive_c/vnqrx/bin/probe32.exe"
    case $rc in
        32) return 0 ;;
        33) vnqrx_probe_reason="32-bit Wine runs i686 programs, but not as WoW64 processes" ;;
        *) vnqrx_probe_reason="32-bit Wine does not start an i686 program (status $rc)" ;;
    esac
    return 1
}
