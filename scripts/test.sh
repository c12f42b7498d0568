#!/usr/bin/env bash
# Builds and runs every test suite: the Linux build, the same tests under
# AddressSanitizer+UndefinedBehaviorSanitizer, the concurrency tests under
# ThreadSanitizer, the same tests again in a clang build that checks the
# lock's annotations and measures the module's coverage, the fuzzers for a
# short while on their corpora (clang and libFuzzer; RODAROVE_FUZZ_SECONDS
# each, default 30), and the Windows builds (64-bit and 32-bit) under Wine
# when available. Ends with one summary line of all suites.
set -uo pipefail
usage() {
  cat <<'USAGE'
usage: bash scripts/test.sh

Runs every suite in turn: linux (build/release), asan+ubsan (build/asan),
tsan (build/tsan), coverage (build/coverage: clang with -Wthread-safety and
source coverage; the module's line and branch coverage checked against
tests/coverage_exceptions.txt), fuzz (build/fuzz) and the Windows builds
under Wine (build/windows-x86_64, build/windows-i686), then prints one
summary line.
As root on Debian it first installs every package the run needs.

Environment: RODAROVE_JOBS (parallel jobs, default 2), RODAROVE_FUZZ_SECONDS
(seconds per fuzzer, default 30), CI=true (a skipped suite fails the run,
unless its packages could not be installed from the package archive).
On a machine that cannot run 32-bit programs the 32-bit Windows suite is
built and checks its images, import library and zip without running them;
its other tests count as skipped, which CI allows.
One suite or one test: see docs/DEVELOPING.md.
USAGE
}
case ${1:-} in
  -h | --help) usage; exit 0 ;;
  "") ;;
  *) usage >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/setup.sh
# Every package of every suite, in one transaction, before anything else.
rodarove_setup build test fuzz windows-x86_64 windows-i686
for group in build test; do
  if [ -n "$(rodarove_missing_packages $(rodarove_group_packages $group))" ]; then
    echo "error: the packages the Linux build needs are missing" >&2
    exit 1
  fi
done
export RODAROVE_SETUP_DONE=1

jobs=${RODAROVE_JOBS:-2}
passed=0
failed=0
status=0

