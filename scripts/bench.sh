#!/usr/bin/env bash
# Installs what is missing, builds and runs every benchmark, and writes one
# table to bench/RESULTS.md:
#   - native (Google Benchmark): checksum against plain reading, the sort, the
#     comparison walk, saving and loading a signature, and the same at scale
#     (2,000,000 records);
#   - under Wine, over a generated tree of 100,000 files in 5,000 folders: the
#     platform's floors and our Create and Compare, side by side in one run;
#   - under Wine at scale: the shipped 32-bit console program's Create and
#     Compare over trees of 100,000 and 2,000,000 tiny files, timed and with
#     their peak memory seen from Linux;
#   - peers on the same tree, natively, for context.
# Everything it writes stays in build/bench (the 100,000-file tree is about
# 1.8 GB, the 2,000,000-file tree about 8.5 GB of disk, most of it one block
# per file).
#
#   bash scripts/bench.sh [--scale-only] [--scale-sizes "SMALL LARGE"] [--scale-rounds N]
#                         [--scale-sha256-large] [--scale-cli64] [--no-build]
#
#   --scale-only          only the console program at scale under Wine; the
#                         report takes the other parts from the last full run
#                         (with none, it goes to build/bench/results/RESULTS.md)
#   --scale-sizes         the two tree sizes (default "100000 2000000"); other
#                         sizes are a trial: its results and report go to
#                         build/bench/results-trial, not bench/RESULTS.md
#   --scale-rounds        rounds of each Create and Compare, best taken (2)
#   --scale-sha256-large  Create and Compare with SHA-256 at the large size too
#                         (reads every file: minutes at 2,000,000)
#   --scale-cli64         the 64-bit console program instead, for machines that
#                         cannot run 32-bit programs; the report says so
#   --no-build            run what was built last
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scale_only=0
scale_sizes="100000 2000000"
scale_rounds=2
sha256_large=0
cli64=0
build=1
while [ $# -gt 0 ]; do
    case $1 in
        --scale-only) scale_only=1 ;;
        --scale-sizes) scale_sizes=$2; shift ;;
        --scale-rounds) scale_rounds=$2; shift ;;
        --scale-sha256-large) sha256_large=1 ;;
        --scale-cli64) cli64=1 ;;
        --no-build) build=0 ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "bench.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
    shift
done
read -r scale_small scale_large <<<"$scale_sizes"
if ! [[ "$scale_small" =~ ^[0-9]+$ && "$scale_large" =~ ^[0-9]+$ ]] || [ "$scale_small" -gt "$scale_large" ]; then
    echo "bench.sh: --scale-sizes takes two file counts, the smaller first" >&2
    exit 2
fi

out="$root/build/bench/results"
report="$root/bench/RESULTS.md"
if [ "$scale_sizes" != "100000 2000000" ]; then
    out="$root/build/bench/results-trial"
    report="$out/RESULTS.md"
fi
data="$root/build/bench/data"
mkdir -p "$out" "$data"
to_windows() { echo "Z:$1" | tr / '\\'; }
# A 64-bit prefix of the benchmarks' own in DIR (prefix and home), made once
# and kept: WINEPREFIX and HOME point into it from here on.
use_wine_prefix() {
    export WINEPREFIX="$1/prefix" HOME="$1/home" WINEDEBUG=-all
    mkdir -p "$HOME"
    if [ ! -d "$WINEPREFIX" ]; then
        /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
        /usr/lib/wine/wineserver -w
    fi
}

if [ "$build" = 1 ]; then
    bash scripts/install-deps.sh
    if [ "$scale_only" = 0 ]; then
        cmake --preset bench >/dev/null && cmake --build --preset bench
        cmake --preset windows-x64 >/dev/null && cmake --build --preset windows-x64 --target wine_bench
    fi
    if [ "$cli64" = 1 ]; then
        cmake --preset windows-x64 >/dev/null && cmake --build --preset windows-x64 --target olvarin-cli
    else
        cmake --preset windows-x86 >/dev/null && cmake --build --preset windows-x86 --target olvarin-cli
    fi
fi

