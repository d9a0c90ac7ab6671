#!/bin/sh
# SPDX-License-Identifier: MIT
# A library of src/ reaches the headers of the libraries it links and no others, so an include up
# a floor does not build. Given the include options one library is compiled with: each header of
# REACHABLE is found, each of UNREACHABLE is not.
# Usage: include_floors_test.sh COMPILER "REACHABLE..." "UNREACHABLE..." -IFOLDER...
#        include_floors_test.sh --relative SOURCE_ROOT   (no include of src/ climbs out of its
#        folder by "../", which would pass by the include roots)
set -u
if [ "${1:-}" = "--relative" ]; then
  found=$(cd "$2" && grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*\.\./' src)
  [ -z "$found" ] || { echo "includes that climb out of their folder:"; echo "$found"; exit 1; }
  exit 0
fi
compiler=$1
reachable=$2
unreachable=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
preprocess() {  # preprocess HEADER OPTION...: a file that includes it, as the library's sources would
  printf '#include "%s"\n' "$1" >"$work/probe.cpp"
  shift
  "$compiler" -std=c++20 -E "$@" "$work/probe.cpp" -o /dev/null 2>"$work/errors"
}
for header in $reachable; do
  if ! preprocess "$header" "$@"; then
    echo "not found, though its library is linked: $header"
    cat "$work/errors"
    failed=1
  fi
done
for header in $unreachable; do
  if preprocess "$header" "$@"; then
    echo "found, though it lies up a floor: $header"
    failed=1
  elif ! grep -qE "$header: No such file|'$header' file not found" "$work/errors"; then
    echo "refused for another reason than its place: $header"
    cat "$work/errors"
    failed=1
  fi
done
exit $failed
