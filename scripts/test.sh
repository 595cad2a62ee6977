#!/usr/bin/env bash
# Runs every test of Tesmora: installs what is missing, builds what is needed,
# and fails when any test fails.
set -euo pipefail
source "$(dirname "$0")/common.sh"

# The probe needs an assembler and a linker: a machine without them gets them first.
if ! command -v as >/dev/null || ! command -v ld >/dev/null; then
  bash "$TESMORA_ROOT/scripts/install-deps.sh"
fi
if runs_32bit_code; then
  echo "This machine runs 32-bit x86 code: the module is tested under wine and under the emulated caller."
else
  echo "This machine cannot run 32-bit x86 code (the kernel refuses i386 programs${TESMORA_NO_32BIT:+; pretended by TESMORA_NO_32BIT}):"
  echo "the module is tested under the emulated caller only, and the steps that need wine are skipped."
fi

bash "$TESMORA_ROOT/scripts/install-deps.sh"

failed=()
skipped=()
step() {
  local title=$1
  shift
  echo
  echo "=== $title"
  if "$@"; then
    echo "=== $title: passed"
  else
    echo "=== $title: FAILED"
    failed+=("$title")
  fi
}

# A step this machine cannot run, named so that it never passes in silence.
skip() {
  echo
  echo "=== $1: skipped: this machine cannot run 32-bit x86 code"
  skipped+=("$1")
}

native_tests() {
  configure_and_build native && ctest --test-dir "$TESMORA_BUILD/native" --output-on-failure -j "$(nproc)"
}

sanitizer_tests() {
  configure_and_build sanitize -DCMAKE_BUILD_TYPE=Debug -DTESMORA_SANITIZE=address,undefined \
    -DTESMORA_EMULATED_CALLER=OFF &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir "$TESMORA_BUILD/sanitize" --output-on-failure -j "$(nproc)"
}

# The 32-bit tree's tests that need no wine (a second build, byte for byte
# the first) run everywhere; those labelled wine only where wine can start.
i686_build() {
  configure_and_build i686 "$I686_TOOLCHAIN" &&
    ctest --test-dir "$TESMORA_BUILD/i686" --output-on-failure -LE wine
}

i686_wine_tests() {
  prepare_wine && ctest --test-dir "$TESMORA_BUILD/i686" --output-on-failure -j "$(nproc)" -L wine
}

emulated_caller() {
  bash "$TESMORA_ROOT/testhost/emulated/run.sh" "$TESMORA_BUILD/native" "$TESMORA_BUILD/i686"
}

memory_check() {
  valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    "$TESMORA_BUILD/native/tests/tesmora_unit_tests" --gtest_brief=1
}

static_checks() {
  bash "$TESMORA_ROOT/scripts/lint.sh"
}

release_files() {
  bash "$TESMORA_ROOT/scripts/check_release.sh"
}

fuzzing() {
  bash "$TESMORA_ROOT/scripts/fuzz.sh" "${TESMORA_FUZZ_SECONDS:-60}"
}

step "native build and unit tests" native_tests
step "unit tests under valgrind" memory_check
step "static analysis and layout" static_checks
step "unit tests with AddressSanitizer and UndefinedBehaviorSanitizer" sanitizer_tests
step "32-bit Windows build, and a second build to compare" i686_build
step "the real tesmora.xfm under the emulated caller" emulated_caller
if runs_32bit_code; then
  step "32-bit Windows tests under wine: unit tests, DLL tests, stress run, real message boxes, benchmark tests" \
    i686_wine_tests
else
  skip "the unit tests of the 32-bit build under wine"
  skip "the DLL tests under wine, through the foreign-call trampoline"
  skip "loading and freeing the DLL 1000 times, two threads at once, a non-ASCII folder (under wine)"
  skip "the stress run under wine"
  skip "the real message boxes under Xvfb"
  skip "the 32-bit benchmark program's tests under wine"
fi
step "release files packed from the native and 32-bit trees, checked" release_files
step "fuzzing" fuzzing

echo
if [ ${#skipped[@]} -ne 0 ]; then
  printf 'skipped: %s\n' "${skipped[@]}"
fi
if [ ${#failed[@]} -ne 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
if [ ${#skipped[@]} -ne 0 ]; then
  echo "All tests passed; ${#skipped[@]} steps skipped: this machine cannot run 32-bit x86 code."
else
  echo "All tests passed."
fi
