#!/usr/bin/env bash
# The test command: builds both configurations, runs the unit tests under
# ASan/UBSan and the golden scripts natively and under Wine.
# One line as each step starts and ends, failures with their output, and a
# summary at the end. Exit status 0 = all passed.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=0:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

declare -a results=()
failed=0
passed_total=0 failed_total=0
count() {  # count PASSED FAILED: adds to the closing totals
  passed_total=$((passed_total + $1)); failed_total=$((failed_total + $2))
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
  echo "[$(date +%H:%M:%S)] ....  $1"
}
record() {  # record NAME STATUS
  local line
  if [ "$2" = 0 ]; then
    line="ok    $1"
  else
    line="FAIL  $1"
    failed=1
  fi
  results+=("$line")
  echo "[$(date +%H:%M:%S)] $line ($((SECONDS - step_started)) s)"
  step_started=$SECONDS
}

# step NAME LOG COMMAND...: runs quietly, shows the log only on failure.
step() {
  local name="$1" log="$2"
  shift 2
  begin "$name"
  "$@" >"$log" 2>&1
  local status=$?
  if [ $status != 0 ]; then
    echo "---- $name failed (status $status); output:"
    tail -n 200 "$log"
  fi
  record "$name" $status
  return $status
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
    "$@" "$script" first "second word" >"$out" 2>&1 </dev/null
    status=$?
    if [ $status = 0 ] && diff -u "tests/examples/$name.out" "$out" >"$out.diff"; then
      record "example $name ($label)" 0; count 1 0
    else
      echo "---- example $name ($label) failed (status $status):"; head -40 "$out.diff" 2>/dev/null
      record "example $name ($label)" 1; count 0 1
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
  [ $status != 0 ] && { echo "---- guide and reference examples ($label) failed (status $status):"; cat "$log"; }
  record "guide and reference examples ($label): $(tail -n 1 "$log")" $status
  suite_counts "$log"
}

orv_ensure_toolchain test || exit 1
mkdir -p build

native_ok=0 win32_ok=0
step "guide and reference examples extracted" build/guide-extract.log python3 tools/refdoc.py guide docs/guide.md build/guide
step "reference tool tests" build/refdoc-test.log python3 tests/tools/refdoc_test.py
ran=$(sed -n 's/^Ran \([0-9]*\) tests\?.*/\1/p' build/refdoc-test.log)
if grep -q '^OK' build/refdoc-test.log; then count "${ran:-0}" 0; else count 0 "${ran:-1}"; fi
step "build native" build/native-build.log orv_build native && native_ok=1
step "build win32" build/win32-build.log orv_build win32 && win32_ok=1

if [ $native_ok = 1 ]; then
  # One run gives both the verdict and the counts; the compiled/text comparison
  # is its own step below.
  step "unit tests (native, sanitizers)" build/native/unit.log \
    build/native/orv_unit_tests --gtest_brief=1 --gtest_filter='-CompiledDifferential*'
  unit_ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\? from.*ran.*/\1/p' build/native/unit.log | tail -n 1)
  unit_failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?, listed below.*/\1/p' build/native/unit.log | tail -n 1)
  unit_failed=${unit_failed:-0}
  if [ -n "$unit_ran" ]; then count $((unit_ran - unit_failed)) "$unit_failed"; else count 0 1; fi
  suite_log=build/native/suite.log
  begin "golden scripts (native)"
  build/native/orv_native_host --suite tests/scripts --stderr-file build/native/suite-stderr.txt \
    >"$suite_log" 2>&1 </dev/null
  status=$?
  if [ $status != 0 ]; then
    echo "---- golden scripts (native) failed (status $status):"
    cat "$suite_log"
    # A sanitizer report of a crashed run stays in the capture file.
    [ $status -gt 2 ] && tail -n 60 build/native/suite-stderr.txt
  fi
  record "golden scripts (native): $(tail -n 1 "$suite_log")" $status
  suite_counts "$suite_log"
  example_check native build/native/orv_native_host
  guide_check native build/native/orv_native_host
  build/native/orv_list_builtins >build/native/builtins.txt 2>&1
  build/native/orv_list_builtins --host >build/native/host-functions.txt 2>&1
  # Compiled expressions against the text path: the golden scripts with
  # compilation off, and every seed script both ways, compared.
  text_log=build/native/suite-text.log
  begin "golden scripts (native, text path)"
  ORV_COMPILE=0 build/native/orv_native_host --suite tests/scripts --stderr-file build/native/suite-text-stderr.txt \
    >"$text_log" 2>&1 </dev/null
  status=$?
  [ $status != 0 ] && { echo "---- golden scripts (native, text path) failed (status $status):"; cat "$text_log"; }
  record "golden scripts (native, text path): $(tail -n 1 "$text_log")" $status
  suite_counts "$text_log"
  step "compiled and text paths agree (native)" build/native/differential.log \
    build/native/orv_unit_tests --gtest_brief=1 --gtest_filter='CompiledDifferential*'
