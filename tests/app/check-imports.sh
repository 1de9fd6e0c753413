#!/usr/bin/env bash
# Reads the import table of each executable given and fails when it names a DLL outside Windows' known DLLs
# and comctl32 (anything else must be loaded at run time from the system directory), or when it imports a
# function that an unpatched Windows 7 lacks.
#   check-imports.sh OBJDUMP EXE...
set -euo pipefail
objdump=$1; shift
allowed=" kernel32.dll user32.dll gdi32.dll shell32.dll ole32.dll oleaut32.dll advapi32.dll comdlg32.dll shlwapi.dll ws2_32.dll msvcrt.dll imm32.dll comctl32.dll "
status=0
for exe in "$@"; do
    [ -f "$exe" ] || { echo "missing: $exe"; status=1; continue; }
    table=$("$objdump" -p "$exe")
    dlls=$(printf '%s\n' "$table" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r')
    [ -n "$dlls" ] || { echo "$exe: no import table found"; status=1; continue; }
    for dll in $dlls; do
        case "$allowed" in
            *" $dll "*) ;;
            *) echo "$exe imports $dll"; status=1 ;;
        esac
    done
    for late in SetDefaultDllDirectories; do
        if printf '%s\n' "$table" | grep -qw "$late"; then
            echo "$exe imports $late, which must be looked up at run time"; status=1
        fi
    done
    echo "$exe: $(echo $dlls)"
done
exit $status
