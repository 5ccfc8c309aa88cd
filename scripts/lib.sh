# Shared by ./orv and scripts/test.sh: toolchain check, builds, Wine set-up.
# Expects $root to be the repository root.

export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
# Wine's own dialogs (Mono/Gecko installers) must never wait for a click.
export WINEDLLOVERRIDES="mscoree,mshtml="

# orv_ensure_toolchain [run|display|test]: setup.sh returns at once when the tools
# of that use are in place; as non-root it only prints the command to run.
orv_ensure_toolchain() {
  bash "$root/scripts/setup.sh" "${1:-run}" >&2
}

# orv_build win32|native|native-release [TARGET...]: configure once, then let
# ninja decide what is stale (of the targets named, else of everything).
# native has the sanitizers and, where clang is installed, the libFuzzer targets
# too: one engine build serves the unit tests, the golden scripts and fuzzing.
# native-release has no sanitizers (timing, profiling). Sources compile in
# batches (cmake/batches.cmake), which makes a first build much quicker;
# ORV_BATCHES=OFF before the first build gives one compile per file instead.
orv_build() {
  local config="$1"
  [ "$config" = fuzz ] && config=native   # the fuzz targets live in the native build
  local dir="$root/build/$config"
  shift
  local args=(-G Ninja -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo)
  case "$config" in
    win32) args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake") ;;
    native)
      args+=(-DORV_BATCHES="${ORV_BATCHES:-ON}")
      command -v clang++ >/dev/null &&
        args+=(-DORV_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
      ;;
    native-release) args+=(-DORV_SANITIZE=OFF) ;;
  esac
  # A compiler cache shared by every checkout: paths inside the checkout are
  # hashed relative to it and the build folder is left out of the hash, so a
  # second worktree or a clean clone compiles only what differs.
  if command -v ccache >/dev/null; then
    args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  fi
  if [ ! -f "$dir/build.ninja" ]; then
    local log="$dir.configure.log"
    mkdir -p "$root/build"
    if ! cmake "${args[@]}" >"$log" 2>&1; then
      cat "$log"
      echo "orv: configuring build/$config failed" >&2
      # What a failed first configure cached (a missing compiler's empty
      # flags) would be kept by the next one: an unoptimized build.
      rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
      return 1
    fi
  fi
  # Quiet on a no-op; compiler messages and failures still show. ORV_JOBS caps
  # parallel compiles on a shared machine.
  local out
  if ! out=$(ninja -C "$dir" ${ORV_JOBS:+-j"$ORV_JOBS"} --quiet "$@" 2>&1); then
    printf '%s\n' "$out"
    return 1
  fi
  printf '%s\n' "$out" | grep -v -e '^ninja: no work to do\.$' -e '^$' || true
}

# Creates $WINEPREFIX when it is missing (about 20 s); a second caller waits
# for the first. ./orv runs it in the background while it builds.
orv_make_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  {
    flock 7
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      mkdir -p "$WINEPREFIX"
      wineboot --init >/dev/null 2>&1 </dev/null || true
      wineserver -w >/dev/null 2>&1 || true
    fi
  } 7>>"$WINEPREFIX.make.lock"
}

# A persistent server makes each later Wine start cheap (about 0.25 s).
orv_start_wine() {
  orv_make_prefix
  wineserver -p >/dev/null 2>&1 </dev/null || true
}

orv_stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
}

# The screen of the private virtual displays (./orv --virtual-display, the GUI
# tests): the size acceptance checks use; across it, positions in thousandths
# at multiples of 25 are whole pixels.
orv_virtual_screen="1280x1024x24"

# On a display of its own, a prefix needs a Wine server of its own: a server
# that is still running (started without a display, or left by a run that was
# cut off) keeps the desktop size of the first display it saw. Callers hold
# the prefix's lock, so nothing else runs there.
orv_restart_wine() {
  orv_stop_wine
  wineserver -w >/dev/null 2>&1 || true
  orv_start_wine
}

# Wine takes relative paths as they are; absolute ones go through drive Z:.
orv_wine_path() {
  local p="$1"
  if [[ "$p" == /* ]]; then
    p="Z:${p//\//\\}"
  fi
  printf '%s' "$p"
}
