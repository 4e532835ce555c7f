#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it under Wine.
#
#   bash scripts/run.sh              build, then start it on the current display ($DISPLAY)
#   bash scripts/run.sh --xvfb       the same on a virtual display (xvfb-run), for
#                                    machines without one; nothing is visible then
#   bash scripts/run.sh --no-build   start what was built last, without installing
#                                    or building (with --xvfb too, in either order)
#
# What starts is what users download: the 32-bit olvarin.exe of the
# windows-x86 build, the one in the release zip, in a 64-bit Wine prefix as
# on 64-bit Windows. A machine whose kernel refuses 32-bit programs cannot
# start it at all: there the 64-bit build of the same program (windows-x64)
# starts instead, after a line that says so. Wine keeps its settings in that
# prefix, inside the build folder (build/windows-x86/run-prefix or
# build/windows-x64/run-prefix, or $OLVARIN_RUN_PREFIX), never in ~/.wine; it
# is made on the first start and kept.
set -uo pipefail
cd "$(dirname "$0")/.."

virtual_display=0
build=1
for argument in "$@"; do
    case "$argument" in
    --xvfb) virtual_display=1 ;;
    --no-build) build=0 ;;
    *) echo "usage: $0 [--xvfb] [--no-build]" >&2; exit 2 ;;
    esac
done

# Runs one step quietly; when it fails, says which step, shows the tool's
# own output and what to do, and ends the script.
step() {
    local what=$1 advice=$2 output
    shift 2
    if ! output=$("$@" 2>&1); then
        echo "$output" >&2
        echo "run.sh: $what failed (the output above is the tool's own)." >&2
        echo "$advice" >&2
        exit 1
    fi
}

if [ "$build" -eq 1 ]; then
    echo "Installing what is missing (Debian's packages; this asks for root once)."
    step "Installing the packages" \
        "Check that this is Debian 12 with its package sources reachable, and run it as root or with sudo." \
        bash scripts/install-deps.sh
fi

# The same test as scripts/test.sh makes: Wine's 32-bit loader starts only
# where the kernel runs 32-bit programs.
preset=windows-x86 bits=32 wine=/usr/lib/wine/wine
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    preset=windows-x64 bits=64 wine=/usr/lib/wine/wine64
    echo "This machine refuses 32-bit programs, so the 64-bit build of the same program starts (build/windows-x64)."
fi
program="$PWD/build/$preset/olvarin.exe"
if [ "$build" -eq 1 ]; then
    echo "Building the $bits-bit program (build/$preset)."
    step "Configuring the $preset build" "Remove build/$preset and run this command again." \
        cmake --preset "$preset"
    step "Building the $preset build" "Fix the error above, or remove build/$preset and run this command again." \
        cmake --build --preset "$preset" --target olvarin
elif [ ! -f "$program" ]; then
    echo "run.sh: there is no $program to start yet; run bash scripts/run.sh without --no-build first." >&2
    exit 1
fi

if [ "$virtual_display" -eq 0 ] && [ -z "${DISPLAY:-}" ]; then
    cat >&2 <<'MESSAGE'
No display: $DISPLAY is empty, so the program's window has nowhere to appear.
Start it on a virtual display instead (nothing is shown, but it runs):

    bash scripts/run.sh --xvfb

or run it on a machine with a desktop, or over ssh -X.
MESSAGE
    exit 1
fi

export WINEPREFIX="${OLVARIN_RUN_PREFIX:-$PWD/build/$preset/run-prefix}"
export WINEDEBUG=-all
export WINEARCH=win64
# A prefix that an interrupted start left half made lacks the mark and is
# made again.
ready="$WINEPREFIX/.olvarin-ready"
if [ ! -f "$ready" ]; then
    echo "Making the Wine prefix $WINEPREFIX (once; this takes a little while)."
    if [ -n "$(ls -A "$WINEPREFIX" 2>/dev/null)" ] && [ ! -d "$WINEPREFIX/drive_c" ]; then
        echo "run.sh: $WINEPREFIX holds files but no Wine prefix; it is left alone." >&2
        echo "Name an empty or new folder in OLVARIN_RUN_PREFIX, or remove that one." >&2
        exit 1
    fi
    /usr/lib/wine/wineserver -k 2>/dev/null
    rm -rf "$WINEPREFIX"
    step "Making the folder for the Wine prefix" "Check that you may write to $(dirname "$WINEPREFIX")." \
        mkdir -p "$WINEPREFIX"
    step "Making the Wine prefix (wineboot)" \
        "Check that wine64 and wine32 are installed (bash scripts/install-deps.sh), then run this command again." \
        /usr/lib/wine/wine64 wineboot -i
    step "Waiting for wineboot to finish" "Run this command again." /usr/lib/wine/wineserver -w
    touch "$ready"
fi
step "Linking Wine's fonts into the prefix" "Check that fonts-wine is installed (bash scripts/install-deps.sh)." \
    bash scripts/wine-fonts.sh "$WINEPREFIX"

echo "Starting $program"
if [ "$virtual_display" -eq 1 ]; then
    # Wine's own helpers outlive the program by a moment; the virtual
    # display waits for them, so that none loses its display mid-way.
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c \
        '"$0" "$1"; status=$?; /usr/lib/wine/wineserver -w; exit $status' "$wine" "$program"
fi
exec "$wine" "$program"
