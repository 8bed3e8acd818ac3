#!/usr/bin/env bash
# A whole installation driven from outside under Wine, as a user would do it: the Korvo folder
# chosen in the real shell browser, the pass started, its message read and confirmed, the
# files checked on disk; a cancelled later choice, a second pass, a file the pass cannot
# write and Korvo still running (each fails the whole pass, which changes nothing), links
# planted in the Korvo folder, an older pack over a newer Korvo (asked, both answers), and the
# exit. Then the installer killed in the middle of a large file (its record cut short), and
# the pass that follows; and a long pass, watched from outside. Keeps a screenshot of the window
# after the installation.
#
#   tests/e2e/installation.sh [install.exe]     (default: build/win32-app/install.exe)
#
# Prints one "ok:" or "FAIL:" line per check and ends with status 0 only when all passed.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
. "$KQ_E2E_DIR/steps.sh"

kq_e2e_start "$@"

caption=$KQ_CAPTION
browser_title=$(utf8 'Bitte Korvo-Installationsordner ausw\xe4hlen')
choose_text=$(utf8 '1. Korvo-Hauptordner ausw\xe4hlen...')
completed="Korvo-Quenda Service-Pack - Installation abgeschlossen!"
failed="Korvo-Quenda Service-Pack - Installation fehlgeschlagen!"
not_changed=$(utf8 'Korvo wurde nicht ver\xe4ndert.')
not_copied="Folgende Dateien konnten nicht kopiert werden:"
in_use="Bitte beenden Sie Korvo und starten Sie die Installation erneut."
try_again="Bitte starten Sie die Installation erneut."
another=$(utf8 'Eine andere Installation in diesen Korvo-Ordner l\xe4uft bereits. Bitte warten Sie, bis sie beendet ist, und starten Sie die Installation dann erneut.')
umlaut_name=$(utf8 'L\xf6sung.txt')

pack=$KQ_WORK/Service-Pack
korvo=$KQ_WORK/Programme/Korvo
other=$KQ_WORK/Programme/Anderer
shots=$KQ_ROOT/build/e2e-screenshots

# The pack: the installer, plain files (one binary, one read-only, one with a name beyond
# ASCII), both optional libraries and a subfolder.
mkdir -p "$pack/Extras" "$korvo" "$other" &&
    cp "$KQ_EXE" "$pack/install.exe" &&
    echo "Korvo-Quenda Service-Pack 3" >"$pack/liesmich.txt" &&
    head -c 70000 /dev/urandom >"$pack/KORVO.EXE" &&
    printf 'Kundendaten-Schema 7\r\n' >"$pack/daten.dat" &&
    echo "Hilfe zur Version 3" >"$pack/hilfe.txt" && chmod 444 "$pack/hilfe.txt" &&
    echo "Neue Loesung" >"$pack/$umlaut_name" &&
    echo "VOZORADI neu" >"$pack/VOZORADI.DLL" &&
    echo "DOZADARU neu" >"$pack/DOZADARU.DLL" &&
    echo "nicht zu installieren" >"$pack/Extras/beispiel.txt" || exit 1
# The Korvo folder: older copies, one of the optional libraries and a file of its own.
echo "Korvo 2" >"$korvo/liesmich.txt" &&
    head -c 50000 /dev/urandom >"$korvo/KORVO.EXE" &&
    echo "VOZORADI alt, etwas laenger" >"$korvo/VOZORADI.DLL" &&
    echo "Sprache=de" >"$korvo/korvo.ini" &&
    cp "$korvo/korvo.ini" "$KQ_WORK/korvo.ini.before" || exit 1
pack_files="liesmich.txt KORVO.EXE daten.dat hilfe.txt $umlaut_name VOZORADI.DLL"

same() { cmp -s -- "$1" "$2" || {
    echo "  $2 differs from $1"
    return 1
}; }

# Every file of the pack that is meant to land in the Korvo folder is there, byte for byte.
pack_installed() {
    local name status=0
    for name in $pack_files; do
        same "$pack/$name" "$korvo/$name" || status=1
    done
    return $status
}

absent() { [ ! -e "$1" ] || {
    echo "  $1 exists"
    return 1
}; }

state() { kq_drive state "$caption"; }

# What the message box in $box shows.
box_text() { grep '^text=' <<<"$box" | sed 's/^text=//'; }
box_has() { # icon kind
    kq_has_line "$box" "icon=$1" && kq_has_line "$box" buttons=ok
}
box_completed() { [ "$(box_text)" = "$completed" ] && box_has information; }

