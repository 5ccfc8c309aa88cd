#!/usr/bin/env bash
# Replays the fuzz corpora (build/fuzz/corpus/TARGET, filled by fuzz/run.sh)
# through the 32-bit library under Wine: the product runs out of address
# space where the native build does not. Every input runs as a script in a
# fresh context; an input that kills the process is reported as a crash and
# copied to build/fuzz/replay/crashes/, one that runs past SECONDS (default
# 30; inputs may loop forever) as hung, and the replay goes on after it.
#   fuzz/replay_wine.sh [TARGET...]     (default: script_fuzz expression_fuzz)
# Exit 1 when any input crashed.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"
secs="${ORV_REPLAY_SECONDS:-30}"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(script_fuzz expression_fuzz)

orv_build win32 || { echo "replay: build failed"; exit 1; }
orv_start_wine
out="$root/build/fuzz/replay"
mkdir -p "$out/crashes"
host="$root/build/win32/orvhost.exe"

total_crashes=0
for t in "${targets[@]}"; do
  corpus="$root/build/fuzz/corpus/$t"
  if [ ! -d "$corpus" ]; then
    echo "skip  $t: no corpus (run fuzz/run.sh first)"
    continue
  fi
  list="$out/$t.list" progress="$out/$t.progress"
  find "$corpus" -type f | sort | sed 's#/#\\#g; s#^#Z:#' >"$list"
  count=$(wc -l <"$list")
  from=0 crashes=0 hangs=0
  while [ "$from" -lt "$count" ]; do
    echo "$from" >"$progress"
    nice -n 10 wine "$host" --replay "$(orv_wine_path "$list")" "$from" "$(orv_wine_path "$progress")" \
        "$(orv_wine_path "$out/$t.stderr")" "$secs" >"$out/$t.out" 2>&1 </dev/null
    status=$?
    [ $status = 0 ] && break
    at=$(tr -d '\r\n' <"$progress")
    input=$(sed -n "$((at + 1))p" "$list" | sed 's#^Z:##; s#\\#/#g')
    if [ $status = 4 ]; then
      hangs=$((hangs + 1))
    else
      crashes=$((crashes + 1))
      echo "CRASH $t (status $status): $input"
      cp "$input" "$out/crashes/" 2>/dev/null
    fi
    from=$((at + 1))
  done
  total_crashes=$((total_crashes + crashes))
  echo "$([ $crashes = 0 ] && echo ok || echo FAIL)    $t: $count inputs, $crashes crashed, $hangs ran past ${secs} s"
done
orv_stop_wine
[ $total_crashes = 0 ]
