#!/usr/bin/env bash
# Builds the program as it is shipped: dist/install.exe, stripped and reproducible (the PE time
# stamp is the commit's), signed when a certificate is named. With a pack folder it checks the
# pack first and lays out dist/Service-Pack/ (install.exe and the pack's files) and
# dist/Service-Pack.zip. Installs what is missing first; works as root and without stdin.
#
#   ./release.sh [PACK_FOLDER]
#
#   KQ_SIGN_PKCS12         code-signing certificate with its key and chain (PKCS#12 file)
#   KQ_SIGN_PASSWORD_FILE  a file whose first line is that file's password
#   KQ_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server (optional)
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
cd "$ROOT" || exit 1

# The signing set-up is checked before anything is built.
if [ -n "$sign_p12" ]; then
    [ -f "$sign_p12" ] && [ -r "$sign_p12" ] || die "KQ_SIGN_PKCS12: cannot read $sign_p12"
    [ -n "$sign_pass" ] || die "KQ_SIGN_PKCS12 is set but KQ_SIGN_PASSWORD_FILE is not"
    [ -f "$sign_pass" ] && [ -r "$sign_pass" ] ||
        die "KQ_SIGN_PASSWORD_FILE: cannot read $sign_pass"
elif [ -n "$sign_pass" ]; then
    die "KQ_SIGN_PASSWORD_FILE is set but KQ_SIGN_PKCS12 is not"
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

if [ -n "$pack" ]; then
    build build/release-host kq_pack_check
    check=$(find build/release-host -name kq_pack_check -type f -perm -u+x | head -n1)
    [ -n "$check" ] || die "the pack check (CMake target kq_pack_check) was not built"
    echo "== check the pack $pack"
    "$check" "$pack" 9>&-
    case $? in
    0) ;;
    1) die "pack refused (see above); dist/ left as it was" ;;
    *) die "cannot check the pack folder $pack; dist/ left as it was" ;;
    esac
fi

build build/release-win32 kq_installer -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
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
    # Verified against the system's CAs and the certificates the PKCS#12 file brings.
    openssl pkcs12 -in "$sign_p12" -passin "file:$sign_pass" -nokeys -out "$STAGE/chain.pem" \
        </dev/null 2>>"$LOGS/release-sign.log" &&
        cat /etc/ssl/certs/ca-certificates.crt >>"$STAGE/chain.pem" 2>/dev/null
    osslsigncode verify -CAfile "$STAGE/chain.pem" -in "$STAGE/signed.exe" </dev/null \
        >>"$LOGS/release-sign.log" 2>&1 9>&- || {
        cat "$LOGS/release-sign.log"
        die "the signature does not verify; dist/ left as it was"
    }
    mv "$STAGE/signed.exe" "$exe" || exit 1
    signed="signed with $(openssl pkcs12 -in "$sign_p12" -passin "file:$sign_pass" -nokeys \
        -clcerts 2>/dev/null | openssl x509 -noout -subject 2>/dev/null)"
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
        (cd "$STAGE/Service-Pack" && zip -q -r ../Service-Pack.zip .) 9>&- ||
        die "could not lay out the pack; dist/ left as it was"
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
