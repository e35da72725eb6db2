#!/usr/bin/env bash
# Unpacking speed against the usual tools, each given the same data compressed at the same level,
# in interleaved runs (the order rotates from run to run), all on one file system:
#
#  1. a tree of about 3,000 mixed files (~50 MB): msktool extract of the package against bsdtar -xf
#     and unzip -q of the same tree zipped at the package's level (9);
#  2. one large file of each kind, base64 of random bytes, map-like data and plain text (300 MB
#     unless BIG_MB says otherwise): msktool extract against igzip -d of a gzip file holding the
#     same deflate data (zlib's, level 6 for both) and unzip -q of the file zipped at level 6, with
#     msktool's peak resident memory.
#
# Each comparison prints the ratio of the fastest runs and of the medians (wall time; processor time
# beside it, since other work on the machine inflates wall time), then a met/missed line for each
# target, judged on the median wall-time ratio.
#
#   bench/package/run.sh BUILD_DIR    (REPS=5, BIG_MB=300, KINDS="base64 map text", BENCH_TMP=/some/folder
#                                      change the defaults; BIG_MB=0 skips the large files)
#
# The default folder is /dev/shm (tmpfs) when there is one: on a disk file system that has just had
# thousands of files deleted, creating new ones is dominated by the file system's own inode search
# (ext4 skips recently deleted inodes), for every tool alike, and the run-to-run spread hides them.
# At most one large file's data is on it at a time (about 1.3 GB for base64).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/package/common.sh
. "$here/common.sh"
bench_begin msk-bench "${1:?usage: run.sh BUILD_DIR}" msktool gen_tree gen_map
msktool=$build/bin/msktool
gen=$build/bin/gen_tree
genmap=$build/bin/gen_map
# Runs a command into a fresh empty folder $1 and appends its figures to the file $2.
measure() {
  local out=$1 into=$2
  shift 2
  rm -rf "$out"
  mkdir -p "$out"
  sync
  timed "$into" "$@"
}
# Compares the runs in file $1 (ours) with those in file $2 (the baseline named $3) against the
# target ratio $4, and prints the figures and the verdict.
compare() {
  local ours=$1 base=$2 name=$3 target=$4 what=$5
  read -r wmin wmed < <(stats "$ours" 1)
  read -r bmin bmed < <(stats "$base" 1)
  read -r cmin cmed < <(stats "$ours" 2)
  read -r dmin dmed < <(stats "$base" 2)
  local verdict
  verdict=$(awk -v a="$wmed" -v b="$bmed" -v t="$target" 'BEGIN { print (a / b <= t) ? "met" : "MISSED" }')
  [ "$verdict" = met ] || missed=$((missed + 1))
  awk -v wmin="$wmin" -v wmed="$wmed" -v bmin="$bmin" -v bmed="$bmed" -v cmin="$cmin" -v cmed="$cmed" \
    -v dmin="$dmin" -v dmed="$dmed" -v name="$name" -v t="$target" -v what="$what" -v v="$verdict" 'BEGIN {
    printf "  %s against %s: msktool %.1f / %.1f ms (fastest / median), %s %.1f / %.1f ms\n",
      what, name, wmin / 1000, wmed / 1000, name, bmin / 1000, bmed / 1000
    printf "    ratio fastest %.3f, median %.3f (processor time: %.3f, %.3f)\n",
      wmin / bmin, wmed / bmed, cmin / dmin, cmed / dmed
    printf "  target: %s at most %.2f x %s (median): %s\n", what, t, name, v
  }'
}

# 1. The tree.
"$gen" "$work/src/app" 3000 50
(cd "$work/src" && zip -q -9 -r "$work/tree.zip" app)
"$msktool" create "$work/tree.msk" "$work/src/app" --password gps --root app >/dev/null
echo "tree: $(find "$work/src/app" -type f | wc -l) files, $(du -sb "$work/src/app" | cut -f1) bytes;" \
  "package $(stat -c %s "$work/tree.msk") bytes, zip -9 $(stat -c %s "$work/tree.zip") bytes;" \
  "file system $(stat -f -c %T "$work"); $reps runs each"
: >"$work/t-msk" && : >"$work/t-bsdtar" && : >"$work/t-unzip"
for ((i = 0; i < reps; i++)); do
  runs=(msk bsdtar unzip)
  for ((k = 0; k < 3; k++)); do
    case ${runs[$(((i + k) % 3))]} in
      msk) measure "$work/out-msk" "$work/t-msk" "$msktool" extract "$work/tree.msk" "$work/out-msk" --password gps ;;
      bsdtar) measure "$work/out-bsdtar" "$work/t-bsdtar" bsdtar -xf "$work/tree.zip" -C "$work/out-bsdtar" ;;
      unzip) measure "$work/out-unzip" "$work/t-unzip" unzip -q "$work/tree.zip" -d "$work/out-unzip" ;;
    esac
  done
