#!/usr/bin/env bash
# Builds the interpreter as it was at a git revision, for bench/run.sh --before:
#   bench/build_at.sh REV DIR [native-release] [win32]   (default: both)
# The revision's files come out of git into DIR/src (never a checkout of this
# tree), its own build scripts build them there, and DIR/native-release and
# DIR/win32 point at the results. The shared compiler cache keeps a second
# build of mostly unchanged sources quick.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ $# -lt 2 ]; then sed -n '2,7p' "$0"; exit 2; fi
rev="$1" dir="$2"; shift 2
configs=("$@"); [ ${#configs[@]} = 0 ] && configs=(native-release win32)
for c in "${configs[@]}"; do
  case "$c" in native-release|win32) ;; *) echo "build_at: unknown build $c (native-release, win32)" >&2; exit 2 ;; esac
done
commit=$(git -C "$here" rev-parse --verify --quiet "$rev^{commit}") || { echo "build_at: no revision $rev" >&2; exit 2; }

mkdir -p "$dir" || exit 1
dir=$(cd "$dir" && pwd)
src="$dir/src"
# A folder made for another revision is emptied first; the same revision is reused.
if [ "$(cat "$dir/REVISION" 2>/dev/null)" != "$commit" ]; then
  rm -rf "$src" "$dir/native-release" "$dir/win32" "$dir/REVISION"
  mkdir -p "$src"
  git -C "$here" archive --format=tar "$commit" | tar -x -C "$src" || { echo "build_at: cannot unpack $rev" >&2; exit 1; }
  echo "$commit" >"$dir/REVISION"
fi

export ORV_JOBS="${ORV_JOBS:-2}"
root="$src"
# shellcheck source=scripts/lib.sh
source "$src/scripts/lib.sh"
for c in "${configs[@]}"; do
  echo "build_at: building $c of $(git -C "$here" log -1 --format='%h %s' "$commit" | cut -c1-70)"
  orv_build "$c" || { echo "build_at: the $c build of $rev failed" >&2; exit 1; }
  ln -sfn "$src/build/$c" "$dir/$c"
done
echo "build_at: $dir (bench/run.sh --before $dir)"
