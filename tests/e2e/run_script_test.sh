#!/usr/bin/env bash
# The README's first command as a newcomer runs it: from a checkout where
# its Wine prefix does not exist yet, on a virtual display. The main window
# must come up; closed as a user closes it, the program ends with 0 and the
# script has printed no error.
#   run_script_test.sh CLOSER WORK_DIR
set -uo pipefail
closer=$1
work=$2
fail() { echo "FAIL: $*" >&2; cat "$work/out.txt"; cat "$work/err.txt" >&2; exit 1; }

if [ -d "$work/prefix" ]; then WINEPREFIX="$work/prefix" /usr/lib/wine/wineserver -k 2>/dev/null; fi
rm -rf "$work"
mkdir -p "$work"
export OLVARIN_RUN_PREFIX="$work/prefix"
timeout 600 bash "$(dirname "$0")/../../scripts/run.sh" --xvfb >"$work/out.txt" 2>"$work/err.txt" &
script=$!
# The closer has no display: it may start only once the program has brought
# up the prefix's desktop on the virtual one, or it would bring it up itself.
# (The prefix's making has a desktop of its own, gone before "Starting".)
desktop_up() {
    local pid
    grep -q '^Starting ' "$work/out.txt" || return 1
    for pid in $(pgrep -f 'explorer.exe /desktop'); do
        grep -qzx "WINEPREFIX=$OLVARIN_RUN_PREFIX" "/proc/$pid/environ" 2>/dev/null && return 0
    done
    return 1
}
for _ in $(seq 900); do
    desktop_up && break
    kill -0 "$script" 2>/dev/null || break
    sleep 0.2
done
desktop_up || fail "run.sh did not start the program"
WINEPREFIX="$OLVARIN_RUN_PREFIX" WINEDEBUG=-all DISPLAY='' /usr/lib/wine/wine "$closer"
closed=$?
if [ "$closed" -ne 0 ]; then
    WINEPREFIX="$OLVARIN_RUN_PREFIX" /usr/lib/wine/wineserver -k 2>/dev/null
fi
wait "$script"
status=$?
[ "$closed" -eq 0 ] || fail "no main window of class olvarin came up"
[ "$status" -eq 0 ] || fail "run.sh ended with $status"
[ ! -s "$work/err.txt" ] || fail "run.sh printed on its error output"
cat "$work/out.txt"