# count_results NAME OUTPUT RC [NOTE]: adds the ctest summary in OUTPUT to
# the totals; a failing RC without a counted failure counts as one. NOTE
# ends the suite's line.
count_results() {
  local name=$1 out=$2 rc=$3 note=${4:-} total bad
  total=$(echo "$out" | sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' | tail -1)
  bad=$(echo "$out" | sed -n 's/.*, \([0-9]*\) tests failed out of.*/\1/p' | tail -1)
  total=${total:-0}; bad=${bad:-0}
  [ "$rc" -ne 0 ] && [ "$bad" -eq 0 ] && bad=1
  passed=$((passed + total - bad)); failed=$((failed + bad))
  [ "$rc" -ne 0 ] && status=1
  echo "== $name: $((total - bad)) passed, $bad failed$note"
}

# run_suite NAME BUILD_DIR CTEST_ARGS -- CMAKE_ARGS...
run_suite() {
  local name=$1 dir=$2 ctest_args=$3 started=$SECONDS
  shift 4
  echo "== $name: configuring and building in $dir"
  if ! cmake -S . -B "$dir" -G "$RODAROVE_GENERATOR" "$@" >"$dir.configure.log" 2>&1; then
    mkdir -p "$dir"; cat "$dir.configure.log"; echo "== $name: configure FAILED"; status=1; failed=$((failed + 1)); return
  fi
  local targets=()
  if [ -n "$ctest_args" ]; then
    # Build only what the selected tests need.
    mapfile -t targets < <(ctest --test-dir "$dir" -N $ctest_args | sed -n 's/^ *Test *#[0-9]*: //p')
    targets=("${targets[@]/#/--target=}")
  fi
  if ! cmake --build "$dir" -j "$jobs" "${targets[@]}" >"$dir.build.log" 2>&1; then
    tail -50 "$dir.build.log"; echo "== $name: build FAILED"; status=1; failed=$((failed + 1)); return
  fi
  local built=$SECONDS
  echo "== $name: running tests"
  local out
  out=$(ctest --test-dir "$dir" -j "$jobs" --output-on-failure $ctest_args 2>&1)
  local rc=$?
  echo "$out" | tail -n 40
  count_results "$name" "$out" "$rc"
  echo "== $name: $((SECONDS - started)) s ($((built - started)) s to build, $((SECONDS - built)) s to test)"
}

mkdir -p build
# Optimised, with line tables only (-g1): enough for the sanitizers' and
# valgrind's reports to name files and lines, at a fraction of the cost of
# full debug information in compiling and linking.
# The sanitizer builds at -O1, which their instrumentation runs well at
# and which compiles the ASan build in about two thirds of -O2's time.
optimised=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
           "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
sanitized=("${optimised[@]/-O2/-O1}")
run_suite "linux" build/release "" -- "${optimised[@]}"
run_suite "asan+ubsan" build/asan "" -- "${sanitized[@]}" -DRODAROVE_SANITIZE=address,undefined
run_suite "tsan" build/tsan "-L concurrency" -- "${sanitized[@]}" -DRODAROVE_SANITIZE=thread

# The module's source coverage (scripts/coverage.sh): one clang build, in
# which every layer of the module is compiled with the thread-safety
# analysis as errors (the lock's rules as its annotations state them), the
# Linux suite run there, and the module's line and branch coverage held to
# its goals. Counted as the suite's tests and the coverage check.
skipped=()
started=$SECONDS
if command -v clang++-14 >/dev/null && command -v llvm-cov-14 >/dev/null; then
  cov_out=$(bash scripts/coverage.sh 2>&1)
  cov_rc=$?
  echo "$cov_out" | grep -v '^== coverage: [0-9]* s' | tail -n 60
  cov_total=$(echo "$cov_out" | sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' | tail -1)
  cov_bad=$(echo "$cov_out" | sed -n 's/.*, \([0-9]*\) tests failed out of.*/\1/p' | tail -1)
  cov_total=$((${cov_total:-0} + 1)); cov_bad=${cov_bad:-0}
  echo "$cov_out" | grep -q '^coverage: lines .*: passed$' || cov_bad=$((cov_bad + 1))
  [ "$cov_rc" -ne 0 ] && [ "$cov_bad" -eq 0 ] && cov_bad=1
  [ "$cov_rc" -ne 0 ] && status=1
  passed=$((passed + cov_total - cov_bad)); failed=$((failed + cov_bad))
  echo "== coverage: $((cov_total - cov_bad)) passed, $cov_bad failed"
  echo "$cov_out" | grep '^== coverage: [0-9]* s' ||
    echo "== coverage: $((SECONDS - started)) s"
else
  echo "== coverage: skipped (no clang++-14 or llvm-cov-14)"
  [ "${CI:-}" = true ] && { echo "== coverage: skipped, which CI does not allow"; status=1; failed=$((failed + 1)); }
fi

# Each fuzzer replays its corpus (every input that once found a fault is in
# it) and then fuzzes for a fixed time; two run at a time.
if [ -z "$(rodarove_missing_packages $(rodarove_group_packages fuzz))" ]; then
  run_suite "fuzz" build/fuzz "" -- -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DRODAROVE_BUILD_FUZZERS=ON -DRODAROVE_BUILD_TESTS=OFF \
    -DRODAROVE_FUZZ_SECONDS="${RODAROVE_FUZZ_SECONDS:-30}"
elif rodarove_unavailable fuzz; then
  echo "== fuzz: skipped: its packages could not be installed from the package archive"
  skipped+=("fuzz")
else
  echo "== fuzz: skipped (no clang and libFuzzer)"
  [ "${CI:-}" = true ] && { echo "== fuzz: skipped, which CI does not allow"; status=1; failed=$((failed + 1)); }
fi

# The Windows suite once for each architecture, each counted and timed on
# its own. Where the machine cannot run 32-bit programs the i686 suite runs
# the tests that start none, and the others count as skipped, which CI
# allows as it allows packages the archive cannot supply.
not_run=0
not_run_note=""
for arch in x86_64 i686; do
  echo "== windows-$arch: cross build under Wine"
  started=$SECONDS
  win_out=$(bash scripts/test-windows.sh "$arch" 2>&1)
  win_rc=$?
  echo "$win_out" | tail -n 40
  if echo "$win_out" | grep -q "suite skipped: its packages could not be installed from the package archive"; then
    echo "== windows-$arch: skipped: its packages could not be installed from the package archive"
    skipped+=("windows-$arch")
  elif echo "$win_out" | grep -q "suite skipped"; then
    [ "${CI:-}" = true ] && { echo "== windows-$arch: skipped, which CI does not allow"; status=1; failed=$((failed + 1)); }
  else
    no32=$(echo "$win_out" |
      sed -n 's/.* suite: \([0-9]*\) of [0-9]* tests skipped: this machine cannot run 32-bit programs$/\1/p')
    if [ -n "$no32" ]; then
      not_run=$((not_run + no32))
      not_run_note="skipped: $no32 tests of windows-$arch: this machine cannot run 32-bit programs"
      count_results "windows-$arch" "$win_out" "$win_rc" \
        ", $no32 skipped: this machine cannot run 32-bit programs"
    else
      count_results "windows-$arch" "$win_out" "$win_rc"
    fi
  fi
  echo "== windows-$arch: $((SECONDS - started)) s"
done

echo
[ -n "$not_run_note" ] && echo "$not_run_note"
total="total: $passed passed, $failed failed"
[ "$not_run" -gt 0 ] && total+=", $not_run skipped"
if [ ${#skipped[@]} -gt 0 ]; then
  echo "$total, skipped: ${skipped[*]} (packages could not be installed from the package archive)"
else
  echo "$total"
fi
exit $status
