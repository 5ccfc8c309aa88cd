#!/usr/bin/env bash
# DllCall speed: N calls of MulDiv through a DLL handle against N calls of a
# user-defined function with the same arguments (Wine's script engines cannot
# call DLL entry points, so our own function call is the baseline). Both run in
# orv.dll through orvhost.exe under the same Wine; prints calls per second and
# the ratio dllcall/udf of the times.
#   bench/dllcall.sh [N]     (default 100000)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"
n="${1:-100000}"
orv_build win32 || exit 1
orv_start_wine
# seconds WORKLOAD: wall time of one run (its output must be a number).
seconds() {
  local s e out
  s=$(date +%s.%N)
  out=$(wine build/win32/orvhost.exe "bench/workloads/$1.orv" "$n" 2>&1 </dev/null | tr -d '\r')
  e=$(date +%s.%N)
  [[ "$out" =~ ^[0-9.]+$ ]] || { echo "bench: $1 failed: $out" >&2; return 1; }
  echo "$e - $s" | bc
}
dll=$(seconds dllcall) || exit 1
udf=$(seconds udf_call) || exit 1
awk -v n="$n" -v d="$dll" -v u="$udf" 'BEGIN {
  printf "dllcall   %d calls  %.2f s  %.0f calls/s\n", n, d, n / d
  printf "udf_call  %d calls  %.2f s  %.0f calls/s\n", n, u, n / u
  printf "ratio dllcall/udf_call (time): %.2f\n", d / u }'
