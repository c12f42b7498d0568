#!/usr/bin/env bash
# rodarove_probe (scripts/setup.sh), which decides whether the Windows
# i686 suite can start 32-bit programs here: a program that runs, one the
# kernel refuses to start on any machine, and programs that fail otherwise,
# which must never pass for refused.
#
#   bash setup_probe_test.sh PATH/TO/scripts/setup.sh
set -u
. "$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0

# expect WANTED PROGRAM [ARG...]: the probe answers WANTED.
expect() {
  local wanted=$1 out got
  shift
  out=$(rodarove_probe "$@")
  got=$?
  if [ "$got" -ne "$wanted" ]; then
    echo "FAILED: rodarove_probe $* answered $got, expected $wanted; it printed:"
    echo "$out"
    failures=$((failures + 1))
  fi
}

# An ELF executable for a machine number no kernel knows: execve fails
# with ENOEXEC, as for a 32-bit program on a kernel without 32-bit support.
{
  printf '\177ELF\002\001\001'
  head -c 9 /dev/zero
  printf '\002\000\357\276\001\000\000\000'
  head -c 40 /dev/zero
} >"$dir/foreign"
chmod +x "$dir/foreign"
printf 'not a program\n' >"$dir/plain"
printf '#!/bin/sh\necho "cannot execute binary file: Exec format error"\nexit 3\n' >"$dir/fails"
chmod +x "$dir/fails"

expect 0 /usr/bin/env true
expect 1 "$dir/foreign" --version
# Status 126 too, but from a permission, not from the kernel's format check.
expect 2 "$dir/plain"
expect 2 "$dir/fails"
expect 2 "$dir/missing"
# The loader the i686 suite probes either runs or is refused here.
if [ -e /lib/ld-linux.so.2 ]; then
  rodarove_probe /lib/ld-linux.so.2 --version >/dev/null
  case $? in
    0) echo "this machine runs 32-bit programs" ;;
    1) echo "this machine cannot run 32-bit programs" ;;
    *) echo "FAILED: the 32-bit loader neither ran nor was refused"; failures=$((failures + 1)) ;;
  esac
fi
[ "$failures" -eq 0 ] && echo "rodarove_probe: every case answered as expected"
exit $((failures > 0))
