#!/usr/bin/env bash
# Builds the libFuzzer targets (the native build made with clang, ASan/UBSan), seeds them from the golden
# scripts and runs each for SECONDS (default 10; --long: 300). Exit 1 when any
# target crashed, leaked, hung, failed a heap check, took more than
# ORV_FUZZ_MALLOC_MB (256) in one allocation or ORV_FUZZ_RSS_MB (512) in all,
# or spent more than 10 s on one input; the input that did it is kept in
# build/fuzz/crashes/TARGET/ and its report is printed.
#   fuzz/run.sh [SECONDS [TARGET...]]        fuzz/run.sh --long [SECONDS [TARGET...]]
# Targets run niced, ORV_JOBS (default 1) at a time.
# Reproduce one: build/native/TARGET build/fuzz/crashes/TARGET/crash-...
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"
secs=10
if [ "${1:-}" = --long ]; then
  secs="${2:-300}"
  shift $(($# < 2 ? $# : 2))
else
  secs="${1:-10}"
  shift $(($# < 1 ? 0 : 1))
fi
jobs="${ORV_JOBS:-1}"
malloc_mb="${ORV_FUZZ_MALLOC_MB:-256}"
rss_mb="${ORV_FUZZ_RSS_MB:-512}"
# Every fuzz/*_fuzz.cpp, or the targets named after SECONDS.
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(cd fuzz && ls -- *_fuzz.cpp | sed 's/\.cpp$//')

bin="$root/build/native"
if ! command -v clang++ >/dev/null; then
  echo "fuzz: needs clang (bash scripts/setup.sh test installs it)"; exit 1
fi
if [ -f "$bin/CMakeCache.txt" ] && ! grep -q '^ORV_FUZZ:BOOL=ON' "$bin/CMakeCache.txt"; then
  echo "fuzz: build/native was configured without clang; remove build/native and run again"; exit 1
fi
orv_build native "${targets[@]}" || { echo "fuzz: build failed"; exit 1; }
# Corpora, crashes and logs: kept apart from the build, between runs.
out="$root/build/fuzz"
bash fuzz/seed.sh "$out/seeds" >/dev/null || { echo "fuzz: seeding failed"; exit 1; }
# A smaller quarantine of freed blocks: the RSS limit is for what the inputs make
# the library hold, and a target doing 60,000 inputs a second otherwise fills
# the sanitizer's default 256 MB quarantine past it within seconds.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}:quarantine_size_mb=32"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export ORV_FUZZ_SCRATCH="$out/scratch"
mkdir -p "$out/work"

# One target: runs it and leaves its exit status in $out/TARGET.status.
fuzz_one() {
  local t="$1" corpus="$out/corpus/$1" crashes="$out/crashes/$1" log="$out/$1.log"
  mkdir -p "$corpus" "$crashes"
  # New inputs go to the first folder (kept between runs); the seeds are read only.
  (cd "$out/work" && nice -n 10 "$bin/$t" -max_total_time="$secs" -timeout=10 -rss_limit_mb="$rss_mb" \
      -malloc_limit_mb="$malloc_mb" -max_len=16384 -close_fd_mask=3 -print_final_stats=1 \
      -artifact_prefix="$crashes/" "$corpus" "$out/seeds/$t") >"$log" 2>&1 </dev/null
  echo $? >"$out/$t.status"
}

running=0
for t in "${targets[@]}"; do
  fuzz_one "$t" &
  running=$((running + 1))
  if [ $running -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

passed=0 failed=0
for t in "${targets[@]}"; do
  log="$out/$t.log"
  status=$(cat "$out/$t.status")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$status" = 0 ]; then
    passed=$((passed + 1))
    echo "ok    $t: ${runs:-?} runs in $secs s"
  else
    failed=$((failed + 1))
    echo "FAIL  $t (status $status):"
    grep -a -E '^(==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written|.*runtime error)' "$log" | head -n 20
    # The report again, with the target's own output shown (run with 2>&1).
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
    [ -n "$artifact" ] && (cd "$out/work" && "$bin/$t" "$artifact" 2>&1 | grep -a -v '^>>>' | tail -n 60)
  fi
done
echo "$passed passed, $failed failed"
[ $failed = 0 ]
