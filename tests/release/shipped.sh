#!/usr/bin/env bash
# The release command's results, as a vendor ships them. In this tree: ./release.sh builds
# dist/install.exe with the commit's time stamp. In a copy of the tree in another folder: the
# same bytes; a release without a pack carries no list of files; signing with a throw-away CA
# whose revocation list cannot be fetched (verifies offline, breaks when a byte of the pack's
# list changes; a wrong password or a missing file leaves dist/ alone); a refused pack and a
# missing pack folder leave dist/ alone; times a ZIP entry cannot hold are clamped with a
# warning; a signed release of the demo pack, whose archive, unpacked, installs the pack under
# Wine. Signing fails while the CA is not named or without a time stamp.
#
#   tests/release/shipped.sh
#
# Prints one "ok:" or "FAIL:" line per check and ends with status 0 only when all passed.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
. "$KQ_E2E_DIR/steps.sh"

kq_e2e_begin || exit 1
root=$KQ_ROOT
work=$KQ_WORK
copy=$work/another/folder/Korvo-Quenda
certs=$work/certs
stamp=$(git -C "$root" log -1 --format=%ct)
unset KQ_SIGN_PKCS12 KQ_SIGN_PASSWORD_FILE KQ_SIGN_TIMESTAMP_URL SOURCE_DATE_EPOCH

# run_release <log> <command...>: its output only when it fails.
run_release() {
    local log=$work/$1
    shift
    "$@" </dev/null >"$log" 2>&1 8>&-
    local status=$?
    [ $status -eq 0 ] || sed 's/^/  release: /' "$log"
    return $status
}

# files <folder>: name, size, time, mode and checksum of each file.
files() { (cd "$1" && find . -type f -exec stat -c '%n %s %Y %a' {} + -exec md5sum {} + | sort); }

# fails_alone <log> <message> <command...>: the release fails, says so, and dist/ stays.
fails_alone() {
    local log=$1 message=$2 before
    shift 2
    before=$(files "$copy/dist")
    run_release "$log" "$@" >/dev/null && return 1
    grep -q -- "$message" "$work/$log" && [ "$(files "$copy/dist")" = "$before" ]
}

# quiet <command...>: its output only when it fails.
quiet() {
    "$@" >"$work/quiet.log" 2>&1 || {
        sed 's/^/  /' "$work/quiet.log"
        return 1
    }
}
refuses() { ! "$@" >/dev/null 2>&1; }
lacks() { ! grep -qaF -- "$1" "$2"; }

# pack_list <exe> [<copy>]: the pack's list of files that exe carries (status 1 when none);
# with <copy>, writes exe there with one byte of the list changed.
pack_list() {
    /usr/bin/python3 - "$@" <<'EOF'
import sys, pefile
pe = pefile.PE(sys.argv[1])
for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    for res in kind.directory.entries if kind.id == 10 else []:
        if res.id == 200:
            at = res.directory.entries[0].data.struct
            sys.stdout.buffer.write(pe.get_data(at.OffsetToData, at.Size))
            if len(sys.argv) > 2:
                data = bytearray(pe.__data__)
                data[pe.get_offset_from_rva(at.OffsetToData) + 70] ^= 1
                open(sys.argv[2], "wb").write(data)
            sys.exit(0)
sys.exit(1)
EOF
}
# listed <folder>: its files as the release lists them (names here are ASCII, in byte order).
listed() (cd "$1" && LC_ALL=C && for f in *; do
    printf '%s %s %s\n' "$(sha256sum <"$f" | cut -c1-64)" "$(stat -c %s "$f")" "$f"
done)

pe_stamp() {
    /usr/bin/python3 -c 'import pefile, sys
print(pefile.PE(sys.argv[1], fast_load=True).FILE_HEADER.TimeDateStamp)' "$1"
}

echo "== release in this tree"
kq_check "./release.sh demo/Service-Pack builds dist/install.exe" \
    run_release tree.log "$root/release.sh" "$root/demo/Service-Pack"
kq_check "says that it is unsigned" grep -q "NOT SIGNED" "$work/tree.log"
kq_check "time stamp is the commit's ($stamp)" [ "$(pe_stamp "$root/dist/install.exe")" = "$stamp" ]
kq_check "no path of the tree in the program" lacks "$root" "$root/dist/install.exe"
kq_check "install.exe carries the list of the pack's files" \
    [ "$(pack_list "$root/dist/install.exe")" = "$(listed "$root/demo/Service-Pack")" ]

echo "== the same bytes from a copy in another folder, later"
mkdir -p "$copy" && (cd "$root" && git ls-files -z --cached --others --exclude-standard |
    tar --null -T - --ignore-failed-read -cf - 2>/dev/null) | tar -xf - -C "$copy" || exit 1
# The copy has no git history to take the time stamp from.
export SOURCE_DATE_EPOCH=$stamp
kq_check "./release.sh demo/Service-Pack in the copy" \
    run_release copy.log "$copy/release.sh" "$copy/demo/Service-Pack"
