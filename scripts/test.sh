#!/usr/bin/env bash
# Runs every test of Tesmora: installs what is missing, builds what is needed,
# and fails when any test fails.
set -euo pipefail
source "$(dirname "$0")/common.sh"

bash "$TESMORA_ROOT/scripts/install-deps.sh"

failed=()
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

native_tests() {
  configure_and_build native && ctest --test-dir "$TESMORA_BUILD/native" --output-on-failure -j "$(nproc)"
}

sanitizer_tests() {
  configure_and_build sanitize -DCMAKE_BUILD_TYPE=Debug -DTESMORA_SANITIZE=address,undefined &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir "$TESMORA_BUILD/sanitize" --output-on-failure -j "$(nproc)"
}

i686_tests() {
  configure_and_build i686 "$I686_TOOLCHAIN" && prepare_wine &&
    ctest --test-dir "$TESMORA_BUILD/i686" --output-on-failure -j "$(nproc)"
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
step "32-bit Windows build, tests under wine" i686_tests
step "release files packed from the native and 32-bit trees, checked" release_files
step "fuzzing" fuzzing

echo
if [ ${#failed[@]} -ne 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "All tests passed."