# The console program at scale, under Wine in a 64-bit prefix of its own:
# Create and Compare without checksums over a small and a large tree of tiny
# files (best of the rounds), Create and Compare with SHA-256, and each
# one's peak memory, which only Linux sees from outside: the peak resident
# size of the Wine process, less that of `--version` run the same way.
# Writes scale.txt: one line per run, tab-separated (what, files, round,
# seconds, peak KiB, exit code).
scale_wine() {
    local sdir="$root/build/bench/scale"
    mkdir -p "$sdir"
    echo "=== making the trees at scale (once; kept in build/bench/scale)"
    local n
    for n in 1000 "$scale_small" "$scale_large"; do
        python3 scripts/make_bench_tree.py "$sdir/tree-$n" --scale --files "$n"
    done

    local program loader bits
    if [ "$cli64" = 1 ]; then
        program="$root/build/windows-x64/olvarin-cli.exe" loader=/usr/lib/wine/wine64 bits=64
    else
        program="$root/build/windows-x86/olvarin-cli.exe" loader=/usr/lib/wine/wine bits=32
        if ! "$loader" --version >/dev/null 2>&1; then
            echo "bench.sh: Wine's 32-bit loader does not run on this machine ($loader): the kernel runs no" >&2
            echo "32-bit programs here. Run this on a machine that does, or measure the 64-bit console" >&2
            echo "program instead with --scale-cli64 (the report then says so)." >&2
            return 1
        fi
    fi

    echo "=== the console program at scale, under Wine ($bits-bit)"
    use_wine_prefix "$sdir/wine"
    # One server for every run, so that none of them pays for starting it.
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -p
    local results="$out/scale.txt" log="$sdir/run.log" timing="$sdir/time.txt"
    printf 'program\t%s\n' "$bits" > "$results"
    cut -d' ' -f1-3 /proc/loadavg > "$out/scale-load.txt"

    # run WHAT FILES ROUND [ARGUMENTS...]
    run() {
        local what=$1 files=$2 round=$3
        shift 3
        /usr/bin/time -f '%e %M %x' -o "$timing" "$loader" "$program" "$@" >"$log" 2>&1 || true
        local seconds peak code
        read -r seconds peak code < <(tail -n 1 "$timing")
        printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$what" "$files" "$round" "$seconds" "$peak" "$code" | tee -a "$results"
        case "$what:$code" in
            version:0 | create*:0 | compare*:0) ;;
            *) echo "bench.sh: $what of $files files ended with $code:" >&2; cat "$log" >&2; return 1 ;;
        esac
    }
    # The signature must hold every file of the tree, or the run measured less.
    check_count() {
        "$loader" "$program" show "$(to_windows "$1")" > "$log" 2>&1
        if ! grep -qx "Files: $2" <(tr -d '\r' < "$log"); then
            echo "bench.sh: $1 does not hold $2 files:" >&2
            cat "$log" >&2
            return 1
        fi
    }

    local round
    "$loader" "$program" --version >/dev/null 2>&1  # the first start of a prefix does more
    for round in 1 2 3; do
        run version 0 "$round" --version
    done
    local tree sig
    tree=$(to_windows "$sdir/tree-1000")
    for round in 1 2 3; do
        run create 1000 "$round" create "$(to_windows "$sdir/sig-1000.sig")" --include "$tree" --quiet
    done
    for n in "$scale_small" "$scale_large"; do
        tree=$(to_windows "$sdir/tree-$n")
        sig="$sdir/sig-$n.sig"
        # Every file's inode in the cache, as for the other runs.
        find "$sdir/tree-$n" -printf '%s\n' > /dev/null
        for round in $(seq "$scale_rounds"); do
            run create "$n" "$round" create "$(to_windows "$sig")" --include "$tree" --quiet
        done
        check_count "$sig" "$n"
        for round in $(seq "$scale_rounds"); do
            run compare "$n" "$round" compare "$(to_windows "$sig")" --report "$(to_windows "$sdir/report-$n.txt")" --quiet
        done
        if [ "$n" = "$scale_small" ] || [ "$sha256_large" = 1 ]; then
            local rounds=$scale_rounds
            [ "$n" = "$scale_small" ] || rounds=1
            sig="$sdir/sig-$n-sha256.sig"
            for round in $(seq "$rounds"); do
                run create-sha256 "$n" "$round" create "$(to_windows "$sig")" --include "$tree" --sha256 --quiet
            done
            check_count "$sig" "$n"
            for round in $(seq "$rounds"); do
                run compare-sha256 "$n" "$round" compare "$(to_windows "$sig")" --report "$(to_windows "$sdir/report-$n.txt")" --quiet
            done
        fi
    done
    cut -d' ' -f1-3 /proc/loadavg >> "$out/scale-load.txt"
    /usr/lib/wine/wineserver -k || true
}

if [ "$scale_only" = 1 ]; then
    (scale_wine)
    # Without a full run's results the report would hold little but these
    # rows: it stays beside them rather than replace bench/RESULTS.md.
    if [ ! -f "$out/native.json" ] || [ ! -f "$out/wine.txt" ]; then
        report="$out/RESULTS.md"
    fi
    python3 scripts/bench_report.py "$out" > "$report"
    echo "=== written: $report"
    cat "$report"
    exit 0
fi

tree="$root/build/bench/tree"
small="$root/build/bench/tree-small"
echo "=== making the trees"
python3 scripts/make_bench_tree.py "$tree"
python3 scripts/make_bench_tree.py "$small" --files 1000 --folders 50 --total-mb 17.8

echo "=== native benchmarks"
# The native runs at scale take their sizes from OLVARIN_BENCH_SCALE.
OLVARIN_BENCH_SCALE="$scale_sizes" OLVARIN_BENCH_DIR="$data" build/bench/bench/olvarin_bench \
    --benchmark_out="$out/native.json" --benchmark_out_format=json

echo "=== Wine benchmarks"
(
    use_wine_prefix "$root/build/bench/wine"
    # The machine may be shared: the load around the Wine run goes into the report.
    cut -d' ' -f1-3 /proc/loadavg > "$out/load.txt"
    /usr/lib/wine/wine64 build/windows-x64/bench/wine_bench.exe "$(to_windows "$tree")" 5 | tee "$out/wine.txt"
    /usr/lib/wine/wine64 build/windows-x64/bench/wine_bench.exe "$(to_windows "$small")" 1 | tee "$out/wine-small.txt"
    cut -d' ' -f1-3 /proc/loadavg >> "$out/load.txt"
    /usr/lib/wine/wineserver -k || true
)

# A failure at scale (a machine that runs no 32-bit program, say) leaves the
# rest of the report standing.
set +e
(set -e; scale_wine)
scale_status=$?
set -e
[ "$scale_status" = 0 ] || echo "=== the runs at scale did not finish; the report leaves them out" >&2

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

python3 scripts/bench_report.py "$out" > "$report"
echo "=== written: $report"
cat "$report"
