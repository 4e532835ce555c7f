#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test
# suite, printing each runner's own summary, and fuzzes both file readers
# for a minute beside them. Exits non-zero on any build error, test failure or
# crash.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh || exit 1

# The 32-bit product is what the Windows suites run. A machine whose kernel
# refuses every 32-bit program cannot start it under Wine at all: there the
# end-to-end suite runs on the 64-bit build instead, and says so.
x86_runs=1
x64_options=()
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    x86_runs=0
    x64_options=(-DOLVARIN_END_TO_END_ON_X64=ON)
    echo "NOTE: this machine cannot run 32-bit programs (the kernel refuses them):"
    echo "      the 32-bit product is built and checked, and every Windows suite runs on the 64-bit build."
fi

# The native build also compiles the benchmarks (not run), so that they keep
# compiling. Where the 32-bit product cannot run, only its two programs are
# built: none of its tests could start.
for preset in native windows-x86 windows-x64 fuzz; do
    echo "=== build: $preset"
    options=() targets=()
    case $preset in
        native) options=(-DOLVARIN_BUILD_BENCH=ON) ;;
        windows-x86) [ "$x86_runs" = 1 ] || targets=(--target olvarin olvarin-cli) ;;
        windows-x64) options=("${x64_options[@]}") ;;
    esac
    if ! { cmake --preset "$preset" "${options[@]}" >/dev/null && cmake --build --preset "$preset" "${targets[@]}"; }; then
        echo "Build of preset $preset failed." >&2
        exit 1
    fi
done

# The fuzzer runs its minute on one core while the suites, which mostly wait
# for Wine, run beside it; its summary comes at the end.
fuzz_log=build/fuzz/test-run.txt
bash scripts/fuzz.sh 60 >"$fuzz_log" 2>&1 &
fuzz_pid=$!

status=0
echo "=== tests: native (AddressSanitizer, UndefinedBehaviorSanitizer)"
ctest --preset native -j2 || status=1

if [ "$x86_runs" = 1 ]; then
    echo "=== tests: windows-x86, the 32-bit product (under Wine: a 64-bit prefix, and a 32-bit one for the console program)"
    xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows-x86 || status=1
    echo "=== tests: windows-x64, the core and the walk in a 64-bit build (under Wine)"
else
    echo "=== tests: windows-x86, the 32-bit product's files only (this machine cannot run it)"
    ctest --preset windows-x86 -R '^product_check' || status=1
    echo "=== tests: windows-x64, every Windows suite in a 64-bit build (under Wine)"
fi
xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows-x64 || status=1

echo "=== package: the release zip, its file list, both programs, and the console program run from it"
if zip=$(bash scripts/package.sh | tail -n 1); then
    bash scripts/check-package.sh "$zip" || status=1
else
    status=1
fi

echo "=== fuzzing: the signature reader and accept's reader, half a minute each (clang, libFuzzer, ASan, UBSan; begun after the builds)"
wait "$fuzz_pid" || status=1
cat "$fuzz_log"

exit $status
