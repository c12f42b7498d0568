#!/usr/bin/env bash
# Builds the Debian packages of this source tree:
#
#   bash scripts/debian-packages.sh BUILD_DIR OUT_DIR
#
# configures BUILD_DIR for the prefix /usr (so that GNUInstallDirs puts the
# library in the multiarch folder, lib/x86_64-linux-gnu on amd64) with
# Debian's build flags (dpkg-buildflags), builds it without tests, and
# writes into OUT_DIR, each holding what `cmake --install --component`
# installs for it:
#
#   librodarove1_V_ARCH.deb     component runtime: librodarove.so.1 and the
#                               library, with shlibs and an ldconfig
#                               trigger
#   librodarove-dev_V_ARCH.deb  component dev: headers, librodarove.so, the
#                               CMake package, the .pc file
#   rodarove-host_V_ARCH.deb    component host: the host program and its
#                               manual page
#
# and in each /usr/share/doc/PACKAGE/copyright (Debian's machine-readable
# format, the license text taken from LICENSE) and changelog.gz (the
# released versions of CHANGELOG.md in Debian's changelog format). Needs
# cmake, a C++ compiler, dpkg-dev and gzip. RODAROVE_GENERATOR and
# RODAROVE_JOBS choose the CMake generator and the parallel jobs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -ne 2 ]; then
  echo "usage: bash scripts/debian-packages.sh BUILD_DIR OUT_DIR" >&2
  exit 2
fi
build=$(mkdir -p "$1" && cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
for tool in cmake dpkg-deb dpkg-shlibdeps dpkg-buildflags gzip md5sum strip; do
  command -v "$tool" >/dev/null || { echo "error: $tool is missing (dpkg-dev?)" >&2; exit 1; }
done

# The one contact of every package and changelog entry.
maintainer="The rodarove developers <rodarove-devel@example.org>"
generator=${RODAROVE_GENERATOR:-$(command -v ninja >/dev/null && echo Ninja || echo "Unix Makefiles")}

echo "== configuring $build for /usr"
# Debian's build flags, with every hardening option (bindnow too), and the
# build path kept out of the binaries.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { (cd "$root" && dpkg-buildflags --get "$1"); }
cppflags=$(flags CPPFLAGS)
ldflags=$(flags LDFLAGS)
if ! cmake -S "$root" -B "$build" -G "$generator" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX=/usr -DRODAROVE_BUILD_TESTS=OFF \
    -DCMAKE_C_FLAGS="$(flags CFLAGS) $cppflags" -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $cppflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
    >"$build.configure.log" 2>&1; then
  cat "$build.configure.log" >&2; echo "== configure FAILED" >&2; exit 1
fi
echo "== building"
if ! cmake --build "$build" -j "${RODAROVE_JOBS:-2}" >"$build.build.log" 2>&1; then
  tail -50 "$build.build.log" >&2; echo "== build FAILED" >&2; exit 1
fi

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache_value CMAKE_PROJECT_VERSION)
major=${version%%.*}
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir=$(cache_value CMAKE_INSTALL_LIBDIR)
if [ "$libdir" != "lib/$multiarch" ]; then
  echo "error: $build installs libraries into $libdir, not lib/$multiarch" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The copyright file: the license as in LICENSE, from its first paragraph
# on, each line indented and each empty line a lone dot.
copyright() {
  cat <<EOF
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: rodarove
Upstream-Contact: $maintainer

Files: *
Copyright: 2026 The rodarove developers
License: Expat
EOF
  sed -n '/^Permission/,$p' "$root/LICENSE" | sed 's/^$/./; s/^/ /'
}

# The changelog: one entry per released version of CHANGELOG.md ("## V -
# DATE" and its "- " items), in Debian's format.
debian_changelog() {
  awk -v maintainer="$maintainer" '
    function close_entry() {
      if (open) {
        ("date -u -R -d " date) | getline stamp
        printf "\n -- %s  %s\n\n", maintainer, stamp
      }
      open = 0
    }
    /^## [0-9]/ {
      close_entry()
      version = $2; date = $4; open = 1
      printf "rodarove (%s) unstable; urgency=medium\n\n", version
      next
    }
    /^## / { close_entry(); next }
    open && /^- / { printf "  * %s\n", substr($0, 3); next }
    open && /^  [^ ]/ { printf "    %s\n", substr($0, 3); next }
    END { close_entry() }
  ' "$root/CHANGELOG.md"
}

