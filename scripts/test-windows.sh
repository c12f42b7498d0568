#!/usr/bin/env bash
# Builds rodarove.dll, PavFact.dll and the whole test suite for 64-bit
# Windows with MinGW-w64 in build/windows, and runs the tests with CTest
# under Wine. When run as root on Debian it installs the cross compiler and
# Wine first; without them it prints "Windows suite skipped: ..." and
# succeeds. Exits non-zero when the build or a test fails.
#
# Environment: RODAROVE_WINDOWS_BUILD (build folder), RODAROVE_JOBS.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${RODAROVE_WINDOWS_BUILD:-$root/build/windows}
jobs=${RODAROVE_JOBS:-2}
# clang and lld make a host with a Visual C++-compatible linker against the
# packaged import library (package_zip_test).
packages=(cmake g++-mingw-w64-x86-64-posix wine64 googletest clang lld)

skip() {
  echo "Windows suite skipped: $*"
  exit 0
}

find_cross_compiler() {
  command -v x86_64-w64-mingw32-g++-posix || command -v x86_64-w64-mingw32-g++ || true
}

# wine64 itself, not the wine wrapper: the wrapper prefers a 32-bit loader.
find_wine() {
  local w
  for w in "$(command -v wine64 || true)" /usr/lib/wine/wine64 /usr/lib64/wine/wine64 \
           /opt/wine-stable/bin/wine64 "$(command -v wine || true)"; do
    [ -n "$w" ] && [ -x "$w" ] && { echo "$w"; return; }
  done
}

cxx=$(find_cross_compiler)
wine=$(find_wine)
if [ -z "$cxx" ] || [ -z "$wine" ] || [ ! -f /usr/src/googletest/CMakeLists.txt ] ||
   ! command -v lld-link >/dev/null 2>&1 || ! command -v clang++ >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "== installing ${packages[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null 2>&1
    apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null 2>&1 ||
      echo "warning: could not install ${packages[*]}"
    cxx=$(find_cross_compiler)
    wine=$(find_wine)
  fi
fi
[ -n "$cxx" ] || skip "no MinGW-w64 cross compiler (install g++-mingw-w64-x86-64-posix)"
[ -n "$wine" ] || skip "no Wine (install wine64)"
[ -f /usr/src/googletest/CMakeLists.txt ] || skip "no GoogleTest sources (install googletest)"
command -v cmake >/dev/null 2>&1 || skip "no cmake"

if command -v ninja >/dev/null 2>&1; then generator=Ninja; else generator="Unix Makefiles"; fi

echo "== windows: configuring and building in $build"
mkdir -p "$build"
if ! cmake -S "$root" -B "$build" -G "$generator" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$build/configure.log" 2>&1; then
  tail -50 "$build/configure.log"
  echo "== windows: configure FAILED"
  exit 1
fi
if ! cmake --build "$build" -j "$jobs" >"$build/build.log" 2>&1; then
  tail -50 "$build/build.log"
  echo "== windows: build FAILED"
  exit 1
fi

# What the DLLs export and import (dll_image_test checks it).
objdump=$(command -v x86_64-w64-mingw32-objdump || true)
if [ -n "$objdump" ]; then
  for dll in "$build/rodarove.dll" "$build/PavFact.dll"; do
    [ -f "$dll" ] || continue
    dump=$("$objdump" -p "$dll")
    exports=$(echo "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' | tr '\n' ' ')
    imports=$(echo "$dump" | sed -n 's/.*DLL Name: //p' | sort -u | tr '\n' ' ')
    echo "== windows: $(basename "$dll") exports: $exports| imports: $imports"
  done
fi

# Wine's prefix lives in the build folder; its own diagnostics are off, and
# it is told not to offer Mono or Gecko.
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINELOADER="$wine"
unset DISPLAY WAYLAND_DISPLAY
wineserver=$(command -v wineserver || echo "$(dirname "$wine")/wineserver")
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== windows: creating the Wine prefix in $WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1 </dev/null
  "$wineserver" -w
fi
# One server for the whole run instead of one per test; it ends by itself
# a few seconds after the last test.
"$wineserver" -p10 >/dev/null 2>&1 </dev/null

echo "== windows: running tests under $wine"
(cd "$build" && ctest -j "$jobs" --output-on-failure --timeout 300)
rc=$?
"$wineserver" -w
exit $rc
