#!/usr/bin/env bash
# The test command: builds both configurations, runs the unit tests under
# ASan/UBSan and the golden scripts natively and under Wine.
# Quiet when all is well; failures show their output. Exit status 0 = all passed.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=0:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

declare -a results=()
failed=0
record() {  # record NAME STATUS
  if [ "$2" = 0 ]; then
    results+=("ok    $1")
  else
    results+=("FAIL  $1")
    failed=1
  fi
}

# step NAME LOG COMMAND...: runs quietly, shows the log only on failure.
step() {
  local name="$1" log="$2"
  shift 2
  "$@" >"$log" 2>&1
  local status=$?
  if [ $status != 0 ]; then
    echo "---- $name failed (status $status); output:"
    tail -n 200 "$log"
  fi
  record "$name" $status
  return $status
}

orv_ensure_toolchain || exit 1
mkdir -p build

native_ok=0 win32_ok=0
step "build native" build/native-build.log orv_build native && native_ok=1
step "build win32" build/win32-build.log orv_build win32 && win32_ok=1

if [ $native_ok = 1 ]; then
  step "unit tests (native, sanitizers)" build/native/ctest.log \
    ctest --test-dir build/native --output-on-failure --no-tests=ignore
  suite_log=build/native/suite.log
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
fi

if [ $win32_ok = 1 ]; then
  orv_start_wine
  suite_log=build/win32/suite.log
  wine build/win32/orvhost.exe --suite tests/scripts --stderr-file build/win32/suite-stderr.txt \
    >"$suite_log" 2>&1 </dev/null
  status=$?
  if [ $status != 0 ]; then
    echo "---- golden scripts (wine) failed (status $status):"
    cat "$suite_log"
  fi
  record "golden scripts (wine): $(tail -n 1 "$suite_log")" $status
  [ "${CI:-}" = true ] && orv_stop_wine
fi

echo "==== summary"
printf '%s\n' "${results[@]}"
exit $failed
