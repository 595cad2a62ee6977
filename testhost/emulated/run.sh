#!/usr/bin/env bash
# The real tesmora.xfm under the emulated caller: every entry-point test from
# each foreign caller, the stress run, and the proof that the caller catches
# what crashes a real host: the build that assumes an aligned stack must fail
# from every stack offset but 0, on a misaligned operand. Ends with one line
# counting what passed and failed.
#   run.sh NATIVE_TREE I686_TREE [STRESS_CALLS]
set -uo pipefail
native=$1
i686=$2
calls=${3:-100000}
tests=$native/testhost/emulated/tesmora_emulated_tests
stress=$native/testhost/emulated/tesmora_emulated_stress
started=$SECONDS
passed=0
failed=0

# The tests count themselves in their last line: "emulated caller: N passed, M failed".
echo "--- the entry-point tests, from 4 stack offsets with 2 floating-point states each"
output=$("$tests" "$i686/tesmora.xfm" --gtest_brief=1 2>&1)
status=$?
echo "$output" | tail -n 40
counts=$(echo "$output" | sed -n 's/^emulated caller: \([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p')
if [ -n "$counts" ]; then
  passed=$((passed + ${counts% *}))
  failed=$((failed + ${counts#* }))
fi
if [ -z "$counts" ] || { [ "$status" -ne 0 ] && [ "${counts#* }" = 0 ]; }; then
  echo "FAILED: the test program ended with status $status"
  failed=$((failed + 1))
fi

echo "--- the stress run"
if "$stress" 20261208 "$calls" "$i686/tesmora.xfm"; then
  passed=$((passed + 1))
else
  echo "FAILED: the stress run"
  failed=$((failed + 1))
fi

echo "--- the build that assumes a 16-byte aligned stack: caught from stack offsets 4, 8 and 12, not 0"
for offset in 0 4 8 12; do
  output=$("$tests" "$i686/tesmora_assumes_aligned_stack.xfm" --gtest_brief=1 \
    --gtest_filter="*/StackAt${offset}Mod16*" 2>&1)
  status=$?
  fault=$(echo "$output" | grep -o 'misaligned operand: [^"]*' | head -n 1)
  if [ "$offset" = 0 ] && [ "$status" -eq 0 ]; then
    echo "stack at 0 mod 16: passes, as it must"
    passed=$((passed + 1))
  elif [ "$offset" != 0 ] && [ "$status" -ne 0 ] && [ -n "$fault" ]; then
    echo "stack at $offset mod 16: fails, as it must: $fault"
    passed=$((passed + 1))
  else
    echo "FAILED: stack at $offset mod 16: status $status, ${fault:-no misaligned operand seen}"
    echo "$output" | tail -n 20
    failed=$((failed + 1))
  fi
done

echo "emulated caller: $passed passed, $failed failed ($((SECONDS - started)) s)"
[ "$failed" -eq 0 ]
