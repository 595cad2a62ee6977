#!/usr/bin/env bash
# The click-detection benchmark: real recordings from Debian packages, clicks
# injected with seeded generators, `tesmora detect` against FFmpeg's adeclick
# (a black box: its save method leaves the samples it does not repair as they
# are, so the runs it changed are its detections). Prints one table per
# detector, by material, and the curve of recall against false alarms over a
# range of sensitivities. Not part of scripts/test.sh.
#
#   bash scripts/detect-bench.sh [tune|check]
#
# tune (the default) is the selection the defaults were chosen on; check is
# other recordings of the same kinds with other click seeds, to see that the
# choice holds. Everything it makes lies in build/detect-bench/SET.
set -euo pipefail
source "$(dirname "$0")/common.sh"

set_name=${1:-tune}
case $set_name in
  tune) seeds="1 2 3" ;;
  check) seeds="11 12 13" ;;
  *) echo "usage: detect-bench.sh [tune|check]" >&2; exit 2 ;;
esac
sensitivities=${TESMORA_BENCH_SENSITIVITIES:-"2 3 4 5 6 7 8"}
# TESMORA_BENCH_PEER=0 leaves adeclick out (its figures do not change between runs).
peer_settings="default t=3"
[ "${TESMORA_BENCH_PEER:-1}" = 0 ] && peer_settings=""

packages="sonic-pi-samples asterisk-moh-opsound-wav hydrogen-drumkits asterisk-core-sounds-en-wav ffmpeg"
missing=""
for p in $packages; do dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"; done
if [ -n "$missing" ]; then
  echo "Installing$missing..."
  sudo_prefix=""
  [ "$(id -u)" -ne 0 ] && sudo_prefix="sudo"
  $sudo_prefix apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo_prefix apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi

echo "Building the native tree (Release)..."
configure native -DCMAKE_BUILD_TYPE=Release
cmake --build "$TESMORA_BUILD/native" --target tesmora_cli tesmora inject_clicks score_detections >/dev/null
tesmora="$TESMORA_BUILD/native/tesmora"
tools="$TESMORA_BUILD/native/bench-detect"

work="$TESMORA_BUILD/detect-bench/$set_name"
mkdir -p "$work/material"
samples=/usr/share/sonic-pi/samples
kits=/usr/share/hydrogen/data/drumkits
speech=/usr/share/asterisk/sounds/en_US_f_Allison

# material NAME RATE SECONDS FILE...: the files one after another, mono,
# 16-bit at RATE, cut to SECONDS.
material() {
  local name=$1 rate=$2 seconds=$3
  shift 3
  local out="$work/material/$name.wav"
  [ -f "$out" ] && return 0
  local raw="$work/material/$name.raw"
  : >"$raw"
  local limit=$((rate * seconds * 2))
  for file in "$@"; do
    ffmpeg -nostdin -v error -i "$file" -ac 1 -ar "$rate" -f s16le - >>"$raw"
    [ "$(stat -c %s "$raw")" -ge "$limit" ] && break
  done
  ffmpeg -nostdin -v error -y -f s16le -ar "$rate" -ac 1 -i "$raw" -t "$seconds" -c:a pcm_s16le "$out"
  rm -f "$raw"
}

