#!/usr/bin/env bash
# The committed skin sources are exactly what scripts/make-skin.py writes, so that nobody's hand edit is
# lost the next time the script runs.
set -euo pipefail
src="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
python3 "$src/scripts/make-skin.py" "$out" >/dev/null
if ! diff -r "$src/skin" "$out" >"$out.diff" 2>&1; then
  echo "skin/ differs from what scripts/make-skin.py writes (run it and commit the result):"
  cat "$out.diff"
  rm -f "$out.diff"
  exit 1
fi
rm -f "$out.diff"
