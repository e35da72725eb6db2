#!/usr/bin/env bash
# The main job: builds the updater, makes a demo device from demo/ and runs the updater on it (a
# window when a display is there, headless otherwise), then prints the outcome, the device's journal
# and where the screenshots and the log are. In a window the updater's last screen stays up until
# the window is closed.
#   APP=nvq ./run.sh          a main-navigation unit (progress only, calibration and reset; it ends
#                             on the message box "Update application OK": press OK in a window)
#   SCREEN=480x272 ./run.sh   another screen size (800x480, 480x272, 320x240)
#   BACKEND=headless ./run.sh no window even when a display is there
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
# A build folder configured from another checkout (the repository was moved or copied) is made again.
home=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' build/CMakeCache.txt 2>/dev/null || true)
if [ -n "$home" ] && [ "$(cd "$home" 2>/dev/null && pwd -P)" != "$(pwd -P)" ]; then
  echo "== build/ was configured for another checkout; configuring it again"
  rm -rf build/CMakeCache.txt build/CMakeFiles
fi
if [ ! -f build/build.ninja ] || [ ! -f build/CMakeCache.txt ]; then
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
result="$shots/result.json"
args=(--device "$device" --backend "$backend" --shots "$shots" --shot "$shots/exit.png" --result "$result")
if [ "$backend" = headless ]; then
  # The virtual clock runs the whole update at once: the layers before it starts, and the pictures
  # --shots takes at its start, half way and at its end.
  cat >"$shots/script.txt" <<'SCRIPT'
wait 5
dump start-layers.txt
SCRIPT
  args+=(--script "$shots/script.txt")
else
  args+=(--hold)
  echo "== the updater's window stays up at the end: close it to go on"
fi
if [ "$app" = nvq ]; then
  echo "== an nvq unit shows only the progress, calibrates, and ends on the message box \"Update"
  echo "   application OK, please remove SD card.\": in a window press OK (the unit then resets);"
  echo "   headless, the box closes when the run has nothing left to do"
fi
echo "== running the updater ($backend)"
# travlek runs in the background so that an interrupt of this script stops it too.
build/bin/travlek "${args[@]}" &
travlek=$!
stop_travlek() {
  # A window may take a moment to close; one that does not is killed.
  kill "$travlek" 2>/dev/null || return 0
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    kill -0 "$travlek" 2>/dev/null || return 0
    sleep 0.2
  done
  kill -KILL "$travlek" 2>/dev/null || true
}
trap 'stop_travlek; echo "== interrupted; travlek stopped"; exit 130' INT TERM
status=0
wait "$travlek" || status=$?
trap - INT TERM

journal="$device/.wince/journal.log"
echo "== journal ($journal)"
[ -f "$journal" ] && cat "$journal" || echo "(empty)"
echo "== outcome ($result)"
case "$status" in
  0)
    echo "update succeeded; installed tree:"
    (cd "$device" && find Residentflash2 -maxdepth 3 | sort | head -40)
    ;;
  3) echo "update failed (see the message box in the screenshots and the log)" ;;
  4) echo "nothing to do: no update ran" ;;
  *) echo "travlek exited with $status" ;;
esac
log=$(ls "$device"/Program/*.wceuilog 2>/dev/null | head -1 || true)
echo "== screenshots: $shots/"
ls "$shots"
echo "== log: ${log:-none (nothing was logged)}"
if [ -n "$log" ]; then
  iconv -f UTF-16LE -t UTF-8 "$log" | tail -n 15
fi
