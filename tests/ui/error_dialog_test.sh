#!/usr/bin/env bash
# Shows the real error dialog under Wine on a virtual X display and drives it
# with dlgpoke.exe from a second Wine process:
#   severe error          ERRORMSG: texts, More Error Info, Traceback, OK ends the run
#   minor error, @NOTIFY  ERRORMSGB: Continue runs the next line; Exit ends the run
# Needs build/win32 (orv.dll, orvhost.exe, dlgpoke.exe). Exit 0 = passed,
# 77 = skipped (no xvfb-run), anything else = failed.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root" || exit 1
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"
# A prefix of its own: its Wine server and desktop must belong to this test's
# display, while the shared server of the other Wine tests runs without one.
export WINEPREFIX="$root/build/wineprefix-ui"

if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "skipped: xvfb-run is not installed (package xvfb)"
  exit 77
fi
for f in orv.dll orvhost.exe dlgpoke.exe; do
  [ -f "build/win32/$f" ] || { echo "missing build/win32/$f (build the win32 configuration first)"; exit 1; }
done

if [ "${ORV_UI_DISPLAY_READY:-}" != 1 ]; then
  mkdir -p build
  # One run at a time per prefix; the lock is held for the whole display session.
  exec 9>"$root/build/wineprefix-ui.lock"
  flock -w 600 9 || { echo "another dialog test holds build/wineprefix-ui.lock"; exit 1; }
  ORV_UI_DISPLAY_READY=1 exec xvfb-run -a -s "-screen 0 $orv_virtual_screen" bash "$0" "$@"
fi

logs="$root/build/ui-test"
rm -rf "$logs"
mkdir -p "$logs"
orv_restart_wine
# The server and its desktop die with this display; nothing else uses this prefix.
trap 'wineserver -k >/dev/null 2>&1' EXIT

failures=0

# dialog_case NAME SCRIPT WANT_STATUS WANT_STDOUT DLGPOKE-COMMANDS...
dialog_case() {
  local name="$1" script="$2" want_status="$3" want_out="$4"
  shift 4
  timeout 180 wine build/win32/orvhost.exe --dialogs "$script" \
    >"$logs/$name.stdout" 2>"$logs/$name.stderr" </dev/null &
  local host=$!
  wine build/win32/dlgpoke.exe -t 60 "$@" >"$logs/$name.poke" 2>&1 </dev/null
  local poke=$?
  # A dialog left open would keep the host waiting for the timeout.
  [ $poke != 0 ] && kill "$host" 2>/dev/null
  wait "$host"
  local status=$?
  local out
  out=$(tr -d '\r' <"$logs/$name.stdout")
  local problems=()
  [ $poke != 0 ] && problems+=("dialog: $(tail -n 1 "$logs/$name.poke")")
  [ "$status" != "$want_status" ] && problems+=("exit status $status, expected $want_status")
  [ "$out" != "$want_out" ] && problems+=("stdout \"${out//$'\n'/\\n}\", expected \"${want_out//$'\n'/\\n}\"")
  if [ ${#problems[@]} = 0 ]; then
    echo "ok    $name"
  else
    echo "FAIL  $name"
    printf '        %s\n' "${problems[@]}"
    sed 's/^/        stderr: /' "$logs/$name.stderr" | head -n 20
    failures=$((failures + 1))
  fi
}

# Severe error (3052, with additional text naming the variable): the OK
# template; More Error Info and Traceback open and close; OK ends the run.
dialog_case severe tests/ui/severe_error.orv 1 "before" \
  wait "Error:" text 102 "3052:  " text 1 OK missing 2 \
  text 110 "line 2" text 120 "x = undefinedvar" \
  hidden 140 enabled 131 has 130 \
  click 131 wait "More Error Information" find undefinedvar close gone \
  wait "Error:" click 132 wait "Traceback" rows 150 1 click 1 gone \
  wait "Error:" click 1 gone

# Minor error (1342) under @NOTIFY: Continue goes on with the next line.
dialog_case notify-continue tests/ui/notify_error.orv 0 $'before\nafter' \
  wait "Error:" text 102 "1342:  " text 1 Continue text 2 Exit \
  text 110 "line 3" text 120 "1.0e300" hidden 140 \
  click 1 gone

# The same error, Exit: the run ends there.
dialog_case notify-exit tests/ui/notify_error.orv 1 "before" \
  wait "Error:" text 102 "1342:  " text 1 Continue click 2 gone

echo "$((3 - failures)) passed, $failures failed"
[ $failures = 0 ]
