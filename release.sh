#!/usr/bin/env bash
# Builds the program as it is shipped: dist/install.exe, stripped and reproducible (the PE time
# stamp is the commit's), signed when a certificate is named. With a pack folder it checks the
# pack first, builds the list of its files (name, size, SHA-256) into install.exe, where the
# signature covers it, and lays out dist/Service-Pack/ (install.exe and the pack's files) and
# dist/Service-Pack.zip (the same folder, reproducible). Installs what is missing first; works as
# root and without stdin.
#
#   ./release.sh [PACK_FOLDER]
#
#   KQ_SIGN_PKCS12         code-signing certificate with its key and chain (PKCS#12 file)
#   KQ_SIGN_PASSWORD_FILE  a file whose first line is that file's password
#   KQ_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server; a signed release refuses to go
#                          without one unless KQ_SIGN_NO_TIMESTAMP=1
#   KQ_SIGN_CAFILE         a company CA (PEM) trusted besides the system's CAs
#   SOURCE_DATE_EPOCH      the time stamp where there is no git history (a copy of the tree)
#
# Everything is made under build/release-stage and moved into dist/ only at the end, so a
# refused pack or a failed signing leaves dist/ as it was. The unstripped program stays in
# build/release-win32/install.exe for debugging.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)

die() {
    echo "release: $*" >&2
    exit 1
}

[ $# -le 1 ] || die "usage: ./release.sh [PACK_FOLDER]"
pack=
[ $# -eq 1 ] && { pack=$(realpath -m -- "$1") || die "bad pack folder: $1"; }
# Relative paths are the caller's.
sign_p12=${KQ_SIGN_PKCS12:+$(realpath -m -- "$KQ_SIGN_PKCS12")}
sign_pass=${KQ_SIGN_PASSWORD_FILE:+$(realpath -m -- "$KQ_SIGN_PASSWORD_FILE")}
sign_ca=${KQ_SIGN_CAFILE:+$(realpath -m -- "$KQ_SIGN_CAFILE")}
system_cas=/etc/ssl/certs/ca-certificates.crt
cd "$ROOT" || exit 1

# The signing set-up is checked before anything is built.
if [ -n "$sign_p12" ]; then
    [ -f "$sign_p12" ] && [ -r "$sign_p12" ] || die "KQ_SIGN_PKCS12: cannot read $sign_p12"
    [ -n "$sign_pass" ] || die "KQ_SIGN_PKCS12 is set but KQ_SIGN_PASSWORD_FILE is not"
    [ -f "$sign_pass" ] && [ -r "$sign_pass" ] ||
        die "KQ_SIGN_PASSWORD_FILE: cannot read $sign_pass"
    [ -z "$sign_ca" ] || grep -qs -- "-----BEGIN CERTIFICATE-----" "$sign_ca" ||
        die "KQ_SIGN_CAFILE: no PEM certificate in $sign_ca"
    # A signature without a time stamp dies with the certificate, and with it every copy shipped:
    # a release that reports success while that is so must be asked for.
    [ -n "${KQ_SIGN_TIMESTAMP_URL:-}" ] || [ "${KQ_SIGN_NO_TIMESTAMP:-}" = 1 ] ||
        die "no time-stamp server (KQ_SIGN_TIMESTAMP_URL): the signature would stop being valid" \
            "when the certificate expires, and every copy shipped would then show" \
            "\"Unbekannter Herausgeber\". Name one, or set KQ_SIGN_NO_TIMESTAMP=1 for a release" \
            "that expires with its certificate"
elif [ -n "$sign_pass$sign_ca" ]; then
    die "KQ_SIGN_PASSWORD_FILE or KQ_SIGN_CAFILE is set but KQ_SIGN_PKCS12 is not"
fi

bash scripts/ensure-deps.sh </dev/null || exit 1

stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null)}
[[ $stamp =~ ^[0-9]+$ ]] || die "no commit to take the time stamp from: set SOURCE_DATE_EPOCH"

LOGS=build/logs
STAGE=build/release-stage
mkdir -p "$LOGS" dist || exit 1
# One release at a time: run.sh and the tests call this too.
exec 9>build/release.lock
flock -w 900 9 || die "another release has held build/release.lock for 15 minutes"

