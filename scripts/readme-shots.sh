#!/usr/bin/env bash
# The README's screenshots, taken from the real updater on device folders made by travlek-device
# (800x480, headless): the main dialog before its update starts, the dialog once the update has
# unpacked everything (the progress at its end), and the message box of a package under the wrong
# password. Writes docs/main.png, docs/progress.png and docs/msgbox.png, and docs/gallery.png: the
# widget gallery with a city picked, the slider moved and the single-line box being typed into.
#   scripts/readme-shots.sh [BUILD_DIR [OUT_DIR]]   (default build and docs; the tools must be built)
# A test runs it into a fresh folder and compares, so the committed pictures stay the program's own.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
travlek=$build/bin/travlek
device_tool=$build/bin/travlek-device
msktool=$build/bin/msktool
gallery=$build/bin/wceui-gallery
for tool in "$travlek" "$device_tool" "$msktool" "$gallery"; do
  [ -x "$tool" ] || { echo "missing $tool (build first)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=${2:-docs}
mkdir -p "$out"
out=$(cd "$out" && pwd)

# run EXPECTED_STATUS DEVICE SCRIPT [travlek options]: travlek's exit status says how the run ended
# (0 updated, 3 the update failed, 4 no update ran).
run() {
  local want=$1 dev=$2 script=$3 status=0
  shift 3
  printf '%s\n' "$script" >"$work/script.txt"
  "$travlek" --backend headless --device "$dev" --screen 800x480 --script "$work/script.txt" "$@" >/dev/null ||
    status=$?
  [ "$status" -eq "$want" ] || { echo "travlek on $dev exited with $status, not $want" >&2; exit 1; }
}

# The main dialog: the package listed, taken before the update starts by itself.
"$device_tool" init "$work/main" --package demo/app >/dev/null
run 4 "$work/main" "wait 5
shot $out/main.png
quit"

# The update to its end: the headless clock runs it at once, so the picture is the one at exit.
"$device_tool" init "$work/progress" --package demo/app >/dev/null
run 0 "$work/progress" "wait 5" --shot "$out/progress.png"
grep -q 'TRAVLEK_FINISHED 1' "$work/progress/.wince/journal.log" || { echo "the update failed" >&2; exit 1; }

# A package under the other unit's password: the unpacker's message in a box.
"$device_tool" init "$work/box" --package demo/app >/dev/null
"$msktool" create "$work/box/SDMMC/gpsApp.msk" demo/app --password nvq --root app >/dev/null
run 3 "$work/box" "wait 500
shot $out/msgbox.png
quit"
# The gallery, used a little: its own device folder keeps its runtime files out of the way.
mkdir -p "$work/gallery"
printf '%s\n' "wait 20" "drag 154 180 230 180 300" "wait 50" "tap 520 209" "wait 300" "tap 360 276" \
  "wait 20" "text  and Babbage" "wait 20" "shot $out/gallery.png" "quit" >"$work/gallery.txt"
"$gallery" --backend headless --device "$work/gallery" --screen 800x480 --script "$work/gallery.txt"
ls -l "$out"/main.png "$out"/progress.png "$out"/msgbox.png "$out"/gallery.png
