#!/usr/bin/env bash
# Tests of scripts/release, run by ctest (tests/release/CMakeLists.txt):
#   release_tests.sh reproducible WORK   copies this tree to two folders of WORK, releases both for another host,
#                                        and requires one SHA-256 and no folder name of either in the image
#   release_tests.sh signed WORK         signs the first copy's release with the test authority's publisher, its
#                                        key in PEM files, on a SoftHSM2 token and in a PKCS#12 file, and checks
#                                        it with osslsigncode verify; a wrong root, key, PIN or password ships nothing
set -euo pipefail
source "$(dirname "$(readlink -f "$0")")/../../scripts/lib/common.sh"
case_name=$1 work=$2
copies=("$work/a/TarnvikHSDownloader" "$work/copy-b/another/TarnvikHSDownloader-b")
host=dl.example.org
tls=$TARNVIK_STATE/tls
fail() { printf 'FAILED: %s\n' "$*" >&2; exit 1; }

# Runs a copy's release as a fresh checkout would, with none of this run's TARNVIK_ settings (but the row's secret).
release_in() {
    local copy=$1 unset=() name; shift
    for name in $(compgen -e TARNVIK_); do unset+=(-u "$name"); done
    env "${unset[@]}" ${secret:+"$secret"} "$copy/scripts/release" "$@"
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
    rm -rf "$keys" && mkdir -p "$keys/tokens" "$keys/bin"
    export SOFTHSM2_CONF=$keys/softhsm2.conf
    printf 'directories.tokendir = %s\nobjectstore.backend = file\n' "$keys/tokens" >"$SOFTHSM2_CONF"
    softhsm2-util --init-token --free --label tarnvik --pin "$pin" --so-pin "$pin" >/dev/null
    softhsm2-util --import "$tls/codesign.key" --token tarnvik --label codesign --id 01 --pin "$pin" >/dev/null
    openssl x509 -in "$tls/codesign.crt" -outform der -out "$keys/codesign.der"
    pkcs11-tool --module "$hsm" --token-label tarnvik --login --pin "$pin" --write-object "$keys/codesign.der" \
        --type cert --id 01 --label codesign >/dev/null
    openssl pkcs12 -export -inkey "$tls/codesign.key" -in "$tls/codesign-chain.pem" -passout "pass:$password" \
        -out "$keys/codesign.p12"
    # Every osslsigncode the release starts writes its arguments and environment down: no secret may be there.
    printf '#!/bin/sh\n{ echo "$*"; env; } >>"%s"\nexec /usr/bin/osslsigncode "$@"\n' "$keys/seen" \
        >"$keys/bin/osslsigncode"
    chmod +x "$keys/bin/osslsigncode"
    export PATH=$keys/bin:$PATH
    # ships | root to verify against | TARNVIK_SIGN_ secret (- none) | time stamp (none, rfc3161) | the key
    while read -r ships root secret stamp how; do
        secret=${secret#-} && secret=${secret:+TARNVIK_SIGN_$secret}
        read -ra key_args <<<"$how"
        rm -f "$keys/seen"
        if release_in "$copy" --host "$host" --sign-ca "$tls/$root" "${key_args[@]}" >"$keys/out"; then
            [ "$ships" = yes ] || fail "signed with $how, verified against $root: shipped anyway"
            verify=$(osslsigncode verify -CAfile "$tls/ca.crt" -in "$ship") || fail "osslsigncode verify: $verify"
            grep -q "Subject:.*$TARNVIK_TEST_PUBLISHER" <<<"$verify" || fail "the signer is not the test publisher"
            grep -q "signature  .*$TARNVIK_TEST_PUBLISHER" "$keys/out" || fail "the summary names no signer"
            rm -f "$keys/signature.pem"
            osslsigncode extract-signature -pem -in "$ship" -out "$keys/signature.pem" >/dev/null
            case "$(openssl asn1parse -in "$keys/signature.pem")" in
                *:1.3.6.1.4.1.311.3.3.1*) found=rfc3161 ;; *:countersignature*) found=authenticode ;; *) found=none ;;
            esac
            [ "$found" = "$stamp" ] || fail "signed with $how: a time stamp of the kind $found, not $stamp"
        else
            [ "$ships" = no ] || fail "signing with $how, verified against $root, failed"
            [ ! -e "$ship" ] || fail "a failed signing left $ship"
        fi
        [ -z "$secret" ] || ! grep -qF -- "${secret#*=}" "$keys/seen" || fail "osslsigncode was given the secret to see"
    done <<ROWS
yes ca.crt           - none --sign-cert $tls/codesign-chain.pem --sign-key $tls/codesign.key
no  untrusted-ca.crt - none --sign-cert $tls/codesign-chain.pem --sign-key $tls/codesign.key
no  ca.crt           - none --sign-cert $tls/other-publisher-chain.pem --sign-key $tls/codesign.key
yes ca.crt PKCS11_PIN=$pin none --pkcs11-module $hsm --pkcs11-key $tok;type=private --pkcs11-cert $tok;type=cert
yes ca.crt PKCS11_PIN=$pin none --pkcs11-module $hsm --pkcs11-key $tok --sign-cert $tls/codesign-chain.pem
no  ca.crt PKCS11_PIN=wrong-pin-0000 none --pkcs11-module $hsm --pkcs11-key $tok --pkcs11-cert $tok
yes ca.crt PKCS12_PASSWORD=$password none --pkcs12 $keys/codesign.p12
no  ca.crt PKCS12_PASSWORD=wrong-password-1 none --pkcs12 $keys/codesign.p12
ROWS
    ;;
*) fail "unknown case $case_name" ;;
esac
