#!/usr/bin/env bash
# Runs the same workloads in our interpreter and in peers and prints the median
# times, the ratios ours/peer and each process's peak resident memory.
#   native: build/native-release/orv_native_host vs lua5.4 and python3
#   wine:   orv.dll through orvhost.exe vs cscript.exe (VBScript, JScript), all 32-bit
#           under the same Wine and one persistent wineserver; sizes are smaller
#           there (the peers are much slower), see the size columns.
# "empty" is process start: an empty script, and for Wine a program that does nothing.
# "com_start" is the start of automation alone (one object, one call): under Wine
# its first window starts Wine's desktop process, for the peers as for us, so
# com_calls minus com_start is what the calls themselves cost. The row "(floor)"
# under com_calls is a program that only starts automation and makes one call
# (bench/com_floor_main.cpp), set against the peers' com_calls: no interpreter
# can go below it. The row "(in C)" is the same program making all of
# com_calls' calls: what the calls cost with no interpreter at all.
# A workload whose script fails shows n/a.
# Memory (MB) is the peak resident size of one run's process (/usr/bin/time %M).
# Under Wine that is the one Wine process running the program: Wine's own DLLs
# included, the shared wineserver not; the row "empty" gives that floor.
#
# Usage: bench/run.sh [-n REPS] [--scale DIV] [--only a,b] [--no-native] [--no-wine]
#                     [--before DIR]
#   -n REPS      repetitions per measurement, the median is shown (default 3)
#   --scale DIV  divides every size by DIV (a quick look: --scale 10)
#   --before DIR also runs an older build in the same command and shows its time,
#                after/before and its memory: DIR holds orv_native_host and/or
#                orvhost.exe with its orv.dll, directly or in native-release/ and
#                win32/ (what bench/build_at.sh REV DIR makes)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"

reps=3 scale=1 only="" do_native=1 do_wine=1 before=""
while [ $# -gt 0 ]; do
  case "$1" in
    -n) reps="$2"; shift 2 ;;
    --scale) scale="$2"; shift 2 ;;
    --only) only=",$2,"; shift 2 ;;
    --no-native) do_native=0; shift ;;
    --no-wine) do_wine=0; shift ;;
    --before) before="$2"; shift 2 ;;
    *) sed -n '2,/^set /p' "$0" | grep '^#'; exit 2 ;;
  esac
done

# name  native-size  wine-size ("-": not run there)
workloads=(
  "empty 0 0"
  "int_loop 10000000 1000000"
  "float_math 2000000 200000"
  "str_concat 1000000 100000"
  "str_search 200000 20000"
  "item_list 20000 2000"
  "array_sort 200000 20000"
  "fib 25 20"
  "fn_calls 200000 20000"
  "switch 2000000 200000"
  "file_lines 500000 50000"
  "com_start - 1"
  "com_calls - 20000"
  "file_write 500000 50000"
  "map_ops 1000000 100000"
)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
W=bench/workloads

# shellcheck source=bench/timing.sh
source "$root/bench/timing.sh"   # median_of_runs, data_file, out_file, wine_cscript; the measure below replaces its simpler one

# measure CMD...: prints the median seconds of $reps runs, or n/a when the
# command fails or writes to standard error. Its output goes to $tmp/out, the
# peak resident kilobytes of that first run to $tmp/mem (see peak_mb).
measure() {
  : >"$tmp/mem"
  local timer=()
  [ -n "$time_bin" ] && timer=("$time_bin" -f %M -o "$tmp/mem")
  # (Wine's script host ends silently on some script errors: no output means failed too.)
  if ! "${timer[@]}" "$@" >"$tmp/out" 2>"$tmp/err" </dev/null || [ -s "$tmp/err" ] || { [ ! -s "$tmp/out" ] && [ "$expect_output" = 1 ]; }; then
    : >"$tmp/mem"
    printf 'n/a'
    return
  fi
  if command -v hyperfine >/dev/null; then
    local cmd; cmd=$(printf '%q ' "$@")
    if hyperfine -N --style none --runs "$reps" --export-json "$tmp/h.json" -- "$cmd" >/dev/null 2>&1; then
      python3 -c "import json,sys; print('%.3f' % json.load(open(sys.argv[1]))['results'][0]['median'], end='')" "$tmp/h.json"
      return
    fi
  fi
  median_of_runs "$@"
}

# peak_mb: the last measure's peak resident size in MB, n/a when it failed or
# there is no /usr/bin/time (the "time" package; scripts/setup.sh test installs it).
peak_mb() {
  local kb; kb=$(tail -n 1 "$tmp/mem" 2>/dev/null)
  if [[ "$kb" =~ ^[0-9]+$ ]]; then awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }'; else printf 'n/a'; fi
}

ratio() {  # ratio OURS PEER
  if [[ "$1" == n/a || "$2" == n/a ]]; then printf 'n/a'; return; fi
  awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "n/a" }'
}

