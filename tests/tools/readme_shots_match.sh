#!/usr/bin/env bash
# The README's screenshots are what the programs draw today: the shots are taken again into a fresh
# folder and compared pixel for pixel (both sides decoded to BMP, so the PNG encoder does not matter).
#   readme_shots_match.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src="$1"
build="$2"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
"$src/scripts/readme-shots.sh" "$build" "$out/now" >/dev/null
failed=0
for png in main progress msgbox gallery; do
  "$build/bin/bmptool" convert "$src/docs/$png.png" "$out/$png.committed.bmp" --format 32 >/dev/null
  "$build/bin/bmptool" convert "$out/now/$png.png" "$out/$png.now.bmp" --format 32 >/dev/null
  if ! cmp -s "$out/$png.committed.bmp" "$out/$png.now.bmp"; then
    echo "docs/$png.png is not what the program draws now (run scripts/readme-shots.sh, look, commit)"
    failed=1
  fi
done
exit $failed
