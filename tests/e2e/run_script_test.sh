#!/usr/bin/env bash
# The README's first command as a newcomer runs it, from a prefix not yet
# made, on a virtual display: the main window comes up, closed as a user
# closes it the program ends with 0, and the script printed no error. What
# starts is the 32-bit program, or the 64-bit one where the kernel refuses
# 32-bit programs.
#   run_script_test.sh CLOSER WORK_DIR
set -uo pipefail
work=$2
export OLVARIN_RUN_PREFIX="$work/prefix" WINEDEBUG=-all
WINEPREFIX="$OLVARIN_RUN_PREFIX" /usr/lib/wine/wineserver -k 2>/dev/null
rm -rf "$work" && mkdir -p "$work"
expected=windows-x86 loader=/usr/lib/wine/wine
/usr/lib/wine/wine --version >/dev/null 2>&1 || expected=windows-x64 loader=/usr/lib/wine/wine64
timeout 600 bash "$(dirname "$0")/../../scripts/run.sh" --xvfb >"$work/out.txt" 2>"$work/err.txt" &
# The closer, without a display, starts once the program has the prefix's
# desktop up on the virtual one (making the prefix had one of its own before
# "Starting"), or it would bring up a desktop itself.
desktop_up() {
    grep -q '^Starting ' "$work/out.txt" && for pid in $(pgrep -f 'explorer.exe /desktop'); do
        grep -qzx "WINEPREFIX=$OLVARIN_RUN_PREFIX" "/proc/$pid/environ" 2>/dev/null && return 0
    done
    return 1
}
for _ in $(seq 900); do desktop_up && break; kill -0 $! 2>/dev/null || break; sleep 0.2; done
closed=1
desktop_up && WINEPREFIX="$OLVARIN_RUN_PREFIX" DISPLAY='' "$loader" "$1" && closed=0
[ "$closed" -eq 0 ] || WINEPREFIX="$OLVARIN_RUN_PREFIX" /usr/lib/wine/wineserver -k
wait $!
status=$?
cat "$work/out.txt" "$work/err.txt"
started=1
grep -q "^Starting .*/build/$expected/olvarin.exe\$" "$work/out.txt" && started=0
[ "$closed" -eq 0 ] && [ "$status" -eq 0 ] && [ "$started" -eq 0 ] && [ ! -s "$work/err.txt" ] ||
    { echo "FAIL: window closed $closed, run.sh $status, $expected program started $started, errors above" >&2; exit 1; }
