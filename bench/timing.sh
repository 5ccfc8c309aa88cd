# Shared by the benchmark scripts that time a command beside a peer tool.
# Expects $tmp (a scratch folder) and $reps (runs per measurement), and $root
# for the workloads' files.

# measure CMD...: median seconds of $reps runs, or n/a when a first run fails;
# that first run's output goes to $tmp/out.
measure() {
  if ! "$@" >"$tmp/out" 2>"$tmp/err" </dev/null; then printf 'n/a'; return; fi
  median_of_runs "$@"
}

# seconds CMD...: one run's wall seconds, output dropped.
seconds() {
  local s e
  s=$(date +%s.%N); "$@" >/dev/null 2>&1 </dev/null; e=$(date +%s.%N)
  echo "$e - $s" | bc
}

# median: the median of the numbers on stdin, one per line, to three places.
median() { sort -g | awk '{a[NR]=$1} END {printf "%.3f", (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

# median_of_runs CMD...: median wall seconds of $reps runs, output dropped.
median_of_runs() {
  local i
  for ((i = 0; i < reps; i++)); do seconds "$@"; done | median
}

# first: the first word of the first run's output.
first() { awk 'NR==1 {print $1}' "$tmp/out"; }

# ratio OURS PEER: OURS/PEER to two places, "-" when either is missing.
ratio() {
  if [[ "$1" == n/a || "$2" == n/a || "$2" == - ]]; then printf -- '-'; return; fi
  awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'
}

# data_file LINES: a text file of that many lines, made once per size.
data_file() {
  local f="$root/build/bench/lines-$1.txt"
  if [ ! -f "$f" ]; then
    mkdir -p "$root/build/bench"
    python3 -c "import sys
with open(sys.argv[1], 'w') as f:
    for i in range(int(sys.argv[2])): f.write('line %d of the benchmark file, some words follow\n' % i)" "$f" "$1"
  fi
  printf '%s' "$f"
}

# out_file: where the writing workload puts its lines.
out_file() {
  mkdir -p "$root/build/bench"
  printf '%s' "$root/build/bench/written.txt"
}

# wine_cscript: the 32-bit cscript.exe of the Wine prefix, by its Windows path.
# "wine cscript.exe" goes through a launcher process, whose memory
# /usr/bin/time would report instead of the peer's.
wine_cscript() {
  if [ -f "$WINEPREFIX/drive_c/windows/syswow64/cscript.exe" ]; then
    printf '%s' 'C:\windows\syswow64\cscript.exe'
  else
    printf '%s' 'C:\windows\system32\cscript.exe'
  fi
}