build() { # dir, target, cmake arguments...
    local dir=$1 target=$2 log=$LOGS/${1##*/}.log
    shift 2
    echo "== build $dir ($target)"
    {
        cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKQ_TESTS=OFF "$@" &&
            cmake --build "$dir" -j"$(nproc)" --target "$target"
    } </dev/null >"$log" 2>&1 9>&- || {
        tail -n 40 "$log"
        die "build failed (log: $log)"
    }
    grep -E "warning" "$log"
    return 0
}

# The pack's list of files, which install.exe carries: none without a pack.
list=
if [ -n "$pack" ]; then
    build build/release-host kq_pack_check
    check=$(find build/release-host -name kq_pack_check -type f -perm -u+x | head -n1)
    [ -n "$check" ] || die "the pack check (CMake target kq_pack_check) was not built"
    echo "== check the pack $pack and list its files"
    list=$ROOT/build/release-pack-list.txt
    rm -f "$list"
    "$check" "$pack" "$list" 9>&-
    case $? in
    0) ;;
    1) die "pack refused (see above); dist/ left as it was" ;;
    *) die "cannot check the pack folder $pack; dist/ left as it was" ;;
    esac
fi

build build/release-win32 kq_installer -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DKQ_PACK_LIST="$list"
rm -rf "$STAGE" && mkdir -p "$STAGE" || exit 1
exe=$STAGE/install.exe
i686-w64-mingw32-strip -o "$exe" build/release-win32/install.exe || die "strip failed"
# strip writes the current time into the header: the commit's instead, and the checksum anew.
/usr/bin/python3 - "$exe" "$stamp" <<'EOF' || die "could not set the time stamp"
import sys, pefile
pe = pefile.PE(sys.argv[1])
pe.FILE_HEADER.TimeDateStamp = int(sys.argv[2])
pe = pefile.PE(data=pe.write())
pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
pe.write(sys.argv[1])
EOF

if [ -n "$sign_p12" ]; then
    echo "== sign (Authenticode, SHA-256) with $sign_p12"
    args=(-pkcs12 "$sign_p12" -readpass "$sign_pass" -h sha256 -n "Korvo-Quenda Service-Pack")
    [ -n "${KQ_SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$KQ_SIGN_TIMESTAMP_URL")
    osslsigncode sign "${args[@]}" -in "$exe" -out "$STAGE/signed.exe" </dev/null \
        >"$LOGS/release-sign.log" 2>&1 9>&- || {
        cat "$LOGS/release-sign.log"
        rm -f "$STAGE/signed.exe"
        die "signing failed (see above: a wrong password?); dist/ left as it was"
    }
    # Trusted: the system's CAs and a company CA only where it is named, never what the PKCS#12
    # file brings (a self-signed certificate would "verify" against itself).
    [ -s "$system_cas" ] || die "no system CAs in $system_cas (package ca-certificates)"
    cat "$system_cas" ${sign_ca:+"$sign_ca"} >"$STAGE/trusted.pem" || exit 1
    # Nothing is fetched: a signing machine has no internet access, and osslsigncode would fail
    # on every certificate that names where its revocation list lies. Windows checks that itself.
    offline=()
    [[ $(osslsigncode verify --help 2>&1) == *-ignore-crl* ]] && offline=(-ignore-crl)
    verify_log=$LOGS/release-verify.log
    osslsigncode verify "${offline[@]}" -CAfile "$STAGE/trusted.pem" \
        -TSA-CAfile "$STAGE/trusted.pem" -in "$STAGE/signed.exe" </dev/null >"$verify_log" 2>&1 \
        9>&- || {
        grep -E "[Ee]rror|failed|MISMATCH" "$verify_log" | sed 's/^/  /'
        # osslsigncode's own words for each cause.
        untrusted="local issuer|self.signed certificate|not found in local repository"
        if grep -q "MISMATCH" "$verify_log"; then
            cause="the signature does not match the program: install.exe changed after it was"
            cause+=" signed"
        elif grep -qiE "$untrusted" "$verify_log"; then
            cause="the signature does not verify against the system's CAs${sign_ca:+ and $sign_ca}:"
            cause+=" a certificate that does not chain to a trusted root (self-signed, or from a"
            cause+=" company CA not named in KQ_SIGN_CAFILE) makes Windows show \"Unbekannter"
            cause+=" Herausgeber\""
        elif grep -qiE "certificate has expired|not yet valid" "$verify_log"; then
            cause="the certificate is not valid now (expired, or not yet valid)"
        elif grep -qi "revoked" "$verify_log"; then
            cause="the certificate is revoked"
        elif grep -q "CRLfile" "$verify_log"; then
            cause="a revocation list could not be had (this osslsigncode fetches them)"
        else
            cause="the signature does not verify (osslsigncode's reasons above)"
        fi
        die "$cause (log: $verify_log); dist/ left as it was"
    }
    mv "$STAGE/signed.exe" "$exe" || exit 1
    leaf=$(openssl pkcs12 -in "$sign_p12" -passin "file:$sign_pass" -nokeys -clcerts 2>/dev/null)
    signed="signed with $(openssl x509 -noout -subject 2>/dev/null <<<"$leaf")"
    [ -n "${KQ_SIGN_TIMESTAMP_URL:-}" ] || signed+="
