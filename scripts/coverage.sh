#!/usr/bin/env bash
# The module's source coverage by its Linux suite, held to its goals.
#
# Builds build/coverage with clang and RODAROVE_COVERAGE=ON (the module's
# sources instrumented; the same build checks the lock's annotations, as
# every clang build does), runs every test there with each process's counts
# in build/coverage/profiles, merges them, and prints line and branch
# coverage per file of the module (module/, module/state/, factory/,
# component/, maptree/, arraytree/, platform/), per folder and in all
# (scripts/coverage_report.py). Fails when a test fails, when a line is not
# covered or fewer than 95% of the branch outcomes are taken, or when an
# entry of tests/coverage_exceptions.txt names nothing uncovered.
set -uo pipefail
usage() {
  cat <<'USAGE'
usage: bash scripts/coverage.sh [--uncovered] [--no-run]

Builds build/coverage (clang, source coverage), runs the Linux suite there,
and prints the module's line and branch coverage per file, checked against
the goals and tests/coverage_exceptions.txt.

  --uncovered  print instead what is neither covered nor excepted, as
               entries of tests/coverage_exceptions.txt (reasons empty)
  --no-run     use the counts of the last run (no build, no tests)

Environment: RODAROVE_JOBS (parallel jobs, default 2).
USAGE
}
uncovered=""
run=1
for arg; do
  case $arg in
    -h | --help) usage; exit 0 ;;
    --uncovered) uncovered=--uncovered ;;
    --no-run) run="" ;;
    *) usage >&2; exit 2 ;;
  esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/setup.sh
if [ -z "${RODAROVE_SETUP_DONE:-}" ]; then
  rodarove_setup build test fuzz >&2 || exit 1
fi

dir=build/coverage
jobs=${RODAROVE_JOBS:-2}
profiles=$dir/profiles
merged=$dir/coverage.profdata
export_file=$dir/coverage.json
show_file=$dir/coverage.show.txt
started=$SECONDS
status=0

if [ -n "$run" ]; then
  mkdir -p build
  echo "== coverage: configuring and building in $dir (clang, source coverage, -Wthread-safety)"
  # -O1 without debug information builds and runs the suite fastest here;
  # the counts are the front end's, the same at every level.
  if ! cmake -S . -B "$dir" -G "$RODAROVE_GENERATOR" -DCMAKE_BUILD_TYPE=Release \
         -DCMAKE_C_FLAGS_RELEASE=-O1 -DCMAKE_CXX_FLAGS_RELEASE=-O1 \
         -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DRODAROVE_COVERAGE=ON \
         >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"; echo "== coverage: configure FAILED"; exit 1
  fi
  if ! cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1; then
    tail -50 "$dir.build.log"; echo "== coverage: build FAILED"; exit 1
  fi
  built=$SECONDS
  echo "== coverage: running tests"
  rm -rf "$profiles" "$merged" "$export_file" "$show_file"
  mkdir -p "$profiles"
  # One file per process and instrumented binary (%p, %m), whose counters
  # are the file itself (%c): a process killed or ending in a library's
  # destructor keeps what it ran. Loading the module again in the same
  # process adds to its file.
  out=$(LLVM_PROFILE_FILE="$root/$profiles/%p-%m%c.profraw" \
        ctest --test-dir "$dir" -j "$jobs" --output-on-failure 2>&1)
  rc=$?
  echo "$out" | tail -n 40
  [ "$rc" -ne 0 ] && status=1
  tested=$SECONDS
elif [ ! -d "$profiles" ]; then
  echo "error: no counts in $profiles: run bash scripts/coverage.sh first" >&2
  exit 1
fi

# Every count file must be read: one that is not (a process that could not
# write its counts) fails the check, named with llvm-profdata's reason, as
# its counts are missing from the report.
if [ ! -f "$merged" ]; then
  llvm-profdata-14 merge -sparse --failure-mode=all -o "$merged" "$profiles"/*.profraw \
    2>"$dir.merge.log" || { cat "$dir.merge.log"; echo "== coverage: merge FAILED"; exit 1; }
  unreadable=$(grep -c "invalid instrumentation profile data" "$dir.merge.log")
  if [ "$unreadable" -gt 0 ]; then
    echo "== coverage: $unreadable of $(ls "$profiles" | wc -l) count files unreadable:"
    grep "invalid instrumentation profile data" "$dir.merge.log" | sed 's/^warning: /  /'
    status=1
  fi
  # Every binary that holds instrumented code: the module and the tests
  # that link its internals.
  objects=()
  while IFS= read -r f; do
    readelf -S "$f" 2>/dev/null | grep -q __llvm_covmap && objects+=(-object "$f")
  done < <(find "$dir" -path "$profiles" -prune -o -type f \( -perm -u+x -o -name '*.so*' \) -print)
  if ! llvm-cov-14 export -format=text -skip-functions -instr-profile "$merged" "${objects[@]}" \
         >"$export_file" ||
     ! llvm-cov-14 show -show-branches=count -instr-profile "$merged" "${objects[@]}" \
         >"$show_file"; then
    rm -f "$merged"; echo "== coverage: llvm-cov FAILED"; exit 1
  fi
fi

python3 scripts/coverage_report.py "$export_file" "$show_file" . tests/coverage_exceptions.txt \
  $uncovered || status=1
if [ -n "$run" ]; then
  echo "== coverage: $((SECONDS - started)) s ($((built - started)) s to build," \
       "$((tested - built)) s to test)"
fi
exit $status
