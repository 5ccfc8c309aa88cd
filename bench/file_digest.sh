#!/usr/bin/env bash
# FileDigest of a 1 GB file (sparse by default, so the disk holds nothing)
# in the native release build beside the command-line tool for the same
# digest (md5sum, sha1sum, sha256sum, sha512sum) on the same file, in one
# command. Prints median seconds, the ratio ours/tool, and whether the
# digests agree. --generated uses a file of written pseudo-random bytes.
# Usage: bench/file_digest.sh [-n REPS] [--mb SIZE] [--generated] [ALGORITHM...]
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"
reps=3 mb=1024 kind=sparse algorithms=()
while [ $# -gt 0 ]; do
  case "$1" in
    -n) reps="$2"; shift 2 ;;
    --mb) mb="$2"; shift 2 ;;
    --generated) kind=generated; shift ;;
    -*) sed -n '2,8p' "$0"; exit 2 ;;
    *) algorithms+=("$1"); shift ;;
  esac
done
[ ${#algorithms[@]} -gt 0 ] || algorithms=(sha256 md5 sha1 sha512)

orv_build native-release || exit 1
host=build/native-release/orv_native_host
mkdir -p "$root/build/bench"
data="$root/build/bench/digest-$kind-$mb.dat"
if [ ! -f "$data" ]; then
  if [ "$kind" = sparse ]; then
    truncate -s "${mb}M" "$data"
  else
    head -c "$((mb << 20))" /dev/urandom >"$data"
  fi
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# shellcheck source=bench/timing.sh
source "$root/bench/timing.sh"

echo "FileDigest: $mb MB $kind file, median of $reps; $(nproc) cpus"
printf '%-8s %8s %8s %8s  %s\n' digest orv tool orv/tool results
for alg in "${algorithms[@]}"; do
  ours=$(measure "$host" bench/file_digest/work.orv "$alg" "$data"); r_ours=$(first)
  tool=$(measure "${alg}sum" "$data"); r_tool=$(first)
  agree=$([ "$r_ours" = "$r_tool" ] && echo same || echo "orv=$r_ours tool=$r_tool")
  printf '%-8s %8s %8s %8s  %s\n' "$alg" "$ours" "$tool" "$(ratio "$ours" "$tool")" "$agree"
done
