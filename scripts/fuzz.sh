#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs each for a while.
#   scripts/fuzz.sh [seconds per target, default 20]
#   scripts/fuzz.sh --runs N     N inputs per target from a fixed seed: the same inputs on every
#                                machine, so a finding is never a matter of luck (what CI runs)
#   scripts/fuzz.sh --long [MINUTES]
#                                a long local run (default 60 minutes shared by all targets), then
#                                the committed corpora under fuzz/corpus/ are replaced by a minimised
#                                merge (-merge=1) of them and of everything found: commit the result
#                                so that CI's fixed runs start from where long runs got
# New inputs go to build/fuzz/corpus/<target>; committed seeds are read from fuzz/corpus/<target>.
# A finding stops the run with the fuzzer's report and leaves the input as build/fuzz/crash-*.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=time
limit=(-max_total_time="${1:-20}")
label="${1:-20}s"
if [ "${1:-}" = "--runs" ]; then
  limit=(-runs="${2:?--runs needs a count}" -seed=1)
  label="$2 runs"
elif [ "${1:-}" = "--long" ]; then
  mode=long
fi
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build/fuzz -G Ninja \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORIN_FUZZ=ON -DORIN_TESTS=OFF -DORIN_BENCH=OFF -DORIN_WERROR=ON >/dev/null
cmake --build build/fuzz --target fuzzers -j "$jobs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd build/fuzz
targets=()
for target in fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] && targets+=("$target")
done

if [ "$mode" = long ]; then
  minutes="${2:-60}"
  each=$(( minutes * 60 / ${#targets[@]} ))
  limit=(-max_total_time="$each")
  label="${each}s"
fi

for target in "${targets[@]}"; do
  name=$(basename "$target")
  run=("${limit[@]}")
  mkdir -p "corpus/$name"
  seeds=()
  [ -d "../../fuzz/corpus/$name" ] && seeds+=("../../fuzz/corpus/$name")
  echo "fuzz: $name for $label"
  "./$target" "${run[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "corpus/$name" "${seeds[@]}"
  if [ "$mode" = long ]; then
    merged="corpus-merged/$name"
    rm -rf "$merged" && mkdir -p "$merged" "../../fuzz/corpus/$name"
    "./$target" -merge=1 -timeout=10 -rss_limit_mb=2048 "$merged" \
      "../../fuzz/corpus/$name" "corpus/$name"
    rm -rf "../../fuzz/corpus/$name" && mv "$merged" "../../fuzz/corpus/$name"
    echo "fuzz: $name corpus: $(ls "../../fuzz/corpus/$name" | wc -l) inputs"
  fi
done
