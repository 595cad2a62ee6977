#!/usr/bin/env bash
# Static checks: the layout of every C and C++ file (clang-format), clang-tidy
# and cppcheck on the module, the repair code, the click detection and the
# in-memory host. Needs the native tree configured (for its compile commands).
# Fails on any finding.
set -uo pipefail
source "$(dirname "$0")/common.sh"
cd "$TESMORA_ROOT"

status=0
mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h')
if ! clang-format --dry-run -Werror "${sources[@]}"; then
  echo "clang-format: the files above do not follow .clang-format (clang-format -i fixes them)"
  status=1
fi

# The Win32 files are checked as the 32-bit Windows build sees them.
mapfile -t native < <(git ls-files 'module/*.cpp' 'repair/*.cpp' 'detect/*.cpp' 'memory_host/*.cpp' | grep -v _win32)
mapfile -t win32 < <(git ls-files 'module/*_win32.cpp')
mingw=$(ls -d /usr/lib/gcc/i686-w64-mingw32/*-posix | head -1)
if ! clang-tidy -p "$TESMORA_BUILD/native" --quiet "${native[@]}" ||
   ! clang-tidy --quiet "${win32[@]}" -- --target=i686-w64-mingw32 -std=c++17 -Imodule \
       -isystem "$mingw/include/c++" -isystem "$mingw/include/c++/i686-w64-mingw32"; then
  echo "clang-tidy: findings above"
  status=1
fi

if ! cppcheck --enable=warning,style,performance,portability --error-exitcode=1 --inline-suppr --quiet \
     --std=c++17 --language=c++ -Imodule -Irepair -Idetect -Imemory_host module repair detect memory_host; then
  echo "cppcheck: findings above"
  status=1
fi
exit $status
