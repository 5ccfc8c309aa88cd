#!/usr/bin/env bash
# Builds the seed corpora from the golden scripts and the examples:
# whole files for script_fuzz and prepare_fuzz (plus UTF-16 and BOM copies),
# single lines for tokenizer_fuzz and expression_fuzz.
# Usage: fuzz/seed.sh OUTDIR   (OUTDIR/<target>/ is filled afresh)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:?usage: fuzz/seed.sh OUTDIR}"
rm -rf "$out"
mkdir -p "$out"/{tokenizer_fuzz,expression_fuzz,script_fuzz,prepare_fuzz}
n=0
while IFS= read -r -d '' f; do
  n=$((n + 1))
  cp "$f" "$out/script_fuzz/$n.orv"
  cp "$f" "$out/prepare_fuzz/$n.orv"
  # Lines: the scanner and the evaluator see one statement at a time.
  k=0
  while IFS= read -r line || [ -n "$line" ]; do
    k=$((k + 1))
    [ -n "${line// /}" ] || continue
    printf '%s' "$line" >"$out/tokenizer_fuzz/$n-$k"
    printf '%s' "${line#"${line%%[! ]*}"}" >"$out/expression_fuzz/$n-$k"
  done <"$f"
done < <(find "$root/tests/scripts" "$root/examples" "$root/bench/workloads" -name '*.orv' -print0 | sort -z)
# Other encodings for the preparation step.
i=0
for f in "$out"/prepare_fuzz/*.orv; do
  i=$((i + 1))
  [ $((i % 8)) = 0 ] || continue
  { printf '\xff\xfe'; iconv -f latin1 -t UTF-16LE "$f"; } >"$f.utf16le" 2>/dev/null || rm -f "$f.utf16le"
  { printf '\xef\xbb\xbf'; cat "$f"; } >"$f.bom"
  sed 's/$/\r/' "$f" >"$f.crlf"
done
printf '#include "inc.orv"\nx = f(a)\n' >"$out/prepare_fuzz/include.orv"
printf '\x01#include "inc.orv"\nx = f(a)\n' >"$out/script_fuzz/include.orv"
# Binary buffers and dates: a zlib stream, a few call sequences, YmdHms texts.
mkdir -p "$out"/{binary_fuzz,ymdhms_fuzz}
printf 'x\x9c\xcbH\xcd\xc9\xc9\x07\x00\x06,\x02\x15' >"$out/binary_fuzz/hello.z"
for s in 1 2 3 4 5 6 7 8; do head -c 200 /dev/urandom >"$out/binary_fuzz/random$s"; done
for t in 2022:2:3 2000:02:29:23:59:59 99:12:31:00:00:00 0:0:0:24:00:00 9999:12:31 1:2:3:4:5:6:7; do
  printf '%s' "$t" >"$out/ymdhms_fuzz/${t//:/_}"
done
# Lines are duplicated across scripts; libFuzzer merges identical inputs itself.
echo "seeds: $(ls "$out/script_fuzz" | wc -l) scripts, $(ls "$out/tokenizer_fuzz" | wc -l) lines, $(ls "$out/prepare_fuzz" | wc -l) preparation inputs"
