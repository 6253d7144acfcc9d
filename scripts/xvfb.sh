# Sourced: starts a private Xvfb display for the Wine windows (vnqrx_xvfb_start) and stops
# it again (vnqrx_xvfb_stop). Leaves an existing DISPLAY alone when VNQRX_USE_DISPLAY=1.
vnqrx_xvfb_pid=""
vnqrx_xvfb_start() {
    if [ "${VNQRX_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    local n
    for n in $(seq 90 130); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        vnqrx_xvfb_pid=$!
        for _ in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        if kill -0 "$vnqrx_xvfb_pid" 2>/dev/null; then
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "xvfb: no free display" >&2
    return 1
}
vnqrx_xvfb_stop() {
    if [ -n "$vnqrx_xvfb_pid" ]; then
        kill "$vnqrx_xvfb_pid" 2>/dev/null || true
        wait "$vnqrx_xvfb_pid" 2>/dev/null || true
        vnqrx_xvfb_pid=""
    fi
}
