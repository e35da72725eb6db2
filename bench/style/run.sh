#!/usr/bin/env bash
# `packtool check` of generated style files of 5,000 to 40,000 styles against the framework's own load
# of the same file (style_load: CFhStyleFile::LoadStyleFile, what a dialog does when it opens), in
# interleaved runs (the order alternates), each a process of its own. Prints the fastest and median
# processor and wall times, the ratio check / load per size with a met/missed line (target: at most
# 2 x, judged on the median processor-time ratio, which other work on a shared machine disturbs far
# less than wall time), and whether the check stays linear: the cost of each added style over the
# last doubling of the size at most 1.5 x that over the first.
#
# The files are in the framework's form (UTF-16LE with a byte order mark). Every eighth style is a
# base with position, text, font, background colour and image; the others start from the nearest
# earlier base or from the style just before them ("overwrite"), and change a group or two.
#
#   bench/style/run.sh BUILD_DIR     (REPS=5 and SIZES="5000 10000 20000 40000" change the defaults)
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
for target in packtool style_load; do
  [ -x "$build/bin/$target" ] || cmake --build "$build" -j2 --target "$target"
done
command -v python3 >/dev/null || { echo "needs python3" >&2; exit 1; }
reps=${REPS:-5}
((reps >= 5)) || { echo "REPS must be at least 5" >&2; exit 2; }
sizes=${SIZES:-5000 10000 20000 40000}
work=$(mktemp -d "${TMPDIR:-/tmp}/style-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Writes a style file of $2 styles to $1.
generate() {
  python3 - "$1" "$2" <<'PY'
import sys
path, count = sys.argv[1], int(sys.argv[2])
out = ['<?xml version="1.0" encoding="utf-16"?>\r\n<dlg>\r\n  <style>\r\n']
for i in range(count):
    x, y = (i * 37) % 700, (i * 53) % 400
    if i % 8 == 0:
        out.append(
            f'    <s{i}>\r\n'
            f'      <position way="relative" rect="{x},{y},{x + 90},{y + 40}"/>\r\n'
            f'      <layout visibility="true" container="false"/>\r\n'
            f'      <text color="0x{i % 0xFFFFFF:06X}" res-id="IDS_{i}"><font id="font{i % 7}.conf"/>'
            f'<drawtext rect="4,0,86,40" valign="center" align="left"/></text>\r\n'
            f'      <background color="transparent"><face id="button\\up{i % 5}.565a.conf" '
            f'src-rect="0,0,90,40" align="left" valign="top"/></background>\r\n'
            f'    </s{i}>\r\n')
    elif i % 3 == 0:
        out.append(
            f'    <s{i} overwrite="s{i - 1}">\r\n'
            f'      <filters><alpha enabled="true" opacity="{i % 256}"/></filters>\r\n'
            f'      <adv-properties no-input="true"/>\r\n'
            f'    </s{i}>\r\n')
    else:
        out.append(
            f'    <s{i} overwrite="s{i - i % 8}">\r\n'
            f'      <position rect="{x},{y},{x + 120},{y + 48}"/>\r\n'
            f'      <text res-id="IDS_TEXT_{i}"/>\r\n'
            f'    </s{i}>\r\n')
out.append('  </style>\r\n  <animate>\r\n'
           '    <open type="CWceUiSliderAni" direction="left"/>\r\n'
           '    <close type="CWceUiBlendAni"/>\r\n'
           '  </animate>\r\n</dlg>\r\n')
with open(path, 'wb') as f:
    f.write(''.join(out).encode('utf-16'))  # little-endian with the byte order mark on this machine
PY
}

# Runs a command and appends "cpu-us wall-us" to the file $1 (processor time to the microsecond).
measure() {
  local into=$1
  shift
  python3 - "$@" >>"$into" <<'PY'
import os, sys, time
# posix_spawn, so that no copy of this interpreter is counted in the child's processor time.
out = [(os.POSIX_SPAWN_OPEN, 1, "/dev/null", os.O_WRONLY, 0)]
t = time.perf_counter()
pid = os.posix_spawn(sys.argv[1], sys.argv[1:], os.environ, file_actions=out)
_, status, usage = os.wait4(pid, 0)
wall = time.perf_counter() - t
if status != 0:
    sys.exit(f"{sys.argv[1]} failed")
print(int((usage.ru_utime + usage.ru_stime) * 1e6), int(wall * 1e6))
PY
}
# Prints "min median" of column $2 of the file $1.
stats() {
  cut -d' ' -f"$2" "$1" | sort -n |
    awk '{a[NR]=$1} END {printf "%s %s\n", a[1], (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'
}

missed=0
points=() # "styles median-check-cpu-us" of each size
echo "packtool check against the framework's load (style_load), $reps interleaved runs each"
for n in $sizes; do
  file=$work/s$n.style.xml
  generate "$file" "$n"
  "$build/bin/packtool" check "$file" | head -1 | sed "s|$work/||"
  : >"$work/check" && : >"$work/load"
  for ((i = 0; i < reps; i++)); do
    if ((i % 2 == 0)); then
      measure "$work/check" "$build/bin/packtool" check "$file"
      measure "$work/load" "$build/bin/style_load" "$file"
    else
      measure "$work/load" "$build/bin/style_load" "$file"
      measure "$work/check" "$build/bin/packtool" check "$file"
    fi
  done
  read -r cmin cmed < <(stats "$work/check" 1)
  read -r lmin lmed < <(stats "$work/load" 1)
  read -r pmin pmed < <(stats "$work/check" 2)
  read -r qmin qmed < <(stats "$work/load" 2)
  points+=("$n $cmed")
  verdict=$(awk -v a="$cmed" -v b="$lmed" 'BEGIN { print (a / b <= 2) ? "met" : "MISSED" }')
  [ "$verdict" = met ] || missed=$((missed + 1))
  awk -v n="$n" -v bytes="$(stat -c %s "$file")" -v cmin="$cmin" -v cmed="$cmed" -v lmin="$lmin" \
    -v lmed="$lmed" -v pmin="$pmin" -v pmed="$pmed" -v qmin="$qmin" -v qmed="$qmed" -v v="$verdict" 'BEGIN {
    printf "  %d styles (%.1f MB): processor time of check %.1f / %.1f ms (fastest / median), load %.1f / %.1f ms\n",
      n, bytes / 1e6, cmin / 1000, cmed / 1000, lmin / 1000, lmed / 1000
    printf "    ratio fastest %.2f, median %.2f (wall time: %.2f, %.2f)\n",
      cmin / lmin, cmed / lmed, pmin / qmin, pmed / qmed
    printf "  target: check of %d styles at most 2 x the load (median): %s\n", n, v
  }'
  rm -f "$file"
