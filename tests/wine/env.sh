# Sourced by the Wine runners: a Wine prefix of the project's own, a quiet Wine, and a private
# Xvfb display. Every wait is bounded; only processes started here are stopped.
#
#   KQ_WINEPREFIX  the prefix to use (default: <repo>/build/wineprefix)
#   KQ_DISPLAY     an X display to use instead of starting Xvfb (e.g. :0)
#   KQ_WINEDEBUG   Wine's debug channels (default: -all)
#   KQ_LOCALE      the locale Wine runs in (default: C.UTF-8, code page 1252 for ANSI)

KQ_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# The exes are 32-bit and Debian's wine32 alone has no 64-bit loader, so only a win32 prefix
# can be created and run everywhere; a win64 prefix would need wine64 as well.
export WINEARCH=win32
export WINEPREFIX=${KQ_WINEPREFIX:-$KQ_ROOT/build/wineprefix}
# No Mono or Gecko installer prompts while the prefix is made; nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${KQ_WINEDEBUG:--all}
# Wine spells Windows names in the Unix locale's charset, so a C or POSIX locale loses names
# like "L\xF6sung.txt"; one fixed locale also fixes the ANSI code page (1252) for every run.
export LC_ALL=${KQ_LOCALE:-C.UTF-8}
# Wine links the prefix's user folders into HOME; CI may start without one.
export HOME=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}

kq_log() { echo "[wine] $*" >&2; }

# Raised when the prefix's settings below change, so that older prefixes get them too.
KQ_PREFIX_VERSION=2

# Creates the prefix once (about 10-20 s); afterwards a quick no-op. Runs sharing a prefix are
# serialised by a lock next to it so that a half-made prefix is never used.
kq_prepare_prefix() {
    local ready="$WINEPREFIX/.kq-ready"
    [ "$(cat "$ready" 2>/dev/null)" = "$KQ_PREFIX_VERSION" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")" || return 1
    (
        flock -w 300 9 || {
            kq_log "timed out waiting for another run to make $WINEPREFIX"
            exit 1
        }
        [ "$(cat "$ready" 2>/dev/null)" = "$KQ_PREFIX_VERSION" ] && exit 0
        local start=$SECONDS
        if [ ! -f "$ready" ]; then
            # A prefix without the marker was left by an interrupted run: start over.
            rm -rf "$WINEPREFIX"
            kq_log "making Wine prefix $WINEPREFIX"
            timeout -k 10 300 wineboot -i </dev/null >/dev/null 2>&1 9>&- || {
                kq_log "wineboot -i failed or timed out"
                exit 1
            }
        fi
        # Without a window manager on Xvfb, Wine waits 2 s for one on every window it hides
        # (each message box, each browser) unless its windows are unmanaged.
        timeout -k 10 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
            </dev/null >/dev/null 2>&1 9>&- || {
            kq_log "could not set up $WINEPREFIX"
            exit 1
        }
        timeout -k 10 120 wineserver -w || {
            kq_log "wineserver did not finish after setting up the prefix"
            exit 1
        }
        echo "$KQ_PREFIX_VERSION" >"$ready"
        kq_log "prefix ready in $((SECONDS - start)) s"
    ) 9>"$WINEPREFIX.lock"
}

KQ_XVFB_PID=
KQ_XVFB_DISPLAY=

# Starts Xvfb on the first free display of :90..:99 and exports DISPLAY. A display counts as
# taken when its socket or lock file exists; a lost race shows as Xvfb exiting at once.
kq_start_xvfb() {
    local n i
    for n in 90 91 92 93 94 95 96 97 98 99; do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset </dev/null >/dev/null 2>&1 &
        KQ_XVFB_PID=$!
        for i in $(seq 1 100); do
            if ! kill -0 "$KQ_XVFB_PID" 2>/dev/null; then
                break
            fi
            if xdpyinfo -display ":$n" >/dev/null 2>&1; then
                KQ_XVFB_DISPLAY=":$n"
                export DISPLAY=":$n"
                return 0
            fi
            sleep 0.1
        done
        # Died or never answered within 10 s: give up on this display.
        kq_stop_xvfb
    done
    kq_log "no free X display in :90..:99"
    return 1
}

kq_stop_xvfb() {
    [ -n "$KQ_XVFB_PID" ] || return 0
    local i
    kill "$KQ_XVFB_PID" 2>/dev/null
    for i in $(seq 1 50); do
        kill -0 "$KQ_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$KQ_XVFB_PID" 2>/dev/null
    wait "$KQ_XVFB_PID" 2>/dev/null
    KQ_XVFB_PID=
    KQ_XVFB_DISPLAY=
}

# kq_begin_wine_run <seconds>: the prefix made, a display (KQ_DISPLAY or a private Xvfb), and
# the prefix's run lock held on descriptor 8, waited for at most <seconds>. Runs on one prefix
# take turns because each ends with wineserver -k there; Wine is to be started with 8>&- so
# that its long-lived processes do not hold the lock.
kq_begin_wine_run() {
    kq_prepare_prefix || return 1
    if [ -n "${KQ_DISPLAY:-}" ]; then
        export DISPLAY=$KQ_DISPLAY
    else
        kq_start_xvfb || return 1
    fi
    exec 8>"$WINEPREFIX.run.lock"
    flock -w "$1" 8 || {
        kq_log "timed out waiting for another run on $WINEPREFIX"
        return 1
    }
}
