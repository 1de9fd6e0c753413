#!/usr/bin/env bash
# Tests of scripts/release, run by ctest (tests/release/CMakeLists.txt):
#   release_tests.sh reproducible WORK   copies this tree to two folders of WORK, releases both for another host,
#                                        and requires one SHA-256 and no folder name of either in the image
#   release_tests.sh signed WORK         signs the first copy's release as the test publisher (PEM files, a SoftHSM2
#                                        token, a PKCS#12 file; with an RFC 3161 time stamp from the tests' own
#                                        authority); a wrong root, key, PIN or password ships nothing and
#                                        keeps the last good file in build/release/
set -euo pipefail
source "$(dirname "$(readlink -f "$0")")/../../scripts/lib/common.sh"
case_name=$1 work=$2
copies=("$work/a/TarnvikHSDownloader" "$work/copy-b/another/TarnvikHSDownloader-b")
host=dl.example.org
tls=$TARNVIK_STATE/tls
fail() { printf 'FAILED: %s\n' "$*" >&2; exit 1; }

# Runs a copy's release as a fresh checkout would, with none of this run's TARNVIK_ settings (but the row's secret),
# beside the tests' time-stamping authority, whose address stands for the argument {tsa}.
release_in() {
    local copy=$1; shift
    "$TARNVIK_ROOT/tests/support/tsa.py" --tls "$tls" --signer tsa -- \
        env $(compgen -e TARNVIK_ | sed 's/^/-u /') ${secret:+"$secret"} "$copy/scripts/release" "$@"
}

case "$case_name" in
reproducible)
    rm -rf "$work"
    for copy in "${copies[@]}"; do
        mkdir -p "$copy"
        tar -C "$TARNVIK_ROOT" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
    done
    sums=()
    for copy in "${copies[@]}"; do
        release_in "$copy" --host "$host" | tee "$copy.out"
        grep -q "host       $host " "$copy.out" || fail "the release does not report the host $host"
        image=$copy/build/release/TarnvikHSDownloader.exe
        ! strings -a "$image" | grep -F -e "$work" -e "$copy" || fail "$image holds a build folder's name"
        sums+=("$(sha256sum <"$image")")
    done
    [ "${sums[0]}" = "${sums[1]}" ] || fail "two releases of one tree differ: ${sums[*]}"
    echo "both folders: ${sums[0]}"
    ;;
signed)
    copy=${copies[0]}
    ship=$copy/build/release/TarnvikHSDownloader.exe
    tarnvik_install_packages softhsm2 libengine-pkcs11-openssl opensc
    # The test publisher's key and certificate on a token of the test's own, and in a PKCS#12 file.
    keys=$work/keys pin=token-pin-4711 password=pfx-password-0815
    hsm=/usr/lib/softhsm/libsofthsm2.so tok="pkcs11:token=tarnvik;object=codesign"
    rm -rf "$keys" && mkdir -p "$keys/tokens"
    printf 'directories.tokendir = %s/tokens\n' "$keys" >"$keys/hsm.conf" && export SOFTHSM2_CONF=$keys/hsm.conf
    softhsm2-util --init-token --free --label tarnvik --pin "$pin" --so-pin "$pin" >/dev/null
    softhsm2-util --import "$tls/codesign.key" --token tarnvik --label codesign --id 01 --pin "$pin" >/dev/null
    pkcs11-tool --module "$hsm" --pin "$pin" --write-object "$tls/codesign.crt" --type cert --label codesign &>/dev/null
    openssl pkcs12 -export -inkey "$tls/codesign.key" -in "$tls/codesign-chain.pem" -out "$keys/codesign.p12" \
        -passout "pass:$password"
    # Every osslsigncode the release starts writes down its arguments and environment, where no secret may be.
    printf '#!/bin/sh\n{ echo "$*"; env; } >>%s/seen\nexec /usr/bin/osslsigncode "$@"\n' "$keys" >"$keys/osslsigncode"
    chmod +x "$keys/osslsigncode" && export PATH=$keys:$PATH
    # ships | root to verify against | TARNVIK_SIGN_ secret (- none) | an RFC 3161 time stamp (yes/no) | the key
    last_good=""
    while read -r ships root secret rfc3161 how; do
        secret=${secret#-} && secret=${secret:+TARNVIK_SIGN_$secret}
        rm -f "$keys/seen"
        if release_in "$copy" --host "$host" --sign-ca "$tls/$root" $how >"$keys/out"; then
            [ "$ships" = yes ] || fail "signed with $how, verified against $root: shipped anyway"
            verify=$(osslsigncode verify -CAfile "$tls/ca.crt" -TSA-CAfile "$tls/ca.crt" -in "$ship" 2>&1) ||
                fail "osslsigncode verify: $verify"
            grep -q "Subject:.*$TARNVIK_TEST_PUBLISHER" <<<"$verify" || fail "the signer is not the test publisher"
            grep -q "signature  .*$TARNVIK_TEST_PUBLISHER" "$keys/out" || fail "the summary names no signer"
            rm -f "$keys/sig.pem" && osslsigncode extract-signature -pem -in "$ship" -out "$keys/sig.pem" >/dev/null
            stamped=no
            [[ "$(openssl asn1parse -in "$keys/sig.pem")" != *:1.3.6.1.4.1.311.3.3.1* ]] || stamped=yes
            [ "$stamped" = "$rfc3161" ] || fail "signed with $how: RFC 3161 time stamp $stamped, expected $rfc3161"
            last_good=$(sha256sum <"$ship")
        else
            [ "$ships" = no ] || fail "signing with $how, verified against $root, failed"
            [ "$(sha256sum <"$ship")" = "$last_good" ] || fail "a failed signing did not keep the last good file"
        fi
        [ -z "$secret" ] || ! grep -qF -- "${secret#*=}" "$keys/seen" || fail "osslsigncode was given the secret to see"
    done <<ROWS
yes ca.crt           - no --sign-cert $tls/codesign-chain.pem --sign-key $tls/codesign.key
yes ca.crt           - yes --sign-cert $tls/codesign-chain.pem --sign-key $tls/codesign.key --timestamp {tsa}
no  untrusted-ca.crt - no --sign-cert $tls/codesign-chain.pem --sign-key $tls/codesign.key
no  ca.crt           - no --sign-cert $tls/other-publisher-chain.pem --sign-key $tls/codesign.key
yes ca.crt PKCS11_PIN=$pin no --pkcs11-module $hsm --pkcs11-key $tok;type=private --pkcs11-cert $tok;type=cert
yes ca.crt PKCS11_PIN=$pin no --pkcs11-module $hsm --pkcs11-key $tok --sign-cert $tls/codesign-chain.pem
no  ca.crt PKCS11_PIN=wrong-pin-0000 no --pkcs11-module $hsm --pkcs11-key $tok --pkcs11-cert $tok
yes ca.crt PKCS12_PASSWORD=$password no --pkcs12 $keys/codesign.p12
no  ca.crt PKCS12_PASSWORD=wrong-password-1 no --pkcs12 $keys/codesign.p12
ROWS
    ;;
*) fail "unknown case $case_name" ;;
esac