echo "Preparing the material ($set_name)..."
if [ "$set_name" = tune ]; then
  material music 44100 50 $samples/loop_{3d_printer,compus,garzul,mika,safari,amen_full,drone_g_97}.flac
  material music-8k 8000 60 /usr/share/asterisk/moh/{macroform-cold_day,manolo_camp-morning_coffee}.wav
  material instruments 44100 50 $samples/{ambi_glass_hum,ambi_haunted_hum,ambi_piano,ambi_sauna,guit_em9,guit_harmonics,bass_voxy_c,bass_thick_c}.flac
  mapfile -t drums < <(ls "$kits/ColomboAcousticDrumkit"/*.flac "$kits/The Black Pearl 1.0"/*.wav | sort)
  material drums 44100 50 "${drums[@]}"
  mapfile -t prompts < <(ls "$speech"/*.wav | sort | head -120)
  material speech 8000 60 "${prompts[@]}"
else
  material music 44100 40 $samples/loop_{tabla,weirdo,electric,breakbeat,perc1,mehackit1,perc2,mehackit2}.flac
  material music-8k 8000 60 /usr/share/asterisk/moh/{reno_project-system,macroform-robot_dity}.wav
  material instruments 44100 40 $samples/{ambi_lunar_land,ambi_drone,ambi_choir,guit_e_fifths,guit_e_slide,bass_trance_c,bass_woodsy_c,ambi_dark_woosh}.flac
  mapfile -t drums < <(ls "$kits/rumpf_kit_z01_h2"/*.flac "$kits/Millo_MultiLayered3"/*.flac | sort)
  material drums 44100 50 "${drums[@]}"
  mapfile -t prompts < <(ls "$speech"/*.wav | sort | tail -n +300 | head -120)
  material speech 8000 60 "${prompts[@]}"
fi
materials="music music-8k instruments drums speech"

echo "Injecting clicks (seeds $seeds)..."
for m in $materials; do
  for s in $seeds; do
    "$tools/inject_clicks" "$work/material/$m.wav" "$work/$m-$s.wav" "$work/$m-$s.truth" "$s"
  done
done

scores="$work/scores.txt"
: >"$scores"
now() { date +%s.%N; }
# score LABELS... -- SCORE_ARGUMENTS...: one line of the table's input.
score() {
  local labels=()
  while [ "$1" != -- ]; do labels+=("$1"); shift; done
  shift
  echo "${labels[*]} $("$tools/score_detections" "$@")" >>"$scores"
}
# adeclick IN OUT SETTING: FFmpeg's declicker on one thread, the save method,
# with its own threshold for the setting "default".
adeclick() {
  local options=$3
  [ "$options" = default ] && options=""
  ffmpeg -nostdin -v error -y -threads 1 -filter_threads 1 -i "$1" -af "adeclick=m=s${options:+:$options}" \
    -c:a pcm_s16le "$2"
}
# seconds_since START: the wall-clock seconds since START, a reading of now.
seconds_since() {
  awk -v a="$1" -v b="$(now)" 'BEGIN { print b - a }'
}

echo "Running the detectors..."
for m in $materials; do
  clean="$work/material/$m.wav"
  for s in $seeds; do
    in="$work/$m-$s.wav"
    start=$(now)
    "$tesmora" detect "$in" >"$work/$m-$s.tesmora.txt"
    wall=$(seconds_since "$start")
    "$tesmora" repair "$in" -o "$work/$m-$s.tesmora.wav" --detect --yes --force >/dev/null
    score det=tesmora mat="$m" kind=corrupt wall="$wall" -- "$work/$m-$s.truth" "$in" \
      --ranges "$work/$m-$s.tesmora.txt" --clean "$clean" --repaired "$work/$m-$s.tesmora.wav"
    for setting in $peer_settings; do
      out="$work/$m-$s.adeclick-$setting.wav"
      start=$(now)
      adeclick "$in" "$out" "$setting"
      wall=$(seconds_since "$start")
      score det="adeclick-$setting" mat="$m" kind=corrupt wall="$wall" -- "$work/$m-$s.truth" "$in" \
        --changed "$out" --clean "$clean" --repaired "$out"
    done
  done
  "$tesmora" detect "$clean" >"$work/$m.clean.tesmora.txt"
  score det=tesmora mat="$m" kind=clean -- - "$clean" --ranges "$work/$m.clean.tesmora.txt"
  for setting in $peer_settings; do
    out="$work/$m.clean.adeclick-$setting.wav"
    adeclick "$clean" "$out" "$setting"
    score det="adeclick-$setting" mat="$m" kind=clean -- - "$clean" --changed "$out"
  done
done

echo "Measuring the curve (sensitivities $sensitivities)..."
for sens in $sensitivities; do
  for m in $materials; do
    for s in $seeds; do
      "$tesmora" detect "$work/$m-$s.wav" --sensitivity "$sens" >"$work/curve.txt"
      score det=curve sens="$sens" mat="$m" kind=corrupt -- "$work/$m-$s.truth" "$work/$m-$s.wav" \
        --ranges "$work/curve.txt"
    done
    "$tesmora" detect "$work/material/$m.wav" --sensitivity "$sens" >"$work/curve.txt"
    score det=curve sens="$sens" mat="$m" kind=clean -- - "$work/material/$m.wav" --ranges "$work/curve.txt"
  done
done

echo
awk -f "$TESMORA_ROOT/scripts/detect_bench_table.awk" "$scores"