dist/install.exe: WARNING: NO TIME STAMP (KQ_SIGN_NO_TIMESTAMP=1): the signature expires with the\
 certificate ($(openssl x509 -noout -enddate 2>/dev/null <<<"$leaf" | cut -d= -f2)); from then on\
 Windows shows every copy as \"Unbekannter Herausgeber\""
else
    signed="NOT SIGNED: KQ_SIGN_PKCS12 is not set, so Windows will warn of an unknown publisher"
fi
touch -d "@$stamp" "$exe"

if [ -n "$pack" ]; then
    echo "== lay out Service-Pack"
    # Times, modes and the DOS attributes (user.DOSATTRIB) as the pack has them.
    mkdir "$STAGE/Service-Pack" &&
        cp -a --no-preserve=ownership "$pack/." "$STAGE/Service-Pack/" &&
        cp -p "$exe" "$STAGE/Service-Pack/install.exe" &&
        touch -d "@$stamp" "$STAGE/Service-Pack" ||
        die "could not lay out the pack; dist/ left as it was"
    # One top folder, then its files in byte order, each with its own time (UTC; exact in an
    # extra field for unzip) and mode, no owner or access time: the same commit and pack give
    # the same bytes, wherever and whenever released.
    /usr/bin/python3 - "$STAGE" <<'EOF' 9>&- || die "could not write the archive; dist/ left as is"
import os, stat, struct, sys, time, zipfile
os.chdir(sys.argv[1])
# What an entry's DOS time holds; Windows reads no other.
FIRST, LAST = (1980, 1, 1, 0, 0, 0), (2107, 12, 31, 23, 59, 59)
def info(name, mode):
    mtime = os.stat(name).st_mtime
    utc = time.gmtime(mtime)[:6]
    dos = min(max(utc, FIRST), LAST)
    if dos != utc:
        shown = lambda t: "%04d-%02d-%02d %02d:%02d:%02d" % t
        print(f"release: WARNING: {name}: its time, {shown(utc)} UTC, lies outside what a ZIP "
              f"entry holds (1980 to 2107): the archive gives it {shown(dos)}", file=sys.stderr)
    zi = zipfile.ZipInfo(name, dos)
    zi.create_system = 3
    # The Unix mode for unzip; the DOS read-only (0x01) and folder (0x10) bits for Windows.
    zi.external_attr = mode << 16 | (0 if mode & 0o200 else 1) | (stat.S_ISDIR(mode) and 0x10)
    # The exact time for unzip, where its 32 bits hold it (until 2106).
    zi.extra = (struct.pack("<HHBL", 0x5455, 5, 1, int(mtime) & 0xFFFFFFFF)
                if int(mtime) < 2**32 else b"")
    zi.compress_type = zipfile.ZIP_DEFLATED
    return zi
with zipfile.ZipFile("Service-Pack.zip", "w") as z:
    z.writestr(info("Service-Pack/", stat.S_IFDIR | 0o755), b"")
    for name in sorted(os.listdir("Service-Pack")):
        path = "Service-Pack/" + name
        with open(path, "rb") as f:
            z.writestr(info(path, os.stat(path).st_mode), f.read(), compresslevel=9)
EOF
fi

# A pack laid out before with another program is out of date: it goes.
if [ -n "$pack" ] || ! cmp -s "$exe" dist/Service-Pack/install.exe; then
    [ -z "$pack" ] && [ -e dist/Service-Pack ] &&
        echo "removing dist/Service-Pack and its archive: they hold an older install.exe"
    rm -rf dist/Service-Pack dist/Service-Pack.zip || exit 1
fi
mv "$exe" dist/install.exe || exit 1
if [ -n "$pack" ]; then
    mv "$STAGE/Service-Pack" "$STAGE/Service-Pack.zip" dist/ || exit 1
fi
rm -rf "$STAGE"

echo "dist/install.exe: $(stat -c %s dist/install.exe) bytes," \
    "sha256 $(sha256sum <dist/install.exe | cut -c1-16)...," \
    "time stamp $(date -u -d "@$stamp" '+%Y-%m-%d %H:%M:%S') UTC"
echo "dist/install.exe: $signed"
[ -n "$pack" ] && echo "dist/Service-Pack/ ($(find dist/Service-Pack -type f | wc -l) files)" \
    "and dist/Service-Pack.zip ($(stat -c %s dist/Service-Pack.zip) bytes)"
exit 0
