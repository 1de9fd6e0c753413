#!/usr/bin/env bash
# Wine kills a program that is still on its way out half a second after its end (status 137). Here the Wine
# loader of a program's first run is held for 0.8 s just before the process exits (strace delays the exit system
# call). wine-run reports that kill as it is; with --again-if-killed it runs the program again and reports that
# run's own exit status.
#   WineRunKilledTest.sh WINE-RUN
wine_run=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/wine64" <<'LOADER'
#!/usr/bin/env bash
if mkdir "$(dirname "$0")/stalled" 2>/dev/null; then
    exec strace -f -qq -o /dev/null -e trace=exit_group -e inject=exit_group:delay_enter=800000 \
        /usr/lib/wine/wine64 "$@"
fi
exec /usr/lib/wine/wine64 "$@"
LOADER
chmod +x "$work/wine64"

failed=0
check() {  # OPTION EXPECTED-STATUS EXPECTED-WORDS
    rm -rf "$work/stalled"
    local out status
    out=$(TARNVIK_WINE64=$work/wine64 "$wine_run" $1 cmd /c exit 3 2>&1)
    status=$?
    if [ "$status" -ne "$2" ] || [[ "$out" != *"$3"* ]]; then
        printf 'FAILED: wine-run %s: status %d (expected %d), output: %s\n' "${1:-(no option)}" "$status" "$2" "$out"
        failed=1
    fi
}
#      option             status  words on its output
check  ""                 137     ""
check  --again-if-killed  3       "running it again"
exit "$failed"
