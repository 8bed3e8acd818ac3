#!/usr/bin/env bash
# Releases the demo service pack (demo/Service-Pack) with ./release.sh into dist/Service-Pack,
# lays out a demo Korvo folder (demo/Korvo), fresh each time, and starts the installer from the
# released pack under Wine.
#
#   With a display (DISPLAY set): the window is yours; run.sh waits until you close it.
#   Without one (CI, ssh):        run.sh starts its own Xvfb and installs by itself: chooses
#                                 demo/Korvo in the folder browser, starts, confirms the
#                                 message, exits, and keeps screenshots in build/run-screenshots.
#
# Either way it ends by showing what changed in demo/Korvo. Installs what is missing first;
# works as root and without stdin.
#
#   ./run.sh --unattended   installs as a deployment tool would, without any window:
#                           install.exe /S /D=... /LOG=...; shows the command, its exit code
#                           (read in full on the Windows side) and the log.
#
#   KQ_WINEPREFIX  the Wine prefix (default: build/wineprefix)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
cd "$ROOT" || exit 1

echo "== release the demo pack as shipped (./release.sh demo/Service-Pack)"
mkdir -p build/logs
./release.sh demo/Service-Pack </dev/null >build/logs/run-build.log 2>&1 || {
    tail -n 40 build/logs/run-build.log
    echo "release failed (log: build/logs/run-build.log)"
    exit 1
}
tail -n 2 build/logs/run-build.log

pack=$ROOT/dist/Service-Pack
korvo=$ROOT/demo/Korvo
echo "== demo folder: dist/Service-Pack -> demo/Korvo"
rm -rf "$korvo" && mkdir -p "$korvo" || exit 1
printf 'Korvo 2\r\n' >"$korvo/liesmich.txt" &&
    printf 'KORVO-DATEN 2.1\r\n%.0s' $(seq 1 40) >"$korvo/korvo.dat" &&
    printf '[Korvo]\r\nSprache=de\r\n' >"$korvo/korvo.ini" &&
    printf 'VOZORADI demo module 2.1\r\n' >"$korvo/VOZORADI.DLL" &&
    touch -d '2023-05-02 10:00' "$korvo"/* || exit 1

# One line per file: name, size, checksum, time.
listing() {
    local file
    for file in "$1"/*; do
        [ -f "$file" ] || continue
        printf '  %-14s %6s bytes  md5 %.8s  %s\n' "${file##*/}" "$(stat -c %s "$file")" \
            "$(md5sum <"$file")" "$(date -r "$file" '+%Y-%m-%d %H:%M:%S')"
    done
}

changes() { # before, after
    local name
    for name in $(printf '%s\n%s\n' "$1" "$2" | sed -n 's/^  \([^ ]*\) .*/\1/p' | sort -u); do
        local old new
        old=$(grep "^  $name " <<<"$1")
        new=$(grep "^  $name " <<<"$2")
        if [ -z "$old" ]; then
            echo "  new:       $name"
        elif [ -z "$new" ]; then
            echo "  removed:   $name"
        elif [ "$old" != "$new" ]; then
            echo "  replaced:  $name"
        else
            echo "  unchanged: $name"
        fi
    done
}

before=$(listing "$korvo")
show_changes() {
    local after
    after=$(listing "$korvo")
    echo "== demo/Korvo before"
    echo "$before"
    echo "== demo/Korvo after"
    echo "$after"
    echo "== changes"
    changes "$before" "$after"
    local file
    for file in "$pack"/*; do
        [ "${file##*/}" = install.exe ] || [ -e "$korvo/${file##*/}" ] ||
            echo "  left out:  ${file##*/} (from the pack)"
    done
}

