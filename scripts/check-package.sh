#!/usr/bin/env bash
# Checks the release zip that package.sh wrote: exactly the expected files,
# both programs what they should be (check-product.sh), README.txt in CR LF,
# and the unpacked console program run under Wine as a user runs it on
# 64-bit Windows: --version, then a create and a compare of a small tree.
#   check-package.sh PATH/olvarin-<version>-win32.zip
set -euo pipefail
cd "$(dirname "$0")/.."
zip=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

expected=$( (printf '%s\n' README.txt olvarin.exe olvarin-cli.exe; cd help/html && ls | sed 's|^|help/html/|') | sort)
listed=$(python3 -c 'import sys, zipfile; [print(n) for n in zipfile.ZipFile(sys.argv[1]).namelist() if not n.endswith("/")]' "$zip" | sort)
[ "$listed" == "$expected" ] || fail "the zip holds:"$'\n'"$listed"$'\n'"instead of:"$'\n'"$expected"

unpacked=build/dist/check
rm -rf "$unpacked"
python3 -m zipfile -e "$zip" "$unpacked"
bash scripts/check-product.sh "$unpacked/olvarin.exe" gui
bash scripts/check-product.sh "$unpacked/olvarin-cli.exe" console
python3 -c 'import sys; t = open(sys.argv[1], "rb").read(); sys.exit(not t or t.count(b"\n") != t.count(b"\r\n"))' \
    "$unpacked/README.txt" || fail "README.txt is empty or has lines not ending in CR LF"

# Some machines refuse to execute any 32-bit program (a kernel without
# 32-bit support): there the unpacked program cannot run, and saying so is
# all this check can do.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "NOTE: this machine cannot run 32-bit programs; the unpacked olvarin-cli.exe was not run"
    rm -rf "$unpacked"
    echo "OK: $zip"
    exit 0
fi

# A 64-bit prefix of the check's own, made once and kept between runs.
export WINEPREFIX=$PWD/build/dist/wine/prefix HOME=$PWD/build/dist/wine/home WINEDEBUG=-all
if [ ! -d "$WINEPREFIX" ]; then
    mkdir -p "$HOME"
    log=$(/usr/lib/wine/wine64 wineboot -i 2>&1) || { echo "$log" >&2; fail "wineboot could not make $WINEPREFIX"; }
fi
tree=$unpacked/tree
mkdir -p "$tree/sub"
printf 'one' > "$tree/a.txt"
printf 'two' > "$tree/sub/b.txt"
win() { echo "Z:$(cd "$(dirname "$1")" && pwd | tr / '\\')\\$(basename "$1")"; }
cli() {
    /usr/lib/wine/wine "$unpacked/olvarin-cli.exe" "$@" || fail "olvarin-cli $* exited $?"
}
cli --version
cli create "$(win "$unpacked/tree.sig")" --include "$(win "$tree")" --checksums --quiet
cli compare "$(win "$unpacked/tree.sig")" --report "$(win "$unpacked/report.txt")" --quiet
/usr/lib/wine/wineserver -w
rm -rf "$unpacked"
echo "OK: $zip"