kq_check "dist/install.exe and dist/Service-Pack.zip byte for byte the same" eval \
    'cmp "$root/dist/install.exe" "$copy/dist/install.exe" &&
    cmp "$root/dist/Service-Pack.zip" "$copy/dist/Service-Pack.zip"'
kq_check "./release.sh without a pack" run_release plain.log "$copy/release.sh"
kq_check "its install.exe carries no list, and the pack laid out before is gone" eval \
    '! pack_list "$copy/dist/install.exe" >/dev/null && [ ! -e "$copy/dist/Service-Pack" ]'

echo "== signing"
make_certs() (
    mkdir -p "$certs" && cd "$certs" && echo "Korvo-Test-Passwort" >password &&
        echo "falsch" >wrong &&
        openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
            -subj "/CN=Korvo Test CA" -addext basicConstraints=critical,CA:TRUE \
            -addext keyUsage=critical,keyCertSign &&
        openssl req -newkey rsa:2048 -nodes -keyout sign.key -out sign.csr \
            -subj "/CN=Korvo Test Publisher" &&
        printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature \
            extendedKeyUsage=codeSigning crlDistributionPoints=URI:http://127.0.0.1:9/ca.crl \
            >ext &&
        openssl x509 -req -in sign.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
            -extfile ext -out sign.pem &&
        openssl pkcs12 -export -inkey sign.key -in sign.pem -certfile ca.pem \
            -passout file:password -out sign.p12
)
kq_check "throw-away CA and code-signing certificate" quiet make_certs
# The PKCS#12 file brings the CA, which must not count.
untrusted=(env KQ_SIGN_PKCS12="$certs/sign.p12" KQ_SIGN_PASSWORD_FILE="$certs/password"
    KQ_SIGN_NO_TIMESTAMP=1)
signed=("${untrusted[@]}" KQ_SIGN_CAFILE="$certs/ca.pem")
kq_check "the CA not named: the signature does not verify, dist/ unchanged" \
    fails_alone untrusted.log "does not verify against the system's CAs:" \
    "${untrusted[@]}" "$copy/release.sh"
kq_check "no time stamp and no KQ_SIGN_NO_TIMESTAMP=1: refused, dist/ unchanged" \
    fails_alone nots.log "no time-stamp server" "${signed[@]}" KQ_SIGN_NO_TIMESTAMP= \
    "$copy/release.sh"
kq_check "a wrong password: an error, dist/ unchanged" fails_alone wrong.log "signing failed" \
    "${signed[@]}" KQ_SIGN_PASSWORD_FILE="$certs/wrong" "$copy/release.sh"
kq_check "a time-stamp server that does not answer: an error, dist/ unchanged" \
    fails_alone tsa.log "signing failed" "${signed[@]}" KQ_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/ \
    "$copy/release.sh"
kq_check "a missing certificate file: an error naming it, dist/ unchanged" \
    fails_alone missing.log "cannot read $certs/none.p12" \
    env KQ_SIGN_PKCS12="$certs/none.p12" KQ_SIGN_PASSWORD_FILE="$certs/password" "$copy/release.sh"

