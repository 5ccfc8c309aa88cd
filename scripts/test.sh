#!/usr/bin/env bash
# The test command: builds both configurations, runs the unit tests under
# ASan/UBSan and the golden scripts natively and under Wine.
# Two lanes run side by side, one per core: the native one (build, unit tests,
# golden scripts, fuzzing) and the Wine one (build, golden scripts in two
# halves at once, examples, the launcher; beside them the dialog and window tests).
# One line as each step starts and ends, a failed step's output printed in one
# piece with its line, and a summary at the end with the slowest ten steps.
# Exit status 0 = all passed.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=0:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# What the lanes report goes to files here (a lane is a subshell): per lane its
# results ("ok|FAIL|skip <TAB> seconds <TAB> text") and its counts ("P F").
run_dir=build/test-run
lane=main

# say LINE...: prints whole lines while no other lane prints.
say() {
  { flock 9; printf '%s\n' "$@"; } 9>>"$run_dir/output.lock"
}
count() {  # count PASSED FAILED: adds to the closing totals
  echo "$1 $2" >>"$run_dir/$lane.counts"
}
# suite_counts LOG: the "N passed, N failed" line of a suite run, as counts.
suite_counts() {
  local line; line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$1" | tail -n 1)
  if [ -n "$line" ]; then
    count "$(echo "$line" | cut -d' ' -f1)" "$(echo "$line" | cut -d' ' -f3)"
  else
    count 0 1
  fi
}
# begin NAME: announces a step as it starts; its record says how long it took.
step_started=$SECONDS
begin() {
  step_started=$SECONDS
  say "[$(date +%H:%M:%S)] ....  $1"
}
# record NAME STATUS [SHOW-COMMAND...]: ends the step (STATUS 0, else failed, or
# "skip"); when it failed, what the command prints (the step's output) comes
# right before its line.
record() {
  local name="$1" status="$2" word=ok secs=$((SECONDS - step_started))
  shift 2
  [ "$status" != 0 ] && word=FAIL
  [ "$status" = skip ] && word=skip
  printf '%s\t%s\t%s\n' "$word" "$secs" "$name" >>"$run_dir/$lane.results"
  {
    flock 9
    if [ "$word" = FAIL ] && [ $# -gt 0 ]; then
      echo "---- ${name%%: *} failed (status $status):"
      "$@"
    fi
    printf '[%s] %-6s%s (%s s)\n' "$(date +%H:%M:%S)" "$word" "$name" "$secs"
  } 9>>"$run_dir/output.lock" 2>&1
  step_started=$SECONDS
}

# step NAME LOG COMMAND...: runs quietly, shows the end of the log only on failure.
step() {
  local name="$1" log="$2"
  shift 2
  begin "$name"
  "$@" >"$log" 2>&1 </dev/null
  local status=$?
  record "$name" $status tail -n 200 "$log"
  return $status
}

# The golden scripts write files under build/ by names of their own; the native
# and the Wine runs of the same script must not overlap.
with_script_files() {
  { flock 8; "$@"; } 8>>"$run_dir/script-files.lock"
}

# suite NAME LOG STDERR-FILE HOST...: the golden scripts of tests/scripts, one run of HOST.
suite() {
  local name="$1" log="$2" stderr_file="$3"
  shift 3
  begin "$name"
  "$@" --suite tests/scripts --stderr-file "$stderr_file" >"$log" 2>&1 </dev/null
  local status=$?
  # A sanitizer report of a crashed run stays in the capture file.
  show_suite() { cat "$log"; [ "$status" -gt 2 ] && tail -n 60 "$stderr_file"; }
  record "$name: $(tail -n 1 "$log")" $status show_suite
  suite_counts "$log"
}

# wine_suite: the golden scripts under Wine in two processes at once, the
# folders dealt alternately by size; each folder's scripts stay in one process.
wine_suite() {
  local name="golden scripts (wine)" part status=0 folders=() halves=("" "") pids=()
  begin "$name"
  mapfile -t folders < <(for d in tests/scripts/*/; do
    echo "$(find "$d" -name '*.orv' | wc -l) ${d%/}"; done | sort -rn | cut -d' ' -f2)
  local i=0
  for d in "${folders[@]}"; do halves[$((i % 2))]+="$d "; i=$((i + 1)); done
  rm -f build/win32/suite-0.counts build/win32/suite-1.counts
  for part in 0 1; do
    (
      : >"build/win32/suite-$part.log"
      for d in ${halves[$part]}; do
        wine build/win32/orvhost.exe --suite "$d" --stderr-file "build/win32/suite-$part-stderr.txt" \
          >"build/win32/suite-$part-part.log" 2>&1 </dev/null
        s=$?
        grep -v -E '^[0-9]+ passed, [0-9]+ failed$' "build/win32/suite-$part-part.log" >>"build/win32/suite-$part.log"
        line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "build/win32/suite-$part-part.log" | tail -n 1)
        echo "${line:-0 passed, 1 failed}" >>"build/win32/suite-$part.counts"
        [ $s = 0 ] || echo "FAIL $d: status $s" >>"build/win32/suite-$part.log"
      done
    ) &
    pids+=($!)
  done
  wait "${pids[@]}"
  local passed=0 fails=0 p f
  while read -r p _ f _; do passed=$((passed + p)); fails=$((fails + f)); done \
    < <(cat build/win32/suite-0.counts build/win32/suite-1.counts 2>/dev/null)
  cat build/win32/suite-0.log build/win32/suite-1.log >build/win32/suite.log 2>/dev/null
  echo "$passed passed, $fails failed" >>build/win32/suite.log
  grep -q '^FAIL' build/win32/suite.log && status=1
  [ "$passed" = 0 ] && status=1
  record "$name: $(tail -n 1 build/win32/suite.log)" $status cat build/win32/suite.log
  suite_counts build/win32/suite.log
}

# example_check LABEL COMMAND...: every examples/NAME.orv that has tests/examples/NAME.out runs
# to its end with exactly that output.
example_check() {
  local label="$1"; shift
  local script name out status
  for script in examples/*.orv; do
    name=$(basename "$script" .orv)
    [ -f "tests/examples/$name.out" ] || continue
    out="build/example-$name-$label.txt"
    begin "example $name ($label)"
    "$@" "$script" first "second word" >"$out" 2>&1 </dev/null
    status=$?
    if [ $status = 0 ] && diff -u "tests/examples/$name.out" "$out" >"$out.diff"; then
      record "example $name ($label)" 0; count 1 0
    else
      [ $status = 0 ] && status=1
      record "example $name ($label)" $status head -40 "$out.diff"; count 0 1
    fi
  done
}

# guide_check LABEL COMMAND...: the examples of docs/guide.md and of the reference entries, run as
# a golden-script suite.
guide_check() {
  local label="$1" log="build/guide-$1.log"; shift
  begin "guide and reference examples ($label)"
  "$@" --suite build/guide --stderr-file "build/guide-$label-stderr.txt" >"$log" 2>&1 </dev/null
  local status=$?
  record "guide and reference examples ($label): $(tail -n 1 "$log")" $status cat "$log"
  suite_counts "$log"
}

# script_test NAME LOG SCRIPT [ARGS...]: a test script whose output holds
# "N passed, N failed" lines (one or more); exit status 77 means skipped.
script_test() {
  local name="$1" log="$2"
  shift 2
  begin "$name"
  bash "$@" >"$log" 2>&1 </dev/null
  local status=$?
  local totals; totals=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | paste -sd' ')
  if [ $status = 77 ]; then
    record "$name: $(tail -n 1 "$log")" skip
    return
  fi
  record "$name${totals:+: $totals}" $status tail -n 80 "$log"
  if [ -n "$totals" ]; then
    while read -r line; do count "$(echo "$line" | cut -d' ' -f1)" "$(echo "$line" | cut -d' ' -f3)"; done \
      < <(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log")
  elif [ $status = 0 ]; then count 1 0; else count 0 1; fi
}

lane_native() {
  lane=native
  step "build native" build/native-build.log orv_build native || return 0
  # One run gives both the verdict and the counts; the compiled/text comparison
  # is its own step below.
  step "unit tests (native, sanitizers)" build/native/unit.log \
    build/native/orv_unit_tests --gtest_brief=1 --gtest_filter='-CompiledDifferential*'
  unit_ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\? from.*ran.*/\1/p' build/native/unit.log | tail -n 1)
  unit_failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?, listed below.*/\1/p' build/native/unit.log | tail -n 1)
  unit_failed=${unit_failed:-0}
  if [ -n "$unit_ran" ]; then count $((unit_ran - unit_failed)) "$unit_failed"; else count 0 1; fi
  # Before the golden scripts, which may wait for the Wine run to finish with its files.
  if command -v clang++ >/dev/null; then
    # Each libFuzzer target for a short fixed time; a crash fails the run. The
    # targets wait out their clocks, so they share the cores: by then the Wine
    # lane is left with the window tests, which mostly wait on windows.
    ORV_JOBS="${ORV_JOBS:-$(nproc)}" script_test "fuzz (${ORV_FUZZ_SECONDS:-10} s per target)" build/fuzz-run.log \
      fuzz/run.sh "${ORV_FUZZ_SECONDS:-10}"
  fi
  with_script_files suite "golden scripts (native)" build/native/suite.log build/native/suite-stderr.txt \
    build/native/orv_native_host
  # Compiled expressions against the text path: the golden scripts with
  # compilation off, and every seed script both ways, compared.
  ORV_COMPILE=0 with_script_files suite "golden scripts (native, text path)" build/native/suite-text.log \
    build/native/suite-text-stderr.txt build/native/orv_native_host
  example_check native build/native/orv_native_host
  guide_check native build/native/orv_native_host
  build/native/orv_list_builtins >build/native/builtins.txt 2>&1
  build/native/orv_list_builtins --host >build/native/host-functions.txt 2>&1
  step "compiled and text paths agree (native)" build/native/differential.log \
    build/native/orv_unit_tests --gtest_brief=1 --gtest_filter='CompiledDifferential*'
  touch "$run_dir/native.built"
}

lane_wine() {
  lane=wine
  step "build win32" build/win32-build.log orv_build win32 || return 0
  touch "$run_dir/win32.built"
  begin "wine prefix"   # a new one takes a minute
  orv_start_wine
  record "wine prefix" 0
  # The automation server that the scripts in tests/scripts/com talk to.
  step "register test automation server" build/win32/comserver-register.log \
    wine regsvr32 /s "$(orv_wine_path "$root/build/win32/orvtestserver.dll")"
  # The dialog and window tests have Wine prefixes and displays of their own:
  # they run beside the golden scripts, which mostly wait on file operations.
  (
    lane=display
    # The real error dialog on a virtual display, pressed by a helper program.
    script_test "error dialog (wine, xvfb)" build/ui-test.log tests/ui/error_dialog_test.sh
    # Window automation: without a display, then on a private Xvfb (tests/gui).
    script_test "window automation (wine, xvfb)" build/gui-test.log tests/gui/run.sh
    touch "$run_dir/display.done"
  ) &
  local display=$!
  with_script_files wine_suite
  example_check wine wine build/win32/orvhost.exe
  guide_check wine wine build/win32/orvhost.exe
  wine build/win32/orv_list_builtins.exe >build/win32/builtins.txt 2>&1 </dev/null
  # The product answers every name of the keyword table: none is left without a handler.
  begin "every built-in has a handler (wine)"
  wine build/win32/orv_list_builtins.exe --missing >build/win32/builtins-missing.txt 2>&1 </dev/null
  local missing_status=$?
  [ -s build/win32/builtins-missing.txt ] && missing_status=1
  record "every built-in has a handler (wine)" $missing_status cat build/win32/builtins-missing.txt
  if [ $missing_status = 0 ]; then count 1 0; else count 0 1; fi
  # ./orv as a user runs it: options, a link on the PATH, "#!" scripts, exit statuses.
  script_test "launcher (wine)" build/cli-test.log tests/cli/launcher_test.sh
  wait "$display"
  [ "${CI:-}" = true ] && orv_stop_wine
  return 0
}

orv_ensure_toolchain test || exit 1
rm -rf "$run_dir"
mkdir -p "$run_dir"
started=$SECONDS

step "guide and reference examples extracted" build/guide-extract.log python3 tools/refdoc.py guide docs/guide.md build/guide
# The keyword table's generated files say what tools/keywords.txt says, and the
# error names what resources/messages.txt says.
generated_match() {
  rm -rf build/generated-check
  python3 tools/gen_keywords.py --out build/generated-check || return 1
  python3 tools/gen_errors.py --out build/generated-check || return 1
  local f status=0
  for f in keyword_table.inc keyword_ids.h keyword_table.cpp error_numbers.h; do
    diff -u "engine/$f" "build/generated-check/$f" || status=1
  done
  return $status
}
if step "generated keyword table and error names match their sources" build/generated-check.log generated_match; then
  count 1 0
else
  count 0 1
fi
step "reference tool tests" build/refdoc-test.log python3 tests/tools/refdoc_test.py
ran=$(sed -n 's/^Ran \([0-9]*\) tests\?.*/\1/p' build/refdoc-test.log)
if grep -q '^OK' build/refdoc-test.log; then count "${ran:-0}" 0; else count 0 "${ran:-1}"; fi
step "error-name sweep tests" build/name-errors-test.log python3 tests/tools/name_errors_test.py
ran=$(sed -n 's/^Ran \([0-9]*\) tests\?.*/\1/p' build/name-errors-test.log)
if grep -q '^OK' build/name-errors-test.log; then count "${ran:-0}" 0; else count 0 "${ran:-1}"; fi

# Each lane leaves a mark when it gets to its end: a lane that died is a failure.
(lane_native; touch "$run_dir/native.done") &
(lane_wine; touch "$run_dir/wine.done") &
wait

lanes=(native wine)
[ -f "$run_dir/win32.built" ] && lanes+=(display)
for l in "${lanes[@]}"; do
  if [ ! -f "$run_dir/$l.done" ]; then
    printf 'FAIL\t0\t%s lane ended early\n' "$l" >>"$run_dir/main.results"
    count 0 1
  fi
done

if [ -f "$run_dir/native.built" ] && [ -f "$run_dir/win32.built" ]; then
  # Every built-in has one reference entry, and every entry names a function; the Windows-only
  # families are listed by the Windows build, the console host's functions by the host table.
  if step "function reference complete" build/reference-check.log \
    python3 tools/refdoc.py check build/native/host-functions.txt \
      build/native/builtins.txt build/win32/builtins.txt; then
    count 1 0
  else
    count 0 1
  fi
fi

results=$(cat "$run_dir/main.results" "$run_dir/native.results" "$run_dir/wine.results" "$run_dir/display.results" \
  2>/dev/null)
echo "==== summary"
printf '%s\n' "$results" | awk -F'\t' '{printf "%-6s%s\n", $1, $3}'
echo "---- slowest steps (seconds; the lanes run side by side, $((SECONDS - started)) s in all)"
printf '%s\n' "$results" | sort -t$'\t' -k2,2 -rn | head -n 10 | awk -F'\t' '{printf "%6d  %s\n", $2, $3}'
read -r passed_total failed_total < <(cat "$run_dir"/*.counts | awk '{p += $1; f += $2} END {print p + 0, f + 0}')
echo "tests: $passed_total passed, $failed_total failed"
if printf '%s\n' "$results" | grep -q '^FAIL'; then exit 1; fi
exit 0
