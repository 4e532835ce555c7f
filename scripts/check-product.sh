#!/usr/bin/env bash
# Checks a built 32-bit program without running it: a PE32 program for x86
# of the given subsystem (gui unless told), importing only Windows' own
# DLLs, with its resources and a manifest that declares no dependencies; a
# console program without the window program's DLLs or dialogs.
#   check-product.sh PATH/olvarin.exe [gui|console]
set -euo pipefail
exe=$1
subsystem=${2:-gui}
fail() { echo "FAIL: $*" >&2; exit 1; }

description=$(file -b "$exe")
echo "file: $description"
[[ $description == PE32\ executable* ]] || fail "not a 32-bit PE program"
case $subsystem in
gui) [[ $description == *"(GUI)"* ]] || fail "not a GUI program" ;;
console) [[ $description == *"(console)"* ]] || fail "not a console program" ;;
*) fail "unknown subsystem $subsystem" ;;
esac
[[ $description == *"Intel 80386"* ]] || fail "not built for x86"
headers=$(i686-w64-mingw32-objdump -p "$exe")
grep -q '^[[:space:]]*large address aware' <<< "$headers" ||
    fail "not large-address-aware: a 32-bit program would get 2 GB instead of 4 on 64-bit Windows"

allowed="kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll shell32.dll ole32.dll advapi32.dll msvcrt.dll bcrypt.dll"
imports=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || fail "no imports found"
for dll in $imports; do
    [[ " $allowed " == *" $dll "* ]] || fail "imports $dll, which is not a Windows system DLL"
done
echo "imports: $(echo $imports)"

# The console program shows no window: no common controls, no pickers and no
# dialog templates in its resources.
if [ "$subsystem" = console ]; then
    for dll in comctl32.dll comdlg32.dll; do
        [[ " $(echo $imports) " != *" $dll "* ]] || fail "the console program imports $dll"
    done
    resources=$(i686-w64-mingw32-windres -J coff -i "$exe" -O rc)
    if grep -qE '^[^ ]+ DIALOG(EX)? ' <<<"$resources"; then
        fail "the console program holds a dialog resource"
    fi
fi

i686-w64-mingw32-objdump -h "$exe" | grep -q '\.rsrc' || fail "no resources"
grep -aq '<assembly' "$exe" || fail "no manifest"
if grep -aq '<dependency' "$exe"; then fail "the manifest declares a dependency"; fi
echo "OK: $exe"
