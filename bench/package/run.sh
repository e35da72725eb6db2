#!/usr/bin/env bash
# Unpacking speed: msktool extract against unzip -q on the same ~50 MB tree of about 3,000 mixed files,
# both into empty folders on the same file system, several runs each, medians compared. Then one
# large file compressible like map data (300 MB unless BIG_MB says otherwise): time and peak resident
# memory of both tools in the same run.
#
#   bench/package/run.sh BUILD_DIR        (REPS=7, BIG_REPS=3, BIG_MB=300 and BENCH_TMP=/some/folder to
#                                          change the defaults; BIG_MB=0 skips the large file)
#
# The default folder is /dev/shm (tmpfs) when there is one: on a disk file system that has just had
# thousands of files deleted, creating new ones is dominated by the file system's own inode search
# (ext4 skips recently deleted inodes), for both tools alike, and the run-to-run spread hides them.
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
msktool=$build/bin/msktool
gen=$build/bin/gen_tree
genmap=$build/bin/gen_map
for tool in "$msktool" "$gen" "$genmap" /usr/bin/time; do
  [ -x "$tool" ] || { echo "missing $tool (build with -DWCEUI_BENCH=ON)" >&2; exit 1; }
done
for tool in zip unzip; do
  command -v $tool >/dev/null || { echo "missing $tool" >&2; exit 1; }
done
reps=${REPS:-7}
default_tmp=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  default_tmp=/dev/shm
fi
work=$(mktemp -d "${BENCH_TMP:-$default_tmp}/msk-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$gen" "$work/src/app" 3000 50
(cd "$work/src" && zip -q -r "$work/tree.zip" app)
"$msktool" create "$work/tree.msk" "$work/src/app" --password gps --root app >/dev/null
echo "tree: $(find "$work/src/app" -type f | wc -l) files, $(du -sb "$work/src/app" | cut -f1) bytes;" \
  "package $(stat -c %s "$work/tree.msk") bytes, zip $(stat -c %s "$work/tree.zip") bytes;" \
  "file system $(stat -f -c %T "$work")"

now() { date +%s%N; }
# Runs a command into a fresh empty folder and prints its wall time in milliseconds.
timed() {
  local out=$1
  shift
  rm -rf "$out"
  mkdir -p "$out"
  sync
  local t0 t1
  t0=$(now)
  "$@" >/dev/null
  t1=$(now)
  echo $(((t1 - t0) / 1000))
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

declare -a msk=() mskz=() unz=()
for ((i = 0; i < reps; i++)); do
  # The order changes every run so that neither tool always follows the other's clean-up.
  if ((i % 2 == 0)); then
    unz+=("$(timed "$work/out-unzip" unzip -q "$work/tree.zip" -d "$work/out-unzip")")
    msk+=("$(timed "$work/out-msk" "$msktool" extract "$work/tree.msk" "$work/out-msk" --password gps)")
  else
    msk+=("$(timed "$work/out-msk" "$msktool" extract "$work/tree.msk" "$work/out-msk" --password gps)")
    unz+=("$(timed "$work/out-unzip" unzip -q "$work/tree.zip" -d "$work/out-unzip")")
  fi
  mskz+=("$(timed "$work/out-mskz" "$msktool" extract "$work/tree.msk" "$work/out-mskz" --password gps --decoder zlib)")
done
diff -r "$work/src/app" "$work/out-msk/app" >/dev/null || { echo "extracted tree differs from the source" >&2; exit 1; }

m=$(printf '%s\n' "${msk[@]}" | median)
mz=$(printf '%s\n' "${mskz[@]}" | median)
u=$(printf '%s\n' "${unz[@]}" | median)
echo "runs (us): msktool ${msk[*]} | msktool --decoder zlib ${mskz[*]} | unzip ${unz[*]}"
awk -v m="$m" -v mz="$mz" -v u="$u" 'BEGIN {
  printf "median: msktool extract %.1f ms, with zlib %.1f ms, unzip -q %.1f ms\n", m / 1000, mz / 1000, u / 1000
  printf "ratio msktool/unzip: %.3f (target <= 0.35)   zlib decoder: %.3f\n", m / u, mz / u
}'

big_mb=${BIG_MB:-300}
if ((big_mb > 0)); then
  rm -rf "$work/out-msk" "$work/out-mskz" "$work/out-unzip"
  mkdir -p "$work/big/map"
  "$genmap" "$work/big/map/map.dat" "$big_mb"
  # The same compression level for both, so that the streams are alike.
  (cd "$work/big" && zip -q -6 -r "$work/big.zip" map)
  "$msktool" create "$work/big.msk" "$work/big/map" --password gps --root map --level 6 >/dev/null
  echo
  echo "large file: $(stat -c %s "$work/big/map/map.dat") bytes; package $(stat -c %s "$work/big.msk") bytes," \
    "zip $(stat -c %s "$work/big.zip") bytes"
  # Prints "seconds peak-KiB" of a command run into a fresh empty folder.
  measured() {
    local out=$1
    shift
    rm -rf "$out"
    mkdir -p "$out"
    sync
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null
    cat "$work/time.txt"
  }
  declare -a bt=() br=() ut=() ur=()
  for ((i = 0; i < ${BIG_REPS:-3}; i++)); do
    read -r t r < <(measured "$work/out-unzip" unzip -q "$work/big.zip" -d "$work/out-unzip")
    ut+=("$t") ur+=("$r")
    read -r t r < <(measured "$work/out-msk" "$msktool" extract "$work/big.msk" "$work/out-msk" --password gps)
    bt+=("$t") br+=("$r")
  done
  cmp "$work/big/map/map.dat" "$work/out-msk/map/map.dat" || { echo "extracted large file differs" >&2; exit 1; }
  bm=$(printf '%s\n' "${bt[@]}" | median)
  um=$(printf '%s\n' "${ut[@]}" | median)
  brm=$(printf '%s\n' "${br[@]}" | sort -n | tail -1)
  urm=$(printf '%s\n' "${ur[@]}" | sort -n | tail -1)
  echo "runs (s): msktool ${bt[*]} | unzip ${ut[*]}; peak RSS (KiB): msktool ${br[*]} | unzip ${ur[*]}"
  awk -v b="$bm" -v u="$um" -v br="$brm" -v ur="$urm" 'BEGIN {
    printf "median: msktool extract %.2f s, unzip -q %.2f s, ratio %.3f (target <= 0.4)\n", b, u, b / u
    printf "peak RSS: msktool %.1f MB (target <= 16), unzip %.1f MB\n", br / 1024, ur / 1024
  }'
  rm -rf "$work/out-msk" "$work/out-unzip" "$work/big"
fi

if [ -x "$build/bin/bench_msk_inflate" ]; then
  echo
  echo "decoders on 8 MB of each kind of content (in memory):"
  "$build/bin/bench_msk_inflate" --benchmark_min_time=0.3 2>/dev/null | sed -n '/^decoder time/,$p'
fi
