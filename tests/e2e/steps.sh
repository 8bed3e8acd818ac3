# Steps of an installation driven from outside, shared by installation.sh and the headless
# run.sh. Sourced after lib.sh, once kq_e2e_begin has built the window driver.

KQ_CAPTION="Korvo-Quenda Service-Pack"

# utf8 <text>: the text, written with Windows-1252 escapes (\xe4), in UTF-8 as the driver takes it.
utf8() { printf '%b' "$1" | iconv -f CP1252 -t UTF-8; }

# kq_field <name> <output>: the value of the first "name=" line of a driver output.
kq_field() { sed -n "s/^$1=//p" <<<"$2" | head -n1; }

# kq_has_line <text> <line>: the line is in the text; otherwise says what was there.
kq_has_line() {
    grep -qxF -- "$2" <<<"$1" || {
        echo "  expected \"$2\" in:"
        sed 's/^/    /' <<<"$1"
        return 1
    }
}

# kq_windows_path <path>: the path as Windows programs in the prefix spell it.
kq_windows_path() {
    timeout -k 5 60 winepath -w "$1" </dev/null 2>/dev/null 8>&- | tr -d '\r'
}

# kq_settle_folder <folder>: Wine's browser finds a selection by comparing item ids, which
# hold each folder's access time, and Linux moves that time on the first listing after a
# change: a folder the browser lists while it looks is then not found. An access time an hour
# ahead stays put. The folder, the folders in it and those above it, up to the root.
kq_settle_folder() {
    local ahead=@$(($(date +%s) + 3600)) dir
    find "$1" -type d -exec touch -a -d "$ahead" {} + || return 1
    dir=$(dirname "$1")
    while [ "$dir" != / ]; do
        touch -a -d "$ahead" "$dir" || return 1
        dir=$(dirname "$dir")
    done
}

# kq_wait_ready: until the installer's window is up with the focus on the exit button, that
# is ready for input.
kq_wait_ready() {
    kq_drive wait "$KQ_CAPTION" 60000 >/dev/null && kq_drive focus "$KQ_CAPTION" 2 10000
}

# kq_start_installer <folder> <log> [program]: starts install.exe (or the program) from the
# folder, until it is ready. Not in a subshell: the installer's process id is kept for
# kq_wait_app and kq_stop_app.
kq_start_installer() {
    kq_start_app "$@" && kq_wait_ready
}

# kq_open_browser: presses the choose-folder button; the browser's state once it is up.
kq_open_browser() {
    kq_drive click "$KQ_CAPTION" 1000 >/dev/null && kq_drive browser "$KQ_CAPTION" 30000
}

# kq_pick <folder> ok|cancel: in the open browser, selects the folder as a click in the tree
# would and presses OK or Cancel. The browser's state after the selection. Where the browser
# did not take the selection (its status line shows another folder), it is cancelled rather
# than let install into whatever it had selected.
kq_pick() {
    local button=1 path selected
    [ "$2" = cancel ] && button=2
    path=$(kq_windows_path "$1") && [ -n "$path" ] || {
        echo "no Windows path for $1"
        return 1
    }
    selected=$(kq_drive select "$KQ_CAPTION" "$path")
    echo "$selected"
    grep -qxF -- "status=$path" <<<"$selected" || {
        kq_drive browser-press "$KQ_CAPTION" 2 10000
        return 1
    }
    kq_drive browser-press "$KQ_CAPTION" $button 10000
}

# kq_choose_folder <folder> ok|cancel: the whole choice, from the button to the browser's end.
kq_choose_folder() {
    kq_settle_folder "$1" && kq_open_browser >/dev/null && kq_pick "$1" "$2"
}

# kq_start_pass: presses the start button; the message box once it is up (within the 60 s
# that kq_drive allows any driver run).
kq_start_pass() {
    kq_drive click "$KQ_CAPTION" 1001 >/dev/null && kq_drive message "$KQ_CAPTION" 55000
}

# The question before a pass into a folder that holds none of the pack's files.
KQ_NOT_KORVO=$(utf8 'Der gew\xe4hlte Ordner enth\xe4lt keine Datei dieses Service-Packs. Ist er wirklich der Korvo-Hauptordner?')

# kq_confirm: presses OK on the message box, until it is gone.
kq_confirm() {
    kq_drive message-press "$KQ_CAPTION" 1 10000
}

# kq_screenshot <file> <x> <y> <width> <height>: that part of the screen, as PNG.
kq_screenshot() {
    timeout -k 5 30 import -window root png:- 2>/dev/null |
        convert png:- -crop "${4}x${5}+${2}+${3}" +repage "$1" && [ -s "$1" ]
}

# kq_shoot_windows <file> <driver output>...: the part of the screen that holds the windows
# whose "window=" lines the outputs give.
kq_shoot_windows() {
    local file=$1 left=100000 top=100000 right=0 bottom=0 x y w h
    shift
    for output in "$@"; do
        read -r x y w h <<<"$(kq_field window "$output")"
        [ -n "$h" ] || return 1
        [ "$x" -lt "$left" ] && left=$x
        [ "$y" -lt "$top" ] && top=$y
        [ $((x + w)) -gt "$right" ] && right=$((x + w))
        [ $((y + h)) -gt "$bottom" ] && bottom=$((y + h))
    done
    kq_screenshot "$file" "$left" "$top" $((right - left)) $((bottom - top))
}