echo "== packs"
# The demo pack, as a fresh clone has it; a read-only file in it, whose mark must travel.
pack=$copy/demo/Service-Pack
chmod 444 "$pack/hilfe.txt" && touch -d '2024-03-01 12:00' "$pack"/* &&
    mkdir -p "$work/bad/Extras" && echo "x" >"$work/bad/Extras/a.txt" || exit 1
kq_check "a pack with a subfolder: refused, naming it, dist/ unchanged" \
    fails_alone bad.log '"Extras"' "$copy/release.sh" "$work/bad"
kq_check "a missing pack folder: an error naming it, dist/ unchanged" \
    fails_alone nowhere.log "$work/nowhere" "$copy/release.sh" "$work/nowhere"
mkdir "$work/times" && echo alt >"$work/times/alt.txt" && echo neu >"$work/times/neu.txt" &&
    touch -d '1975-06-01 12:00 UTC' "$work/times/alt.txt" &&
    touch -d '2110-01-01 12:00 UTC' "$work/times/neu.txt" || exit 1
kq_check "files dated 1975 and 2110: released, each named in a warning" eval \
    'run_release times.log "$copy/release.sh" "$work/times" &&
    grep -q "WARNING: Service-Pack/alt.txt: its time, 1975-06-01 12:00:00 UTC" "$work/times.log" &&
    grep -q "WARNING: Service-Pack/neu.txt: .* the archive gives it 2107-12-31" "$work/times.log"'
kq_check "./release.sh demo/Service-Pack, signed, the CA named" run_release pack.log \
    "${signed[@]}" "$copy/release.sh" "$pack"
kq_check "warns that without a time stamp the signature expires with the certificate" \
    grep -q "NO TIME STAMP.*expires with the certificate" "$work/pack.log"
dist=$copy/dist
kq_check "signature verifies against the CA" \
    quiet osslsigncode verify -ignore-crl -CAfile "$certs/ca.pem" -in "$dist/install.exe"
kq_check "signed program passes the hardening check" \
    quiet /usr/bin/python3 "$root/tests/release/check_hardening.py" "$dist/install.exe" --signed
pack_list "$dist/install.exe" "$work/changed.exe" >/dev/null
kq_check "a byte of the pack's list changed: verification fails" \
    refuses osslsigncode verify -ignore-crl -CAfile "$certs/ca.pem" -in "$work/changed.exe"

expected=$( (files "$pack" && cd "$dist" && stat -c '%n %s %Y %a' ./install.exe &&
    md5sum ./install.exe) | sort)
kq_check "dist/Service-Pack: install.exe and the pack's files with their times and modes" \
    [ "$(files "$dist/Service-Pack")" = "$expected" ]
unzip -q "$dist/Service-Pack.zip" -d "$work/unpacked"
kq_check "the archive unpacks to one folder, Service-Pack, with the same" eval \
    '[ "$(ls -A "$work/unpacked")" = Service-Pack ] &&
    [ "$(files "$work/unpacked/Service-Pack")" = "$expected" ]'

korvo=$work/Korvo
mkdir -p "$korvo" && printf 'Korvo 2\r\n' >"$korvo/liesmich.txt" &&
    printf 'VOZORADI demo module 2.1\r\n' >"$korvo/VOZORADI.DLL" || exit 1
# A file the release did not list, in the folder it is installed from.
printf 'not released\r\n' >"$work/unpacked/Service-Pack/extra.txt" || exit 1
kq_check "the unpacked signed install.exe starts and shows its window" \
    kq_start_installer "$work/unpacked/Service-Pack" "$work/app.log"
kq_check "the Korvo folder chosen" quiet kq_choose_folder "$korvo" ok
box=$(kq_start_pass)
kq_check "installation completed" \
    kq_has_line "$box" "text=Korvo-Quenda Service-Pack - Installation abgeschlossen!"
kq_confirm >/dev/null
kq_drive click "$KQ_CAPTION" 2 >/dev/null
kq_wait_app 30
installed() {
    local name
    for name in liesmich.txt korvo.dat hilfe.txt VOZORADI.DLL; do
        cmp "$pack/$name" "$korvo/$name" || return 1
    done
    [ ! -e "$korvo/DOZADARU.DLL" ] && [ ! -e "$korvo/install.exe" ] && [ ! -e "$korvo/extra.txt" ]
}
kq_check "the pack installed (DOZADARU.DLL, absent before, install.exe and the unlisted file left out)" \
    installed

# Started again, unattended: each file is current by the list, none is written.
ids=$(stat -c '%i %Y' "$korvo"/* | sort)
out=$(kq_drive run "\"$(kq_windows_path "$work/unpacked/Service-Pack/install.exe")\" /S \
    \"/D=$(kq_windows_path "$korvo")\" \"/LOG=$(kq_windows_path "$work/again.log")\"" 50000)
kq_check "started again: exit code 0, every file already current, none replaced" eval \
    'kq_has_line "$out" exit=0 && [ "$(grep -c "bereits aktuell: " "$work/again.log")" = 4 ] &&
    [ "$(stat -c "%i %Y" "$korvo"/* | sort)" = "$ids" ]'

# The pack changed after the release: one file changed, another gone. Refused, Korvo untouched.
# Korvo's hilfe.txt older again, so that the pack's is needed: one as released is left alone.
printf 'changed\r\n' >>"$work/unpacked/Service-Pack/hilfe.txt" &&
    rm "$work/unpacked/Service-Pack/korvo.dat" && printf 'alt\r\n' >"$korvo/hilfe.txt" || exit 1
before=$(cd "$korvo" && md5sum -- * | sort)
kq_check "the changed pack's install.exe starts" \
    kq_start_installer "$work/unpacked/Service-Pack" "$work/app2.log"
kq_check "the Korvo folder chosen again" quiet kq_choose_folder "$korvo" ok
box=$(kq_start_pass)
kq_check "refused, naming the missing file" kq_has_line "$box" "text=korvo.dat"
kq_check "Korvo not changed" kq_has_line "$box" "text=$(utf8 'Korvo wurde nicht ver\xe4ndert.')"
kq_confirm >/dev/null
cp "$pack/korvo.dat" "$work/unpacked/Service-Pack/" || exit 1
box=$(kq_start_pass)
kq_check "then refused, naming the changed file" kq_has_line "$box" "text=hilfe.txt"
kq_confirm >/dev/null
kq_drive click "$KQ_CAPTION" 2 >/dev/null
kq_wait_app 30
kq_check "the Korvo folder as it was" [ "$(cd "$korvo" && md5sum -- * | sort)" = "$before" ]

[ "$KQ_FAILED" -eq 0 ] && echo "PASS: shipped" || echo "FAILED: shipped, $KQ_FAILED checks"
[ "$KQ_FAILED" -eq 0 ]
