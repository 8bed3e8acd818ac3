#!/usr/bin/env bash
# The main window as the user meets it, driven from outside under Wine: what it shows at
# start, the background over the whole client area, the About box from the system menu, the
# texts of the browser and of a message box that names files, and every way out ending the
# process. Every text must read as the German original whatever the ANSI code page, which Wine
# takes from the locale: KQ_LOCALE=hi_IN.UTF-8 gives 65001, ja_JP.UTF-8 gives 932.
#
#   tests/e2e/main_window.sh [install.exe]     (default: build/win32-app/install.exe)
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
. "$(dirname "${BASH_SOURCE[0]}")/steps.sh"

kq_e2e_start "$@"

caption=$KQ_CAPTION
about=$(utf8 'Info \xfcber Korvo2016 - SP')
choose_text=$(utf8 '1. Korvo-Hauptordner ausw\xe4hlen...')
run=0

start() {
    run=$((run + 1))
    local medium=$KQ_WORK/medium-$run
    kq_make_medium "$medium" && kq_start_installer "$medium" "$KQ_WORK/run-$run.log"
}

state() { kq_drive state "$1"; }

# The colour of a screen pixel of the main window's client area, as RRGGBB.
pixel() { # x, y in client coordinates
    local origin
    origin=$(state "$caption" | sed -n 's/^client=\([0-9-]*\) \([0-9-]*\) .*/\1 \2/p')
    set -- $(($1 + ${origin% *})) $(($2 + ${origin#* }))
    import -window root "$KQ_WORK/screen.png" 2>/dev/null &&
        convert "$KQ_WORK/screen.png" -format "%[hex:u.p{$1,$2}]" info: | tr 'A-F' 'a-f'
}

picked() { kq_pick "$1" ok >/dev/null; }

ends() { # what was done, the exit code's low byte (Wine's): 66 of 1602, no pass ran
    kq_wait_app 30
    local status=$?
    kq_check "$1 ends the program with status ${2:-66} (was $status)" [ "$status" -eq "${2:-66}" ]
    kq_check "$1 leaves no window" kq_drive gone "$caption" 1000
}

echo "== start-up"
kq_check "main window up with the focus on the exit button" start
shown=$(state "$caption")
kq_check "caption" kq_has_line "$shown" "caption=$caption"
kq_check "exit button enabled" kq_has_line "$shown" "control 2 enabled=1 text=Beenden"
kq_check "choose-folder button enabled, template text" \
    kq_has_line "$shown" "control 1000 enabled=1 text=$choose_text"
kq_check "start button disabled" kq_has_line "$shown" "control 1001 enabled=0 text=3. Starte Installation"

echo "== background"
read -r _ _ width height < <(sed -n 's/^client=//p' <<<"$shown")
face=$(sed -n 's/^face=//p' <<<"$shown")
# Corners and edges away from the buttons; unpainted they would show the dialog colour or
# the black of the empty screen.
points="2,2 $((width - 3)),2 2,$((height - 3)) $((width - 3)),$((height - 3)) $((width / 2)),$((height - 3))"
for point in $points; do
    colour=$(pixel ${point%,*} ${point#*,})
    kq_check "picture at $point (colour $colour)" [ -n "$colour" -a "$colour" != "$face" -a "$colour" != 000000 ]
done

echo "== About box"
covered="300 70" # under the About box, clear of the buttons
before=$(pixel $covered)
kq_drive syscommand "$caption" 0x0010 >/dev/null
kq_check "About box shown" kq_drive wait "$about" 10000
kq_check "About box has the focus on OK" kq_drive focus "$about" 1 10000
about_shown=$(state "$about")
kq_check "About box: product" kq_has_line "$about_shown" "control 65535 enabled=1 text=Korvo2016 - SP"
kq_check "About box: version" kq_has_line "$about_shown" "control 65535 enabled=1 text=Version 1.0.0.1"
kq_check "About box: OK button" kq_has_line "$about_shown" "control 1 enabled=1 text=OK"
kq_check "main window disabled under the About box" kq_has_line "$(state "$caption")" "enabled=0"
during=$(pixel $covered)
kq_check "About box drawn over the picture ($before under $during)" [ "$before" != "$during" ]
kq_drive key "$about" 0x0D >/dev/null
kq_check "Enter closes the About box" kq_drive gone "$about" 10000
kq_check "focus back on the exit button" kq_drive focus "$caption" 2 10000
after=$(state "$caption")
kq_check "main window enabled again" kq_has_line "$after" "enabled=1"
kq_check "main window unchanged" [ "$(grep -v '^enabled=' <<<"$after")" = "$(grep -v '^enabled=' <<<"$shown")" ]
repainted=
for i in $(seq 1 20); do
    repainted=$(pixel $covered)
    [ "$repainted" = "$before" ] && break
    sleep 0.25
done
kq_check "picture repainted where the About box was ($repainted, was $before)" [ "$repainted" = "$before" ]

echo "== Help command"
kq_drive click "$caption" 0xE146 >/dev/null
sleep 1
kq_check "ID_HELP changes nothing" [ "$(state "$caption")" = "$after" ]

echo "== ways out"
kq_drive click "$caption" 2 >/dev/null
ends "the exit button"

kq_check "main window up again" start
kq_drive key "$caption" 0x1B >/dev/null
ends "Escape"

kq_check "main window up again" start
kq_drive syscommand "$caption" 0xF060 >/dev/null
ends "the close box"

kq_check "main window up again" start
kq_drive key "$caption" 0x0D >/dev/null
ends "Enter on the focused exit button"

echo "== texts with names ($LC_ALL)"
# Names of two scripts: each code page holds its own (and 65001 both), one it lacks is named
# with '?' as not copied and written under no look-alike. A folder in the Korvo folder keeps
# one that it holds from being copied. A folder whose name it lacks is refused in the browser.
umlaut=$(utf8 'L\xf6sung.txt')
kanji=$(printf '\xe6\x97\xa5\xe6\x9c\xac.txt')
case $LC_ALL in
ja_JP*) korvo=$(printf '\xe3\x82\xb3\xe3\x83\xab\xe3\x83\x9c') blocked=$kanji listed=("L?sung.txt")
    unnamable="Korvo Stra$(printf '\xc3\x9f')e" ;;
hi_IN*) korvo="Korvo $(printf '\xc3\x84 \xe3\x82\xb3')" blocked=$umlaut listed=() unnamable= ;;
*) korvo="Korvo $(printf '\xc3\x84')" blocked=$umlaut listed=("??.txt") unnamable=${kanji%.txt} ;;
esac
kq_check "main window up again" start
medium=$KQ_WORK/medium-$run
target=$KQ_WORK/$korvo
mkdir -p "$target/$blocked" && touch "$medium/$umlaut" "$medium/$kanji"
browser=$(kq_settle_folder "$target" && kq_open_browser)
kq_check "browser title" kq_has_line "$browser" "title=$(utf8 'Bitte Korvo-Installationsordner ausw\xe4hlen')"
kq_check "browser takes the Korvo folder" picked "$target"
kq_check "chosen path on the button" \
    kq_has_line "$(state "$caption")" "control 1000 enabled=1 text=$(kq_windows_path "$target")"
question=$(kq_start_pass)
kq_check "asked first: the folder holds no file of the pack" kq_has_line "$question" "text=$KQ_NOT_KORVO"
kq_check "Ja starts the pass" kq_drive message-press "$caption" 6 10000
box=$(kq_drive message "$caption" 55000)
kq_check "message box caption" kq_has_line "$box" "caption=$caption"
for line in "Korvo-Quenda Service-Pack - Installation fehlgeschlagen!" \
    "Folgende Dateien konnten nicht kopiert werden:" "$blocked" "${listed[@]}" \
    "$(utf8 'Korvo wurde nicht ver\xe4ndert.')" "Bitte starten Sie die Installation erneut."; do
    kq_check "message box line $line" kq_has_line "$box" "text=$line"
done
kq_check "nothing installed" [ "$(LC_ALL=C ls "$target" | tr '\n' /)" = "$blocked/" ]
kq_check "message box closed" kq_confirm
if [ -n "$unnamable" ]; then
    mkdir -p "$KQ_WORK/$unnamable"
    kq_settle_folder "$KQ_WORK/$unnamable" && kq_open_browser >/dev/null
    kq_check "browser takes the folder it cannot name" picked "$KQ_WORK/$unnamable"
    refused=$(kq_drive message "$caption" 10000)
    kq_check "refusal names the folder" kq_has_line "$refused" "text=$(kq_windows_path "$KQ_WORK/$unnamable")"
    kq_check "refusal asks for another" kq_has_line "$refused" \
        "text=$(utf8 'Bitte w\xe4hlen Sie einen anderen Ordner.')"
    kq_check "refusal closed" kq_confirm
    kq_check "the button keeps the Korvo folder" \
        kq_has_line "$(state "$caption")" "control 1000 enabled=1 text=$(kq_windows_path "$target")"
fi
kq_drive click "$caption" 2 >/dev/null
ends "the exit button after the pass" 67 # 1603: it failed

[ "$KQ_FAILED" -eq 0 ] && echo "PASS: main_window" || echo "FAILED: main_window, $KQ_FAILED checks"
[ "$KQ_FAILED" -eq 0 ]
