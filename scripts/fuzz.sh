#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time (seconds,
# default 60; all at once), starting from the committed seed corpus. Fails on
# any finding; the input that found it is left in build/fuzz-findings.
#   scripts/fuzz.sh [seconds]
set -euo pipefail
source "$(dirname "$0")/common.sh"

seconds=${1:-60}
targets=(line_repair xfm_do sample_layout)

configure fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTESMORA_FUZZ=ON -DTESMORA_TESTS=OFF -DTESMORA_BENCHMARKS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$TESMORA_BUILD/fuzz" --target "${targets[@]/#/tesmora_fuzz_}"

findings="$TESMORA_BUILD/fuzz-findings"
mkdir -p "$findings"
pids=()
for target in "${targets[@]}"; do
  # The corpus grows in the build tree; the committed seeds stay as they are.
  corpus="$TESMORA_BUILD/fuzz-corpus/$target"
  mkdir -p "$corpus"
  "$TESMORA_BUILD/fuzz/fuzz/tesmora_fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/$target-" "$corpus" "$TESMORA_ROOT/fuzz/corpus/$target" \
    >"$TESMORA_BUILD/fuzz-$target.log" 2>&1 &
  pids+=($!)
done

status=0
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  if wait "${pids[$i]}"; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$TESMORA_BUILD/fuzz-$target.log" | grep -o '[0-9]*$')
    echo "fuzz $target: ${runs:-?} inputs in ${seconds} s, no finding"
  else
    echo "fuzz $target: FINDING (see $TESMORA_BUILD/fuzz-$target.log and $findings)"
    tail -30 "$TESMORA_BUILD/fuzz-$target.log"
    status=1
  fi
done
exit $status
