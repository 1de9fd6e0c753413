#!/usr/bin/env bash
# Tests of scripts/release, run by ctest (tests/release/CMakeLists.txt):
#   release_tests.sh reproducible WORK   copies this tree to two folders of WORK, releases both for another host,
#                                        and requires one SHA-256 and no folder name of either in the image
#   release_tests.sh signed WORK         signs the first copy's release with the test authority's publisher and
#                                        checks it with osslsigncode verify; a wrong root or key ships nothing
set -euo pipefail
source "$(dirname "$(readlink -f "$0")")/../../scripts/lib/common.sh"
case_name=$1 work=$2
copies=("$work/a/TarnvikHSDownloader" "$work/copy-b/another/TarnvikHSDownloader-b")
host=dl.example.org
tls=$TARNVIK_STATE/tls
fail() { printf 'FAILED: %s\n' "$*" >&2; exit 1; }

# Runs a copy's release as a fresh checkout would, with nothing of this run's environment.
release_in() {
    local copy=$1; shift
    env -u TARNVIK_ROOT -u TARNVIK_STATE -u TARNVIK_DOWNLOAD_HOST -u TARNVIK_INSTALLER_SIGNER -u TARNVIK_SIGN_CERT \
        -u TARNVIK_SIGN_KEY -u TARNVIK_SIGN_CA -u TARNVIK_TIMESTAMP_URL -u TARNVIK_SMOKE "$copy/scripts/release" "$@"
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
    # certificate chain | key | root to verify against | ships
    while read -r chain key root ships; do
        if release_in "$copy" --host "$host" --sign-cert "$tls/$chain" --sign-key "$tls/$key" --sign-ca "$tls/$root"; then
            [ "$ships" = yes ] || fail "signed with $chain and $key, verified against $root: shipped anyway"
            verify=$(osslsigncode verify -CAfile "$tls/ca.crt" -in "$ship") || fail "osslsigncode verify: $verify"
            grep -q "Subject:.*$TARNVIK_TEST_PUBLISHER" <<<"$verify" || fail "the signer is not the test publisher"
        else
            [ "$ships" = no ] || fail "signing with $chain and $key, verified against $root, failed"
            [ ! -e "$ship" ] || fail "a failed signing left $ship"
        fi
    done <<'ROWS'
codesign-chain.pem codesign.key ca.crt yes
codesign-chain.pem codesign.key untrusted-ca.crt no
other-publisher-chain.pem codesign.key ca.crt no
ROWS
    ;;
*) fail "unknown case $case_name" ;;
esac
