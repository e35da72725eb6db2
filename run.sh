#!/usr/bin/env bash
# Runs the main job on the built-in demo device: packs the demo application into an update package
# on the demo SD card, checks it under the unit's password and installs it into the resident flash.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja >/dev/null
fi
cmake --build build -j "${JOBS:-2}" --target msktool

device=demo-device
msktool=build/bin/msktool
rm -rf "$device"
mkdir -p "$device/SDMMC" "$device/Residentflash2"

echo "== building the update package from demo/app"
"$msktool" create "$device/SDMMC/gpsApp.msk" demo/app --password gps --root app
echo "== package header"
"$msktool" info "$device/SDMMC/gpsApp.msk" --password gps
echo "== entries"
"$msktool" list "$device/SDMMC/gpsApp.msk" --password gps
echo "== verifying every stream"
"$msktool" verify "$device/SDMMC/gpsApp.msk" --password gps
echo "== installing into the resident flash"
"$msktool" extract "$device/SDMMC/gpsApp.msk" "$device/Residentflash2" --password gps
echo "== installed tree"
(cd "$device" && find Residentflash2 | sort)
