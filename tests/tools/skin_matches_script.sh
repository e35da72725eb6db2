#!/usr/bin/env bash
# The committed skin sources are exactly what their script writes, so that nobody's hand edit is lost the
# next time the script runs.
#   skin_matches_script.sh SOURCE_DIR [SCRIPT SKIN_FOLDER]   (default: scripts/make-skin.py and skin)
set -euo pipefail
src="$1"
script="${2:-scripts/make-skin.py}"
skin="${3:-skin}"
out="$(mktemp -d)"
trap 'rm -rf "$out" "$out.diff"' EXIT
python3 "$src/$script" "$out" >/dev/null
if ! diff -r "$src/$skin" "$out" >"$out.diff" 2>&1; then
  echo "$skin/ differs from what $script writes (run it and commit the result):"
  cat "$out.diff"
  exit 1
fi
