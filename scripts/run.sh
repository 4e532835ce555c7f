#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it under Wine.
#
#   bash scripts/run.sh          start it on the current display ($DISPLAY)
#   bash scripts/run.sh --xvfb   start it on a virtual display (xvfb-run), for
#                                machines without one; nothing is visible then
#
# The 32-bit product is built too (build/windows-x86), but this kernel cannot
# run 32-bit programs: what starts is the 64-bit build of the same sources.
# Wine keeps its settings in a prefix inside the build folder
# (build/windows-x64/wine/run-prefix), never in ~/.wine.
set -euo pipefail
cd "$(dirname "$0")/.."

virtual_display=0
case "${1:-}" in
--xvfb) virtual_display=1 ;;
"") ;;
*) echo "usage: $0 [--xvfb]" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh
cmake --preset windows-x86 >/dev/null && cmake --build --preset windows-x86
cmake --preset windows-x64 >/dev/null && cmake --build --preset windows-x64
echo "Built: build/windows-x86 (32-bit product) and build/windows-x64 (runs here)."

if [ "$virtual_display" -eq 0 ] && [ -z "${DISPLAY:-}" ]; then
    cat >&2 <<'MESSAGE'
No display: $DISPLAY is empty, so the program's window has nowhere to appear.
Start it on a virtual display instead (nothing is shown, but it runs):

    bash scripts/run.sh --xvfb

or run it on a machine with a desktop, or over ssh -X.
MESSAGE
    exit 1
fi

export WINEPREFIX="$PWD/build/windows-x64/wine/run-prefix"
export WINEDEBUG=-all
if [ ! -d "$WINEPREFIX" ]; then
    echo "Making the Wine prefix $WINEPREFIX (once; this takes a little while)."
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
fi
bash scripts/wine-fonts.sh "$WINEPREFIX"

program="$PWD/build/windows-x64/olvarin.exe"
echo "Starting $program"
if [ "$virtual_display" -eq 1 ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" /usr/lib/wine/wine64 "$program"
fi
exec /usr/lib/wine/wine64 "$program"
