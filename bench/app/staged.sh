#!/usr/bin/env bash
# The staged install against the delete-then-unpack order it replaced: headless travlek runs on two
# copies of one gps device whose flash holds an old application as large as the new one, one with
# room for both trees (the update stages the new tree beside the old one, flushes it and switches by
# renames) and one whose device.ini makes the flash too small for both (the old application is
# cleared first and the package unpacked in its place). Runs alternate; min and median of each are
# compared, for a ~50 MB tree of about 3,000 files and for one large file (300 MB unless BIG_MB says).
#
#   bench/app/staged.sh BUILD_DIR   (REPS=5, BIG_MB=300, BENCH_TMP=/some/folder change the defaults)
#
# Target: the staged update within 1.1x of delete-then-unpack.
set -euo pipefail
build=$(cd "${1:?usage: staged.sh BUILD_DIR}" && pwd)
travlek=$build/bin/travlek
device_tool=$build/bin/travlek-device
gen=$build/bin/gen_tree
genmap=$build/bin/gen_map
for tool in "$travlek" "$device_tool" "$gen" "$genmap" /usr/bin/time; do
  [ -x "$tool" ] || { echo "missing $tool (build with -DWCEUI_BENCH=ON)" >&2; exit 1; }
done
reps=${REPS:-5}
default_tmp=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  default_tmp=/dev/shm
fi
work=$(mktemp -d "${BENCH_TMP:-$default_tmp}/staged-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }
stats() { sort -n | awk '{a[NR]=$1} END {printf "%d %d\n", a[1], (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
# Blocks of 4 KiB that the files and folders below a folder take (each folder one).
blocks() {
  find "$1" -mindepth 1 \( -type d -printf '4096\n' \) -o \( -type f -printf '%s\n' \) |
    awk '{b += int(($1 + 4095) / 4096)} END {print b}'
}
file_blocks() { find "$1" -type f -printf '%s\n' | awk '{b += int(($1 + 4095) / 4096)} END {print b}'; }

# One headless update on a fresh copy of the device, checked; "microseconds peak-KiB" into $work/r.txt.
update() {
  rm -rf "$work/dev"
  cp -a "$1" "$work/dev"
  sync
  local t0 t1
  t0=$(now)
  /usr/bin/time -f "%M" -o "$work/time.txt" "$travlek" --backend headless --device "$work/dev" >/dev/null 2>&1
  t1=$(now)
  grep -q 'TRAVLEK_FINISHED 1' "$work/dev/.wince/journal.log" || {
    echo "the update did not succeed:" >&2
    cat "$work/dev/.wince/journal.log" >&2
    exit 1
  }
  echo "$(((t1 - t0) / 1000)) $(cat "$work/time.txt")" >"$work/r.txt"
}

# Two devices for the tree in $1: "$work/staged" with room for both trees and "$work/inplace" with a
# flash that holds one; both start from an old application that is a copy of the new tree.
make_devices() {
  rm -rf "$work/staged" "$work/inplace"
  "$device_tool" init "$work/staged" --package "$1" >/dev/null
  rm -rf "$work/staged/Residentflash2/app"
  cp -a "$1" "$work/staged/Residentflash2/app"
  cp -a "$work/staged" "$work/inplace"
  local used old
  used=$(blocks "$work/staged/Residentflash2")
  old=$(file_blocks "$work/staged/Residentflash2/app")
  # The new tree needs about what the old one takes: with half the old one's files spare beside it,
  # both trees do not fit, one does.
  echo "flash=$(((used + used - old / 2) * 4096))" >>"$work/inplace/device.ini"
}

# Runs both kinds alternately; prints the verdict for the named case.
compare() {
  local name=$1
  declare -a st=() it=() sr=() ir=()
  for ((i = 0; i < reps; i++)); do
    if ((i % 2 == 0)); then
      update "$work/staged" && read -r t r <"$work/r.txt" && st+=("$t") sr+=("$r")
      update "$work/inplace" && read -r t r <"$work/r.txt" && it+=("$t") ir+=("$r")
    else
      update "$work/inplace" && read -r t r <"$work/r.txt" && it+=("$t") ir+=("$r")
      update "$work/staged" && read -r t r <"$work/r.txt" && st+=("$t") sr+=("$r")
    fi
  done
  # The in-place device really ran in place: its log says the flash could not hold both trees.
  update "$work/inplace"
  iconv -f UTF-16LE -t UTF-8 "$work/dev"/Program/*.wceuilog | grep -q 'cannot hold both applications' ||
    { echo "the small-flash device did not install in place" >&2; exit 1; }
  read -r smin smed < <(printf '%s\n' "${st[@]}" | stats)
  read -r imin imed < <(printf '%s\n' "${it[@]}" | stats)
  echo "$name runs (us): staged ${st[*]} | delete-then-unpack ${it[*]}"
  echo "$name peak RSS (KiB): staged ${sr[*]} | delete-then-unpack ${ir[*]}"
  awk -v n="$name" -v smin="$smin" -v smed="$smed" -v imin="$imin" -v imed="$imed" 'BEGIN {
    printf "%s: staged min %.1f ms median %.1f ms; delete-then-unpack min %.1f ms median %.1f ms\n",
      n, smin / 1000, smed / 1000, imin / 1000, imed / 1000
    r = smed / imed
    printf "%s: ratio of medians %.3f, of minimums %.3f (target <= 1.1): %s\n", n, r, smin / imin,
      (r <= 1.1) ? "met" : "missed"
  }'
}

"$gen" "$work/src/app" 3000 50
echo "tree: $(find "$work/src/app" -type f | wc -l) files, $(du -sb "$work/src/app" | cut -f1) bytes;" \
  "file system $(stat -f -c %T "$work")"
make_devices "$work/src/app"
compare "3,000 files"

big_mb=${BIG_MB:-300}
if ((big_mb > 0)); then
  rm -rf "$work/src" "$work/dev"
  mkdir -p "$work/big/app"
  "$genmap" "$work/big/app/map.dat" "$big_mb"
  echo
  echo "large file: $(stat -c %s "$work/big/app/map.dat") bytes"
  make_devices "$work/big/app"
  compare "one ${big_mb} MB file"
fi
