#!/usr/bin/env bash
# Installs what is missing, builds and runs every benchmark, and writes one
# table to bench/RESULTS.md:
#   - native (Google Benchmark): checksum against plain reading, the sort, the
#     comparison walk, saving and loading a signature;
#   - under Wine, over a generated tree of 100,000 files in 5,000 folders: the
#     platform's floors and our Create and Compare, side by side in one run;
#   - peers on the same tree, natively, for context.
# Everything it writes stays in build/bench (the tree is about 1.8 GB).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh
cmake --preset bench >/dev/null && cmake --build --preset bench
cmake --preset windows-x64 >/dev/null && cmake --build --preset windows-x64 --target wine_bench

out="$root/build/bench/results"
data="$root/build/bench/data"
mkdir -p "$out" "$data"
tree="$root/build/bench/tree"
small="$root/build/bench/tree-small"
echo "=== making the trees"
python3 scripts/make_bench_tree.py "$tree"
python3 scripts/make_bench_tree.py "$small" --files 1000 --folders 50 --total-mb 17.8

echo "=== native benchmarks"
OLVARIN_BENCH_DIR="$data" build/bench/bench/olvarin_bench \
    --benchmark_out="$out/native.json" --benchmark_out_format=json

echo "=== Wine benchmarks"
export WINEPREFIX="$root/build/bench/wine/prefix" HOME="$root/build/bench/wine/home" WINEDEBUG=-all
mkdir -p "$HOME"
if [ ! -d "$WINEPREFIX" ]; then
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
fi
to_windows() { echo "Z:$1" | tr / '\\'; }
# The machine may be shared: the load around the Wine run goes into the report.
cut -d' ' -f1-3 /proc/loadavg > "$out/load.txt"
/usr/lib/wine/wine64 build/windows-x64/bench/wine_bench.exe "$(to_windows "$tree")" 5 | tee "$out/wine.txt"
/usr/lib/wine/wine64 build/windows-x64/bench/wine_bench.exe "$(to_windows "$small")" 1 | tee "$out/wine-small.txt"
cut -d' ' -f1-3 /proc/loadavg >> "$out/load.txt"
/usr/lib/wine/wineserver -k || true

echo "=== peers, natively"
: > "$out/peers.txt"
peer() {
    local name=$1; shift
    "$@" >/dev/null 2>&1 || true  # warm
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    printf '%s\t%s\n' "$name" "$(echo "$end - $start" | bc)" | tee -a "$out/peers.txt"
}
peer "find -printf" find "$tree" -type f -printf '%p %s %T@ %C@ %m\n'
peer "md5sum of every file" sh -c "cd '$tree' && find . -type f -print0 | xargs -0 md5sum"
peer "hashdeep -c md5 -j1 -r" hashdeep -c md5 -j1 -r "$tree"

python3 scripts/bench_report.py "$out" > bench/RESULTS.md
echo "=== written: bench/RESULTS.md"
cat bench/RESULTS.md
