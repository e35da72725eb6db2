#!/usr/bin/env bash
# The main job: builds the updater, makes a demo device from demo/ and runs the updater on it (a
# window when a display is there, headless otherwise), then prints the outcome, the device's journal
# and where the screenshots and the log are.
#   APP=nvq ./run.sh          a main-navigation unit (progress only, calibration and reset)
#   SCREEN=480x272 ./run.sh   another screen size (800x480, 480x272, 320x240)
#   BACKEND=headless ./run.sh no window even when a display is there
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja >/dev/null
fi
cmake --build build -j "${JOBS:-2}" --target travlek travlek-device msktool

device=demo-device
app=${APP:-gps}
screen=${SCREEN:-800x480}
backend=${BACKEND:-}
if [ -z "$backend" ]; then
  if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then backend=sdl; else backend=headless; fi
fi
rm -rf "$device"
# The demo device is signed like a maker's unit, with a throwaway demo key pair made anew on every run
# (never a real maker's key: it lives in the build folder only and signs nothing else).
keys=build/demo-keys
mkdir -p "$keys"
build/bin/msktool keygen "$keys/demo-only.key" "$keys/demo-only.pub" --force >/dev/null
echo "== making the demo device ($app unit, $screen) from demo/app, signed with the demo key $keys/demo-only.pub"
build/bin/travlek-device init "$device" --app "$app" --screen "$screen" --package demo/app \
  --sign-key "$keys/demo-only.key"

shots="$device/shots"
mkdir -p "$shots"
args=(--device "$device" --backend "$backend" --shot "$shots/exit.png")
if [ "$backend" = headless ]; then
  # The virtual clock runs the whole update at once: one picture before it starts, one at the end.
  cat >"$shots/script.txt" <<'SCRIPT'
wait 5
shot start.png
dump start-layers.txt
SCRIPT
  args+=(--script "$shots/script.txt")
fi
echo "== running the updater ($backend)"
status=0
build/bin/travlek "${args[@]}" || status=$?

journal="$device/.wince/journal.log"
echo "== journal ($journal)"
[ -f "$journal" ] && cat "$journal" || echo "(empty)"
echo "== outcome"
if [ "$status" -ne 0 ]; then
  echo "travlek exited with $status"
elif grep -q 'TRAVLEK_FINISHED 1' "$journal" 2>/dev/null; then
  echo "update succeeded; installed tree:"
  (cd "$device" && find Residentflash2 -maxdepth 3 | sort | head -40)
elif grep -q 'TRAVLEK_FINISHED 0' "$journal" 2>/dev/null; then
  echo "update failed (see the message box in the screenshots and the log)"
else
  echo "no update run finished"
fi
log=$(ls "$device"/Program/*.wceuilog 2>/dev/null | head -1 || true)
echo "== screenshots: $shots/"
ls "$shots"
echo "== log: ${log:-none (nothing was logged)}"
if [ -n "$log" ]; then
  iconv -f UTF-16LE -t UTF-8 "$log" | tail -n 15
fi
