# What the package benchmarks share, sourced by each of them: the build's tools, the baselines'
# set-up, the number of runs, a scratch folder and the timing and statistics helpers.
#
#   bench_begin NAME BUILD_DIR TOOL...   checks the build's TOOLs (set as $build/bin/TOOL), installs the
#                                        baselines, sets reps, work (a scratch folder removed on exit)
#                                        and missed=0
#   timed FILE COMMAND...                runs COMMAND (it must succeed) and appends
#                                        "wall-us cpu-us peak-KiB" to FILE
#   stats FILE COLUMN                    prints "min median" of that column of FILE
#
# The scratch folder is on /dev/shm (tmpfs) when there is one, unless BENCH_TMP names another: on a
# disk file system that has just had thousands of files deleted, creating new ones is dominated by
# the file system's own inode search, for every tool alike, and the run-to-run spread hides them.

bench_begin() {
  local name=$1 dir=$2
  shift 2
  build=$(cd "$dir" && pwd)
  "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
  local tool
  for tool in "$@"; do
    [ -x "$build/bin/$tool" ] || { echo "missing $build/bin/$tool (build with -DWCEUI_BENCH=ON)" >&2; exit 1; }
  done
  reps=${REPS:-5}
  ((reps >= 5)) || { echo "REPS must be at least 5" >&2; exit 2; }
  local default_tmp=${TMPDIR:-/tmp}
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    default_tmp=/dev/shm
  fi
  work=$(mktemp -d "${BENCH_TMP:-$default_tmp}/$name.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  missed=0
}

now() { date +%s%N; }

timed() {
  local into=$1
  shift
  local t0 t1 user sys kib
  t0=$(now)
  /usr/bin/time -f "%U %S %M" -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" ||
    { echo "failed: $* ($(cat "$work/err.txt"))" >&2; exit 1; }
  t1=$(now)
  read -r user sys kib <"$work/time.txt"
  awk -v w=$(((t1 - t0) / 1000)) -v u="$user" -v s="$sys" -v k="$kib" \
    'BEGIN { printf "%d %d %d\n", w, (u + s) * 1e6, k }' >>"$into"
}

stats() {
  cut -d' ' -f"$2" "$1" | sort -n |
    awk '{a[NR]=$1} END {printf "%s %s\n", a[1], (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'
}
