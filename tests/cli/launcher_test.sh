#!/usr/bin/env bash
# The ./orv command as a user meets it: help and version, bad options, a link to
# it on the PATH used from another folder, "#!" scripts, exit statuses and the
# script's name in error reports. Needs build/win32 and Wine. Exit 0 = passed.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/bin" "$tmp/work"
ln -s "$root/orv" "$tmp/bin/orv"
export PATH="$tmp/bin:$PATH"
cd "$tmp/work" || exit 1

failures=0 checks=0
# check NAME EXPECTED_STATUS COMMAND...: runs it with output in $out and $err.
check() {
  local name="$1" want="$2"
  shift 2
  checks=$((checks + 1))
  "$@" >"$tmp/out" 2>"$tmp/err" </dev/null
  status=$?
  out="$(cat "$tmp/out")" err="$(cat "$tmp/err")"
  if [ "$status" != "$want" ]; then
    fail "$name: exit status $status, expected $want"
    return 1
  fi
}
fail() {
  echo "FAIL $1"
  printf '  stdout: %s\n  stderr: %s\n' "${out:0:300}" "${err:0:300}"
  failures=$((failures + 1))
}
contains() {  # contains NAME TEXT PATTERN
  grep -qF -- "$3" <<<"$2" || fail "$1: \"$3\" missing"
}

check "--help" 0 orv --help && for option in --dialogs --trace --suite --stderr-file --help --version ExitCode; do
  contains "--help" "$out" "$option"
done
check "--version" 0 orv --version && { [[ "$out" =~ ^orv\ [0-9]+\.[0-9]+ ]] || fail "--version: \"$out\""; }
check "unknown option" 2 orv --frobnicate x.orv && contains "unknown option" "$err" "usage: orv"
check "no script" 2 orv && contains "no script" "$err" "usage: orv"

cat >prog.orv <<'SCRIPT'
#!/usr/bin/env orv
StdOut("hello " : param1)
ExitCode(4)
StdOut("goes on")
SCRIPT
chmod +x prog.orv
check "#! script through the link" 4 ./prog.orv world && contains "#! script" "$out" $'hello world\ngoes on'

printf '#!/usr/bin/env orv\nx = 1\ny = undefinedname\n' >fails_after_hashbang.orv
check "#! line keeps line numbers" 1 orv fails_after_hashbang.orv &&
  contains "#! line numbers" "$err" "fails_after_hashbang.orv(3): error 3052"

printf '; fails on line 3\nx = 1\ny = undefinedname\n' >fails.orv
check "error, absolute path" 1 orv "$tmp/work/fails.orv" && contains "absolute path" "$err" "$tmp/work/fails.orv(3): error 3052"
check "error, relative path" 1 orv fails.orv && contains "relative path" "$err" "fails.orv(3): error 3052"
printf 'StdOut("dash")\n' >./-dash.orv
check "script after --" 0 orv -- -dash.orv && contains "script after --" "$out" "dash"
check "missing script" 2 orv missing.orv && contains "missing script" "$err" "missing.orv"

printf 'ExitCode(5)\nExit\n' >exits.orv
check "Exit keeps the status" 5 orv exits.orv
printf 'ExitCode(0)\nz = 1 / 0\n' >errs.orv
check "an error overrides the status" 1 orv errs.orv

# --trace: a failing script traced without editing it; the file is new each run.
printf 'a = 2\nIf a > 1 Then b = "big"\nz = 1 / a - 1 / 0\n' >traced.orv
echo stale >trace.txt
check "--trace" 1 orv --trace trace.txt traced.orv && {
  trace="$(tr -d '\r' <trace.txt)"
  contains "--trace header" "$trace" "*** Debug Initialized ***"
  contains "--trace value" "$trace" $'a = 2\n(' && contains "--trace value" "$trace" ") VALUE INT => 2"
  contains "--trace condition" "$trace" ') ==>TRUE=> STRING => big'
  contains "--trace error" "$trace" "TERMINAL ORV ERROR=>3062 (Attempt to divide by zero)"
  contains "--trace end" "$trace" ";;;END OF JOB;;;"
  grep -q stale trace.txt && fail "--trace: the old file was appended to"
}
check "--trace without a file" 2 orv --trace && contains "--trace without a file" "$err" "usage: orv"

echo "$((checks - failures)) passed, $failures failed"
[ $failures = 0 ]
