#!/usr/bin/env bash
# Workloads timed in turns: each round runs our build, the peers and (with
# --before) an older build once each, so a slow spell of a shared machine
# falls on all of them alike instead of on whichever program bench/run.sh
# happened to be timing. Prints the median of the rounds and the ratios of
# the medians.
#   bench/interleaved.sh [-n ROUNDS] [--wine] [--no-peers] [--before DIR] WORKLOAD...
#   native: the release build against lua5.4 and python3, bench/run.sh's native sizes
#   --wine: orv.dll through orvhost.exe against cscript.exe (VBScript, JScript)
#           under Wine, bench/run.sh's Wine sizes
#   --no-peers: ours and the older build only
#   WORKLOAD:SIZE runs it at SIZE instead
#   (ROUNDS default 11; DIR as for bench/run.sh: it holds orv_native_host or
#   orvhost.exe with its orv.dll, directly or in native-release/ or win32/)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root" || exit 1
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"
# shellcheck source=bench/timing.sh
source "$root/bench/timing.sh"   # seconds, median, ratio, data_file, out_file, wine_cscript

usage() { sed -n '2,15p' "$0"; exit 2; }
rounds=11 before="" wine=0 peers=1
while [ $# -gt 0 ]; do
  case "$1" in
    -n) rounds="$2"; shift 2 ;;
    --wine) wine=1; shift ;;
    --no-peers) peers=0; shift ;;
    --before) before="$2"; shift 2 ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || usage
host=orv_native_host dir=native-release
[ $wine = 1 ] && host=orvhost.exe dir=win32
old=""
if [ -n "$before" ]; then
  for f in "$before/$host" "$before/$dir/$host"; do [ -f "$f" ] && old="$f" && break; done
  [ -n "$old" ] || { echo "interleaved: no $host in $before" >&2; exit 2; }
fi
if [ $wine = 1 ]; then
  orv_build win32 >/dev/null || exit 1
  orv_start_wine
  cscript=$(wine_cscript)
  # ours, the two peers and the older build: the command before the script
  runners=("wine build/win32/orvhost.exe" "wine $cscript //nologo" "wine $cscript //nologo" "wine $old")
  names=(orv vbscript jscript) exts=(orv vbs js) column=3
  path() { orv_wine_path "$1"; }
else
  orv_build native-release >/dev/null || exit 1
  runners=("build/native-release/orv_native_host" "lua5.4" "python3" "$old")
  names=(orv lua5.4 python3) exts=(orv lua py) column=2
  path() { printf '%s' "$1"; }
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
W=bench/workloads

# A workload's size for this run, from bench/run.sh's table.
size_of() { awk -v w="$1" -v k="$column" '{ gsub(/"/, "") } $1 == w && NF == 3 && $k != "-" { print $k }' bench/run.sh | head -1; }

# run K FILE ARGS...: one round of runner K (0 ours, 1 and 2 the peers, 3 the
# older build) on FILE, its seconds added to $tmp/K.
run() {
  local k="$1" file="$2" cmd
  shift 2
  read -ra cmd <<<"${runners[k]}"
  seconds "${cmd[@]}" "$(path "$file")" "$@" >>"$tmp/$k"
}

printf '%-12s %9s %6s %8s' workload size rounds orv
[ $peers = 1 ] && printf ' %8s %8s %8s %8s' "${names[1]}" "${names[2]}" "orv/${exts[1]}" "orv/${exts[2]}"
[ -n "$old" ] && printf ' %8s %8s' before orv/bef
echo
for name in "$@"; do
  size=""
  [[ "$name" == *:* ]] && size="${name#*:}" name="${name%%:*}"
  [ -n "$size" ] || size=$(size_of "$name")
  if [ -z "$size" ] || [ ! -f "$W/$name.orv" ]; then echo "interleaved: no workload $name here" >&2; exit 2; fi
  extra=()
  [ "$name" = file_lines ] && extra=("$(path "$(data_file "$size")")")
  [ "$name" = file_write ] && extra=("$(path "$(out_file)")")
  for k in 0 1 2 3; do : >"$tmp/$k"; done
  for ((r = 0; r < rounds; r++)); do
    run 0 "$W/$name.${exts[0]}" "$size" "${extra[@]}"
    if [ $peers = 1 ]; then
      run 1 "$W/$name.${exts[1]}" "$size" "${extra[@]}"
      run 2 "$W/$name.${exts[2]}" "$size" "${extra[@]}"
    fi
    [ -n "$old" ] && run 3 "$W/$name.orv" "$size" "${extra[@]}"
  done
  o=$(median <"$tmp/0")
  printf '%-12s %9s %6s %8s' "$name" "$size" "$rounds" "$o"
  if [ $peers = 1 ]; then
    a=$(median <"$tmp/1") b=$(median <"$tmp/2")
    printf ' %8s %8s %8s %8s' "$a" "$b" "$(ratio "$o" "$a")" "$(ratio "$o" "$b")"
  fi
  if [ -n "$old" ]; then b=$(median <"$tmp/3"); printf ' %8s %8s' "$b" "$(ratio "$o" "$b")"; fi
  echo
done
