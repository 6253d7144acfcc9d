#!/usr/bin/env bash
# The shipping executable is reproducible: the release preset, built from the committed
# sources in two fresh folders of different names and path lengths, one after the other,
# under different locales and time zones, gives the same bytes twice; and where the
# working tree has no changes, the same bytes as build/release/bin/CleanupVnQRX.exe.
#   reproducible_exe.sh SOURCE-ROOT
# Outside a git checkout it builds a copy of the tree (without build/) instead.
set -uo pipefail
root=$1
exe=build/release/bin/CleanupVnQRX.exe
work=$(mktemp -d "${TMPDIR:-/tmp}/vnqrx-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT

if git -C "$root" rev-parse --verify -q HEAD >/dev/null 2>&1; then
    what="commit $(git -C "$root" rev-parse HEAD)"
    changed=$(git -C "$root" status --porcelain --untracked-files=no)
    sources() { git -C "$root" archive --format=tar HEAD; }
else
    what="the tree in $root"
    changed=""
    sources() { tar -C "$root" --exclude=./build -cf - .; }
fi

build() {  # build FOLDER TZ LOCALE
    local dir=$1
    mkdir -p "$dir" && sources | tar -xf - -C "$dir" || return 1
    (cd "$dir" && export TZ=$2 LC_ALL=$3 &&
        cmake --preset release && cmake --build --preset release) >"$dir.log" 2>&1 ||
        { echo "the build in $dir failed:"; tail -20 "$dir.log"; return 1; }
}
a="$work/a"
b="$work/second-build-in-a-folder-with-a-longer-name/src"
build "$a" UTC C.UTF-8 || exit 1
sleep 1   # the PE header's time stamp, were there one, counts seconds
build "$b" Asia/Tokyo ja_JP.UTF-8 || exit 1

if ! cmp -s "$a/$exe" "$b/$exe"; then
    echo "two builds of $what differ (offset, bytes in octal):"
    cmp -l "$a/$exe" "$b/$exe" | head -20
    diff <(cd "$a" && LC_ALL=C i686-w64-mingw32-objdump -x "$exe") \
         <(cd "$b" && LC_ALL=C i686-w64-mingw32-objdump -x "$exe") | head -40
    exit 1
fi
echo "two builds of $what in two folders: the same bytes, SHA-256 $(sha256sum <"$a/$exe" | cut -d' ' -f1)"

if [ -n "$changed" ]; then
    echo "the working tree has changes: $exe is not compared with the commit's build"
elif ! cmp -s "$a/$exe" "$root/$exe"; then
    echo "$root/$exe differs from a fresh build of $what (not rebuilt since the last change?)"
    exit 1
else
    echo "$exe is that build, byte for byte"
fi
