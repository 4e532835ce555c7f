#!/usr/bin/env bash
# Makes the README's screenshots again: the main window during a scan and the
# configuration dialog, on a virtual display, into docs/.
#   bash scripts/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ "${1:-}" != "--inside" ]; then
    bash scripts/install-deps.sh
    cmake --preset windows-x64 >/dev/null
    cmake --build --preset windows-x64 --target olvarin screenshot_driver
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inside
fi

build=$root/build/windows-x64
work=$build/screenshots
export WINEPREFIX=$build/wine/shot-prefix
export HOME=$build/wine/shot-home
export WINEDEBUG=-all
rm -rf "$work"
mkdir -p "$work" "$HOME" "$root/docs"
if [ ! -d "$WINEPREFIX" ]; then
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
fi
# Wine's own fonts, so that caption buttons and dialog labels are drawn whole.
bash "$root/scripts/wine-fonts.sh" "$WINEPREFIX"
# No window manager runs on the virtual display: let Wine draw the title
# bars itself.
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w

# A tree to scan that every machine has.
/usr/lib/wine/wine64 "$build/tools/screenshot_driver.exe" "Z:${work//\//\\}" 'Z:\usr\share' > "$work/driver.log" &
driver=$!

shoot() {  # name: waits for the driver's READY line, then grabs the window
    local name=$1 line
    for _ in $(seq 600); do
        line=$(grep "^READY $name " "$work/driver.log" || true)
        [ -n "$line" ] && break
        sleep 0.2
    done
    [ -n "$line" ] || { echo "The program did not reach the state for $name." >&2; kill "$driver"; exit 1; }
    read -r _ _ x y w h <<<"$line"
    xwd -root -silent | convert xwd:- -crop "${w}x${h}+${x}+${y}" +repage "$root/docs/$name.png"
    touch "$work/$name.done"
    echo "docs/$name.png"
}

shoot main-window
shoot config-dialog
wait "$driver" || true
/usr/lib/wine/wineserver -k || true