if [ "${1:-}" = --unattended ]; then
    . tests/e2e/lib.sh
    . tests/e2e/steps.sh
    KQ_EXE=$ROOT/dist/install.exe
    kq_e2e_begin || exit 1
    log=$ROOT/build/run-unattended.log
    rm -f "$log"
    command="\"$(kq_windows_path "$pack/install.exe")\" /S /D=\"$(kq_windows_path "$korvo")\""
    command+=" /LOG=\"$(kq_windows_path "$log")\""
    echo "== unattended: $command"
    out=$(kq_drive run "$command" 120000)
    echo "== exit code $(sed -n 's/^exit=//p' <<<"$out")" \
        "($(grep -q '^windows=0$' <<<"$out" && echo no window shown || echo A WINDOW WAS SHOWN))"
    echo "== the log, build/run-unattended.log (UTF-8)"
    sed 's/^\xef\xbb\xbf//; s/\r$//; s/^/  /' "$log"
    show_changes
    grep -q '^exit=0$' <<<"$out"
    exit
fi

if [ -n "${DISPLAY:-}" ] && ! timeout 10 xdpyinfo >/dev/null 2>&1; then
    echo "DISPLAY=$DISPLAY does not answer; installing without a display instead"
    unset DISPLAY
fi

if [ -n "${DISPLAY:-}" ]; then
    . tests/wine/env.sh
    child=
    trap '[ -n "$child" ] && kill "$child" 2>/dev/null' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM HUP
    kq_prepare_prefix || exit 1
    # The test runs end with wineserver -k on the prefix, which would close the window.
    exec 8>"$WINEPREFIX.run.lock"
    flock -n 8 || {
        echo "waiting for a test run on $WINEPREFIX to end..."
        flock -w 900 8 || exit 1
    }
    echo "== install.exe runs on $DISPLAY from dist/Service-Pack; close it to go on"
    (cd "$pack" && exec wine install.exe </dev/null 8>&-) &
    child=$!
    wait "$child"
    status=$?
    child=
    show_changes
    exit "$status"
fi

. tests/e2e/lib.sh
. tests/e2e/steps.sh
KQ_EXE=$ROOT/dist/install.exe
echo "== no display: installing with a private Xvfb"
kq_e2e_begin || exit 1
shots=$ROOT/build/run-screenshots
rm -rf "$shots" && mkdir -p "$shots" || exit 1

# step <what> <command...>: the command's output shows only when it fails, and ends the run.
step() {
    local what=$1 output
    shift
    output=$("$@" 2>&1) || {
        echo "$output"
        echo "failed: $what"
        [ -s "$KQ_WORK/app.log" ] && sed 's/^/  install.exe: /' "$KQ_WORK/app.log"
        exit 1
    }
    echo "  $what"
}
state() { kq_drive state "$KQ_CAPTION"; }

kq_start_app "$pack" "$KQ_WORK/app.log"
step "window up" kq_wait_ready
step "screenshot at start" kq_shoot_windows "$shots/1-start.png" "$(state)"
step "demo/Korvo chosen in the folder browser" kq_choose_folder "$korvo" ok
chosen=$(state)
korvo_path=$(kq_windows_path "$korvo")
step "the choose-folder button reads $korvo_path" \
    kq_has_line "$chosen" "control 1000 enabled=1 text=$korvo_path"
step "screenshot after the choice" kq_shoot_windows "$shots/2-chosen.png" "$chosen"
box=$(kq_start_pass)
shown=$?
[ $shown -eq 0 ] || echo "$box"
step "installation started, message shown" [ $shown -eq 0 ]
sed -n 's/^text=/  message: /p; s/^icon=/  icon: /p' <<<"$box"
step "screenshot of the message" kq_shoot_windows "$shots/3-message.png" "$(state)" "$box"
step "message confirmed" kq_confirm
step "screenshot after the installation" kq_shoot_windows "$shots/4-installed.png" "$(state)"
kq_drive click "$KQ_CAPTION" 2 >/dev/null
kq_wait_app 30
status=$?
step "exit button pressed, install.exe ended with status $status" [ "$status" -eq 0 ]

show_changes
echo "== screenshots"
ls "$shots"/*.png | sed 's/^/  /'
