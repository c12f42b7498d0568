#!/usr/bin/env bash
# Builds rodarove.dll, PavFact.dll, rodarove-host.exe and the whole test
# suite for Windows with MinGW-w64 and runs the tests with CTest under Wine,
# for each architecture named (default: both):
#
#   bash scripts/test-windows.sh [x86_64] [i686]
#
# Each architecture has its own build folder (build/windows-x86_64,
# build/windows-i686) with its own Wine prefix inside: a 64-bit prefix run
# by wine64, a 32-bit one run by Wine's 32-bit loader. When run as root on
# Debian the project's set-up step (scripts/setup.sh) installs the cross
# compilers and Wine first, the 32-bit side of Wine included. Without them
# it prints "Windows <arch> suite skipped: ..." and goes on with the next
# architecture; under CI=true a skip is a failure unless the packages could
# not be installed from the package archive. On a machine whose kernel
# refuses 32-bit programs the i686 suite runs only its tests labelled
# no-emulator, which start no Windows program, and says "Windows i686 suite:
# N of M tests skipped: this machine cannot run 32-bit programs". Exits
# non-zero when a build or a test fails.
#
# Environment: RODAROVE_WINDOWS_BUILD (build folder stem, "-<arch>" is
# appended), RODAROVE_JOBS, CI.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
stem=${RODAROVE_WINDOWS_BUILD:-$root/build/windows}
jobs=${RODAROVE_JOBS:-2}
status=0

