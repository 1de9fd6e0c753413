#!/usr/bin/env bash
# Every command (each executable file under scripts/, .ci/, bench/ and tools/) answers --help with its usage line
# within a second and changes no file, in a fresh copy of the tree listed (type, mode, checksum) before and after.
#   ScriptsHelpTest.sh SOURCE-TREE WORK
set -uo pipefail
copy=$2/tree
rm -rf "$2" && mkdir -p "$copy"
tar -C "$1" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
cd "$copy" || exit 1
listing() { find . -printf '%y %m %p %l\n' | sort; find . -type f -exec sha256sum {} + | sort; }
failed=0
fail() { printf 'FAILED: %s --help: %s\n' "$command" "$*"; failed=1; }
for file in $(find scripts .ci bench tools -type f -perm -u+x | sort); do
    command=$file  # as typed from the tree's root, the start of its usage line; scripts/test reaches lib/test-*
    [[ "$file" != scripts/lib/test-* ]] || command="scripts/test --${file#scripts/lib/test-}"
    before=$(listing)
    started=${EPOCHREALTIME/./}
    out=$(timeout -k 1 10 $command --help </dev/null 2>&1)
    status=$? ms=$(( (${EPOCHREALTIME/./} - started) / 1000 ))
    [ "$status" -eq 0 ] || fail "exit status $status: $out"
    [ "$ms" -le 1000 ] || fail "took $ms ms"
    grep -qE "^[[:space:]]*([Uu]sage: *)?${command//./[.]}( |\$)" <<<"$out" || fail "no usage line in: $out"
    changes=$(diff <(echo "$before") <(listing)) || fail "changed the tree: $changes"
    echo "$command --help: $ms ms"
done
exit "$failed"
