#!/usr/bin/env bash
# Makes (setup) or stops (cleanup) the Wine prefix of one test run, with its
# home folder and its test files, all inside WINE_DIR. Only the wineserver
# of this prefix is ever stopped.
#   wine-prefix.sh setup|cleanup WINE_DIR [win64|win32]
# win64 (the default) runs 32-bit programs as 64-bit Windows does, with
# System32 redirected for them; win32 is a pure 32-bit Windows.
set -euo pipefail
action=$1
wine_dir=$2
arch=${3:-win64}
export WINEPREFIX="$wine_dir/prefix"
export HOME="$wine_dir/home"
export WINEDEBUG=-all
export WINEARCH=$arch
wineserver=/usr/lib/wine/wineserver
if [ "$arch" = win32 ]; then wine=/usr/lib/wine/wine; else wine=/usr/lib/wine/wine64; fi
test_files="$wine_dir/test-files"

case "$action" in
setup)
    if [ -d "$WINEPREFIX" ]; then
        "$wineserver" -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    fi
    mkdir -p "$HOME"
    if ! log=$("$wine" wineboot -i 2>&1); then
        echo "$log" >&2
        echo "wineboot could not make the $arch prefix $WINEPREFIX" >&2
        exit 1
    fi
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
    # Files and folders used as test material, beside the prefix.
    rm -rf "$test_files"
    mkdir -p "$test_files"
    # Unix links, which Wine shows as links to folders: one back up
    # (links/loop/bin/X11 -> .), and one to a folder beside it that a test
    # renames away (links/dangling/link -> data-real).
    links="$test_files/links"
    mkdir -p "$links/loop/bin" "$links/dangling/data-real"
    touch "$links/loop/a" "$links/loop/bin/b"
    ln -s . "$links/loop/bin/X11"
    for n in 1 2 3; do echo "$n" >"$links/dangling/data-real/f$n"; done
    ln -s data-real "$links/dangling/link"
    # ".txt" opens with our recorder, never an editor: it appends the file's
    # path to test-files/opened.log and exits.
    build_win="Z:$(cd "$wine_dir/.." && pwd | tr / '\\')"
    recorder="$build_win\\tests\\open_recorder.exe"
    opened_log="Z:$(cd "$test_files" && pwd | tr / '\\')\\opened.log"
    "$wine" reg add 'HKCR\.txt' /ve /d OlvarinTest.Recorder /f >/dev/null 2>&1
    "$wine" reg add 'HKCR\OlvarinTest.Recorder\shell\open\command' /ve \
        /d "\"$recorder\" \"$opened_log\" \"%1\"" /f >/dev/null 2>&1
    # The virtual display has no window manager, for which Wine would wait
    # two seconds each time a window closes.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
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