fi

if [ $native_ok = 1 ] && command -v clang++ >/dev/null; then
  # Each libFuzzer target for a short fixed time; a crash fails the run.
  fuzz_log=build/fuzz-run.log
  begin "fuzz (${ORV_FUZZ_SECONDS:-10} s per target)"
  bash fuzz/run.sh "${ORV_FUZZ_SECONDS:-10}" >"$fuzz_log" 2>&1 </dev/null
  status=$?
  [ $status != 0 ] && { echo "---- fuzz failed (status $status):"; tail -n 120 "$fuzz_log"; }
  record "fuzz (${ORV_FUZZ_SECONDS:-10} s per target): $(tail -n 1 "$fuzz_log")" $status
  suite_counts "$fuzz_log"
fi

if [ $win32_ok = 1 ]; then
  begin "golden scripts (wine)"   # the first Wine start makes its prefix: a minute
  orv_start_wine
  # The automation server that the scripts in tests/scripts/com talk to.
  step "register test automation server" build/win32/comserver-register.log \
    wine regsvr32 /s "$(orv_wine_path "$root/build/win32/orvtestserver.dll")"
  suite_log=build/win32/suite.log
  wine build/win32/orvhost.exe --suite tests/scripts --stderr-file build/win32/suite-stderr.txt \
    >"$suite_log" 2>&1 </dev/null
  status=$?
  if [ $status != 0 ]; then
    echo "---- golden scripts (wine) failed (status $status):"
    cat "$suite_log"
  fi
  record "golden scripts (wine): $(tail -n 1 "$suite_log")" $status
  suite_counts "$suite_log"
  example_check wine wine build/win32/orvhost.exe
  guide_check wine wine build/win32/orvhost.exe
  wine build/win32/orv_list_builtins.exe >build/win32/builtins.txt 2>&1 </dev/null
  [ "${CI:-}" = true ] && orv_stop_wine
fi

if [ $native_ok = 1 ] && [ $win32_ok = 1 ]; then
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

if [ $win32_ok = 1 ]; then
  # The real error dialog on a virtual display, pressed by a helper program.
  ui_log=build/ui-test.log
  begin "error dialog (wine, xvfb)"
  bash tests/ui/error_dialog_test.sh >"$ui_log" 2>&1 </dev/null
  status=$?
  if [ $status = 77 ]; then
    results+=("skip  error dialog (wine, xvfb): $(tail -n 1 "$ui_log")")
    echo "[$(date +%H:%M:%S)] ${results[-1]}"
  else
    [ $status != 0 ] && { echo "---- error dialog (wine, xvfb) failed (status $status):"; cat "$ui_log"; }
    record "error dialog (wine, xvfb)" $status
    if [ $status = 0 ]; then count 1 0; else count 0 1; fi
  fi
fi

if [ $win32_ok = 1 ]; then
  # ./orv as a user runs it: options, a link on the PATH, "#!" scripts, exit statuses.
  cli_log=build/cli-test.log
  begin "launcher (wine)"
  bash tests/cli/launcher_test.sh >"$cli_log" 2>&1 </dev/null
  status=$?
  [ $status != 0 ] && { echo "---- launcher (wine) failed (status $status):"; cat "$cli_log"; }
  record "launcher (wine): $(tail -n 1 "$cli_log")" $status
  suite_counts "$cli_log"
fi

if [ $win32_ok = 1 ]; then
  # Window automation: without a display, then on a private Xvfb (tests/gui).
  gui_log=build/gui-test.log
  begin "window automation (wine, xvfb)"
  bash tests/gui/run.sh >"$gui_log" 2>&1 </dev/null
  status=$?
  if [ $status = 77 ]; then
    results+=("skip  window automation (wine, xvfb): $(tail -n 1 "$gui_log")")
  else
    [ $status != 0 ] && { echo "---- window automation (wine, xvfb) failed (status $status):"; tail -n 80 "$gui_log"; }
    record "window automation (wine, xvfb): $(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$gui_log" | tr '\n' ' ')" $status
    while read -r line; do count "$(echo "$line" | cut -d' ' -f1)" "$(echo "$line" | cut -d' ' -f3)"; done \
      < <(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$gui_log")
  fi
fi

echo "==== summary"
printf '%s\n' "${results[@]}"
echo "tests: $passed_total passed, $failed_total failed"
exit $failed
