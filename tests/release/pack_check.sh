#!/usr/bin/env bash
# The release command's pack check, run over a pack with every kind of offender at once, a clean
# pack and a missing folder.
#
#   tests/release/pack_check.sh [kq_pack_check]     (default: build/host/tools/kq_pack_check)
#
# Prints one "ok:" or "FAIL:" line per check and ends with status 0 only when all passed.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
tool=${1:-$root/build/host/tools/kq_pack_check}
[ -x "$tool" ] || {
    echo "$0: no such program: $tool" >&2
    exit 2
}
work=$(mktemp -d "${TMPDIR:-/tmp}/kq-pack-check.XXXXXX") || exit 1
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT

# kq_check and its tally; nothing of Wine is started.
. "$root/tests/e2e/lib.sh"
run() { # folder: the tool's output in $out, its status in $status
    out=$("$tool" "$1" 2>"$work/stderr")
    status=$?
}
# kind, name, words of the rule: one line of the output names the file and says why.
says() {
    local line
    line=$(grep -F -- "$1: \"$2\": " <<<"$out") && grep -qi -- "$3" <<<"$line" || {
        echo "  no $1 line for \"$2\" saying \"$3\" in:"
        sed 's/^/    /' <<<"$out"
        return 1
    }
}
is_not() { ! grep -qF -- "\"$1\"" <<<"$out" || {
    echo "  \"$1\" is named:" && grep -F -- "\"$1\"" <<<"$out"
    return 1
}; }

pad() { printf "%${1}s" "" | tr ' ' "$2"; }
# C:\Program Files (x86)\Korvo\.~kq\8\ is 36 characters: a name of 223 fits in 259, 224 not.
fits=$(pad 219 f).txt
too_long=$(pad 220 g).txt
cafe=$(printf 'Caf\xc3\xa9 \xe2\x82\xac.txt') # Windows-1252 holds both
snowman=$(printf 'Schnee\xe2\x98\x83.txt')

# DLLs, 64-bit, 32-bit and 32-bit signed with a throw-away certificate: the check looks for a
# signature, not whom it chains to.
dll() { echo 'int __stdcall DllMainCRTStartup(void*a, unsigned b, void*c) { return 1; }' |
    "$1" -x c -shared -nostdlib -s -o "$dlls/$2" -; }
dlls=$work/dlls
mkdir "$dlls" && dll x86_64-w64-mingw32-gcc x64.dll && dll i686-w64-mingw32-gcc x86.dll &&
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$dlls/key.pem" \
        -out "$dlls/cert.pem" -subj /CN=Korvo-Test -days 1 2>/dev/null &&
    osslsigncode sign -certs "$dlls/cert.pem" -key "$dlls/key.pem" -in "$dlls/x86.dll" \
        -out "$dlls/signed.dll" >/dev/null || exit 1

bad=$work/bad
mkdir -p "$bad/Extras" && cd "$bad" &&
    echo a >liesmich.txt && echo b >"$cafe" && echo c >"$fits" && echo d >"$too_long" &&
    echo e >install.exe && echo f >Install.EXE && echo g >"$snowman" && echo h >CON.txt &&
    echo i >lpt3 && echo j >"punkt." && echo k >"leer " && echo l >"alt.dat.~KQ" && echo l >".~kq" &&
    echo m >'a?b' && echo n >'a\b' && echo o >Hilfe.txt && echo p >HILFE.TXT &&
    echo q >dozadaru.dll && echo r >VOZORADI.DLL && ln -s liesmich.txt verweis && mkfifo rohr &&
    echo s >nurlesen.txt && chmod 444 nurlesen.txt &&
    echo t >versteckt.txt && setfattr -n user.DOSATTRIB -v '"0x2"' versteckt.txt &&
    cp "$dlls/x64.dll" modul64.dat && cp "$dlls/x86.dll" ohne.dll && cp ohne.dll arm64.dll &&
    printf '\x64\xAA' | dd of=arm64.dll bs=1 seek=$(($(od -An -tu4 -j60 -N4 ohne.dll) + 4)) conv=notrunc status=none &&
    cd "$root" || exit 1
run "$bad"
kq_check "a pack with offenders is refused (status $status)" [ "$status" = 1 ]
kq_check "a subfolder" says REFUSED Extras "subfolder"
kq_check "install.exe" says REFUSED install.exe "skips"
kq_check "install.exe in another case" says REFUSED Install.EXE "over the program's own name"
kq_check "a name Windows-1252 cannot hold" says REFUSED "$snowman" "Windows-1252"
kq_check "reserved device names" eval 'says REFUSED CON.txt "device" && says REFUSED lpt3 "device"'
kq_check "a trailing dot or space" eval 'says REFUSED "punkt." "dot or a space" &&
    says REFUSED "leer " "dot or a space"'
kq_check "the pass's suffix" eval 'says REFUSED "alt.dat.~KQ" ".~kq" && says REFUSED ".~kq" ".~kq"'
kq_check "characters Windows refuses" eval 'says REFUSED "a?b" "character" &&
    says REFUSED "a\\b" "character"'
kq_check "a temporary path over MAX_PATH" says REFUSED "$too_long" "260 characters"
kq_check "names equal regardless of case" eval 'says REFUSED Hilfe.txt "HILFE.TXT" &&
    says REFUSED HILFE.TXT "Hilfe.txt"'
kq_check "an optional library in another case" says REFUSED dozadaru.dll "DOZADARU.DLL"
kq_check "not regular files" eval 'says REFUSED verweis "regular" && says REFUSED rohr "regular"'
kq_check "a 64-bit PE file, by its content" says REFUSED modul64.dat "x64 (64-bit), not 32-bit x86"
kq_check "a PE file for ARM64" says REFUSED arm64.dll "ARM64, not 32-bit x86"
kq_check "an unsigned PE file: a warning" says WARNING ohne.dll "Authenticode"
kq_check "read-only and hidden: warnings" eval 'says WARNING nurlesen.txt "read-only" &&
    says WARNING versteckt.txt "hidden"'
kq_check "the optional library present" says NOTE VOZORADI.DLL "only where"
kq_check "installable names are not named" eval 'is_not liesmich.txt && is_not "$cafe" &&
    is_not "$fits"'
kq_check "the summary counts every refusal" grep -qx "pack refused: 22 refusals, 3 warnings" <<<"$out"

good=$work/good
mkdir "$good" && cp -p "$bad/liesmich.txt" "$bad/$cafe" "$bad/VOZORADI.DLL" "$bad/nurlesen.txt" \
    "$dlls/signed.dll" "$good/" || exit 1
run "$good"
kq_check "a clean pack, a signed 32-bit DLL in it, is accepted with its warning (status $status)" \
    eval '[ "$status" = 0 ] &&
    says WARNING nurlesen.txt "read-only" &&
    grep -qx "pack accepted: 0 refusals, 1 warnings" <<<"$out"'

run "$work/fehlt"
kq_check "a missing folder: status 2 and a message (status $status)" eval '[ "$status" = 2 ] &&
    [ -z "$out" ] && grep -q "cannot read the pack folder" "$work/stderr"'

[ "$KQ_FAILED" -eq 0 ]
