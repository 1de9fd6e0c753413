#!/usr/bin/env bash
# Every command of the tree answers --help with its usage, within a second, and changes no file: they run in a
# fresh copy of the tree whose files (type, mode, link target, checksum) are listed before and after each.
#   ScriptsHelpTest.sh SOURCE-TREE WORK
set -uo pipefail
copy=$2/tree
rm -rf "$2" && mkdir -p "$copy"
tar -C "$1" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
cd "$copy" || exit 1
listing() { find . -printf '%y %m %p %l\n' | sort; find . -type f -exec sha256sum {} + | sort; }
failed=0
fail() { printf 'FAILED: %s --help: %s\n' "$command" "$*"; failed=1; }
# Every executable file of these folders | the command that reaches it, if not the file itself (usage lines start
# with the command)
rows=$(cat <<'ROWS'
scripts/check-image
scripts/demo
scripts/guest
scripts/release
scripts/smoke-win32
scripts/test
scripts/lib/test-wine10 scripts/test --wine10
scripts/lib/test-win32 scripts/test --win32
scripts/test-server
scripts/wine-run
scripts/wine10-root
scripts/lib/demo.py
scripts/lib/smoke_win32.py
.ci/run
bench/run
bench/summarise.py
tools/make_artwork.py
ROWS
)
missing=$(comm -23 <(find scripts .ci bench tools -type f -perm -u+x | sort) <(cut -d' ' -f1 <<<"$rows" | sort))
[ -z "$missing" ] || { echo "FAILED: not in the table: $missing"; failed=1; }
while read -r file command; do
    command=${command:-$file}
    before=$(listing)
    started=${EPOCHREALTIME/./}
    out=$(timeout -k 1 10 $command --help </dev/null 2>&1)
    status=$? ms=$(( (${EPOCHREALTIME/./} - started) / 1000 ))
    [ "$status" -eq 0 ] || fail "exit status $status: $out"
    [ "$ms" -le 1000 ] || fail "took $ms ms"
    grep -qE "^[[:space:]]*([Uu]sage: *)?${command//./[.]}( |\$)" <<<"$out" || fail "no usage line in: $out"
    changes=$(diff <(echo "$before") <(listing)) || fail "changed the tree: $changes"
    echo "$command --help: $ms ms"
done <<<"$rows"
exit "$failed"
