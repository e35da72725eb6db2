#!/usr/bin/env bash
# Installs the programs bench/package/run.sh measures the unpacker against, and only those that are
# missing: igzip (ISA-L's own command line tool), bsdtar (libarchive), zip and unzip, GNU time and
# python3 (which writes the gzip files: zlib's deflate at the package's level, so that every tool
# decodes the same kind of stream).
set -euo pipefail

# command -> Debian package
declare -A wanted=(
  [igzip]=isal
  [bsdtar]=libarchive-tools
  [zip]=zip
  [unzip]=unzip
  [python3]=python3
)
missing=()
for tool in "${!wanted[@]}"; do
  command -v "$tool" >/dev/null || missing+=("${wanted[$tool]}")
done
[ -x /usr/bin/time ] || missing+=(time)
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bench/package/setup.sh: installing ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "bench/package/setup.sh: need root or sudo to install ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
