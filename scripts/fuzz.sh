#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, AddressSanitizer+UBSan, in
# build/fuzz) and runs each for as long as asked:
#
#   bash scripts/fuzz.sh [-t SECONDS] [-j JOBS] [NAME...]
#
# NAME: ini_reader, ini_resolution, tree, host (default: all of them), run
# JOBS at a time (default 1) for SECONDS each (default 600). What a run finds
# is kept: new inputs in build/fuzz/fuzz/corpus/NAME, which the next run
# starts from, and every input that made a harness fail (crash, failed check,
# leak, timeout, out of memory) is copied into fuzz/corpus/NAME as
# "regression-..." so that every later run, and the test command, replays it;
# commit it with the fix. The log of each run is build/fuzz/NAME.log. Ends
# with one line per harness (executions, coverage, result); exit status 1
# when any harness failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/setup.sh

seconds=600
jobs=1
while getopts "t:j:" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    j) jobs=$OPTARG ;;
    *) echo "usage: bash scripts/fuzz.sh [-t SECONDS] [-j JOBS] [NAME...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
names=("$@")
[ ${#names[@]} -eq 0 ] && names=(ini_reader ini_resolution tree host)

rodarove_setup build fuzz || exit 1

dir=build/fuzz
mkdir -p build
echo "== building the fuzzers in $dir"
if ! cmake -S . -B "$dir" -G "$RODAROVE_GENERATOR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 -DRODAROVE_BUILD_FUZZERS=ON -DRODAROVE_BUILD_TESTS=OFF \
    >"$dir.configure.log" 2>&1 ||
   ! cmake --build "$dir" -j "${RODAROVE_JOBS:-2}" >"$dir.build.log" 2>&1; then
  tail -30 "$dir.configure.log" "$dir.build.log" 2>/dev/null
  echo "== build FAILED"
  exit 1
fi

# run NAME: one harness for $seconds; its findings become regression cases.
run() {
  local name=$1 exe="$dir/fuzz/${name}_fuzzer" log="$dir/$name.log" options findings f copy
  [ -x "$exe" ] || { echo "$name: no such fuzzer" >"$dir/$name.result"; return 1; }
  mapfile -t options <"$dir/fuzz/$name.options"
  "$exe" -max_total_time="$seconds" -print_final_stats=1 "${options[@]}" >"$log" 2>&1
  local rc=$?
  findings="$dir/fuzz/findings/$name"
  for f in "$findings"/crash-* "$findings"/leak-* "$findings"/timeout-* "$findings"/oom-*; do
    [ -f "$f" ] || continue
    copy="fuzz/corpus/$name/regression-$(basename "$f")"
    [ -f "$copy" ] || { cp "$f" "$copy"; echo "$name: kept $copy"; }
  done
  local runs cov
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
  if [ "$rc" -eq 0 ]; then
    echo "$name: ${runs:-?} executions, ${cov:-no coverage line}, clean" >"$dir/$name.result"
  else
    echo "$name: ${runs:-?} executions, ${cov:-no coverage line}, FAILED (see $log)" \
      >"$dir/$name.result"
  fi
  return $rc
}

echo "== running ${names[*]} for ${seconds}s each, $jobs at a time"
status=0
pids=()
for name in "${names[@]}"; do
  run "$name" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$jobs" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
for name in "${names[@]}"; do cat "$dir/$name.result"; done
exit $status