# first_word FILE: the result a script printed (for the agreement column).
first_word() { tr -d '\r' <"$1" | awk 'NR==1 {print $1}'; }

# same A B...: every result equals the first (numbers to 7 significant digits).
same() {
  local a="$1" b; shift
  for b in "$@"; do
    awk -v a="$a" -v b="$b" 'BEGIN {
      if (a == b) exit 0
      if (a + 0 == a && b + 0 == b) { d = a - b; if (d < 0) d = -d; m = (b < 0 ? -b : b); exit !(d <= 1e-7 * (m > 1 ? m : 1)) }
      exit 1 }' || return 1
  done
}

# first_file NAME DIR...: the first DIR/NAME that exists.
first_file() {
  local name="$1" d; shift
  for d in "$@"; do [ -f "$d/$name" ] && { printf '%s' "$d/$name"; return 0; }; done
  return 1
}

expect_output=1
wanted() { [ -z "$only" ] || [[ "$only" == *",$1,"* ]]; }

time_bin=""
[ -x /usr/bin/time ] && time_bin=/usr/bin/time
[ -z "$time_bin" ] && echo "bench: no /usr/bin/time (package time: bash scripts/setup.sh test), memory shows n/a" >&2

# The older build, when asked for: its hosts, each side only where it exists.
before_native="" before_wine=""
if [ -n "$before" ]; then
  [ -d "$before" ] || { echo "bench: --before: no folder $before" >&2; exit 2; }
  before=$(cd "$before" && pwd)
  before_native=$(first_file orv_native_host "$before" "$before/native-release" "$before/build/native-release") || before_native=""
  before_wine=$(first_file orvhost.exe "$before" "$before/win32" "$before/build/win32") || before_wine=""
  if [ -z "$before_native" ] && [ -z "$before_wine" ]; then
    echo "bench: --before $before holds neither orv_native_host nor orvhost.exe" >&2; exit 2
  fi
  echo "before: ${before_native:-no native host}; ${before_wine:-no Windows host}"
fi

echo "machine: $(nproc) cpus, $(lscpu | sed -n 's/^Model name: *//p' | head -n 1); $(date -u '+%Y-%m-%d %H:%M UTC'); median of $reps"

