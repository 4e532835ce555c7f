#!/usr/bin/env bash
# Builds the 32-bit programs and writes the release package
# build/dist/olvarin-<version>-win32.zip: both programs, the help pages and
# README.txt (with Windows line ends). The version is the program's own, from
# src/model/version.h. Prints the zip's path.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^constexpr char PRODUCT_VERSION\[\] = "V\{0,1\}\([^"]*\)";$/\1/p' src/model/version.h)
[ -n "$version" ] || { echo "No PRODUCT_VERSION in src/model/version.h" >&2; exit 1; }

cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 -j2 --target olvarin olvarin-cli >/dev/null

name=olvarin-$version-win32
stage=build/dist/$name
zip=$PWD/build/dist/$name.zip
rm -rf "$stage" "$zip"
mkdir -p "$stage/help/html"
cp build/windows-x86/olvarin.exe build/windows-x86/olvarin-cli.exe "$stage/"
cp help/html/* "$stage/help/html/"
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' packaging/README.txt > "$stage/README.txt"
# -X: no Unix extra fields, so the same files give the same zip.
(cd "$stage" && zip -q -X -r "$zip" README.txt olvarin.exe olvarin-cli.exe help)
echo "$zip"