# The main window in $1 still has the Korvo folder as its target and start enabled.
keeps_target() {
    kq_has_line "$1" "control 1000 enabled=1 text=$korvo_path" &&
        kq_has_line "$1" "control 1001 enabled=1 text=3. Starte Installation"
}

echo "== choosing the Korvo folder in the shell's browser"
kq_check "main window up" kq_start_installer "$pack" "$KQ_WORK/app.log"
korvo_path=$(kq_windows_path "$korvo")
kq_settle_folder "$KQ_WORK"
browser=$(kq_open_browser)
kq_check "the choose-folder button opens the folder browser" [ $? -eq 0 ]
kq_check "browser titled for the Korvo folder" kq_has_line "$browser" "title=$browser_title"
kq_check "browser has no owner" kq_has_line "$browser" "owner=none"
while_open=$(state)
kq_check "main window stays enabled beside the browser" kq_has_line "$while_open" "enabled=1"
kq_check "nothing chosen yet" kq_has_line "$while_open" "control 1000 enabled=1 text=$choose_text"
picked=$(kq_pick "$korvo" ok)
kq_check "browser selects the Korvo folder (status line), OK closes it" \
    kq_has_line "$picked" "status=$korvo_path"
chosen=$(state)
kq_check "choose-folder button shows $korvo_path" \
    kq_has_line "$chosen" "control 1000 enabled=1 text=$korvo_path"
kq_check "start button enabled" kq_has_line "$chosen" "control 1001 enabled=1 text=3. Starte Installation"

echo "== first installation"
box=$(kq_start_pass)
kq_check "message box after the pass" [ $? -eq 0 ]
kq_check "its caption" kq_has_line "$box" "caption=$caption"
kq_check "it reports the installation complete, in one line, information icon, OK" box_completed
kq_check "main window disabled under the message box" kq_has_line "$(state)" "enabled=0"
kq_check "OK closes the message box" kq_confirm
after=$(state)
kq_check "main window enabled again" kq_has_line "$after" enabled=1
kq_check "target and start button kept" keeps_target "$after"

kq_check "pack files copied byte for byte, names beyond ASCII included" pack_installed
kq_check "VOZORADI.DLL, present before, replaced" same "$pack/VOZORADI.DLL" "$korvo/VOZORADI.DLL"
kq_check "DOZADARU.DLL, absent before, still absent" absent "$korvo/DOZADARU.DLL"
kq_check "install.exe not copied" absent "$korvo/install.exe"
kq_check "the pack's subfolder not copied" absent "$korvo/Extras"
kq_check "the folder's own file untouched" same "$KQ_WORK/korvo.ini.before" "$korvo/korvo.ini"
kq_check "nothing else written" [ "$(ls "$korvo" | sort | tr '\n' ' ')" = \
    "$(printf '%s\n' $pack_files korvo.ini | sort | tr '\n' ' ')" ]
# Wine keeps the read-only mark as the missing write bits, and copies it with the file.
kq_check "a read-only pack file arrives writable (mode $(stat -c %A "$korvo/hilfe.txt"))" \
    [ "$(stat -c %A "$korvo/hilfe.txt" | cut -c3)" = w ]

echo "== the window after the installation"
read -r cx cy cw ch <<<"$(kq_field client "$after")"
shot=$KQ_WORK/after-installation.png
if kq_check "screenshot of the client area" kq_screenshot "$shot" "$cx" "$cy" "$cw" "$ch"; then
    colours=$(convert "$shot" -format %k info:)
    # A flat background with the three buttons on it shows a few dozen colours at most.
    kq_check "client area shows the picture ($colours colours)" [ "$colours" -ge 200 ]
    # Right of the buttons, above the exit button: picture only.
    convert "$shot" -crop "$((cw * 95 / 320))x$((ch * 100 / 162))+$((cw * 168 / 320))+0" \
        +repage "$KQ_WORK/picture-only.png"
    colours=$(convert "$KQ_WORK/picture-only.png" -format %k info:)
    kq_check "beside the buttons too ($colours colours)" [ "$colours" -ge 100 ]
    echo "screenshot of the client area: $shot"
    kept=$shots/installation-after.png
    mkdir -p "$shots"
    kq_check "screenshot of the window kept: $kept" kq_shoot_windows "$kept" "$after"
    cp "$shot" "$shots/installation-after-client.png"
fi

echo "== a later choice cancelled, then a second pass"
echo "lokal geaendert" >"$korvo/liesmich.txt"
head -c 100 /dev/urandom >"$korvo/KORVO.EXE"
picked=$(kq_choose_folder "$other" cancel)
kq_check "browser selects the other folder, Cancel closes it" \
    kq_has_line "$picked" "status=$(kq_windows_path "$other")"
