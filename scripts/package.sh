#!/usr/bin/env bash
# Builds the release packages into dist/:
#   rodarove-VERSION-Linux-ARCH.tar.gz
#   librodarove1_VERSION_ARCH.deb, librodarove-dev_VERSION_ARCH.deb and
#     rodarove-host_VERSION_ARCH.deb (scripts/debian-packages.sh, from a
#     build for /usr)
#   rodarove-VERSION-win64.zip, rodarove-VERSION-win32.zip, ...: one for each
#     Windows toolchain file cmake/mingw-w64-*.cmake
# Each holds what `cmake --install` installs for its target (a .deb: one
# install component). Release builds without tests go to build/package/*.
# Installs what is missing when run as root on Debian. Exits non-zero when a
# package cannot be made.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/setup.sh

jobs=${RODAROVE_JOBS:-2}
windows_archs=()
for toolchain in cmake/mingw-w64-*.cmake; do
  [ -e "$toolchain" ] || continue
  arch=$(basename "$toolchain" .cmake)
  windows_archs+=("${arch#mingw-w64-}")
done
# dpkg-dev gives the .debs their dependencies (dpkg-shlibdeps).
rodarove_setup build package || exit 1

# package NAME BUILD_DIR CMAKE_ARGS...: configures and builds BUILD_DIR,
# runs cpack there and moves the packages into dist/.
package() {
  local name=$1 dir=$root/$2
  shift 2
  echo "== $name: building in $dir"
  mkdir -p "$dir"
  if ! cmake -S . -B "$dir" -G "$RODAROVE_GENERATOR" -DCMAKE_BUILD_TYPE=Release \
      -DRODAROVE_BUILD_TESTS=OFF "$@" >"$dir/configure.log" 2>&1; then
    cat "$dir/configure.log"; echo "== $name: configure FAILED" >&2; exit 1
  fi
  if ! cmake --build "$dir" -j "$jobs" >"$dir/build.log" 2>&1; then
    tail -50 "$dir/build.log"; echo "== $name: build FAILED" >&2; exit 1
  fi
  rm -rf "$dir/packages"
  if ! (cd "$dir" && cpack -B "$dir/packages") >"$dir/cpack.log" 2>&1; then
    cat "$dir/cpack.log"; echo "== $name: cpack FAILED" >&2; exit 1
  fi
  find "$dir/packages" -maxdepth 1 -type f \
    \( -name '*.tar.gz' -o -name '*.deb' -o -name '*.zip' \) -exec mv {} dist/ \;
}

rm -rf dist
mkdir -p dist
package linux build/package/linux
echo "== debian: building in $root/build/package/debian"
RODAROVE_GENERATOR=$RODAROVE_GENERATOR RODAROVE_JOBS=$jobs \
  bash scripts/debian-packages.sh build/package/debian dist
for arch in "${windows_archs[@]}"; do
  package "windows $arch" "build/package/windows-$arch" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake"
done
echo "== packages in dist/:"
ls -l dist
