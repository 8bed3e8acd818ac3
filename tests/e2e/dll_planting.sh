#!/usr/bin/env bash
# The installer is started from a download or medium folder that may hold anything. This
# check plants DLLs with system DLLs' names there and proves that install.exe takes none of
# them while it starts, shows its window and opens the About box: Wine's load trace names no
# DLL from that folder, and no planted DLL leaves its marker file.
#
#   tests/e2e/dll_planting.sh [install.exe]    (default: build/win32-app/install.exe)
#
# First a control run loads the same names from a second folder with an unprotected program;
# if the check cannot see those loads, it says so and fails rather than pass on nothing.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

kq_e2e_start "$@"

caption="Korvo-Quenda Service-Pack"
names="uxtheme version dwmapi textshaping comctl32 msimg32 propsys winmm"
# Wine keeps its own order: a DLL it ships is loaded as its builtin even where the search
# found a planted file first, but the trace still names the file the search found, and that
# is what is checked. textshaping.dll has no builtin, so a planted one would run.
export WINEDEBUG=+loaddll

# Loads from the program's folder that come from Wine's own DLLs, not from the program: on
# Windows neither happens, so they are reported and accepted, not counted.
#   version.dll  Wine's user32 imports it, so the loader resolves it before the program's
#                first instruction; Windows' user32 has no such import.
#   msimg32.dll  Wine's uxtheme delay-loads it without the process's DLL directories, which
#                Windows applies to delay loads as well.
wine_own="version msimg32"

plant() { # folder
    local name
    for name in $names; do
        cp "$KQ_WORK/tools/PlantedDll.dll" "$1/$name.dll"
    done
}

# Lines of a load trace that load a DLL from the folder with that base name.
loads_from() { # log, folder base name
    grep -F "\\\\$2\\\\" "$1" | grep -F "Loaded " | grep -viF 'install.exe"' | grep -viF '.exe"'
}

markers() { # folder
    (cd "$1" && ls -- *.loaded 2>/dev/null)
}

# The control: an unprotected program, loading the names from its own folder.
control=$KQ_WORK/control-medium
mkdir -p "$control" && cp "$KQ_WORK/tools/LoadByName.exe" "$control/" && plant "$control"
(cd "$control" && timeout -k 5 120 wine LoadByName.exe $(echo "$names" | sed 's/\([a-z]*\)/\1.dll/g') \
    </dev/null >"$KQ_WORK/control.log" 2>&1 8>&-)
seen=$(loads_from "$KQ_WORK/control.log" control-medium | wc -l)
echo "control: $seen planted DLLs loaded by an unprotected program; markers: $(markers "$control" | tr '\n' ' ')"
if [ "$seen" -eq 0 ] || [ -z "$(markers "$control")" ]; then
    echo "FAIL: the check cannot see a planted DLL being loaded; its verdict would mean nothing"
    grep -F "Loaded " "$KQ_WORK/control.log" | grep -F control-medium
    exit 1
fi

# The installer, started from a folder with the same planted DLLs.
medium=$KQ_WORK/sp-medium
kq_make_medium "$medium" && plant "$medium"
log=$KQ_WORK/install.log
kq_start_app "$medium" "$log"
kq_check "main window shown" kq_drive wait "$caption" 60000
kq_drive syscommand "$caption" 0x0010 >/dev/null
kq_check "About box shown" kq_drive wait "Info*" 10000
kq_drive focus "Info*" 1 10000 >/dev/null
kq_drive key "Info*" 0x0D >/dev/null
kq_check "About box closed" kq_drive gone "Info*" 10000
kq_drive click "$caption" 2 >/dev/null
kq_wait_app 30
status=$?
kq_check "install.exe ended with status 66, 1602's low byte (was $status)" [ "$status" -eq 66 ]

echo "install.exe loaded these DLLs:"
grep -F "Loaded " "$log" | sed -n 's/.*Loaded L"\([^"]*\)".*: \(.*\)/  \1 (\2)/p' | sort -u
all=$(loads_from "$log" sp-medium)
bad=$all
for name in $wine_own; do
    accepted=$(echo "$bad" | grep -iF "\\$name.dll\"")
    [ -n "$accepted" ] && echo "accepted Wine difference, loaded by Wine's own DLLs: $name.dll"
    bad=$(echo "$bad" | grep -viF "\\$name.dll\"")
done
kq_check "no DLL loaded from the folder install.exe started from" [ -z "$bad" ]
[ -n "$bad" ] && echo "$bad"
found=$(markers "$medium")
kq_check "no planted DLL ran" [ -z "$found" ]
[ -n "$found" ] && echo "markers: $found"

[ "$KQ_FAILED" -eq 0 ] && echo "PASS: dll_planting" || echo "FAILED: dll_planting, $KQ_FAILED checks"
[ "$KQ_FAILED" -eq 0 ]
