#!/usr/bin/env bash
# Checks a built CleanupVnQRX.exe: PE format, GUI subsystem (no console window), only
# Windows system DLLs imported, at most 512 KiB.
#   check_exe.sh EXE pei-i386|pei-x86-64 OBJDUMP
set -uo pipefail
export LC_ALL=C   # objdump speaks the locale's language otherwise
exe=$1 format=$2 objdump=$3
fail=0
[ -f "$exe" ] || { echo "missing: $exe"; exit 1; }
info=$("$objdump" -f "$exe")
headers=$("$objdump" -p "$exe")
grep -q "file format $format" <<<"$info" || { echo "not a $format executable"; fail=1; }
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || { echo "not a GUI-subsystem program"; fail=1; }
allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|SHELL32|SHLWAPI|COMCTL32|msvcrt|ole32|OLEAUT32|VERSION)\.dll$'
dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "imports: $(echo $dlls)"
for d in $dlls; do
    grep -Eiq "$allowed" <<<"$d" || { echo "imports a non-system DLL: $d"; fail=1; }
done
size=$(stat -c %s "$exe")
echo "size: $size bytes"
[ "$size" -le 524288 ] || { echo "larger than 512 KiB"; fail=1; }
[ $fail = 0 ] && echo "ok: $exe"
exit $fail
