# Sourced by the project's scripts. The one set-up step: every Debian
# package a command needs, installed in one apt transaction before the
# command does anything else, and the CMake generator.
#
#   . scripts/setup.sh
#   rodarove_setup GROUP...        # build, test, fuzz, bench, package,
#                                  # windows-x86_64, windows-i686
#
# As root on Debian it installs what is missing: it adds the i386
# architecture when windows-i686 is asked for, runs apt-get update (a
# failure there is reported, not fatal: one index out of step must not stop
# the rest), installs everything in one transaction and, when that fails,
# tries again with the release's own archive as target (-t CODENAME), which
# the security archive's i386 index being out of step calls for. A fallback
# that would remove an installed package is not run. When the whole set
# still cannot be installed, each group is tried on its own, so that what
# can be installed is.
#
# Afterwards RODAROVE_UNAVAILABLE holds the groups whose packages apt could
# not install from the archive (exported, so that the scripts this one runs
# see it); a suite may be skipped for those and for nothing else. Returns 1
# when a group is still missing packages.

# The packages of each group.
rodarove_group_packages() {
  case $1 in
    build) echo cmake g++ ninja-build pkg-config libedit-dev ;;
    # lintian checks the .debs; llvm-14 reads the coverage of the module;
    # valgrind runs the hand-over check under DRD.
    test) echo libgtest-dev googletest python3 binutils dpkg-dev lintian llvm-14 valgrind ;;
    fuzz) echo clang-14 libfuzzer-14-dev libclang-rt-14-dev ;;
    bench) echo libbenchmark-dev ;;
    package) echo dpkg-dev g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix ;;
    # clang and lld build a host with the Visual C++-compatible linker
    # against the packaged import library; python3-pefile reads the version
    # resources from the files, without running Windows code.
    windows-x86_64) echo cmake googletest clang lld python3-pefile g++-mingw-w64-x86-64-posix wine64 ;;
    windows-i686) echo cmake googletest clang lld python3-pefile g++-mingw-w64-i686-posix wine64 wine32:i386 ;;
    *) echo "rodarove_setup: unknown group '$1'" >&2; return 1 ;;
  esac
}

# The packages among the arguments that are not installed.
rodarove_missing_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  echo "${missing[@]:-}"
}

# rodarove_apt_install LOG [-t CODENAME] PACKAGE...: one transaction, its
# output in LOG. With a target release the transaction is first simulated
# and refused when it would remove a package.
rodarove_apt_install() {
  local log=$1
  shift
  if [ "$1" = -t ]; then
    if apt-get install -s --no-install-recommends "$@" >"$log" 2>&1 && grep -q '^Remv ' "$log"; then
      echo "E: not run, it would remove: $(sed -n 's/^Remv \([^ ]*\).*/\1/p' "$log" | tr '\n' ' ')" >>"$log"
      return 1
    fi
  fi
  apt-get install -y -q --no-install-recommends "$@" >"$log" 2>&1
}

# rodarove_try_install LOG PACKAGE...: as the archive allows, default
# target first, then the release's own archive.
rodarove_try_install() {
  local log=$1 extra=()
  shift
  rodarove_apt_install "$log" "$@" && return 0
  [ -n "${RODAROVE_CODENAME:-}" ] || return 1
  # The fallback names the 32-bit GStreamer library that Wine needs, which
  # apt does not find by itself with a target release.
  case " $* " in *" wine32:i386 "*) extra=(libgstreamer-plugins-base1.0-0:i386) ;; esac
  echo "== set-up: trying again with -t $RODAROVE_CODENAME"
  rodarove_apt_install "$log.t" -t "$RODAROVE_CODENAME" "$@" "${extra[@]}" && return 0
  cat "$log.t" >>"$log"
  return 1
}

