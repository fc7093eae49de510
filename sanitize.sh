#!/usr/bin/env bash
# Builds every test under AddressSanitizer and UndefinedBehaviorSanitizer in build-sanitize/ and runs them all;
# then builds the libFuzzer targets with clang in build-fuzz/ and runs each on its corpus for a short time
# (FUZZ_SECONDS, 30 by default; 0 skips the fuzzing). Run it before every stop; it takes longer than ./test.sh,
# so CI runs the plain suite.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/scripts-common.sh"
install_missing
# Set before the build too: each test binary runs once after its link to list its cases for ctest.
export QT_QPA_PLATFORM=offscreen
# Qt keeps some allocations for the life of the process by design; leaks are not what this run looks for.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S "$ROOT" -B "$ROOT/build-sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNHOLD_BUILD_TESTS=ON \
      -DVARNHOLD_BUILD_BENCH=OFF -DVARNHOLD_SANITIZE=ON >/dev/null
cmake --build "$ROOT/build-sanitize" -j "$(nproc)"
status=0
(cd "$ROOT/build-sanitize" && ctest --output-on-failure -j 2 "$@") || status=1

FUZZ_SECONDS="${FUZZ_SECONDS:-30}"
if [ "$FUZZ_SECONDS" -gt 0 ]; then
    command -v clang++ >/dev/null || { echo "Installing clang for the fuzz targets"; VARNHOLD_PACKAGES=(clang); install_missing; }
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$ROOT/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNHOLD_FUZZ=ON \
          -DVARNHOLD_BUILD_TESTS=OFF -DVARNHOLD_BUILD_UI=OFF -DVARNHOLD_BUILD_BENCH=OFF >/dev/null
    cmake --build "$ROOT/build-fuzz" -j "$(nproc)"
    # Leaks count here (each input runs in the same process), except libzip's own (see fuzz/lsan.supp).
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export LSAN_OPTIONS="suppressions=$ROOT/fuzz/lsan.supp"
    for corpus in "$ROOT"/fuzz/corpus/*/; do
        target="$(basename "$corpus")"
        # New inputs go to a scratch corpus, so the seeds in the tree stay as they are; a crash is saved in
        # build-fuzz/crashes/ and reproduced with: build-fuzz/fuzz/fuzz_TARGET FILE
        mkdir -p "$ROOT/build-fuzz/corpus/$target" "$ROOT/build-fuzz/crashes"
        echo "== fuzz_$target for ${FUZZ_SECONDS}s"
        if ! "$ROOT/build-fuzz/fuzz/fuzz_$target" -max_total_time="$FUZZ_SECONDS" -max_len=8192 -print_final_stats=0 \
                -artifact_prefix="$ROOT/build-fuzz/crashes/$target-" "$ROOT/build-fuzz/corpus/$target" "$corpus" \
                >"$ROOT/build-fuzz/$target.log" 2>&1; then
            tail -n 40 "$ROOT/build-fuzz/$target.log"
            echo "fuzz_$target failed; the input is in build-fuzz/crashes/"
            status=1
        fi
    done
fi
exit $status