kq_check "target, button text and start button kept" keeps_target "$(state)"
box=$(kq_start_pass)
kq_check "message box after the second pass" [ $? -eq 0 ]
kq_check "second pass reports the installation complete" box_completed
kq_check "OK closes the message box" kq_confirm
kq_check "second pass replaced the changed files" pack_installed
kq_check "nothing written into the cancelled folder" [ -z "$(ls -A "$other")" ]

# Every entry of a folder with its kind, mode, DOS marks and checksum.
snapshot() { (cd "$1" && stat -c '%n %F %a' -- * && getfattr -d -- * && md5sum -- *) 2>/dev/null; }
unchanged() { [ "$(snapshot "$korvo")" = "$1" ] || diff <(echo "$1") <(snapshot "$korvo"); }
# The names the message box in $box lists as not copied, sorted, on one line.
listed() { box_text | sed -n "/^$not_copied\$/,/^\$/p" | sed '1d;/^$/d' | sort | tr '\n' ' '; }

echo "== a file the pass cannot write"
rm "$korvo/daten.dat" && mkdir "$korvo/daten.dat"
echo "wieder lokal geaendert" >"$korvo/liesmich.txt"
before=$(snapshot "$korvo")
box=$(kq_start_pass)
kq_check "message box after the pass" [ $? -eq 0 ]
kq_check "its caption" kq_has_line "$box" "caption=$caption"
kq_check "it reports the installation failed" [ "$(box_text | head -n1)" = "$failed" ]
kq_check "it names daten.dat, and no other file, as not copied ($(listed))" [ "$(listed)" = "daten.dat " ]
kq_check "it says that Korvo was not changed" kq_has_line "$box" "text=$not_changed"
kq_check "error icon, OK button" box_has error
kq_check "OK closes the message box" kq_confirm
kq_check "the Korvo folder as it was, the other files not replaced" unchanged "$before"

echo "== Korvo still running"
# KORVO.EXE held as a running Korvo holds it.
folder=$(kq_windows_path "$korvo")
kq_check "KORVO.EXE held" kq_hold "$folder\\KORVO.EXE"
box=$(kq_start_pass)
kq_let_go
kq_check "it names KORVO.EXE and daten.dat ($(listed))" [ "$(listed)" = "KORVO.EXE daten.dat " ]
kq_check "its advice: Korvo in use, then the plain sentence for the folder, each once" \
    [ "$(box_text | tail -n 2 | tr '\n' '|')" = "$in_use|$try_again|" ]
kq_check "OK closes the message box" kq_confirm
kq_check "the Korvo folder as it was" unchanged "$before"

echo "== another installation into the same folder"
# The lock of a pass running meanwhile, held as that pass holds it, by another process.
mkdir -p "$korvo/.~kq" && : >"$korvo/.~kq/~l" || exit 1
kq_check "the lock held" kq_hold "$folder\\.~kq\\~l"
box=$(kq_start_pass)
kq_let_go
kq_check "it says that another installation runs, and nothing more" \
    [ "$(box_text | tr '\n' '|')" = "$failed||$another|" ]
kq_check "OK closes the message box" kq_confirm
kq_check "the Korvo folder as it was, the other pass's lock left" eval \
    'unchanged "$before" && [ -f "$korvo/.~kq/~l" ]'

echo "== links planted in the Korvo folder"
# Unix links under the pass's names, and a target that is a second name of a read-only file
# elsewhere: Wine shows each as the file itself.
outside=$KQ_WORK/Anderswo
rmdir "$korvo/daten.dat" && mkdir -p "$outside" && echo eins >"$outside/eins" &&
    echo zwei >"$outside/zwei" && echo geschuetzt >"$outside/geschuetzt" &&
    chmod 444 "$outside/geschuetzt" && rm "$korvo/hilfe.txt" &&
    mkdir -p "$korvo/.~kq/6" "$korvo/.~kq/b" && # where the pass puts these names' copy, old file
    ln -s "$outside/eins" "$korvo/.~kq/6/liesmich.txt" &&
    ln -s "$outside/zwei" "$korvo/.~kq/b/KORVO.EXE" &&
    ln "$outside/geschuetzt" "$korvo/hilfe.txt" || exit 1
outside_before=$(snapshot "$outside")
box=$(kq_start_pass)
kq_check "it names the second name of the read-only file, hilfe.txt ($(listed))" \
    [ "$(listed)" = "hilfe.txt " ]
