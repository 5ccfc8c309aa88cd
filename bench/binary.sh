#!/usr/bin/env bash
# Whole-buffer work on a 100 MB file: BinaryIndex, CRC-32, MD5, SHA-256 and
# zlib compression in the native release build, beside the same work in
# Python (zlib, hashlib) and in the command-line tool where one exists
# (grep -F, md5sum, sha256sum, gzip -6). Each run reads the file itself.
# Prints median seconds and the ratios ours/peer, and whether the results agree.
# Usage: bench/binary.sh [-n REPS] [--mb SIZE]
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"
reps=3 mb=100
while [ $# -gt 0 ]; do
  case "$1" in
    -n) reps="$2"; shift 2 ;;
    --mb) mb="$2"; shift 2 ;;
    *) sed -n '2,8p' "$0"; exit 2 ;;
  esac
done

orv_build native-release || exit 1
host=build/native-release/orv_native_host
python=$(python3 -c 'import sys; print(sys.executable)')
data="$root/build/bench/binary-$mb.dat"
if [ ! -f "$data" ]; then
  mkdir -p "$root/build/bench"
  # Log-like text: compresses about 4:1, like most data people pack.
  python3 -c "import random, sys
random.seed(13)
words = ['alpha', 'beta', 'gamma', 'delta', 'request', 'reply', 'error', 'warning', 'user', 'disk']
out, total = [], 0
while total < int(sys.argv[2]) << 20:
    line = '%08d %s %s %d\n' % (total, random.choice(words), random.choice(words), random.randrange(100000))
    out.append(line); total += len(line)
open(sys.argv[1], 'w').write(''.join(out)[: int(sys.argv[2]) << 20])" "$data" "$mb"
fi
size=$(stat -c %s "$data")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# shellcheck source=bench/timing.sh
source "$root/bench/timing.sh"

tool_for() {
  case "$1" in
    index) echo "grep -c -F zebra-quartz-needle $data; true" ;;
    md5) echo "md5sum $data" ;;
    sha256) echo "sha256sum $data" ;;
    compress) echo "gzip -6 -c $data" ;;
    *) echo "" ;;
  esac
}

echo "binary buffers: $((size >> 20)) MB, median of $reps; $(nproc) cpus"
printf '%-9s %8s %8s %7s %8s %9s  %s\n' work orv python orv/py tool orv/tool results
for op in index crc32 md5 sha256 compress; do
  ours=$(measure "$host" bench/binary/work.orv "$op" "$data" "$size"); r_ours=$(first)
  py=$(measure "$python" bench/binary/work.py "$op" "$data"); r_py=$(first)
  tool="-"; cmd=$(tool_for "$op")
  if [ -n "$cmd" ]; then
    # shellcheck disable=SC2086
    tool=$(measure sh -c "$cmd >$tmp/tool.out"); 
  fi
  agree=$([ "$r_ours" = "$r_py" ] && echo same || echo "orv=$r_ours py=$r_py")
  printf '%-9s %8s %8s %7s %8s %9s  %s\n' "$op" "$ours" "$py" "$(ratio "$ours" "$py")" "$tool" \
    "$(ratio "$ours" "$tool")" "$agree"
done
