#!/usr/bin/env bash
# The signature check against the unpack it guards: one large file compressible like map data (300 MB
# unless BIG_MB says otherwise) packed into a package, then, in alternating runs, msktool extract of
# the package into an empty folder against the check of the package's signature (what the unit adds
# to an update: a BLAKE2b-512 digest of every byte, then one Ed25519 verification), the same check with a CRC-32 of every piece in the same pass, and the check of the
# 300 MB file itself (a package that does not compress). Min and median of each, and the ratio of the
# medians to the extract's.
#
#   bench/package/signature.sh BUILD_DIR   (REPS=5, BIG_MB=300, BENCH_TMP=/some/folder change the defaults)
#
# Target: the check of the package within 10 % of the extract's time.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/package/common.sh
. "$here/common.sh"
bench_begin sig-bench "${1:?usage: signature.sh BUILD_DIR}" msktool gen_map bench_msk_signature
msktool=$build/bin/msktool
genmap=$build/bin/gen_map
check=$build/bin/bench_msk_signature
big_mb=${BIG_MB:-300}

mkdir -p "$work/big/map"
"$genmap" "$work/big/map/map.dat" "$big_mb"
"$msktool" create "$work/big.msk" "$work/big/map" --password gps --root map --level 6 >/dev/null
"$msktool" keygen "$work/maker.key" "$work/maker.pub" >/dev/null
"$msktool" sign "$work/big.msk" --key "$work/maker.key" >/dev/null
"$msktool" sign "$work/big/map/map.dat" --key "$work/maker.key" >/dev/null
echo "file $(stat -c %s "$work/big/map/map.dat") bytes, package $(stat -c %s "$work/big.msk") bytes;" \
  "file system $(stat -f -c %T "$work")"

# "min median" of the numbers on stdin.
median_of() { sort -n | awk '{a[NR]=$1} END {printf "%d %d\n", a[1], (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
extract() {
  rm -rf "$work/out"
  mkdir -p "$work/out"
  sync
  local t0 t1
  t0=$(now)
  "$msktool" extract "$work/big.msk" "$work/out" --password gps >/dev/null
  t1=$(now)
  echo $(((t1 - t0) / 1000))
}

declare -a ex=() pk=() crc=() raw=()
for ((i = 0; i < reps; i++)); do
  # The order changes every run so that neither always follows the other.
  if ((i % 2 == 0)); then
    ex+=("$(extract)")
    pk+=("$("$check" "$work/big.msk" "$work/maker.pub")")
  else
    pk+=("$("$check" "$work/big.msk" "$work/maker.pub")")
    ex+=("$(extract)")
  fi
  crc+=("$("$check" "$work/big.msk" "$work/maker.pub" --crc | cut -d' ' -f1)")
  raw+=("$("$check" "$work/big/map/map.dat" "$work/maker.pub")")
done
cmp "$work/big/map/map.dat" "$work/out/map/map.dat" || { echo "extracted file differs" >&2; exit 1; }

echo "runs (us): extract ${ex[*]} | check ${pk[*]} | check+crc ${crc[*]} | check of the file ${raw[*]}"
read -r exmin exmed < <(printf '%s\n' "${ex[@]}" | median_of)
read -r pkmin pkmed < <(printf '%s\n' "${pk[@]}" | median_of)
read -r crcmin crcmed < <(printf '%s\n' "${crc[@]}" | median_of)
read -r rawmin rawmed < <(printf '%s\n' "${raw[@]}" | median_of)
awk -v exmin="$exmin" -v exmed="$exmed" -v pkmin="$pkmin" -v pkmed="$pkmed" -v crcmin="$crcmin" \
  -v crcmed="$crcmed" -v rawmin="$rawmin" -v rawmed="$rawmed" -v mb="$big_mb" 'BEGIN {
  printf "msktool extract           min %7.1f ms  median %7.1f ms\n", exmin / 1000, exmed / 1000
  printf "check of the package      min %7.1f ms  median %7.1f ms  ratio %.3f (target <= 0.10)%s\n",
    pkmin / 1000, pkmed / 1000, pkmed / exmed, pkmed / exmed <= 0.10 ? "" : "  MISSED"
  printf "check + CRC-32            min %7.1f ms  median %7.1f ms  ratio %.3f\n", crcmin / 1000, crcmed / 1000,
    crcmed / exmed
  printf "check of the %d MB file  min %7.1f ms  median %7.1f ms  ratio %.3f, %.0f MB/s\n", mb, rawmin / 1000,
    rawmed / 1000, rawmed / exmed, mb * 1048576 / rawmed
}'
