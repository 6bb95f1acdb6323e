#!/usr/bin/env bash
# Builds orinplay and runs every test. The README's test command.
#   scripts/test.sh              Release build in build/release
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build/sanitize
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

kind=release
flags=(-DCMAKE_BUILD_TYPE=Release -DORIN_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  kind=sanitize
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DORIN_SANITIZE=ON -DORIN_BENCH=OFF -DORIN_WERROR=ON)
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "build/$kind" -G Ninja "${flags[@]}" >/dev/null
cmake --build "build/$kind" -j "$jobs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "build/$kind"
ctest --output-on-failure -j "$jobs"
