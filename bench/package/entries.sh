#!/usr/bin/env bash
# Checking and listing a package of many tiny entries against unzip, in interleaved runs (the order
# rotates from run to run), all on one file system:
#
#   msktool verify of a package of ENTRIES tiny files (100,000 in 100 folders unless ENTRIES says
#   otherwise) against `unzip -tq` of the same tree zipped at the package's level (9), with msktool's
#   peak resident memory; msktool list beside it. The same is then timed at a quarter of the entries,
#   so that a step that grows faster than the entry count shows as a per-entry time that rises.
#
# Prints the ratio of the fastest runs and of the medians (wall time; processor time beside it),
# then a met/missed line for each target, judged on the median wall-time ratio.
#
#   bench/package/entries.sh BUILD_DIR   (REPS=5, ENTRIES=100000, BENCH_TMP=/some/folder)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/package/common.sh
. "$here/common.sh"
bench_begin msk-entries "${1:?usage: entries.sh BUILD_DIR}" msktool
msktool=$build/bin/msktool
entries=${ENTRIES:-100000}
((entries >= 400)) || { echo "ENTRIES must be at least 400" >&2; exit 2; }
# Runs a command and appends its figures to the file $1.
measure() { timed "$@"; }
# Prints the figures of the runs in $1 (ours) against those in $2 (the baseline named $3).
show() {
  local ours=$1 base=$2 name=$3 what=$4
  read -r wmin wmed < <(stats "$ours" 1)
  read -r bmin bmed < <(stats "$base" 1)
  read -r cmin cmed < <(stats "$ours" 2)
  read -r dmin dmed < <(stats "$base" 2)
  awk -v wmin="$wmin" -v wmed="$wmed" -v bmin="$bmin" -v bmed="$bmed" -v cmin="$cmin" -v cmed="$cmed" \
    -v dmin="$dmin" -v dmed="$dmed" -v name="$name" -v what="$what" 'BEGIN {
    printf "  %s against %s: msktool %.1f / %.1f ms (fastest / median), %s %.1f / %.1f ms\n",
      what, name, wmin / 1000, wmed / 1000, name, bmin / 1000, bmed / 1000
    # (processor time is counted in hundredths of a second: a baseline can read 0)
    printf "    ratio fastest %.3f, median %.3f (processor time: %s, %s)\n", wmin / bmin, wmed / bmed,
      (dmin > 0) ? sprintf("%.3f", cmin / dmin) : "n/a", (dmed > 0) ? sprintf("%.3f", cmed / dmed) : "n/a"
  }'
}
# Prints a target line: the value $2 at most $3 ($1 says what), and counts a miss.
verdict() {
  local what=$1 value=$2 limit=$3
  local v
  v=$(awk -v a="$value" -v t="$limit" 'BEGIN { print (a <= t) ? "met" : "MISSED" }')
  [ "$v" = met ] || missed=$((missed + 1))
  echo "  target: $what: $v"
}
median_ratio() { # median wall time of $1 over that of $2
  awk -v a="$(stats "$1" 1 | cut -d' ' -f2)" -v b="$(stats "$2" 1 | cut -d' ' -f2)" 'BEGIN { printf "%.3f", a / b }'
}

# A tree of n tiny files (a few dozen bytes each, mostly text) spread over 100 folders, the package
# and the zip of it; then the folder is removed.
make_case() {
  local n=$1 name=$2
  python3 - "$work/$name/app" "$n" <<'EOF'
import os, sys
root, n = sys.argv[1], int(sys.argv[2])
for d in range(100):
    os.makedirs(os.path.join(root, "dir%02d" % d), exist_ok=True)
for i in range(n):
    with open(os.path.join(root, "dir%02d" % (i % 100), "file%06d.txt" % i), "w") as f:
        f.write("entry %d of the tree, %s\n" % (i, "x" * (i % 23)))
EOF
  (cd "$work/$name" && zip -q -9 -r "$work/$name.zip" app)
  "$msktool" create "$work/$name.msk" "$work/$name/app" --password gps --root app >/dev/null
  rm -rf "${work:?}/$name"
}

# Interleaved runs of msktool verify, unzip -tq and msktool list on the case $1, into $1-*.
run_case() {
  local name=$1
  : >"$work/$name-verify" && : >"$work/$name-unzip" && : >"$work/$name-list"
  for ((i = 0; i < reps; i++)); do
    local runs=(verify unzip list)
    for ((k = 0; k < 3; k++)); do
      case ${runs[$(((i + k) % 3))]} in
        verify) measure "$work/$name-verify" "$msktool" verify "$work/$name.msk" --password gps ;;
        unzip) measure "$work/$name-unzip" unzip -tq "$work/$name.zip" ;;
        list) measure "$work/$name-list" "$msktool" list "$work/$name.msk" --password gps ;;
      esac
    done
  done
}

quarter=$((entries / 4))
make_case "$entries" full
make_case "$quarter" quarter
echo "$entries tiny entries: package $(stat -c %s "$work/full.msk") bytes, zip -9 $(stat -c %s "$work/full.zip")" \
  "bytes; file system $(stat -f -c %T "$work"); $reps runs each"
run_case full
run_case quarter

show "$work/full-verify" "$work/full-unzip" "unzip -tq" "verify"
show "$work/full-list" "$work/full-unzip" "unzip -tq" "list"
verdict "verify at most 1.50 x unzip -tq (median)" "$(median_ratio "$work/full-verify" "$work/full-unzip")" 1.5
peak=$(cut -d' ' -f3 "$work/full-verify" | sort -n | tail -1)
peak_list=$(cut -d' ' -f3 "$work/full-list" | sort -n | tail -1)
peak_unzip=$(cut -d' ' -f3 "$work/full-unzip" | sort -n | tail -1)
awk -v k="$peak" -v l="$peak_list" -v u="$peak_unzip" 'BEGIN {
  printf "  peak RSS: msktool verify %.1f MB, list %.1f MB, unzip -tq %.1f MB\n", k / 1024, l / 1024, u / 1024 }'
verdict "verify peak RSS at most 24 MB" "$peak" $((24 * 1024))

# Per-entry time at the full count over that at a quarter of it: 1 when the time grows with the
# count, more when something grows faster. A quarter-size run pays the program's start-up over fewer
# entries, which only lowers the ratio, so the limit leaves room for noise and nothing else.
for what in verify list; do
  r=$(awk -v a="$(stats "$work/full-$what" 1 | cut -d' ' -f2)" -v b="$(stats "$work/quarter-$what" 1 | cut -d' ' -f2)" \
    'BEGIN { printf "%.3f", a / b / 4 }')
  echo "  $what: median time per entry at $entries over that at $quarter: $r"
  verdict "$what grows no faster than the entry count (per-entry ratio at most 1.25)" "$r" 1.25
done

echo
if ((missed == 0)); then echo "every target met"; else echo "$missed target(s) missed"; fi
