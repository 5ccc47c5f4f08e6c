#!/usr/bin/env bash
# The GNU parallel example in 4 parts against one run of the same grid:
# the joined file must be the same byte for byte (magnitude and location
# error on the default network), the output's name with a blank in it.
set -euo pipefail
calc=$1
script=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
for mode in magnitude location-error; do
  "$calc" --mode "$mode" --output single.txt
  "$script" -p 4 -j 4 -c "$calc" -o "joined grid.txt" -- --mode "$mode"
  cmp single.txt "joined grid.txt"
  ! ls "joined grid.txt".part-* >/dev/null 2>&1 # the parts are gone
done
echo "joined = single run"
