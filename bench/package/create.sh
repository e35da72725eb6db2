#!/usr/bin/env bash
# Packing speed and memory against zip at the same compression level, in interleaved runs (the order
# alternates from run to run), all on one file system:
#
#  1. a tree of about 3,000 mixed files (~50 MB): msktool create against zip -q -r, both at level 9
#     (the package's default);
#  2. one large file compressible like map data (300 MB unless BIG_MB says otherwise): msktool create
#     against zip -q -r, both at level 6;
#  3. msktool create's peak resident memory for one file of RSS_MB (1024 unless set; 0 skips it).
#
# Each comparison prints the fastest and the median wall time of both (processor time beside it) and
# the ratios, then a met/missed line for each target, judged on the median wall-time ratio. The
# wall-time targets count on the processors being free: under other load msktool's threads share
# them, and only the processor times beside say what each tool cost.
#
#   bench/package/create.sh BUILD_DIR   (REPS=5, BIG_MB=300, RSS_MB=1024, BENCH_TMP=/some/folder
#                                        change the defaults)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/package/common.sh
. "$here/common.sh"
bench_begin msk-create "${1:?usage: create.sh BUILD_DIR}" msktool gen_tree gen_map
msktool=$build/bin/msktool
gen=$build/bin/gen_tree
genmap=$build/bin/gen_map
# Runs a command that writes the file $1 (removed first) and appends its figures to $2.
measure() {
  local out=$1 into=$2
  shift 2
  rm -f "$out"
  sync
  timed "$into" "$@"
}
# Sets v to met or MISSED by the awk condition $1 over a=$2 and b=$3, and counts the misses.
verdict() {
  v=$(awk -v a="$2" -v b="$3" "BEGIN { print ($1) ? \"met\" : \"MISSED\" }")
  [ "$v" = met ] || missed=$((missed + 1))
}
# Compares our runs ($1) with zip's ($2) for what ($3) against the target ratio $4.
compare() {
  local ours=$1 base=$2 what=$3 target=$4
  read -r wmin wmed < <(stats "$ours" 1)
  read -r bmin bmed < <(stats "$base" 1)
  read -r cmin cmed < <(stats "$ours" 2)
  read -r dmin dmed < <(stats "$base" 2)
  verdict "a / b <= $target" "$wmed" "$bmed"
  awk -v wmin="$wmin" -v wmed="$wmed" -v bmin="$bmin" -v bmed="$bmed" -v cmin="$cmin" -v cmed="$cmed" \
    -v dmin="$dmin" -v dmed="$dmed" -v t="$target" -v what="$what" -v v="$v" \
    -v k="$(cut -d' ' -f3 "$ours" | sort -n | tail -1)" -v z="$(cut -d' ' -f3 "$base" | sort -n | tail -1)" 'BEGIN {
    printf "  %s: msktool %.1f / %.1f ms (fastest / median), zip %.1f / %.1f ms\n",
      what, wmin / 1000, wmed / 1000, bmin / 1000, bmed / 1000
    printf "    ratio fastest %.3f, median %.3f (processor time: msktool %.1f / %.1f ms, zip %.1f / %.1f ms)\n",
      wmin / bmin, wmed / bmed, cmin / 1000, cmed / 1000, dmin / 1000, dmed / 1000
    printf "    peak RSS: msktool %.1f MB, zip %.1f MB\n", k / 1024, z / 1024
    printf "  target: %s at most %.2f x zip (median): %s\n", what, t, v
  }'
}
# Packs the folder $1 (its parent is $2, its name $3) at level $4, reps times each, alternating.
race() {
  local folder=$1 parent=$2 name=$3 level=$4 what=$5
  : >"$work/t-msk" && : >"$work/t-zip"
  for ((i = 0; i < reps; i++)); do
    for ((k = 0; k < 2; k++)); do
      if (((i + k) % 2 == 0)); then
        measure "$work/out.msk" "$work/t-msk" \
          "$msktool" create "$work/out.msk" "$folder" --password gps --level "$level"
      else
        measure "$work/out.zip" "$work/t-zip" sh -c "cd '$parent' && exec zip -q -$level -r '$work/out.zip' '$name'"
      fi
    done
  done
  echo "$what: package $(stat -c %s "$work/out.msk") bytes, zip $(stat -c %s "$work/out.zip") bytes;" \
    "$(nproc) processors, load average $(cut -d' ' -f1-3 /proc/loadavg); $reps runs each"
  compare "$work/t-msk" "$work/t-zip" "$what" 0.6
  rm -f "$work/out.msk" "$work/out.zip"
}

# 1. The tree.
"$gen" "$work/src/app" 3000 50
echo "tree: $(find "$work/src/app" -type f | wc -l) files, $(du -sb "$work/src/app" | cut -f1) bytes;" \
  "file system $(stat -f -c %T "$work")"
race "$work/src/app" "$work/src" app 9 "tree create (level 9)"
rm -rf "$work/src"

# 2. One large file.
big_mb=${BIG_MB:-300}
if ((big_mb > 0)); then
  mkdir -p "$work/big/map"
  "$genmap" "$work/big/map/map.dat" "$big_mb"
  echo
  race "$work/big/map" "$work/big" map 6 "$big_mb MB map file create (level 6)"
  rm -rf "$work/big"
fi

# 3. Memory for one file of RSS_MB.
rss_mb=${RSS_MB:-1024}
if ((rss_mb > 0)); then
  mkdir -p "$work/huge/map"
  "$genmap" "$work/huge/map/map.dat" "$rss_mb"
  : >"$work/t-huge"
  measure "$work/out.msk" "$work/t-huge" "$msktool" create "$work/out.msk" "$work/huge/map" --password gps --level 6
  rm -rf "$work/huge" "$work/out.msk"
  read -r wall cpu kib <"$work/t-huge"
  echo
  verdict "a <= b" "$kib" $((32 * 1024))
  awk -v k="$kib" -v w="$wall" -v mb="$rss_mb" -v v="$v" 'BEGIN {
    printf "%d MB map file create (level 6): %.1f s, peak RSS %.1f MB\n", mb, w / 1e6, k / 1024
    printf "  target: peak RSS at most 32 MB: %s\n", v
  }'
fi

echo
if ((missed == 0)); then echo "every target met"; else echo "$missed target(s) missed"; fi