done
diff -r "$work/src/app" "$work/out-msk/app" >/dev/null || { echo "extracted tree differs from the source" >&2; exit 1; }
diff -r "$work/src/app" "$work/out-bsdtar/app" >/dev/null || { echo "bsdtar's tree differs from the source" >&2; exit 1; }
rm -rf "$work/src" "$work/out-msk" "$work/out-bsdtar" "$work/out-unzip"
compare "$work/t-msk" "$work/t-bsdtar" "bsdtar -xf" 0.5 "tree extract"
compare "$work/t-msk" "$work/t-unzip" "unzip -q" 0.35 "tree extract"

# 2. The large files, one kind at a time.
big_mb=${BIG_MB:-300}
if ((big_mb > 0)); then
  for kind in ${KINDS:-base64 map text}; do
    mkdir -p "$work/big/$kind"
    src=$work/big/$kind/$kind.dat
    "$genmap" "$src" "$big_mb" 3841280 "$kind" # the seed gen_map uses by default
    "$msktool" create "$work/big.msk" "$work/big/$kind" --password gps --root "$kind" --level 6 >/dev/null
    (cd "$work/big" && zip -q -6 -r "$work/big.zip" "$kind")
    python3 - "$src" "$work/big.gz" <<'EOF'
import sys, zlib
# zlib's deflate at level 6 with its default memory level, as the package writer uses it.
c = zlib.compressobj(6, zlib.DEFLATED, 31)
with open(sys.argv[1], "rb") as f, open(sys.argv[2], "wb") as o:
    for chunk in iter(lambda: f.read(1 << 20), b""):
        o.write(c.compress(chunk))
    o.write(c.flush())
EOF
    sum=$(md5sum <"$src" | cut -d' ' -f1)
    echo
    echo "$kind: $(stat -c %s "$src") bytes; package $(stat -c %s "$work/big.msk"), gzip" \
      "$(stat -c %s "$work/big.gz"), zip $(stat -c %s "$work/big.zip") bytes"
    rm -rf "$work/big"
    : >"$work/b-msk" && : >"$work/b-igzip" && : >"$work/b-unzip"
    for ((i = 0; i < reps; i++)); do
      runs=(msk igzip unzip)
      for ((k = 0; k < 3; k++)); do
        case ${runs[$(((i + k) % 3))]} in
          msk)
            measure "$work/out" "$work/b-msk" "$msktool" extract "$work/big.msk" "$work/out" --password gps
            [ "$i" -gt 0 ] || [ "$(md5sum <"$work/out/$kind/$kind.dat" | cut -d' ' -f1)" = "$sum" ] ||
              { echo "extracted $kind file differs" >&2; exit 1; }
            ;;
          igzip) measure "$work/out" "$work/b-igzip" igzip -d -o "$work/out/$kind.dat" "$work/big.gz" ;;
          unzip) measure "$work/out" "$work/b-unzip" unzip -q "$work/big.zip" -d "$work/out" ;;
        esac
        rm -rf "$work/out"
      done
    done
    rm -f "$work/big.msk" "$work/big.gz" "$work/big.zip"
    compare "$work/b-msk" "$work/b-igzip" "igzip -d" 1.15 "$kind extract"
    if [ "$kind" = map ]; then
      compare "$work/b-msk" "$work/b-unzip" "unzip -q" 0.4 "$kind extract"
    else
      read -r umin umed < <(stats "$work/b-unzip" 1)
      read -r mmin mmed < <(stats "$work/b-msk" 1)
      awk -v a="$mmed" -v b="$umed" 'BEGIN { printf "  (against unzip -q: median ratio %.3f)\n", a / b }'
    fi
    peak=$(cut -d' ' -f3 "$work/b-msk" | sort -n | tail -1)
    verdict=$(awk -v k="$peak" 'BEGIN { print (k <= 16 * 1024) ? "met" : "MISSED" }')
    [ "$verdict" = met ] || missed=$((missed + 1))
    awk -v k="$peak" -v u="$(cut -d' ' -f3 "$work/b-unzip" | sort -n | tail -1)" \
      -v g="$(cut -d' ' -f3 "$work/b-igzip" | sort -n | tail -1)" -v kind="$kind" -v v="$verdict" 'BEGIN {
      printf "  peak RSS: msktool %.1f MB, igzip %.1f MB, unzip %.1f MB\n", k / 1024, g / 1024, u / 1024
      printf "  target: %s extract peak RSS at most 16 MB: %s\n", kind, v
    }'
  done
fi

echo
if ((missed == 0)); then echo "every target met"; else echo "$missed target(s) missed"; fi

if [ -x "$build/bin/bench_msk_inflate" ]; then
  echo
  echo "decoders on 8 MB of each kind of content (in memory):"
  "$build/bin/bench_msk_inflate" --benchmark_min_time=0.3 2>/dev/null | sed -n '/^processor time as a ratio/,$p'
fi