# row COLUMNS...: one table line; the first column is the workload, the last
# the agreement of results; the others right-aligned, "" leaves a gap.
row() {
  local line; line=$(printf '%-11s' "$1"); shift
  while [ $# -gt 1 ]; do line+=$(printf ' %8s' "$1"); shift; done
  printf '%s  %s\n' "$line" "$1"
}

if [ $do_native = 1 ]; then
  orv_build native-release || exit 1
  host=build/native-release/orv_native_host
  # The interpreter itself, not a version-manager shim in front of it.
  python=$(python3 -c 'import sys; print(sys.executable)')
  echo
  echo "== native x86-64: seconds, then peak memory in MB (orv = release build without sanitizers)"
  bcols=(); [ -n "$before_native" ] && bcols=(before orv/bef)
  bmem=(); [ -n "$before_native" ] && bmem=(MBbefore)
  row workload size orv lua5.4 orv/lua python3 orv/py "${bcols[@]}" MBorv MBlua MBpy orv/py "${bmem[@]}" results
  for w in "${workloads[@]}"; do
    read -r name size _ <<<"$w"
    wanted "$name" || continue
    [ "$size" = - ] && continue   # needs the Windows build (automation objects)
    size=$((size / scale)); [ "$name" = fib ] && size=$((25 - (scale > 1 ? 5 : 0)))
    [ "$name" = empty ] && size=0
    expect_output=1; [ "$name" = empty ] && expect_output=0
    extra=(); [ "$name" = file_lines ] && extra=("$(data_file "$size")")
    [ "$name" = file_write ] && extra=("$(out_file)")
    ours=$(measure "$host" "$W/$name.orv" "$size" "${extra[@]}"); r_ours=$(first_word "$tmp/out"); m_ours=$(peak_mb)
    lua=$(measure lua5.4 "$W/$name.lua" "$size" "${extra[@]}"); r_lua=$(first_word "$tmp/out"); m_lua=$(peak_mb)
    py=$(measure "$python" "$W/$name.py" "$size" "${extra[@]}"); r_py=$(first_word "$tmp/out"); m_py=$(peak_mb)
    bt=() bm=()
    if [ -n "$before_native" ]; then
      old=$(measure "$before_native" "$W/$name.orv" "$size" "${extra[@]}"); m_old=$(peak_mb)
      bt=("$old" "$(ratio "$ours" "$old")"); bm=("$m_old")
    fi
    agree="-"; [ "$ours" != n/a ] && agree=$(same "$r_ours" "$r_lua" "$r_py" && echo same || echo "orv=$r_ours lua=$r_lua py=$r_py")
    row "$name" "$size" "$ours" "$lua" "$(ratio "$ours" "$lua")" "$py" "$(ratio "$ours" "$py")" "${bt[@]}" \
      "$m_ours" "$m_lua" "$m_py" "$(ratio "$m_ours" "$m_py")" "${bm[@]}" "$agree"
  done
fi

if [ $do_wine = 1 ]; then
  orv_build win32 || exit 1
  orv_start_wine
  # The first program in a prefix starts Wine's own services, which stay busy
  # for a moment: the first row measured would pay for them.
  wine build/win32/bench_empty.exe >/dev/null 2>&1 </dev/null
  sleep 3
  cscript=$(wine_cscript)
  echo
  echo "== wine 32-bit: seconds, then peak memory in MB; orv = orv.dll through orvhost.exe, peers = cscript.exe"
  bcols=(); [ -n "$before_wine" ] && bcols=(before orv/bef)
  bmem=(); [ -n "$before_wine" ] && bmem=(MBbefore)
  row workload size orv vbscript orv/vbs jscript orv/js "${bcols[@]}" MBorv MBvbs MBjs orv/js "${bmem[@]}" results
  for w in "${workloads[@]}"; do
    read -r name _ size <<<"$w"
    wanted "$name" || continue
    size=$((size / scale)); [ "$name" = fib ] && size=$((20 - (scale > 1 ? 4 : 0)))
    [ "$name" = empty ] && size=0
    expect_output=1; [ "$name" = empty ] && expect_output=0
    extra=(); [ "$name" = file_lines ] && extra=("$(orv_wine_path "$(data_file "$size")")")
    [ "$name" = file_write ] && extra=("$(orv_wine_path "$(out_file)")")
    ours=$(measure wine build/win32/orvhost.exe "$W/$name.orv" "$size" "${extra[@]}"); r_ours=$(first_word "$tmp/out"); m_ours=$(peak_mb)
    bt=() bm=()
    if [ -n "$before_wine" ]; then
      old=$(measure wine "$before_wine" "$W/$name.orv" "$size" "${extra[@]}"); m_old=$(peak_mb)
      bt=("$old" "$(ratio "$ours" "$old")"); bm=("$m_old")
    fi
    if [ "$name" = empty ]; then
      # Process start: the same Wine start with a program that does nothing.
      bare=$(measure wine build/win32/bench_empty.exe); m_bare=$(peak_mb)
      row "$name" - "$ours" "$bare" "$(ratio "$ours" "$bare")" "" "" "${bt[@]}" "$m_ours" "$m_bare" "" "" "${bm[@]}" \
        "(peer column: bench_empty.exe, a program that does nothing)"
    fi
    vbs=$(measure wine "$cscript" //nologo "$W/$name.vbs" "$size" "${extra[@]}"); r_vbs=$(first_word "$tmp/out"); m_vbs=$(peak_mb)
    js=$(measure wine "$cscript" //nologo "$W/$name.js" "$size" "${extra[@]}"); r_js=$(first_word "$tmp/out"); m_js=$(peak_mb)
    agree="-"; [ "$ours" != n/a ] && agree=$(same "$r_ours" "$r_vbs" "$r_js" && echo same || echo "orv=$r_ours vbs=$r_vbs js=$r_js")
    [ "$name" = empty ] && name="empty(cs)"
    row "$name" "$size" "$ours" "$vbs" "$(ratio "$ours" "$vbs")" "$js" "$(ratio "$ours" "$js")" "${bt[@]}" \
      "$m_ours" "$m_vbs" "$m_js" "$(ratio "$m_ours" "$m_js")" "${bm[@]}" "$agree"
    if [ "$name" = com_calls ]; then
      # What no program can go below: automation started, one object, one call.
      floor=$(measure wine build/win32/bench_com_floor.exe 1); m_floor=$(peak_mb)
      fb=(); [ -n "$before_wine" ] && fb=("" "")
      fm=(); [ -n "$before_wine" ] && fm=("")
      row "(floor)" - "$floor" "$vbs" "$(ratio "$floor" "$vbs")" "$js" "$(ratio "$floor" "$js")" "${fb[@]}" \
        "$m_floor" "$m_vbs" "$m_js" "$(ratio "$m_floor" "$m_js")" "${fm[@]}" \
        "(orv column: bench_com_floor.exe, which only starts automation and makes one call; peers: com_calls)"
      # The same calls made by compiled code: what is left with no interpreter at all.
      direct=$(measure wine build/win32/bench_com_floor.exe "$size" calls); r_direct=$(first_word "$tmp/out"); m_direct=$(peak_mb)
      agree=$(same "$r_direct" "$r_vbs" "$r_js" && echo same || echo "C=$r_direct vbs=$r_vbs js=$r_js")
      row "(in C)" "$size" "$direct" "$vbs" "$(ratio "$direct" "$vbs")" "$js" "$(ratio "$direct" "$js")" "${fb[@]}" \
        "$m_direct" "$m_vbs" "$m_js" "$(ratio "$m_direct" "$m_js")" "${fm[@]}" \
        "$agree (orv column: bench_com_floor.exe N calls, the same calls from C; peers: com_calls)"
    fi
  done
fi
