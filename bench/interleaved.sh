#!/usr/bin/env bash
# Native workloads timed in turns: each round runs our release build, lua5.4,
# python3 and (with --before) an older build once each, so a slow spell of a
# shared machine falls on all of them alike instead of on whichever program
# bench/run.sh happened to be timing. Prints the median of the rounds and the
# ratios of the medians.
#   bench/interleaved.sh [-n ROUNDS] [--before DIR] WORKLOAD...
#   (ROUNDS default 11; DIR as for bench/run.sh: it holds orv_native_host,
#   directly or in native-release/; sizes are bench/run.sh's native ones)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root" || exit 1
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"

rounds=11 before=""
while [ $# -gt 0 ]; do
  case "$1" in
    -n) rounds="$2"; shift 2 ;;
    --before) before="$2"; shift 2 ;;
    -*) sed -n '2,9p' "$0"; exit 2 ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { sed -n '2,9p' "$0"; exit 2; }
old=""
if [ -n "$before" ]; then
  for f in "$before/orv_native_host" "$before/native-release/orv_native_host"; do [ -x "$f" ] && old="$f" && break; done
  [ -n "$old" ] || { echo "interleaved: no orv_native_host in $before" >&2; exit 2; }
fi
orv_build native-release >/dev/null || exit 1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
W=bench/workloads

# The native size of a workload, from bench/run.sh's table.
size_of() { sed -n "s/^  \"$1 \([0-9]*\) .*/\1/p" bench/run.sh; }

# seconds CMD...: one run's wall seconds (output dropped).
seconds() {
  local s e
  s=$(date +%s.%N); "$@" >/dev/null 2>&1 </dev/null; e=$(date +%s.%N)
  echo "$e - $s" | bc
}

median() { sort -g "$1" | awk '{a[NR]=$1} END {printf "%.3f", (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }

printf '%-12s %9s %6s %8s %8s %8s %8s' workload size rounds orv lua5.4 python3 orv/lua
printf ' %8s' orv/py
[ -n "$old" ] && printf ' %8s %8s' before orv/bef
echo
for name in "$@"; do
  size=$(size_of "$name")
  if [ -z "$size" ] || [ ! -f "$W/$name.orv" ]; then echo "interleaved: no native workload $name" >&2; exit 2; fi
  extra=()
  if [ "$name" = file_lines ]; then
    lines="$root/build/bench/lines-$size.txt"
    mkdir -p "$root/build/bench"
    [ -f "$lines" ] || python3 -c "import sys
with open(sys.argv[1], 'w') as f:
    for i in range(int(sys.argv[2])): f.write('line %d of the benchmark file, some words follow\n' % i)" "$lines" "$size"
    extra=("$lines")
  fi
  [ "$name" = file_write ] && extra=("$root/build/bench/written.txt")
  : >"$tmp/orv"; : >"$tmp/lua"; : >"$tmp/py"; : >"$tmp/old"
  for ((r = 0; r < rounds; r++)); do
    seconds build/native-release/orv_native_host "$W/$name.orv" "$size" "${extra[@]}" >>"$tmp/orv"
    seconds lua5.4 "$W/$name.lua" "$size" "${extra[@]}" >>"$tmp/lua"
    seconds python3 "$W/$name.py" "$size" "${extra[@]}" >>"$tmp/py"
    [ -n "$old" ] && seconds "$old" "$W/$name.orv" "$size" "${extra[@]}" >>"$tmp/old"
  done
  o=$(median "$tmp/orv") l=$(median "$tmp/lua") p=$(median "$tmp/py")
  printf '%-12s %9s %6s %8s %8s %8s %8s %8s' "$name" "$size" "$rounds" "$o" "$l" "$p" "$(ratio "$o" "$l")" "$(ratio "$o" "$p")"
  if [ -n "$old" ]; then b=$(median "$tmp/old"); printf ' %8s %8s' "$b" "$(ratio "$o" "$b")"; fi
  echo
done