arches=("$@")
[ ${#arches[@]} -eq 0 ] && arches=(x86_64 i686)

# mingw_prefix ARCH: the MinGW-w64 target triple.
mingw_prefix() { echo "$1-w64-mingw32"; }

find_cross_compiler() {
  local p
  p=$(mingw_prefix "$1")
  command -v "$p-g++-posix" || command -v "$p-g++" || true
}

# find_wine ARCH: the loader itself, not the wine wrapper, which picks a
# loader by guessing. 64-bit: wine64. 32-bit: Wine's 32-bit loader, which
# Debian's wine32:i386 installs as /usr/lib/wine/wine.
find_wine() {
  local w candidates
  if [ "$1" = x86_64 ]; then
    candidates=("$(command -v wine64 || true)" /usr/lib/wine/wine64 /usr/lib64/wine/wine64
                /opt/wine-stable/bin/wine64)
  else
    candidates=(/usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine /opt/wine-stable/bin/wine)
  fi
  for w in "${candidates[@]}"; do
    [ -n "$w" ] && [ -x "$w" ] && [ "$(elf_class "$w")" = "$(wanted_class "$1")" ] &&
      { echo "$w"; return; }
  done
}

# The ELF class byte of a file (01 32-bit, 02 64-bit) and the one ARCH needs.
elf_class() { od -An -tx1 -j4 -N1 "$(readlink -f "$1")" 2>/dev/null | tr -d ' '; }
wanted_class() { [ "$1" = x86_64 ] && echo 02 || echo 01; }

# skip ARCH REASON: says what is not run; a failure under CI unless set-up
# could not install the architecture's packages from the archive.
skip() {
  if rodarove_unavailable "windows-$1"; then
    echo "Windows $1 suite skipped: its packages could not be installed from the package archive"
    return
  fi
  echo "Windows $1 suite skipped: $2"
  [ "${CI:-}" = true ] && status=1
}

# missing ARCH: what ARCH lacks, empty when nothing.
missing() {
  [ -n "$(find_cross_compiler "$1")" ] ||
    { echo "no MinGW-w64 cross compiler (install $(compiler_package "$1"))"; return; }
  [ -n "$(find_wine "$1")" ] || { echo "no $(wine_need "$1")"; return; }
  [ -f /usr/src/googletest/CMakeLists.txt ] || { echo "no GoogleTest sources (install googletest)"; return; }
  # The Python the build picks (tests/windows/CMakeLists.txt): Debian's first.
  local python=/usr/bin/python3
  [ -x "$python" ] || python=python3
  "$python" -c 'import pefile' >/dev/null 2>&1 ||
    { echo "no pefile for $python (install python3-pefile)"; return; }
  command -v cmake >/dev/null 2>&1 || { echo "no cmake"; return; }
  command -v clang++ >/dev/null 2>&1 || { echo "no clang (install clang)"; return; }
  command -v lld-link >/dev/null 2>&1 || echo "no lld-link (install lld)"
}

compiler_package() { [ "$1" = x86_64 ] && echo g++-mingw-w64-x86-64-posix || echo g++-mingw-w64-i686-posix; }
wine_need() {
  if [ "$1" = x86_64 ]; then
    echo "64-bit Wine (install wine64)"
  else
    echo "32-bit Wine (as root: dpkg --add-architecture i386; apt-get update; apt-get install wine32:i386)"
  fi
}

# run_arch ARCH: configure, build and test one architecture.
run_arch() {
  local arch=$1 build="$stem-$1" wine why
  why=$(missing "$arch")
  [ -z "$why" ] || { skip "$arch" "$why"; return; }
  wine=$(find_wine "$arch")

  # Whether the kernel starts programs of this architecture at all: some
  # refuse every 32-bit x86 program although Wine's 32-bit side is
  # installed. Then everything is still built, and only the tests labelled
  # no-emulator run, which start no program of the target (the images, the
  # import library, the zip's contents). Any other failure of the loader is
  # a failure of the suite, which then runs whole.
  local runs=1 probe
  if [ "$arch" = i686 ]; then
    probe=$(rodarove_probe /lib/ld-linux.so.2 --version)
    case $? in
      0) ;;
      1) runs=0 ;;
      *) echo "== windows-$arch: the 32-bit loader failed:"; echo "$probe" | sed 's/^/  /'
         status=1 ;;
    esac
  fi

  # The optimisation of the Linux builds without their debug information,
  # which nothing reads under Wine and which doubles compile and link times.
  local flags="-O2 -DNDEBUG"
  local generator="Unix Makefiles"
  command -v ninja >/dev/null 2>&1 && generator=Ninja
  echo "== windows-$arch: configuring and building in $build"
  mkdir -p "$build"
  if ! cmake -S "$root" -B "$build" -G "$generator" \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake" \
      -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$flags" \
      -DCMAKE_CXX_FLAGS_RELEASE="$flags" >"$build/configure.log" 2>&1; then
    tail -50 "$build/configure.log"
    echo "== windows-$arch: configure FAILED"
    status=1
    return
  fi
  if ! cmake --build "$build" -j "$jobs" >"$build/build.log" 2>&1; then
    tail -50 "$build/build.log"
    echo "== windows-$arch: build FAILED"
    status=1
    return
  fi

  # What the DLLs export and import (dll_image_test checks it).
  local objdump dll dump exports imports
  objdump=$(command -v "$(mingw_prefix "$arch")-objdump" || true)
  if [ -n "$objdump" ]; then
    for dll in "$build/rodarove.dll" "$build/PavFact.dll"; do
      [ -f "$dll" ] || continue
      dump=$("$objdump" -p "$dll")
      exports=$(echo "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' | tr '\n' ' ')
      imports=$(echo "$dump" | sed -n 's/.*DLL Name: //p' | sort -u | tr '\n' ' ')
      echo "== windows-$arch: $(basename "$dll") exports: $exports| imports: $imports"
    done
  fi

  if [ "$runs" = 0 ]; then
    local all selected
    all=$(ctest --test-dir "$build" -N | sed -n 's/^Total Tests: //p')
    selected=$(ctest --test-dir "$build" -N -L '^no-emulator$' | sed -n 's/^Total Tests: //p')
    echo "== windows-$arch: running the tests that start no $arch program"
    (cd "$build" && ctest -j "$jobs" --output-on-failure --timeout 300 -L '^no-emulator$') ||
      status=1
    echo "Windows $arch suite: $((all - selected)) of $all tests skipped:" \
         "this machine cannot run 32-bit programs"
    return
  fi

  # The prefix lives in the build folder and is made for this architecture
  # by its own loader, after Wine's 32-bit side is in place: a prefix made
  # without it cannot start 32-bit programs. Wine's own diagnostics are off,
  # and it is told not to offer Mono or Gecko.
  local wineserver
  wineserver=$(command -v wineserver || echo "$(dirname "$wine")/wineserver")
  (
    export WINEPREFIX="$build/wineprefix"
    export WINEARCH=$([ "$arch" = x86_64 ] && echo win64 || echo win32)
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINELOADER="$wine"
    unset DISPLAY WAYLAND_DISPLAY
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "== windows-$arch: creating the Wine prefix in $WINEPREFIX"
      "$wine" wineboot -i >/dev/null 2>&1 </dev/null
      "$wineserver" -w
    fi
    # One server for the whole run instead of one per test; it ends by
    # itself a few seconds after the last test. Wine's own services start
    # with the first program and keep its output open until the server
    # ends; started here, they do not hold the first test (and a CTest
    # slot) open for the whole run.
    "$wineserver" -p10 >/dev/null 2>&1 </dev/null
    "$wine" wineboot >/dev/null 2>&1 </dev/null
    echo "== windows-$arch: running tests under $wine"
    (cd "$build" && ctest -j "$jobs" --output-on-failure --timeout 300)
    rc=$?
    "$wineserver" -w
    exit $rc
  ) || status=1
}

. scripts/setup.sh
# Set-up, unless the test command has done it already for every suite.
if [ -z "${RODAROVE_SETUP_DONE:-}" ]; then
  groups=()
  for arch in "${arches[@]}"; do groups+=("windows-$arch"); done
  rodarove_setup "${groups[@]}"
fi

for arch in "${arches[@]}"; do
  case $arch in
    x86_64 | i686) run_arch "$arch" ;;
    *) echo "unknown architecture '$arch' (x86_64 or i686)"; status=1 ;;
  esac
done
exit $status
