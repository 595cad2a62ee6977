#!/usr/bin/env bash
# Measures what `tesmora repair` costs on large files against `cp` of the
# same file: wall-clock time and peak resident memory (GNU time's %M).
#   - a one-hour 44.1 kHz 16-bit stereo WAV (635 MB), one 11-sample range:
#     once sparse (all holes, as generated in an instant) and once full of data;
#   - a sparse mono RF64 longer than 2^31 frames, a range beyond 2^31;
#   - a mono WAV with one 10-million-sample range (20 MB of samples).
# Each command runs 3 times, the median is shown. The files lie in
# $TESMORA_BUILD/bench/patch and are removed at the end. Not a test: run it on
# a quiet machine and compare runs, not single figures.
set -euo pipefail
source "$(dirname "$0")/common.sh"

bash "$TESMORA_ROOT/scripts/install-deps.sh"
echo "Building the native tree (Release)..."
configure native -DCMAKE_BUILD_TYPE=Release && cmake --build "$TESMORA_BUILD/native" --target tesmora_cli >/dev/null
tesmora="$TESMORA_BUILD/native/tesmora"
folder="$TESMORA_BUILD/bench/patch"
rm -rf "$folder"
mkdir -p "$folder"
trap 'rm -rf "$folder"' EXIT

# le NUMBER BYTES: NUMBER as BYTES little-endian bytes, in printf's \x form.
le() {
  local value=$1 bytes=$2 out=""
  for ((i = 0; i < bytes; i++)); do
    out+=$(printf '\\x%02x' $(((value >> (8 * i)) & 255)))
  done
  printf '%s' "$out"
}

# wav_header PATH CHANNELS FRAMES: a canonical 44-byte 16-bit PCM header.
wav_header() {
  local path=$1 channels=$2 frames=$3
  local data=$((frames * channels * 2))
  printf "RIFF$(le $((36 + data)) 4)WAVEfmt $(le 16 4)$(le 1 2)$(le "$channels" 2)$(le 44100 4)$(le $((44100 * channels * 2)) 4)$(le $((channels * 2)) 2)$(le 16 2)data$(le "$data" 4)" >"$path"
}

# rf64_header PATH FRAMES: mono 16-bit RF64, its sizes in ds64.
rf64_header() {
  local path=$1 frames=$2
  local data=$((frames * 2))
  printf "RF64$(le 4294967295 4)WAVEds64$(le 28 4)$(le $((72 + data)) 8)$(le "$data" 8)$(le "$frames" 8)$(le 0 4)fmt $(le 16 4)$(le 1 2)$(le 1 2)$(le 44100 4)$(le 88200 4)$(le 2 2)$(le 16 2)data$(le 4294967295 4)" >"$path"
}

one_hour=$((3600 * 44100))
wav_header "$folder/sparse.wav" 2 "$one_hour"
truncate -s $((44 + one_hour * 4)) "$folder/sparse.wav"
wav_header "$folder/full.wav" 2 "$one_hour"
head -c $((one_hour * 4)) /dev/urandom >>"$folder/full.wav"
beyond=$((2147483648 + 200000))  # more frames than a signed 32-bit count holds
rf64_header "$folder/beyond.wav" "$beyond"
truncate -s $((80 + beyond * 2)) "$folder/beyond.wav"
long=12000000
wav_header "$folder/long.wav" 1 "$long"
head -c $((long * 2)) /dev/urandom >>"$folder/long.wav"

# measure COMMAND...: prints "SECONDS KILOBYTES", the median of 3 runs. With
# REPLACE set, out.wav exists (a copy of the input) before each run.
measure() {
  for run in 1 2 3; do
    rm -f "$folder/out.wav"
    if [ -n "${REPLACE:-}" ]; then cp "$REPLACE" "$folder/out.wav"; fi
    /usr/bin/time -f '%e %M' -o "$folder/time.txt" "$@" >/dev/null 2>"$folder/err.txt" || {
      cat "$folder/err.txt" >&2
      echo "FAILED: $*" >&2
      exit 1
    }
    cat "$folder/time.txt"
  done | sort -n | sed -n 2p
}

printf '%-40s %10s %10s %8s %12s %12s\n' "case" "tesmora s" "cp s" "ratio" "peak RSS MB" "bound MB"
row() {
  local name=$1 input=$2 range=$3 channel=$4 bound=$5 replace=${6:-}
  read -r tesmora_s tesmora_kb < <(REPLACE=$replace measure "$tesmora" repair "$input" -o "$folder/out.wav" \
    -r "$range" -c "$channel" --yes --force)
  read -r cp_s _ < <(REPLACE=$replace measure cp "$input" "$folder/out.wav")
  awk -v n="$name" -v t="$tesmora_s" -v c="$cp_s" -v k="$tesmora_kb" -v b="$bound" 'BEGIN {
    printf "%-40s %10.3f %10.3f %8s %12.1f %12s\n", n, t, c, (c > 0 ? sprintf("%.2f", t / c) : "-"), k / 1024, b }'
}
row "1 h stereo sparse, 11 samples" "$folder/sparse.wav" 1000000:1000010 0 20
row "1 h stereo full, 11 samples" "$folder/full.wav" 1000000:1000010 1 20
row "RF64 of 2^31 + 200,000 frames, sparse" "$folder/beyond.wav" 2147583000:2147583010 0 20
# Replacing a file, the repair flushes it to disk before the rename; cp does not.
row "1 h stereo full, replacing (flushed)" "$folder/full.wav" 1000000:1000010 1 20 "$folder/full.wav"
row "mono, 10,000,000-sample range" "$folder/long.wav" 1000:10000999 0 "$((25 * 2))"
echo
echo "Bounds: 20 MB and 1.5x cp for the hour; 2.5x the range's 20 MB of samples for the long range."
echo "A new output is renamed into place unflushed, as cp leaves its copy; one that replaces a file is flushed first."
