#!/usr/bin/env bash
# Instruction counts of the workloads (small sizes) in the native release build,
# under valgrind's callgrind: deterministic numbers that show regressions in review.
#   bench/callgrind.sh           measures and rewrites bench/instructions.txt
#   bench/callgrind.sh --check   measures and fails when a workload needs more
#                                than 10% more instructions than the file says
# Not part of scripts/test.sh (about two minutes).
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
  "item_list 200" "array_sort 2000" "fib 15" "switch 10000" "file_lines 2000"
)

command -v valgrind >/dev/null || { echo "callgrind: valgrind is missing (scripts/setup.sh test installs it)"; exit 1; }
orv_build native-release || exit 1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 -c "
with open('$tmp/lines.txt', 'w') as f:
    for i in range(2000): f.write('line %d of the benchmark file, some words follow\n' % i)"

{
  echo "# workload size instructions (bench/callgrind.sh; n/a: the script fails)"
  for w in "${workloads[@]}"; do
    read -r name size <<<"$w"
    extra=(); [ "$name" = file_lines ] && extra=("$tmp/lines.txt")
    count=n/a
    if valgrind --tool=callgrind --callgrind-out-file="$tmp/cg.out" \
        build/native-release/orv_native_host "bench/workloads/$name.orv" "$size" "${extra[@]}" \
        >/dev/null 2>"$tmp/vg.err" </dev/null && ! grep -v '^==[0-9]*==' "$tmp/vg.err" | grep -q .; then
      count=$(sed -n 's/^==[0-9]*== Collected : *\([0-9]*\).*/\1/p' "$tmp/vg.err")
    fi
    echo "$name $size ${count:-n/a}"
  done
} >"$tmp/new.txt"

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
