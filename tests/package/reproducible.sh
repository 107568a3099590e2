#!/usr/bin/env bash
# Two ./tools/package runs on clean clones of this commit, in folders of
# different names, give the same zip, byte for byte. Ends with
# "reproducible: N passed, N failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/qv-reproducible.XXXXXX)
sums=()
for clone in first a-second-clone-elsewhere; do
  git clone -q "$root" "$work/$clone" || { echo "reproducible: 0 passed, 1 failed"; exit 1; }
  (cd "$work/$clone" && git checkout -q "$(git -C "$root" rev-parse HEAD)" && ./tools/package) >"$work/$clone.log" 2>&1
  sums+=("$(sed -n 's/^SHA-256 //p' "$work/$clone.log")")
  echo "$clone: ${sums[-1]:-no zip (see $work/$clone.log)}"
done
if [ -n "${sums[0]}" ] && [ "${sums[0]}" = "${sums[1]}" ]; then
  echo "PASS two clean clones package to the same zip"
  echo "reproducible: 1 passed, 0 failed"
  rm -rf "$work"
else
  echo "FAIL the two zips differ (kept in $work)"
  echo "reproducible: 0 passed, 1 failed"
fi