kq_check "OK closes the message box" kq_confirm
kq_check "files elsewhere keep bytes and marks" [ "$(snapshot "$outside")" = "$outside_before" ]
rm "$korvo/hilfe.txt"
box=$(kq_start_pass)
kq_check "without it, the next pass completes" box_completed
kq_check "OK closes the message box" kq_confirm
kq_check "files elsewhere still keep bytes and marks" [ "$(snapshot "$outside")" = "$outside_before" ]
kq_check "every pack file installed as a regular file" pack_installed
kq_check "no temporary file or link left, nor the pass's folder" absent "$korvo/.~kq"

echo "== an older pack over a newer Korvo"
cp "$KQ_WORK/tools/versioned-3.1.9.5.dll" "$pack/KORVO.EXE" && cp "$KQ_WORK/tools/versioned-3.2.0.1.dll" \
    "$korvo/KORVO.EXE" && before=$(snapshot "$korvo") && box=$(kq_start_pass) || exit 1
kq_check "it asks, naming KORVO.EXE with both versions" [ "$(box_text | tr '\n' '|')" = \
    "$(utf8 'Dieses Service-Pack ist \xe4lter als das installierte Korvo.||KORVO.EXE: installiert 3.2.0.1, im Service-Pack 3.1.9.5||Soll es trotzdem installiert werden? Neuere Dateien werden dann durch \xe4ltere ersetzt.|')" ]
kq_check "a warning with Ja and Nein, in the dialog's caption" eval 'kq_has_line "$box" \
    icon=warning && kq_has_line "$box" buttons=yes,no && kq_has_line "$box" "caption=$caption"'
kq_check "logoff refused while it asks: the copies are staged" [ "$(kq_drive endsession "$caption")" = 0 ]
kq_drive key "$caption" 0x0D >/dev/null && sleep 2
kq_check "Enter answers Nein, the default: no other box, Korvo and the window as they were" \
    eval '! kq_drive message "$caption" 0 >/dev/null 2>&1 && unchanged "$before" &&
    absent "$korvo/.~kq" && keeps_target "$(state)"'
box=$(kq_start_pass)
kq_check "asked again, Ja installs it" eval 'kq_drive message-press "$caption" 6 10000 &&
    box=$(kq_drive message "$caption" 55000) && box_completed'
kq_check "OK closes the message box" kq_confirm
kq_check "the older KORVO.EXE installed" same "$pack/KORVO.EXE" "$korvo/KORVO.EXE"

echo "== exit"
kq_drive click "$caption" 2 >/dev/null
kq_wait_app 30
status=$?
kq_check "the exit button ends the program with status 0 (was $status)" [ "$status" -eq 0 ]
kq_check "no window left" kq_drive gone "$caption" 1000

echo "== killed in the middle of a large file"
# Sparse on the pack's side, so it is quick to make; the copy writes it out for real.
big=$KQ_WORK/Gross-Pack
mkdir -p "$big" && cp "$KQ_EXE" "$big/install.exe" && cp "$pack/liesmich.txt" "$big/" &&
    truncate -s 512M "$big/gross.bin" && echo "Ende der neuen Fassung" >>"$big/gross.bin" &&
    echo "alte Fassung" >"$korvo/gross.bin" && cp "$korvo/gross.bin" "$KQ_WORK/gross.bin.before" ||
    exit 1
temporary=$korvo/.~kq/5/gross.bin
# Waits until the installer has written at least 16 MiB, beside the file or into it, and
# kills it then.
kill_mid_copy() {
    local i size
    for i in $(seq 1 600); do
        size=$(stat -c %s "$temporary" "$korvo/gross.bin" 2>/dev/null | sort -n | tail -n1)
        if [ "$size" -ge $((16 << 20)) ]; then
            kill -KILL "$KQ_APP_PID"
            wait "$KQ_APP_PID" 2>/dev/null
            KQ_APP_PID=
            echo "  killed at $size bytes"
            [ "$size" -lt "$(stat -c %s "$big/gross.bin")" ]
            return
        fi
        sleep 0.05
    done
    return 1
}
kq_check "main window up" kq_start_installer "$big" "$KQ_WORK/app-killed.log"
kq_check "Korvo folder chosen" kq_choose_folder "$korvo" ok
kq_drive click "$caption" 1001 >/dev/null
kq_check "installer killed while it wrote the large file" kill_mid_copy
kq_check "the old file intact after the kill" same "$KQ_WORK/gross.bin.before" "$korvo/gross.bin"
# As a kill while the record was written leaves it: its last line cut short, no "." yet.
printf 'Korvo-Quenda Service-Pack: Commit 3\r\n+ 00 1 liesmich.txt\r\n+ 00 1 gross.b' \
    >"$korvo/.~kq/~c" || exit 1
