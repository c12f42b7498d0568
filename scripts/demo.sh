#!/usr/bin/env bash
# Shows what the module does: installs what is missing (Debian, as root),
# configures and builds build/release, then runs the host program on the
# demo script and shows its output. Arguments are passed to the host, e.g.
#   bash scripts/demo.sh examples/side_by_side.txt
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/setup.sh
rodarove_setup build || exit 1

jobs=${RODAROVE_JOBS:-2}
mkdir -p build
echo "== configuring build/release"
if ! cmake -S . -B build/release -G "$RODAROVE_GENERATOR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    >build/release.configure.log 2>&1; then
  cat build/release.configure.log
  echo "== configure FAILED" >&2
  exit 1
fi
echo "== building the module, the stand-in factory and the host"
if ! cmake --build build/release -j "$jobs" --target rodarove-host >build/release.build.log 2>&1; then
  tail -50 build/release.build.log
  echo "== build FAILED" >&2
  exit 1
fi
if [ $# -eq 0 ]; then
  set -- examples/demo.txt
fi
echo "== build/release/rodarove-host $*"
echo
exec build/release/rodarove-host "$@" 2>&1