done
if ((${#points[@]} >= 3)); then
  read -r n0 t0 <<<"${points[0]}"
  read -r n1 t1 <<<"${points[1]}"
  read -r n2 t2 <<<"${points[-2]}"
  read -r n3 t3 <<<"${points[-1]}"
  verdict=$(awk -v n0="$n0" -v n1="$n1" -v n2="$n2" -v n3="$n3" -v t0="$t0" -v t1="$t1" -v t2="$t2" \
    -v t3="$t3" 'BEGIN { a = (t1 - t0) / (n1 - n0); b = (t3 - t2) / (n3 - n2)
      print (a > 0 && b / a <= 1.5) ? "met" : "MISSED" }')
  [ "$verdict" = met ] || missed=$((missed + 1))
  awk -v n0="$n0" -v n1="$n1" -v n2="$n2" -v n3="$n3" -v t0="$t0" -v t1="$t1" -v t2="$t2" -v t3="$t3" \
    -v v="$verdict" 'BEGIN {
    a = (t1 - t0) / (n1 - n0); b = (t3 - t2) / (n3 - n2)
    printf "\n  check, processor time per added style: %.2f us from %d to %d styles, %.2f us from %d to %d (%.2f x)\n",
      a, n0, n1, b, n2, n3, (a > 0 ? b / a : 0)
    printf "  target: linear, the last at most 1.5 x the first: %s\n", v
  }'
fi
echo
if ((missed == 0)); then echo "every target met"; else echo "$missed target(s) missed"; fi