kq_drive gone "$caption" 10000 >/dev/null
kq_check "main window up again, started by full path from a folder without the installer" \
    kq_start_installer "$KQ_WORK" "$KQ_WORK/app-after-kill.log" "$big/install.exe"
kq_check "Korvo folder chosen again" kq_choose_folder "$korvo" ok
box=$(kq_start_pass)
kq_check "the next pass reports the installation complete" box_completed
kq_check "OK closes the message box" kq_confirm
kq_check "the large file installed whole, from the program's folder" \
    same "$big/gross.bin" "$korvo/gross.bin"
kq_check "nothing of the folder it was started from" absent "$korvo/gross.bin.before"
kq_check "no temporary file left, nor the pass's folder" absent "$korvo/.~kq"
kq_drive click "$caption" 2 >/dev/null
kq_wait_app 30

echo "== a long pass, watched from outside"
# Eight files of 128 MiB: a window served only between files would answer once an eighth of
# the pass; one served not at all, after the whole pass.
long=$KQ_WORK/Lang-Pack
fresh=$KQ_WORK/Programme/Neu
mkdir -p "$long" "$fresh" && cp "$KQ_EXE" "$long/install.exe" || exit 1
for i in 1 2 3 4 5 6 7 8; do
    truncate -s 128M "$long/teil$i.bin" && echo "Teil $i" >>"$long/teil$i.bin" || exit 1
done
kq_check "main window up" kq_start_installer "$long" "$KQ_WORK/app-long.log"
kq_check "an empty Korvo folder chosen" kq_choose_folder "$fresh" ok
question=$(kq_start_pass)
kq_check "the start asks first, a question with Ja and Nein" eval 'kq_has_line "$question" \
    "text=$KQ_NOT_KORVO" && kq_has_line "$question" "caption=$caption" &&
    kq_has_line "$question" icon=question && kq_has_line "$question" buttons=yes,no'
kq_drive key "$caption" 0x0D >/dev/null && sleep 2
kq_check "Enter answers Nein, the default: nothing copied, the choice kept" eval '! kq_drive \
    message "$caption" 0 >/dev/null 2>&1 && [ -z "$(ls -A "$fresh")" ] && kq_has_line "$(state)" \
    "control 1000 enabled=1 text=$(kq_windows_path "$fresh")"'
kq_drive click "$caption" 1001 >/dev/null
kq_check "asked again, Ja starts the pass" eval \
    'kq_drive message "$caption" 10000 >/dev/null && kq_drive message-press "$caption" 6 10000'
# Start, choose-folder and exit pressed and the window closed while the pass runs.
alive=$(kq_drive alive "$caption" 55000 1001 1000 2)
kq_check "the pass watched ($(tr '\n' ' ' <<<"$alive"))" [ $? -eq 0 ]
duration=$(kq_field duration "$alive") slowest=$(kq_field slowest "$alive")
kq_check "never taken for hung" kq_has_line "$alive" hung=0
kq_check "it answered within a third of the pass at any time (${slowest:-?} of ${duration:-?} ms)" \
    [ "$((${slowest:-99999} * 3))" -lt "${duration:-0}" ]
kq_check "its start button showed the files as they were copied" \
    grep -qE '^shown=Datei [0-9]+: teil[1-8]\.bin$' <<<"$alive"
box=$(kq_drive message "$caption" 55000)
kq_check "the long pass reports the installation complete" box_completed
kq_check "logoff allowed while its closing box is up" [ "$(kq_drive endsession "$caption")" = 1 ]
kq_check "OK closes the message box" kq_confirm
kq_check "logoff allowed after the pass" [ "$(kq_drive endsession "$caption")" = 1 ]
echo "accepted Wine difference: no ShutdownBlockReasonQuery in Wine 8; ControllerTest reads the reason"
kq_check "no second pass, no folder browser: the presses were dropped" \
    eval '! kq_drive message "$caption" 2000 >/dev/null && ! kq_drive browser "$caption" 500 >/dev/null'
kq_check "the window still open, its start button as before the pass" \
    kq_has_line "$(state)" "control 1001 enabled=1 text=3. Starte Installation"
installed() {
    local i
    for i in 1 2 3 4 5 6 7 8; do same "$long/teil$i.bin" "$fresh/teil$i.bin" || return 1; done
}
kq_check "all eight files installed" installed
rm -rf "$fresh"
kq_drive click "$caption" 2 >/dev/null
kq_check "the exit button still ends it" kq_wait_app 30

[ "$KQ_FAILED" -eq 0 ] && echo "PASS: installation" || echo "FAILED: installation, $KQ_FAILED checks"
[ "$KQ_FAILED" -eq 0 ]
