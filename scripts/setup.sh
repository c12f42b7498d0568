# Sourced by the project's scripts: makes sure the Debian packages named in
# RODAROVE_PACKAGES are installed, installing the missing ones when running
# as root with apt-get, and picks the CMake generator.
rodarove_missing_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  echo "${missing[@]:-}"
}

rodarove_ensure_packages() {
  local missing
  missing=$(rodarove_missing_packages "$@")
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "== installing: $missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null && apt-get install -y -qq $missing >/dev/null || {
      echo "error: could not install $missing" >&2
      return 1
    }
  else
    echo "error: missing packages: $missing (install them, or run as root on Debian)" >&2
    return 1
  fi
}

if command -v ninja >/dev/null 2>&1; then
  RODAROVE_GENERATOR=Ninja
else
  RODAROVE_GENERATOR="Unix Makefiles"
fi
