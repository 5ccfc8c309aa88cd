#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan/UBSan), seeds them from the golden
# scripts and runs each for SECONDS (default 10; --long: 300). Exit 1 when any
# target crashed, leaked, hung, failed a heap check, took more than
# ORV_FUZZ_MALLOC_MB (256) in one allocation or ORV_FUZZ_RSS_MB (512) in all,
# or spent more than 10 s on one input; the input that did it is kept in
# build/fuzz/crashes/TARGET/ and its report is printed.
#   fuzz/run.sh [SECONDS]        fuzz/run.sh --long [SECONDS]
# Targets run niced, ORV_JOBS (default 1) at a time.
# Reproduce one: build/fuzz/TARGET build/fuzz/crashes/TARGET/crash-...
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"
secs=10
if [ "${1:-}" = --long ]; then
  secs="${2:-300}"
else
  secs="${1:-10}"
fi
jobs="${ORV_JOBS:-1}"
malloc_mb="${ORV_FUZZ_MALLOC_MB:-256}"
rss_mb="${ORV_FUZZ_RSS_MB:-512}"
targets=(tokenizer_fuzz expression_fuzz prepare_fuzz script_fuzz key_language_fuzz title_pattern_fuzz command_line_fuzz variant_rules_fuzz line_reader_fuzz name_rules_fuzz binary_fuzz ymdhms_fuzz text_fuzz map_store_fuzz dialog_definition_fuzz menu_file_fuzz type_words_fuzz desktop_files_fuzz)

orv_build fuzz || { echo "fuzz: build failed"; exit 1; }
out="$root/build/fuzz"
bash fuzz/seed.sh "$out/seeds" >/dev/null || { echo "fuzz: seeding failed"; exit 1; }
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export ORV_FUZZ_SCRATCH="$out/scratch"
mkdir -p "$out/work"

# One target: runs it and leaves its exit status in $out/TARGET.status.
fuzz_one() {
  local t="$1" corpus="$out/corpus/$1" crashes="$out/crashes/$1" log="$out/$1.log"
  mkdir -p "$corpus" "$crashes"
  # New inputs go to the first folder (kept between runs); the seeds are read only.
  (cd "$out/work" && nice -n 10 "$out/$t" -max_total_time="$secs" -timeout=10 -rss_limit_mb="$rss_mb" \
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
    [ -n "$artifact" ] && (cd "$out/work" && "$out/$t" "$artifact" 2>&1 | grep -a -v '^>>>' | tail -n 60)
  fi
done
echo "$passed passed, $failed failed"
[ $failed = 0 ]
