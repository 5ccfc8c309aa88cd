#!/usr/bin/env bash
# Instruction counts of the workloads (small sizes) in the native release build,
# under valgrind's callgrind: deterministic numbers that show regressions in review;
# lua5.4 runs the same workloads the same way for the per-iteration goal column.
#   bench/callgrind.sh           measures and rewrites bench/instructions.txt
#   bench/callgrind.sh --check   measures and fails when a workload needs more
#                                than 10% more instructions than the file says
# Not part of scripts/test.sh (about three minutes).
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
source "$root/scripts/lib.sh"
check=0
[ "${1:-}" = --check ] && check=1
file=bench/instructions.txt
limit=1.10

# name size
workloads=(
  "empty 0" "int_loop 50000" "float_math 10000" "str_concat 10000" "str_search 2000"
  "item_list 200" "array_sort 2000" "fib 15" "fn_calls 2000" "switch 10000" "file_lines 2000" "file_write 2000"
  "map_ops 20000"
)

command -v valgrind >/dev/null || { echo "callgrind: valgrind is missing (scripts/setup.sh test installs it)"; exit 1; }
orv_build native-release || exit 1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 -c "
with open('$tmp/lines.txt', 'w') as f:
    for i in range(2000): f.write('line %d of the benchmark file, some words follow\n' % i)"

# count PROGRAM ARGS...: instructions of one run under callgrind, n/a when it
# fails or prints an error.
count() {
  if valgrind --tool=callgrind --callgrind-out-file="$tmp/cg.out" "$@" \
      >/dev/null 2>"$tmp/vg.err" </dev/null && ! grep -v '^==[0-9]*==' "$tmp/vg.err" | grep -q .; then
    local n; n=$(sed -n 's/^==[0-9]*== Collected : *\([0-9]*\).*/\1/p' "$tmp/vg.err")
    printf '%s' "${n:-n/a}"
  else
    printf 'n/a'
  fi
}

# Per iteration: the empty script's start subtracted, divided by the size
# (fib: by its calls, 2 fib(k+1) - 1). lua2x: the same for lua5.4, doubled.
for w in "${workloads[@]}"; do
  read -r name size <<<"$w"
  extra=(); [ "$name" = file_lines ] && extra=("$tmp/lines.txt")
  [ "$name" = file_write ] && extra=("$tmp/written.txt")
  printf '%s %s %s %s\n' "$name" "$size" \
    "$(count build/native-release/orv_native_host "bench/workloads/$name.orv" "$size" "${extra[@]}")" \
    "$(count lua5.4 "bench/workloads/$name.lua" "$size" "${extra[@]}")"
done >"$tmp/raw.txt"
awk '
  function calls(name, size,   a, b, t, i) {
    if (name != "fib") return size
    a = 0; b = 1
    for (i = 0; i < size + 1; i++) { t = a + b; a = b; b = t }
    return 2 * a - 1
  }
  function per(n, base, iters) {
    if (n == "n/a" || base == "n/a" || iters <= 0) return "-"
    return sprintf("%.1f", (n - base) / iters)
  }
  { name[NR] = $1; size[NR] = $2; ours[NR] = $3; lua[NR] = $4
    if ($1 == "empty") { ours0 = $3; lua0 = $4 } }
  END {
    print "# workload size instructions per_iteration lua2x (bench/callgrind.sh; n/a: the script fails)"
    print "# per_iteration: (instructions - empty'"'"'s) / size (fib: per call); lua2x: twice lua5.4'"'"'s"
    print "# per_iteration, measured the same way. Goals: each count within 2% of this file"
    print "# (--check fails past 10%), and per_iteration at most lua2x (within 2x of Lua)."
    for (i = 1; i <= NR; i++) {
      l = per(lua[i], lua0, calls(name[i], size[i]))
      printf "%s %s %s %s %s\n", name[i], size[i], ours[i], per(ours[i], ours0, calls(name[i], size[i])),
        (l == "-") ? "-" : sprintf("%.1f", 2 * l)
    }
  }' "$tmp/raw.txt" >"$tmp/new.txt"

if [ $check = 0 ]; then
  cp "$tmp/new.txt" "$file"
  cat "$file"
  exit 0
fi

# Compare: more than 10% up, or a workload that ran before and fails now.
awk -v limit="$limit" '
  FNR == NR { if ($1 !~ /^#/) old[$1] = $3; next }
  $1 ~ /^#/ { next }
  {
    o = old[$1]; n = $3; verdict = "ok"
    if (o == "" || o == "n/a") { verdict = (n == "n/a") ? "n/a" : "new" }
    else if (n == "n/a") { verdict = "FAILS NOW"; bad = 1 }
    else if (n > o * limit) { verdict = "SLOWER"; bad = 1 }
    ratio = (o != "" && o != "n/a" && n != "n/a") ? sprintf("%.3f", n / o) : "-"
    printf "%-11s %14s %14s %7s  %s\n", $1, o == "" ? "-" : o, n, ratio, verdict
  }
  END { exit bad }' "$file" "$tmp/new.txt"
