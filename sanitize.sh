#!/usr/bin/env bash
# Builds every test under AddressSanitizer and UndefinedBehaviorSanitizer in build-sanitize/ and runs them all.
# Run it before every stop; it takes longer than ./test.sh, so CI runs the plain suite.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/scripts-common.sh"
install_missing
cmake -S "$ROOT" -B "$ROOT/build-sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNHOLD_BUILD_TESTS=ON \
      -DVARNHOLD_BUILD_BENCH=OFF -DVARNHOLD_SANITIZE=ON >/dev/null
cmake --build "$ROOT/build-sanitize" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
# Qt keeps some allocations for the life of the process by design; leaks are not what this run looks for.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$ROOT/build-sanitize"
ctest --output-on-failure -j 2 "$@"
