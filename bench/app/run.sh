#!/usr/bin/env bash
# The whole update against the unpacker alone: a headless travlek run on a gps device whose package
# holds a ~50 MB tree of about 3,000 mixed files (start-up, Verify, the delete, the unpack and the
# launch) against `msktool extract` of the same package, several runs each, medians compared; the
# updater's peak resident memory in those runs; then the same for a package holding one large file
# (300 MB unless BIG_MB says otherwise).
#
#   bench/app/run.sh BUILD_DIR     (REPS=5, BIG_MB=300, BENCH_TMP=/some/folder change the defaults;
#                                   BIG_MB=0 skips the large file)
#
# Every run starts from a fresh copy of the device (not timed), so each one deletes the old
# application and unpacks into an empty flash. The default folder is /dev/shm when there is one.
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
travlek=$build/bin/travlek
device_tool=$build/bin/travlek-device
msktool=$build/bin/msktool
gen=$build/bin/gen_tree
genmap=$build/bin/gen_map
for tool in "$travlek" "$device_tool" "$msktool" "$gen" "$genmap" /usr/bin/time; do
  [ -x "$tool" ] || { echo "missing $tool (build with -DWCEUI_BENCH=ON)" >&2; exit 1; }
done
reps=${REPS:-5}
default_tmp=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  default_tmp=/dev/shm
fi
work=$(mktemp -d "${BENCH_TMP:-$default_tmp}/app-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
# Runs a command and prints "wall-microseconds peak-KiB".
measured() {
  local t0 t1
  sync
  t0=$(now)
  /usr/bin/time -f "%M" -o "$work/time.txt" "$@" >/dev/null 2>&1
  t1=$(now)
  echo "$(((t1 - t0) / 1000)) $(cat "$work/time.txt")"
}
# One headless update on a fresh copy of the device $1; "us KiB" into $work/r.txt, and the outcome
# checked (in this shell, so that a failure ends the script).
update() {
  rm -rf "$work/dev"
  cp -a "$1" "$work/dev"
  measured "$travlek" --backend headless --device "$work/dev" >"$work/r.txt"
  grep -q 'TRAVLEK_FINISHED 1' "$work/dev/.wince/journal.log" || {
    echo "the update did not succeed:" >&2
    cat "$work/dev/.wince/journal.log" >&2
    exit 1
  }
}
extract() {
  rm -rf "$work/out"
  mkdir -p "$work/out"
  measured "$msktool" extract "$1" "$work/out" --password gps >"$work/r.txt"
}

# A device whose package holds FOLDER; the package is kept beside for msktool.
make_device() {
  "$device_tool" init "$1" --package "$2" >/dev/null
}

"$gen" "$work/src/app" 3000 50
make_device "$work/dev-tree" "$work/src/app"
pkg=$work/dev-tree/SDMMC/gpsApp.msk
echo "tree: $(find "$work/src/app" -type f | wc -l) files, $(du -sb "$work/src/app" | cut -f1) bytes;" \
  "package $(stat -c %s "$pkg") bytes; file system $(stat -f -c %T "$work")"

declare -a ut=() ur=() mt=()
for ((i = 0; i < reps; i++)); do
  # Alternate the order so that neither always follows the other's clean-up.
  if ((i % 2 == 0)); then
    update "$work/dev-tree" && read -r t r <"$work/r.txt"
    ut+=("$t") ur+=("$r")
    extract "$pkg" && read -r t r <"$work/r.txt"
    mt+=("$t")
  else
    extract "$pkg" && read -r t r <"$work/r.txt"
    mt+=("$t")
    update "$work/dev-tree" && read -r t r <"$work/r.txt"
    ut+=("$t") ur+=("$r")
  fi
done
diff -r "$work/src/app" "$work/out/app" >/dev/null || { echo "msktool's tree differs from the source" >&2; exit 1; }
update "$work/dev-tree"
diff -r -x config "$work/src/app" "$work/dev/Residentflash2/app" >/dev/null ||
  { echo "the installed tree differs from the source" >&2; exit 1; }

u=$(printf '%s\n' "${ut[@]}" | median)
m=$(printf '%s\n' "${mt[@]}" | median)
urm=$(printf '%s\n' "${ur[@]}" | sort -n | tail -1)
echo "runs (us): travlek ${ut[*]} | msktool extract ${mt[*]}; travlek peak RSS (KiB): ${ur[*]}"
awk -v u="$u" -v m="$m" -v r="$urm" 'BEGIN {
  printf "median: whole update %.1f ms, msktool extract %.1f ms, ratio %.2f (target <= 2.2)\n", u / 1000, m / 1000, u / m
  printf "updater peak RSS: %.1f MB (target < 64)\n", r / 1024
}'

big_mb=${BIG_MB:-300}
if ((big_mb > 0)); then
  rm -rf "$work/dev" "$work/out" "$work/dev-tree" "$work/src"
  mkdir -p "$work/big/app"
  "$genmap" "$work/big/app/map.dat" "$big_mb"
  make_device "$work/dev-big" "$work/big/app"
  bigpkg=$work/dev-big/SDMMC/gpsApp.msk
  echo
  echo "large file: $(stat -c %s "$work/big/app/map.dat") bytes; package $(stat -c %s "$bigpkg") bytes"
  update "$work/dev-big" && read -r t r <"$work/r.txt"
  cmp "$work/big/app/map.dat" "$work/dev/Residentflash2/app/map.dat" || { echo "installed file differs" >&2; exit 1; }
  rm -rf "$work/dev"
  extract "$bigpkg" && read -r mt2 mr2 <"$work/r.txt"
  awk -v t="$t" -v r="$r" -v m="$mt2" -v mr="$mr2" 'BEGIN {
    printf "whole update %.2f s, msktool extract %.2f s, ratio %.2f\n", t / 1e6, m / 1e6, t / m
    printf "updater peak RSS: %.1f MB (target < 64), msktool %.1f MB\n", r / 1024, mr / 1024
  }'
fi
