#!/usr/bin/env bash
# The benchmark summary, from fixed outputs of the two programs: medians (not
# means) are read, ns per sample come from the native items per second, the
# full-scale rows are held against the same memset, and missing figures show
# as "-". Fails with the difference when the table is not the expected one.
#   summary_test.sh SOURCE_ROOT
set -euo pipefail
root=$1
fixtures="$root/bench/tests/summary"
awk -f "$root/scripts/bench_summary.awk" source=native "$fixtures/native.csv" source=i686 "$fixtures/i686.txt" |
  diff -u "$fixtures/expected.txt" -
