#!/usr/bin/env bash
# Window automation tests under Wine:
#   1. without a display: window and box functions fail at once with their
#      numbered errors (tests/gui/nodisplay, in the shared display-free prefix);
#   2. on a private Xvfb display: the golden scripts of tests/gui/suite start
#      Wine's editor and command interpreter, drive their windows, type into
#      them, and answer boxes through keystrokes (helpers/answer.orv) or
#      button presses (dlgpoke.exe).
# Needs build/win32. Exit 0 = passed, 77 = skipped (no xvfb-run), else failed.
# Names of suite scripts (without .orv) run only those, on the display.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root" || exit 1
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"

for f in orv.dll orvhost.exe dlgpoke.exe orvtestserver.dll; do
  [ -f "build/win32/$f" ] || { echo "missing build/win32/$f (build the win32 configuration first)"; exit 1; }
done
mkdir -p build/gui-test

if [ "${ORV_GUI_DISPLAY_READY:-}" != 1 ] && [ $# = 0 ]; then
  # Phase 1: no display at all. Every script there must end within the limit.
  orv_start_wine
  start=$(date +%s)
  env -u DISPLAY -u WAYLAND_DISPLAY wine build/win32/orvhost.exe --suite tests/gui/nodisplay \
    --stderr-file build/gui-test/nodisplay-stderr.txt >build/gui-test/nodisplay.log 2>&1 </dev/null
  status=$?
  spent=$(( $(date +%s) - start ))
  cat build/gui-test/nodisplay.log
  [ $status = 0 ] || { echo "FAIL  without a display (status $status)"; exit 1; }
  # A hang would show as a run far longer than the handful of Wine starts it needs.
  [ $spent -le 60 ] || { echo "FAIL  without a display: took $spent s"; exit 1; }
fi
if [ "${ORV_GUI_DISPLAY_READY:-}" != 1 ]; then
  if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "skipped: xvfb-run is not installed (package xvfb)"
    exit 77
  fi
  # Phase 2 on a display of its own, with a prefix of its own whose server
  # ends with the display.
  exec 9>"$root/build/wineprefix-gui.lock"
  flock -w 900 9 || { echo "another run holds build/wineprefix-gui.lock"; exit 1; }
  ORV_GUI_DISPLAY_READY=1 exec xvfb-run -a -s "-screen 0 $orv_virtual_screen" bash "$0" "$@"
fi

export WINEPREFIX="$root/build/wineprefix-gui"
orv_restart_wine
trap 'wineserver -k >/dev/null 2>&1' EXIT
# The test control that the COMCONTROL dialogs host.
wine regsvr32 /s "$(orv_wine_path "$root/build/win32/orvtestserver.dll")" >build/gui-test/comserver-register.log 2>&1 </dev/null ||
  { echo "FAIL  registering the test control"; exit 1; }
# Nothing a test starts may outlive it: the suite is bounded, and every Wine
# process of this prefix ends with the server.
suite=tests/gui/suite
if [ $# -gt 0 ]; then
  suite=build/gui-test/selected
  rm -rf "$suite" && mkdir -p "$suite"
  for name in "$@"; do
    [ -f "tests/gui/suite/$name.orv" ] || { echo "no script tests/gui/suite/$name.orv"; exit 1; }
    cp tests/gui/suite/"$name".* "$suite"/
  done
fi
timeout 900 wine build/win32/orvhost.exe --suite "$suite" --stderr-file build/gui-test/suite-stderr.txt \
  >build/gui-test/suite.log 2>&1 </dev/null
status=$?
cat build/gui-test/suite.log
[ $status = 0 ] || { echo "---- standard error of the scripts:"; tail -n 40 build/gui-test/suite-stderr.txt; }
exit $status
