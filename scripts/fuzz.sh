#!/usr/bin/env bash
# Builds the fuzz preset and fuzzes the signature reader for a bounded time
# (default 60 seconds). The seed files are made afresh by the reader tests'
# table of damaged files; the growing corpus, the log and any crashing input stay in
# build/fuzz. Exits non-zero on a build failure or a crash.
#   fuzz.sh [SECONDS]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build/fuzz

if ! { cmake --preset fuzz >/dev/null && cmake --build --preset fuzz &&
        cmake --preset native >/dev/null && cmake --build --preset native --target core_tests; }; then
    echo "Fuzzing the signature reader: FAILED (the fuzz preset or the core tests did not build)" >&2
    exit 1
fi

# The seeds: every damaged and sound file of the reader's error table.
rm -rf "$dir/seeds"
mkdir -p "$dir/seeds" "$dir/corpus" "$dir/artifacts"
if ! OLVARIN_FUZZ_SEEDS="$PWD/$dir/seeds" build/native/tests/core_tests \
        --gtest_filter=SignatureRead.EachDamageGivesItsErrorAtItsBoundary --gtest_brief=1 >/dev/null; then
    echo "Fuzzing the signature reader: FAILED (the seed files are wrong)" >&2
    exit 1
fi

log="$dir/fuzz.log"
"$dir/fuzz/signature_reader_fuzzer" \
    -max_total_time="$seconds" -max_len=12000 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/" \
    "$dir/corpus" "$dir/seeds" >"$log" 2>&1
status=$?

runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1)
cov=$(echo "$done_line" | grep -o 'cov: [0-9]*' | grep -o '[0-9]*')
ft=$(echo "$done_line" | grep -o 'ft: [0-9]*' | grep -o '[0-9]*')
corp=$(echo "$done_line" | grep -o 'corp: [0-9]*' | grep -o '[0-9]*')

if [ $status -ne 0 ]; then
    tail -40 "$log" >&2
    echo "Fuzzing the signature reader: FAILED (exit $status); crashing input in $dir/artifacts, log in $log" >&2
    exit 1
fi
echo "Fuzzing the signature reader: PASSED, ${runs:-?} runs in ${seconds} s, no crash;" \
     "coverage ${cov:-?} edges, ${ft:-?} features, corpus ${corp:-?} inputs (log: $log)"
