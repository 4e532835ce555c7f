#!/usr/bin/env bash
# Checks the release zip that package.sh wrote: exactly the expected files,
# both programs what they should be (check-product.sh), README.txt in CR LF.
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
rm -rf "$unpacked"
echo "OK: $zip"
