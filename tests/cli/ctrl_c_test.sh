#!/usr/bin/env bash
# Ctrl+C during accept, as Wine delivers it (SIGINT to the program's wine
# process becomes CTRL_C_EVENT): exit 3, the .sig byte for byte as it was,
# and no .bak. The report is long and names the signature right, so that
# accept is still reading it when the signal comes.
#   ctrl_c_test.sh CLI WORK_DIR
set -uo pipefail
cli=$1 work=$2
wine=/usr/lib/wine/wine
"$wine" --version >/dev/null 2>&1 || wine=/usr/lib/wine/wine64
rm -rf "$work" && mkdir -p "$work/tree" && echo a >"$work/tree/a.txt"
windows() { echo "Z:$1" | tr / '\\'; }
"$wine" "$cli" create "$(windows "$work/s.sig")" --include "$(windows "$work/tree")" --quiet >/dev/null || exit 1
cp "$work/s.sig" "$work/before.sig"
old='{"size":1,"attributes":32,"attribute_names":[],"created":"2020-01-01T00:00:00.0000000Z","last_write":"2020-01-01T00:00:00.0000000Z"}'
yes "{\"type\":\"difference\",\"action\":\"removed\",\"path\":\"\\\\zz\",\"old\":$old}" | head -n 1500000 >"$work/r.jsonl"
echo "{\"type\":\"summary\",\"signature_sha256\":\"$(sha256sum "$work/s.sig" | cut -c1-64)\",\"complete\":true}" >>"$work/r.jsonl"
"$wine" "$cli" accept "$(windows "$work/s.sig")" "$(windows "$work/r.jsonl")" >"$work/out.txt" 2>"$work/err.txt" &
pid=$!
sleep 3
kill -INT "$pid"
wait "$pid"
status=$?
cat "$work/out.txt" "$work/err.txt"
[ "$status" -eq 3 ] && cmp -s "$work/s.sig" "$work/before.sig" && [ ! -e "$work/s.sig.bak" ] ||
    { echo "FAIL: exit $status (3 expected), the .sig $(cmp -s "$work/s.sig" "$work/before.sig" && echo kept || echo changed), .bak $([ -e "$work/s.sig.bak" ] && echo made || echo none)" >&2; exit 1; }
echo "Ctrl+C during accept: exit 3, the signature kept, no backup"
