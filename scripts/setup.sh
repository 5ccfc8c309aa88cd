#!/usr/bin/env bash
# Installs the cross toolchain and Wine, and on request the test tools, on a fresh Debian
# bookworm machine.
# Safe to run again: every step checks first.
set -euo pipefail

need_root() {
  if [ "$(id -u)" != 0 ]; then
    echo "orv: missing tools; run as root: sudo bash scripts/setup.sh $level" >&2
    exit 1
  fi
}

# What each use needs. Running scripts: the cross compiler, Wine, CMake, Ninja, zlib
# (and ccache, so that a second checkout compiles only what differs). The test
# command adds its tools; a virtual display only where one is asked for.
runtime_packages=(wine wine32:i386 wine64 g++-mingw-w64-i686-posix libz-mingw-w64-dev
  cmake ninja-build ccache python3)
display_packages=(xvfb xauth)
test_packages=("${display_packages[@]}" g++-mingw-w64-x86-64-posix googletest clang
  libclang-rt-14-dev llvm valgrind lua5.4 hyperfine time zlib1g-dev nettle-dev mingw-w64-tools)

have_runtime() {
  command -v i686-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null &&
  command -v cmake >/dev/null && command -v ninja >/dev/null && command -v ccache >/dev/null &&
  [ -f /usr/i686-w64-mingw32/lib/libz.a ] && dpkg -s wine32:i386 >/dev/null 2>&1
}

have_display() {
  command -v xvfb-run >/dev/null && command -v xauth >/dev/null
}

have_tests() {
  have_display && [ -d /usr/src/googletest ] && command -v clang >/dev/null &&
  command -v valgrind >/dev/null && command -v lua5.4 >/dev/null && command -v hyperfine >/dev/null &&
  [ -x /usr/bin/time ] &&
  dpkg -s zlib1g-dev nettle-dev mingw-w64-tools >/dev/null 2>&1
}

# Packages unpack without a sync after every file (a fresh machine has nothing to
# lose from a crash halfway through).
apt_install() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    -o Dpkg::Options::=--force-unsafe-io "$@" >/dev/null
}
updated=0

i386_runs() {
  # A tiny static i386 ELF whose only job is exit(7).
  local t; t=$(mktemp)
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb3\x07\x31\xc0\x40\xcd\x80\x00\x00\x00' >"$t"
  chmod +x "$t"
  local rc=0
  "$t" 2>/dev/null || rc=$?
  rm -f "$t"
  [ "$rc" = 7 ]
}

register_qemu() {
  mountpoint -q /proc/sys/fs/binfmt_misc || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] || printf '%s' \
    ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    > /proc/sys/fs/binfmt_misc/register
}

ensure_i386() {
  i386_runs && return 0
  need_root
  if [ ! -x /usr/bin/qemu-i386-static ] || ! /usr/bin/qemu-i386-static --version | grep -q 'version [1-9][0-9]'; then
    local uri
    uri=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    [ -n "$uri" ] || uri=http://deb.debian.org/debian
    cat >/etc/apt/sources.list.d/bookworm-backports.sources <<SRC
Types: deb
URIs: $uri
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    apt-get update >/dev/null || true
    updated=1
    apt_install -t bookworm-backports qemu-user-static
  fi
  register_qemu
}

# setup.sh [run|display|test]: run (the default) installs what running scripts
# needs; display adds the virtual display; test adds every test and benchmark tool.
level=run
main() {
  level="${1:-run}"
  local wanted=()
  case "$level" in
    run) ;;
    display) have_display || wanted+=("${display_packages[@]}") ;;
    test) have_tests || wanted+=("${test_packages[@]}") ;;
    *) echo "usage: setup.sh [run|display|test]" >&2; exit 2 ;;
  esac
  have_runtime || wanted+=("${runtime_packages[@]}")
  if [ ${#wanted[@]} = 0 ] && i386_runs; then exit 0; fi
  need_root
  dpkg --add-architecture i386
  ensure_i386
  if [ ${#wanted[@]} -gt 0 ]; then
    [ $updated = 1 ] || apt-get update >/dev/null || true
    apt_install "${wanted[@]}"
  fi
  # The toolchain file names the -posix compilers; the plain names follow them too.
  update-alternatives --set i686-w64-mingw32-g++ /usr/bin/i686-w64-mingw32-g++-posix >/dev/null 2>&1 || true
  update-alternatives --set i686-w64-mingw32-gcc /usr/bin/i686-w64-mingw32-gcc-posix >/dev/null 2>&1 || true
  echo "orv: tools installed ($level)"
}
main "$@"
