#!/usr/bin/env bash
# Window automation benchmark, ours against Wine's script host (its shell
# object: Run with wait, SendKeys) under the same Wine, on a private Xvfb:
#   start_wait  start-and-wait of N programs that do nothing (bench_empty.exe)
#   typing      N characters typed into the editor
# Prints the median seconds of each side and the ratio ours/peer.
# Usage: bench/winauto/run.sh [-n REPS] [--starts N] [--chars N]
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root" || exit 1
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"
reps=3 starts=50 chars=2000
while [ $# -gt 0 ]; do
  case "$1" in
    -n) reps="$2"; shift 2 ;;
    --starts) starts="$2"; shift 2 ;;
    --chars) chars="$2"; shift 2 ;;
    *) sed -n '2,8p' "$0"; exit 2 ;;
  esac
done
if [ "${ORV_BENCH_DISPLAY_READY:-}" != 1 ]; then
  orv_ensure_toolchain test && orv_build win32 || exit 1
  exec 9>"$root/build/wineprefix-gui.lock"
  flock -w 900 9 || { echo "another run holds build/wineprefix-gui.lock"; exit 1; }
  ORV_BENCH_DISPLAY_READY=1 exec xvfb-run -a -s "-screen 0 $orv_virtual_screen" bash "$0" -n "$reps" --starts "$starts" --chars "$chars"
fi
export WINEPREFIX="$root/build/wineprefix-gui"
orv_restart_wine
trap 'wineserver -k >/dev/null 2>&1' EXIT
B=bench/winauto
empty_exe="$(orv_wine_path "$root/build/win32/bench_empty.exe")"

# median_time COMMAND...: median wall seconds over the repetitions; n/a when a
# run fails, "unsupported" when the peer says it cannot do the work (status 3).
median_time() {
  local times=() t0 t1 status
  for ((i = 0; i < reps; i++)); do
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1 </dev/null
    status=$?
    [ $status = 3 ] && { echo unsupported; return; }
    [ $status = 0 ] || { echo n/a; return; }
    t1=$(date +%s.%N)
    times+=("$(echo "$t1 - $t0" | bc)")
  done
  printf '%.2f\n' "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (reps + 1) / 2 ))p")"
}

ratio() { case "$1$2" in *[a-z]*) echo n/a ;; *) echo "scale=2; $1 / $2" | bc ;; esac; }

printf '%-12s %8s %11s %11s %7s\n' workload size ours cscript ratio
ours=$(median_time wine build/win32/orvhost.exe "$B/start_wait.orv" "$starts" "$empty_exe")
peer=$(median_time wine cscript.exe //nologo "$B/start_wait.vbs" "$starts" "$empty_exe")
printf '%-12s %8s %11s %11s %7s\n' start_wait "$starts" "$ours" "$peer" "$(ratio "$ours" "$peer")"
ours=$(median_time wine build/win32/orvhost.exe "$B/typing.orv" "$chars")
peer=$(median_time wine cscript.exe //nologo "$B/typing.vbs" "$chars")
printf '%-12s %8s %11s %11s %7s\n' typing "$chars" "$ours" "$peer" "$(ratio "$ours" "$peer")"
