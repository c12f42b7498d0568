#!/usr/bin/env bash
# Builds the benchmarks (Release, in build/bench) and runs the comparison of
# both tree classes with the reference tree: 7 repetitions, their medians,
# and at the end a summary of the ratios to the reference beside their
# goals. Arguments go to the benchmark, e.g. --benchmark_filter=AllNodes or
# --benchmark_repetitions=10. Not part of the test run.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/setup.sh
rodarove_setup build bench || exit 1

dir=build/bench
cmake -S . -B "$dir" -G "$RODAROVE_GENERATOR" -DCMAKE_BUILD_TYPE=Release \
  -DRODAROVE_BUILD_BENCHMARKS=ON -DRODAROVE_BUILD_TESTS=OFF >"$dir.configure.log" 2>&1 ||
  { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" -j "${RODAROVE_JOBS:-2}" >"$dir.build.log" 2>&1 ||
  { tail -50 "$dir.build.log"; exit 1; }
# Other work on the machine shows in every figure; the ratios, measured in
# turns within one run, suffer less.
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
"$dir/bench/reference_bench" --benchmark_repetitions=7 --benchmark_report_aggregates_only=true "$@"
