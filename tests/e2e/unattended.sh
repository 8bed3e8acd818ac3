#!/usr/bin/env bash
# The unattended installation as a deployment tool starts it: install.exe /S with the Korvo
# folder and a log, under Wine. The window driver reads its exit code in full (Wine's own
# launcher keeps only the low byte) and looks for any window of it: none may ever appear.
# Usage: tests/e2e/unattended.sh [install.exe]     (default: build/win32-app/install.exe)
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
. "$KQ_E2E_DIR/steps.sh"
kq_e2e_start "$@"

pack=$KQ_WORK/Service-Pack korvo="$KQ_WORK/Programme/Korvo Quenda" empty=$KQ_WORK/Leer
mkdir -p "$pack" "$korvo" "$empty" && cp "$KQ_EXE" "$pack/install.exe" &&
    echo "Korvo 3" >"$pack/KORVO.EXE" && echo neu >"$pack/$(utf8 'L\xf6sung.txt')" &&
    echo "Korvo 2" >"$korvo/KORVO.EXE" || exit 1
before=$(cd "$korvo" && ls -A && md5sum -- *)
exe=$(kq_windows_path "$pack/install.exe") folder=$(kq_windows_path "$korvo")
log=$(kq_windows_path "$KQ_WORK/install.log")

# unattended <what> <exit code> <arguments>: install.exe so started ends with that code, shows
# no window and, unless it installs, leaves Korvo as it was.
unattended() {
    local out
    out=$(kq_drive run "\"$exe\" $3" 50000)
    kq_check "$1: exit code $2" kq_has_line "$out" "exit=$2"
    kq_check "$1: no window" kq_has_line "$out" "windows=0"
    [ "$2" = 0 ] || kq_check "$1: Korvo as it was" [ "$(cd "$korvo" && ls -A && md5sum -- *)" = "$before" ]
}

unattended "an unknown switch" 87 "/X /S \"/D=$folder\""
unattended "a quoted folder with a closing backslash" 87 "/S /D=\"$folder\\\" /LOG=\"$log\""
kq_check "no log: its switch became part of the folder" [ ! -e "$KQ_WORK/install.log" ]
unattended "a relative folder" 87 "/S /D=..\\Korvo /LOG=\"$log\""
unattended "the pack's own folder" 87 "/S \"/D=$(kq_windows_path "$pack")\""
unattended "a folder that does not exist" 1603 "/S \"/D=$folder\\fehlt\""
unattended "a folder without the pack's files" 1603 "/s /d=$(kq_windows_path "$empty")"
kq_check "nothing copied into it" [ -z "$(ls -A "$empty")" ]
kq_hold "$folder\\KORVO.EXE" || exit 1
unattended "KORVO.EXE held by a running program" 1618 "/S /D=\"$folder\" /LOG=\"$log\""
kq_let_go
# A pack unpacked case-sensitively: names that NTFS takes for one file, both refused.
twins=("$pack/$(utf8 '\xc4nderung.txt')" "$pack/$(utf8 '\xe4nderung.txt')")
echo A >"${twins[0]}" && echo a >"${twins[1]}" || exit 1
unattended "two names differing only in the case of an umlaut" 1603 \
    "/S /D=\"$folder\" /LOG=\"$(kq_windows_path "$KQ_WORK/twins.log")\""
named=$(grep -c "nicht installiert: $(utf8 '[\xc4\xe4]')nderung.txt (" "$KQ_WORK/twins.log")
kq_check "each of the two named" [ "$named" = 2 ]
rm -- "${twins[@]}"
# The lock of another pass into the same folder, held as that pass holds it.
mkdir -p "$korvo/.~kq" && : >"$korvo/.~kq/~l" && saved=$before &&
    before=$(cd "$korvo" && ls -A && md5sum -- *) || exit 1
kq_hold "$folder\\.~kq\\~l" || exit 1
unattended "another installation into the same folder" 1618 "/S /D=\"$folder\" /LOG=\"$log\""
kq_let_go
# A killed commit whose copy of KORVO.EXE cannot replace it: Korvo stays partly updated.
mkdir -p "$korvo/.~kq/3" && echo "Korvo 3" >"$korvo/.~kq/3/KORVO.EXE" &&
    printf 'Korvo-Quenda Service-Pack: Commit 3\r\n+ 00 1 KORVO.EXE\r\n.\r\n' >"$korvo/.~kq/~c" &&
    before=$(cd "$korvo" && ls -A && md5sum -- *) || exit 1
kq_hold "$folder\\KORVO.EXE" || exit 1
unattended "a killed commit that cannot be completed" 1604 "/S /D=\"$folder\" /LOG=\"$log\""
kq_let_go
before=$saved
unattended "an installation" 0 "/S /D=\"$folder\" /LOG=\"$log\""
kq_check "the pack installed" cmp -s "$pack/KORVO.EXE" "$korvo/KORVO.EXE"
text=$(tr -d '\r' <"$KQ_WORK/install.log")
kq_check "the log: UTF-8 with a BOM, once" [ "$(grep -c $'^\xef\xbb\xbf' <<<"$text")" = 1 ]
kq_check "the log: each run that had one, in turn" [ "$(grep -o 'Exitcode.*' <<<"$text" | tr '\n' ' ')" \
    = "Exitcode 87 Exitcode 1618 Exitcode 1618 Exitcode 1604 Exitcode 0 " ]
kq_check "the log: the relative folder named" grep -q ' verstanden: /D=\.\.\\Korvo$' <<<"$text"
kq_check "the log: a closing message's last line" \
    grep -q "$(utf8 ' Eine andere Installation in diesen Korvo-Ordner l\xe4uft bereits\.')" <<<"$text"
kq_check "the log: each file installed" grep -q "$(utf8 'installiert: L\xf6sung.txt')$" <<<"$text"

# Versions: an older pack is not installed over a newer Korvo unattended; a newer one is.
v3195=$KQ_WORK/tools/versioned-3.1.9.5.dll v3201=$KQ_WORK/tools/versioned-3.2.0.1.dll
cp "$v3195" "$pack/KORVO.EXE" && cp "$v3201" "$korvo/KORVO.EXE" &&
    before=$(cd "$korvo" && ls -A && md5sum -- *) || exit 1
unattended "an older pack over a newer Korvo" 1638 "/S /D=\"$folder\" /LOG=\"$log\""
cp "$v3201" "$pack/KORVO.EXE" && cp "$v3195" "$korvo/KORVO.EXE" || exit 1
unattended "a newer pack" 0 "/S /D=\"$folder\" /LOG=\"$log\""
text=$(tr -d '\r' <"$KQ_WORK/install.log")
kq_check "the log: the newer Korvo file with both versions, then the older one's" eval \
    'grep -q "KORVO.EXE: installiert 3.2.0.1, im Service-Pack 3.1.9.5$" <<<"$text" &&
    grep -q "KORVO.EXE: installiert 3.1.9.5, im Service-Pack 3.2.0.1$" <<<"$text"'
[ "$KQ_FAILED" -eq 0 ]
