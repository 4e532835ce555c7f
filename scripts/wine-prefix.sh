#!/usr/bin/env bash
# Makes (setup) or stops (cleanup) the Wine prefix of one build folder's test
# run. Only the wineserver of this prefix is ever stopped.
#   wine-prefix.sh setup|cleanup WINE_DIR
set -euo pipefail
action=$1
wine_dir=$2
export WINEPREFIX="$wine_dir/prefix"
export HOME="$wine_dir/home"
export WINEDEBUG=-all
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

case "$action" in
setup)
    if [ -d "$WINEPREFIX" ]; then
        "$wineserver" -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    fi
    mkdir -p "$HOME"
    "$wine" wineboot -i >/dev/null 2>&1
    "$wineserver" -w
    # A fresh prefix links the user's folders into $HOME; give them real
    # folders inside the prefix so that nothing a test writes leaves it.
    for user_dir in "$WINEPREFIX"/drive_c/users/*/; do
        for link in "$user_dir"*; do
            if [ -L "$link" ]; then
                rm "$link"
                mkdir -p "$link"
            fi
        done
    done
    # Files and folders used as test material, in the build folder.
    rm -rf "$wine_dir/../test-files"
    mkdir -p "$wine_dir/../test-files"
    # ".txt" opens with our recorder, never an editor: it appends the file's
    # path to test-files/opened.log and exits.
    build_win="Z:$(cd "$wine_dir/.." && pwd | tr / '\\')"
    recorder="$build_win\\tests\\open_recorder.exe"
    opened_log="$build_win\\test-files\\opened.log"
    "$wine" reg add 'HKCR\.txt' /ve /d OlvarinTest.Recorder /f >/dev/null 2>&1
    "$wine" reg add 'HKCR\OlvarinTest.Recorder\shell\open\command' /ve \
        /d "\"$recorder\" \"$opened_log\" \"%1\"" /f >/dev/null 2>&1
    "$wineserver" -w
    echo "Wine prefix ready: $WINEPREFIX"
    ;;
cleanup)
    "$wineserver" -k 2>/dev/null || true
    ;;
*)
    echo "usage: $0 setup|cleanup WINE_DIR" >&2
    exit 2
    ;;
esac
