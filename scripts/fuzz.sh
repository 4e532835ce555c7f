#!/usr/bin/env bash
# Builds the fuzz preset and fuzzes both readers of files anyone may have
# written, the signature reader and accept's reader of a reviewed report,
# for a bounded time in all (default 60 seconds, split between them). The
# seeds are made afresh by the core tests: the signature reader's table of
# damaged files, and every report the JSON report tests read. The growing
# corpora, the logs and any crashing input stay in build/fuzz. Exits
# non-zero on a build failure or a crash.
#   fuzz.sh [SECONDS]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build/fuzz
# Each input frees all it took, so an 8 MB quarantine still holds every block
# freed within the last many inputs and a use after free inside one input is
# caught as before; the default 256 MB one cycles fresh pages through the
# kernel and cost about a fifth of the signature reader's rate. Options given
# by the caller come last and win.
export ASAN_OPTIONS="quarantine_size_mb=8${ASAN_OPTIONS:+:$ASAN_OPTIONS}"

if ! { cmake --preset fuzz >/dev/null && cmake --build --preset fuzz &&
        cmake --preset native >/dev/null && cmake --build --preset native --target core_tests; }; then
    echo "Fuzzing: FAILED (the fuzz preset or the core tests did not build)" >&2
    exit 1
fi

# Fuzzes one reader for its share of the time: its name, the tests that
# write its seeds, the longest input, the seconds, and libFuzzer's options
# of its own.
fuzz() {
    local name=$1 seed_tests=$2 max_len=$3 time=$4
    shift 4
    local work="$dir/$name"
    rm -rf "$work/seeds"
    mkdir -p "$work/seeds" "$work/corpus" "$work/artifacts"
    if ! OLVARIN_FUZZ_SEEDS="$PWD/$work/seeds" build/native/tests/core_tests \
            --gtest_filter="$seed_tests" --gtest_brief=1 >/dev/null; then
        echo "Fuzzing the $name reader: FAILED (the seed files are wrong)" >&2
        return 1
    fi
    local log="$work/fuzz.log"
    "$dir/fuzz/${name}_reader_fuzzer" \
        -max_total_time="$time" -max_len="$max_len" -print_final_stats=1 \
        -artifact_prefix="$work/artifacts/" "$@" \
        "$work/corpus" "$work/seeds" >"$log" 2>&1
    local status=$?
    local runs done_line
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1)
    if [ $status -ne 0 ]; then
        tail -40 "$log" >&2
        echo "Fuzzing the $name reader: FAILED (exit $status); crashing input in $work/artifacts, log in $log" >&2
        return 1
    fi
    echo "Fuzzing the $name reader: PASSED, ${runs:-?} runs in ${time} s, no crash;" \
         "coverage $(echo "$done_line" | grep -o 'cov: [0-9]*' | grep -o '[0-9]*') edges," \
         "$(echo "$done_line" | grep -o 'ft: [0-9]*' | grep -o '[0-9]*') features," \
         "corpus $(echo "$done_line" | grep -o 'corp: [0-9]*' | grep -o '[0-9]*') inputs (log: $log)"
}

half=$((seconds / 2))
status=0
# The signature reader's few hundred edges are all reached within seconds;
# past that, the entropic schedule's bookkeeping would take a third of each
# input's time, so it runs without.
fuzz signature SignatureRead.EachDamageGivesItsErrorAtItsBoundary 12000 "$((seconds - half))" -entropic=0 || status=1
fuzz accept 'ReportJson.*' 20000 "$half" || status=1
exit $status
