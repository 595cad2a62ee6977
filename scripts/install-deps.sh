#!/usr/bin/env bash
# Installs, on Debian, whatever building and testing Tesmora needs and the
# machine lacks. Does nothing when everything is there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev     # native builds, sanitizers, fuzzers
  googletest libgtest-dev libbenchmark-dev           # tests and benchmarks
  g++-mingw-w64-i686-posix mingw-w64-i686-dev        # the 32-bit Windows module
  binutils-mingw-w64-i686
  wine wine32:i386                                   # running the 32-bit Windows programs
  libsndfile1-dev libflac-dev libcli11-dev           # the command-line host
  clang-tidy clang-format cppcheck valgrind          # static analysis and memory checks
  xvfb xdotool imagemagick fonts-wine                # the real message boxes on a virtual display
  help2man dpkg-dev file zip unzip lintian man-db    # the manual page, the release files and their checks
  time                                               # peak memory in scripts/bench_patch.sh
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
