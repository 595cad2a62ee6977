#!/usr/bin/env bash
# Builds and runs the benchmarks, natively and for 32-bit Windows under wine,
# and prints one summary table of their medians. The programs' own output is
# kept in $TESMORA_BUILD/bench/. Run it on a quiet machine: every figure is a
# wall-clock time.
set -euo pipefail
source "$(dirname "$0")/common.sh"

bash "$TESMORA_ROOT/scripts/install-deps.sh"
echo "Building the native tree (Release) and the 32-bit Windows tree..."
configure native -DCMAKE_BUILD_TYPE=Release && cmake --build "$TESMORA_BUILD/native" --target tesmora_bench >/dev/null
configure i686 "$I686_TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release &&
  cmake --build "$TESMORA_BUILD/i686" --target tesmora_bench_i686 >/dev/null
prepare_wine

results="$TESMORA_BUILD/bench"
mkdir -p "$results"
native_csv="$results/native.csv"
i686_out="$results/i686.txt"

# run OUTPUT COMMAND...: runs a benchmark program into OUTPUT; shows OUTPUT if it fails.
run() {
  local output=$1
  shift
  if ! "$@" >"$output" 2>&1; then
    cat "$output" >&2
    echo "FAILED: $*" >&2
    exit 1
  fi
}

echo "Running the native benchmarks (5 repetitions each)..."
run "$results/native.txt" "$TESMORA_BUILD/native/tesmora_bench" --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_out="$native_csv" --benchmark_out_format=csv
echo "Running the i686 benchmarks under wine..."
# Started from its own folder, where LoadLibraryA finds tesmora.xfm.
run "$i686_out" bash -c 'cd "$1" && wine ./tesmora_bench_i686.exe' _ "$TESMORA_BUILD/i686"

echo
awk -f "$TESMORA_ROOT/scripts/bench_summary.awk" source=native "$native_csv" source=i686 "$i686_out"
echo
echo "The programs' own output: $results/native.txt, $native_csv, $i686_out"
