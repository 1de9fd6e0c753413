#!/usr/bin/env bash
# Certificates of the test publisher that name a revocation list on the tests' scripted server, for the build's test
# installers: "revoked" (the list names it), "unrevoked" (the list does not) and "crl-unreachable" (its list is on a
# server that cannot be reached). They depend on the build's ports, so the build makes them.
#   revocable_publishers.sh OUTDIR TLSDIR CRL-URL-BASE UNREACHABLE-URL-BASE
# OUTDIR gets NAME-publisher.key and NAME-publisher-chain.pem for each, revocation.crl (DER), the test authority's
# list, which names "revoked", and crl-token: each certificate's list is CRL-URL-BASE/TOKEN/NAME.crl (or, for
# crl-unreachable, UNREACHABLE-URL-BASE/TOKEN/NAME.crl), with a TOKEN new at every make, since clients cache a list
# by its address.
set -euo pipefail
out=$1 tls=$2 base=$3 unreachable=$4
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '[ca]\ndefault_ca = test\n[test]\ndatabase = %s/index.txt\ncrlnumber = %s/crlnumber\ndefault_md = sha256\ndefault_crl_days = 3650\n' \
    "$work" "$work" >"$work/ca.cnf"
: >"$work/index.txt"
echo 01 >"$work/crlnumber"
token=$(date +%s%N)
echo "$token" >"$out/crl-token"
for name in revoked unrevoked crl-unreachable; do
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\ncrlDistributionPoints=URI:%s/%s/%s.crl\n' \
        "$([ "$name" = crl-unreachable ] && echo "$unreachable" || echo "$base")" "$token" "$name" >"$work/ext"
    openssl req -newkey rsa:2048 -nodes -keyout "$out/$name-publisher.key" -subj "/CN=Tarnvik Test Publisher" \
        2>/dev/null | openssl x509 -req -CA "$tls/ca.crt" -CAkey "$tls/ca.key" -CAcreateserial -days 825 \
        -extfile "$work/ext" -out "$work/$name.crt" 2>/dev/null
    cat "$work/$name.crt" "$tls/ca.crt" >"$out/$name-publisher-chain.pem"
done
openssl ca -config "$work/ca.cnf" -revoke "$work/revoked.crt" -keyfile "$tls/ca.key" -cert "$tls/ca.crt" 2>/dev/null
openssl ca -config "$work/ca.cnf" -gencrl -keyfile "$tls/ca.key" -cert "$tls/ca.crt" -out "$work/list.pem" 2>/dev/null
openssl crl -in "$work/list.pem" -outform DER -out "$out/revocation.crl"