# stage PACKAGE COMPONENT: what the component installs, under $work/PACKAGE,
# stripped as Debian strips (no symbols a program does not need, no
# .comment or .note sections), with the documentation files and Debian's
# permissions.
stage() {
  local pkg=$1 dir=$work/$1 file
  DESTDIR=$dir cmake --install "$build" --component "$2" >/dev/null
  while IFS= read -r file; do
    case $file in
      *.so.*) strip --remove-section=.comment --remove-section=.note --strip-unneeded "$file" ;;
      *) strip --remove-section=.comment --remove-section=.note "$file" ;;
    esac
  done < <(find "$dir" -type f \( -path '*/bin/*' -o -name '*.so.*' \))
  mkdir -p "$dir/usr/share/doc/$pkg" "$dir/DEBIAN"
  copyright >"$dir/usr/share/doc/$pkg/copyright"
  debian_changelog | gzip -9n >"$dir/usr/share/doc/$pkg/changelog.gz"
  find "$dir" -type d -exec chmod 0755 {} +
  find "$dir" -type f -exec chmod 0644 {} +
  if [ -d "$dir/usr/bin" ]; then find "$dir/usr/bin" -type f -exec chmod 0755 {} +; fi
}

# shlib_depends PACKAGE: the Depends that dpkg-shlibdeps finds for the ELF
# files of a staged package.
shlib_depends() {
  local dir=$work/$1 files
  mapfile -t files < <(find "$dir/usr" -type f \( -path '*/bin/*' -o -name '*.so.*' \))
  mkdir -p "$work/shlibdeps/debian"
  printf 'Source: rodarove\n\nPackage: %s\nArchitecture: any\n' "$1" \
    >"$work/shlibdeps/debian/control"
  local found
  if ! found=$(cd "$work/shlibdeps" && dpkg-shlibdeps -O -x"$runtime" "${files[@]}" 2>"$work/shlibdeps.log"); then
    cat "$work/shlibdeps.log" >&2
    return 1
  fi
  echo "$found" | sed -n 's/^shlibs:Depends=//p'
}

# override PACKAGE LINE...: the lintian overrides of a staged package, each
# with the reason in a comment line before it.
override() {
  local file=$work/$1/usr/share/lintian/overrides/$1
  shift
  mkdir -p "$(dirname "$file")"
  printf '%s\n' "$@" >>"$file"
  chmod 0755 "$(dirname "$file")"
  chmod 0644 "$file"
}

# finish PACKAGE SECTION MULTIARCH DEPENDS SUMMARY TEXT: the control file
# and md5sums of a staged package, then the .deb.
finish() {
  local pkg=$1 dir=$work/$1
  {
    echo "Package: $pkg"
    echo "Source: rodarove"
    echo "Version: $version"
    echo "Architecture: $arch"
    echo "Maintainer: $maintainer"
    echo "Installed-Size: $(du -sk --exclude=DEBIAN "$dir" | cut -f1)"
    echo "Depends: $4"
    echo "Section: $2"
    echo "Priority: optional"
    echo "Multi-Arch: $3"
    echo "Description: $5"
    echo " rodarove is a component module: a library that a host component"
    echo " framework loads to obtain component objects by number. It offers two"
    echo " tree containers over integer node IDs through one interface of"
    echo " numbered slots."
    echo " ."
    echo "$6" | sed 's/^/ /'
  } >"$dir/DEBIAN/control"
  (cd "$dir" && find usr -type f | LC_ALL=C sort | xargs md5sum) >"$dir/DEBIAN/md5sums"
  chmod 0644 "$dir"/DEBIAN/*
  dpkg-deb --root-owner-group -Zxz --build "$dir" "$out/${pkg}_${version}_${arch}.deb" >/dev/null
  echo "== $out/${pkg}_${version}_${arch}.deb"
}

runtime=librodarove$major
stage "$runtime" runtime
# A host built against this version may use any slot it has: it needs at
# least this version.
echo "librodarove $major $runtime (>= $version)" >"$work/$runtime/DEBIAN/shlibs"
echo "activate-noawait ldconfig" >"$work/$runtime/DEBIAN/triggers"
override "$runtime" \
  "# A minor version adds slots to the components' table, not symbols: a" \
  "# symbols file would let hosts depend on too old a version." \
  "$runtime: no-symbols-control-file usr/lib/$multiarch/librodarove.so.$version"
depends=$(shlib_depends "$runtime")
finish "$runtime" libs same "$depends" \
  "tree container component module (library)" \
  "This package holds the shared library librodarove.so.$major."

stage librodarove-dev dev
finish librodarove-dev libdevel same "$runtime (= $version)" \
  "tree container component module (development files)" \
  "This package holds what hosts are built with: the C and C++ headers,
the link librodarove.so, the CMake package (find_package(rodarove)) and
the pkg-config file."

stage rodarove-host host
# The host loads the library by its path at run time, so dpkg-shlibdeps
# does not see that it needs it.
depends=$(shlib_depends rodarove-host)
finish rodarove-host utils foreign "$depends, $runtime (= $version)" \
  "host program for the rodarove tree container module" \
  "rodarove-host loads the module and runs a small command language, from a
script or at a prompt: every slot and export has a command, results say
what they mean, and trees can be drawn, saved and loaded."
