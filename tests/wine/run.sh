#!/usr/bin/env bash
# Runs a Windows program under Wine on a private Xvfb display and returns its exit status.
#
#   tests/wine/run.sh <exe> [args...]
#
#   KQ_WINEPREFIX  the prefix to use (default: <repo>/build/wineprefix)
#   KQ_DISPLAY     an X display to use instead of starting Xvfb (e.g. :0)
#   KQ_TIMEOUT     seconds before the program is stopped (default: 600; status 124 then)
#   KQ_WINEDEBUG   Wine's debug channels (default: -all)
#   KQ_LOCALE      the locale Wine runs in (default: C.UTF-8)
#
# Works without DISPLAY, without stdin and as root. Runs on one prefix take turns, because
# the run ends with wineserver -k on that prefix.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"

if [ $# -lt 1 ]; then
    echo "usage: $0 <exe> [args...]" >&2
    exit 2
fi
exe=$1
shift
if [ ! -f "$exe" ]; then
    echo "$0: no such program: $exe" >&2
    exit 2
fi
exe=$(realpath "$exe")
limit=${KQ_TIMEOUT:-600}

child=
server_used=
cleanup() {
    if [ -n "$child" ]; then
        kill "$child" 2>/dev/null
        wait "$child" 2>/dev/null
    fi
    # Ends the program's leftovers (explorer, services) before their display goes away.
    if [ -n "$server_used" ]; then
        timeout -k 5 30 wineserver -k 2>/dev/null
    fi
    kq_stop_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

kq_begin_wine_run $((limit + 60)) || exit 1
server_used=1
# In the background so that a signal to this script is handled at once.
timeout -k 10 "$limit" wine "$exe" "$@" </dev/null 8>&- &
child=$!
wait "$child"
status=$?
child=
if [ "$status" -eq 124 ]; then
    kq_log "$(basename "$exe") stopped after $limit s"
fi
exit "$status"
