# Sourced by the end-to-end scripts: a work folder, the project's Wine prefix, a private Xvfb
# display (tests/wine/env.sh), the helper programs built from tests/e2e/, the installer run in
# the background, and a tally of failed checks. Every wait is bounded; only processes started
# here are stopped, by their ids.
#
#   KQ_WINEPREFIX, KQ_WINEDEBUG  as for tests/wine/run.sh
#   KQ_DISPLAY                   an X display to use instead of starting Xvfb

. "$(dirname "${BASH_SOURCE[0]}")/../wine/env.sh"

KQ_E2E_DIR=$KQ_ROOT/tests/e2e
KQ_WORK=
KQ_APP_PID=
KQ_FAILED=0

kq_fail() {
    echo "FAIL: $*"
    KQ_FAILED=$((KQ_FAILED + 1))
}

kq_pass() { echo "ok: $*"; }

# check <description> <command...>: counts a failure when the command fails.
kq_check() {
    local what=$1
    shift
    if "$@"; then kq_pass "$what"; else kq_fail "$what"; fi
}

kq_e2e_end() {
    kq_stop_app
    if [ -n "${KQ_SERVER_USED:-}" ]; then
        timeout -k 5 30 wineserver -k 2>/dev/null
    fi
    kq_stop_xvfb
    [ -n "$KQ_WORK" ] && rm -rf "$KQ_WORK"
}

# Work folder, prefix, display, the prefix's run lock and the helper programs.
kq_e2e_begin() {
    trap kq_e2e_end EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM HUP
    KQ_WORK=$(mktemp -d "${TMPDIR:-/tmp}/kq-e2e.XXXXXX") || return 1
    # Every Wine process here is started without descriptor 8, the run lock's.
    kq_begin_wine_run 900 || return 1
    KQ_SERVER_USED=1
    kq_build_tools
}

# kq_e2e_start [install.exe]: the scripts' start. The installer under test (default:
# build/win32-app/install.exe) as KQ_EXE, then kq_e2e_begin; exits 2 without that program, 1 when
# the set-up fails.
kq_e2e_start() {
    KQ_EXE=$(realpath "${1:-$KQ_ROOT/build/win32-app/install.exe}") || exit 2
    [ -f "$KQ_EXE" ] || {
        echo "$0: no such program: $KQ_EXE" >&2
        exit 2
    }
    kq_e2e_begin || exit 1
}

kq_build_tools() {
    local cxx="i686-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -Werror"
    mkdir -p "$KQ_WORK/tools"
    $cxx -static -o "$KQ_WORK/tools/WindowDriver.exe" "$KQ_E2E_DIR/WindowDriver.cpp" -lgdi32 -lshell32 &&
        $cxx -static -o "$KQ_WORK/tools/LoadByName.exe" "$KQ_E2E_DIR/LoadByName.cpp" &&
        $cxx -static -o "$KQ_WORK/tools/HoldFile.exe" "$KQ_E2E_DIR/HoldFile.cpp" &&
        $cxx -shared -nostdlib -Wl,--entry,_PlantedDllMain@12 \
            -o "$KQ_WORK/tools/PlantedDll.dll" "$KQ_E2E_DIR/PlantedDll.cpp" -lkernel32 &&
        kq_versioned 3,1,9,5 && kq_versioned 3,2,0,1 || {
        kq_log "could not build the helper programs"
        return 1
    }
}

# kq_versioned <a,b,c,d>: tools/versioned-<a.b.c.d>.dll, a library with only a version block.
kq_versioned() {
    local dll=$KQ_WORK/tools/versioned-${1//,/.}.dll
    i686-w64-mingw32-windres "-DVERSION=$1" "$KQ_ROOT/tests/common/versioned.rc" -o "$dll.o" &&
        i686-w64-mingw32-gcc -shared -nostdlib -Wl,-e,0 -o "$dll" "$dll.o"
}

# Holds a file (a Windows path) as a running program holds it, in the background, and returns
# once it does; kq_let_go ends the hold. HoldFile.exe waits for a file that never comes.
kq_hold() {
    local i
    rm -f "$KQ_WORK/hold.out"
    (exec wine "$KQ_WORK/tools/HoldFile.exe" "$1" 60000 "$1.nie" </dev/null >"$KQ_WORK/hold.out" \
        2>&1 8>&-) &
    KQ_HOLDER=$!
    for i in $(seq 1 400); do grep -q held "$KQ_WORK/hold.out" 2>/dev/null && return; sleep 0.05; done
    return 1
}
kq_let_go() { kill "$KQ_HOLDER" 2>/dev/null && wait "$KQ_HOLDER" 2>/dev/null; }

# Runs the window driver (WindowDriver.cpp) with the given arguments, in UTF-8 both ways. Its
# output goes through a file: a pipe would stay open for as long as any Wine service it started
# lives.
kq_drive() {
    timeout -k 5 60 wine "$KQ_WORK/tools/WindowDriver.exe" "$@" </dev/null >"$KQ_WORK/drive.out" 2>&1 8>&-
    local status=$?
    tr -d "\r" <"$KQ_WORK/drive.out"
    return $status
}

# kq_start_app <folder> <log> [program]: starts <folder>/install.exe, or the program given by
# its path, from that folder, in the background.
kq_start_app() {
    (cd "$1" && exec wine "${3:-install.exe}" </dev/null >"$2" 2>&1 8>&-) &
    KQ_APP_PID=$!
}

# kq_wait_app <seconds>: waits for the installer to end; its exit status, or 124 when it had
# to be stopped.
kq_wait_app() {
    local i
    for i in $(seq 1 $(($1 * 10))); do
        kill -0 "$KQ_APP_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$KQ_APP_PID" 2>/dev/null; then
        kq_stop_app
        return 124
    fi
    wait "$KQ_APP_PID"
    local status=$?
    KQ_APP_PID=
    return $status
}

kq_stop_app() {
    [ -n "$KQ_APP_PID" ] || return 0
    kill "$KQ_APP_PID" 2>/dev/null
    wait "$KQ_APP_PID" 2>/dev/null
    KQ_APP_PID=
}

# A folder the installer starts from, as a service-pack medium would look.
kq_make_medium() {
    mkdir -p "$1" && cp "$KQ_EXE" "$1/install.exe" && echo "Service-Pack" >"$1/readme.txt"
}