rodarove_setup() {
  local groups=("$@") group packages=() missing started=$SECONDS unavailable=() i386=0 p
  for group in "${groups[@]}"; do
    packages+=($(rodarove_group_packages "$group")) || return 1
    [ "$group" = windows-i686 ] && i386=1
  done
  missing=$(rodarove_missing_packages $(printf '%s\n' "${packages[@]}" | sort -u))
  if [ -n "$missing" ] && { [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null 2>&1; }; then
    # Nothing is installed, and nothing counts as unavailable from the
    # archive: the suites that need these packages fail as skipped.
    echo "error: missing packages: $missing (install them, or run as root on Debian)" >&2
    RODAROVE_UNAVAILABLE=""
    export RODAROVE_UNAVAILABLE
    rodarove_pick_generator
    return 1
  fi
  if [ -n "$missing" ]; then
    export DEBIAN_FRONTEND=noninteractive
    RODAROVE_CODENAME=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
    local logs
    logs=$(mktemp -d)
    if [ "$i386" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
      echo "== set-up: adding the i386 architecture for Wine's 32-bit side"
      dpkg --add-architecture i386
    fi
    echo "== set-up: installing $missing"
    if ! apt-get update -q >"$logs/update" 2>&1; then
      echo "warning: apt-get update failed; going on with the indexes apt has:"
      grep -E '^(E|W): ' "$logs/update" | sed 's/^/  /'
    fi
    if ! rodarove_try_install "$logs/all" $missing; then
      echo "warning: the packages could not be installed in one transaction; trying each group"
      for group in "${groups[@]}"; do
        missing=$(rodarove_missing_packages $(rodarove_group_packages "$group"))
        [ -z "$missing" ] && continue
        if ! rodarove_try_install "$logs/$group" $missing; then
          echo "warning: $group: apt could not install $missing:"
          grep -E '^(E: |  |The following packages have unmet)' "$logs/$group" | sort -u | sed 's/^/  /'
        fi
      done
    fi
    rm -rf "$logs"
  fi
  for group in "${groups[@]}"; do
    missing=$(rodarove_missing_packages $(rodarove_group_packages "$group"))
    [ -n "$missing" ] && unavailable+=("$group")
  done
  # Both Wine loaders and both cross compilers, when asked for.
  for group in "${groups[@]}"; do
    rodarove_unavailable_in "$group" "${unavailable[@]:-}" && continue
    case $group in
      windows-x86_64) p="x86_64-w64-mingw32-g++-posix wine64|/usr/lib/wine/wine64" ;;
      windows-i686) p="i686-w64-mingw32-g++-posix /usr/lib/wine/wine" ;;
      *) continue ;;
    esac
    for p in $p; do
      rodarove_have "$p" ||
        { echo "error: $group: no ${p//|/ or } although its packages are installed" >&2; return 1; }
    done
  done
  RODAROVE_UNAVAILABLE="${unavailable[*]:-}"
  export RODAROVE_UNAVAILABLE
  echo "== set-up: $((SECONDS - started)) s${RODAROVE_UNAVAILABLE:+; could not be installed from the archive: $RODAROVE_UNAVAILABLE}"
  rodarove_pick_generator
  [ -z "$RODAROVE_UNAVAILABLE" ]
}

# rodarove_have A|B...: one of the commands or executable files is there.
rodarove_have() {
  local alt
  for alt in ${1//|/ }; do
    command -v "$alt" >/dev/null 2>&1 && return 0
    [ -x "$alt" ] && return 0
  done
  return 1
}

# rodarove_probe PROGRAM [ARG...]: whether this machine runs PROGRAM, run
# with ARGs in the C locale. Returns 0 when it ran and exited 0, 1 when the
# kernel refused to start it ("Exec format error": a kind of program this
# machine cannot run, such as 32-bit x86 on a kernel without that support),
# and 2 on any other failure, after printing what it printed and its status.
rodarove_probe() {
  local out rc
  out=$(export LC_ALL=C; "$@" 2>&1 </dev/null)
  rc=$?
  [ "$rc" -eq 0 ] && return 0
  # bash's own words when execve fails with ENOEXEC on a binary file.
  if [ "$rc" -eq 126 ] && [[ $out == *": cannot execute binary file: Exec format error" ]]; then
    return 1
  fi
  printf '%s\n(exit status %s)\n' "$out" "$rc"
  return 2
}

rodarove_unavailable_in() {
  local group=$1 g
  shift
  for g; do [ "$g" = "$group" ] && return 0; done
  return 1
}

# rodarove_unavailable GROUP: 0 when set-up could not install GROUP's
# packages from the archive.
rodarove_unavailable() {
  rodarove_unavailable_in "$1" ${RODAROVE_UNAVAILABLE:-}
}

rodarove_pick_generator() {
  if command -v ninja >/dev/null 2>&1; then
    RODAROVE_GENERATOR=Ninja
  else
    RODAROVE_GENERATOR="Unix Makefiles"
  fi
}
rodarove_pick_generator
