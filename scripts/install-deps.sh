#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# this machine lacks. Does nothing when everything is already there.
# wine32 comes from the i386 architecture: it lets the 32-bit programs users
# download run here, in a 64-bit prefix as on 64-bit Windows.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
    wine64 wine32:i386 fonts-wine xvfb xauth x11-apps imagemagick
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    python3 file bc hashdeep zip nlohmann-json3-dev openssl
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
