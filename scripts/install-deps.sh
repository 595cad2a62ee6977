#!/usr/bin/env bash
# Installs, on Debian, whatever building and testing Tesmora needs and the
# machine lacks. Does nothing when everything is there. Wine and the virtual
# display are installed only where the machine runs 32-bit x86 code: where it
# cannot, wine cannot start, and the module is tested under the emulated caller.
set -euo pipefail
source "$(dirname "$0")/common.sh"

packages=(
  cmake ninja-build g++ binutils clang libclang-rt-14-dev  # native builds, sanitizers, fuzzers
  googletest libgtest-dev libbenchmark-dev           # tests and benchmarks
  g++-mingw-w64-i686-posix mingw-w64-i686-dev        # the 32-bit Windows module
  binutils-mingw-w64-i686
  pkg-config libunicorn-dev libcapstone-dev          # the emulated 32-bit caller
  libsndfile1-dev libflac-dev libcli11-dev           # the command-line host
  clang-tidy clang-format cppcheck valgrind          # static analysis and memory checks
  help2man dpkg-dev file zip unzip lintian man-db    # the manual page, the release files and their checks
  time                                               # peak memory in scripts/bench_patch.sh
)
wine_packages=(
  wine wine32:i386                                   # running the 32-bit Windows programs
  xvfb xdotool imagemagick fonts-wine                # the real message boxes on a virtual display
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
updated=no

# install PACKAGE...: installs those of them the machine lacks.
install() {
  local missing=()
  for package in "$@"; do
    installed "$package" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [[ " ${missing[*]}" == *":i386"* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    updated=no
  fi
  echo "Installing: ${missing[*]}"
  if [ "$updated" = no ]; then
    # A mirror caught mid-sync fails one index now and then; what the others
    # hold is enough when it holds the packages, and apt-get install says so
    # plainly when it does not.
    $sudo apt-get update -q || echo "install-deps: apt-get update reported errors; installing from the indexes it has"
    updated=yes
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

install "${packages[@]}"
if runs_32bit_code; then
  install "${wine_packages[@]}"
fi
