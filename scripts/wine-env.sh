# Sourced by the scripts that run Wine. Sets up the environment for one Wine prefix that
# lives inside the build tree, and creates the prefix on first use.
#
# The tool deletes folder trees. Wine links Desktop, Documents and the other shell folders
# to $HOME and maps drive Z: to /, so a faulty removal could reach real files. Every prefix
# therefore gets a scratch HOME inside the build tree and has its Z: mapping removed:
# programs in it reach only what lives inside the prefix.
#
# Needs VNQRX_WINE_DIR (the folder that holds the prefix and its scratch home).

: "${VNQRX_WINE_DIR:?VNQRX_WINE_DIR must name a folder for the Wine prefix}"
export WINEPREFIX="$VNQRX_WINE_DIR/prefix"
export HOME="$VNQRX_WINE_DIR/home"
export LANG=ja_JP.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
# No crash debugger (it would wait for ever), no menu entries, no Mono or Gecko downloads.
export WINEDLLOVERRIDES="winedbg.exe=d;winemenubuilder.exe=d;mscoree,mshtml="
export WINEARCH=win64
VNQRX_WINE=/usr/lib/wine/wine64
VNQRX_WINESERVER=/usr/lib/wine/wineserver64
[ -x "$VNQRX_WINE" ] || VNQRX_WINE=$(command -v wine64 || command -v wine)
[ -x "$VNQRX_WINESERVER" ] || VNQRX_WINESERVER=$(command -v wineserver)

vnqrx_marlett=/usr/share/wine/fonts/marlett.ttf   # from fonts-wine (scripts/setup.sh)

vnqrx_wine_reg() {  # reg.exe inside the prefix
    "$VNQRX_WINE" reg "$@" >/dev/null 2>&1
}

# The set-up a prefix was made with, written to its ready mark: a prefix made by another
# (older) set-up is made again.
vnqrx_prefix_version=2

vnqrx_prefix_init() {
    [ "$(cat "$WINEPREFIX/.vnqrx-ready" 2>/dev/null)" = "$vnqrx_prefix_version" ] && return 0
    if [ -d "$WINEPREFIX" ]; then "$VNQRX_WINESERVER" -k >/dev/null 2>&1 || true; fi
    rm -rf "$WINEPREFIX"
    mkdir -p "$HOME"
    "$VNQRX_WINE" wineboot -i >/dev/null 2>&1 || true
    "$VNQRX_WINESERVER" -w
    # A fresh prefix has UAC off, and the tool refuses to start without it.
    vnqrx_wine_reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Policies\System' /v EnableLUA /t REG_DWORD /d 1 /f
    # The dialogs ask for "MS UI Gothic"; give them a Japanese font that exists here.
    vnqrx_wine_reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /t REG_SZ /d 'IPAPGothic' /f
    vnqrx_wine_reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS Shell Dlg' /t REG_SZ /d 'IPAGothic' /f
    vnqrx_wine_reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Tahoma' /t REG_SZ /d 'IPAGothic' /f
    # No window manager runs under Xvfb: let Wine draw captions and frames itself.
    vnqrx_wine_reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
    "$VNQRX_WINESERVER" -w
    # Wine draws the caption buttons, scroll-bar arrows and check marks with its Marlett
    # symbol font. Debian's fonts-wine installs it in /usr/share/wine/fonts, but this Wine
    # looks for its own fonts in /usr/share/wine/../fonts (WINEDEBUG=+font) and fontconfig
    # does not list that folder either: without a copy in the prefix's Fonts folder the
    # buttons are drawn with a text font, the close button as the letter "r".
    cp "$vnqrx_marlett" "$WINEPREFIX/drive_c/windows/Fonts/" || return 1
    rm -f "$WINEPREFIX/dosdevices/z:"
    if [ -e "$WINEPREFIX/dosdevices/z:" ]; then
        echo "wine-env: could not remove the Z: drive of $WINEPREFIX" >&2
        return 1
    fi
    mkdir -p "$WINEPREFIX/drive_c/vnqrx/bin"
    echo "$vnqrx_prefix_version" >"$WINEPREFIX/.vnqrx-ready"
}

vnqrx_prefix_stop() {
    "$VNQRX_WINESERVER" -k >/dev/null 2>&1 || true
}
