#!/usr/bin/env bash
# The click-detection benchmark: real recordings from Debian packages, damage
# added by seeded generators, `tesmora detect` against FFmpeg's adeclick (a
# black box: its save method leaves the samples it does not repair as they
# are, so the runs it changed are its detections). Two parts:
# - records: stereo music at 44.1 and 48 kHz and noise-like sound, damaged as
#   a worn record through a phono stage (bench/detect/damage_record), each
#   detector's repair scored channel by channel (bench/detect/score_damage);
# - injected: the mono sets with simple injected clicks (inject_clicks), as
#   before, for comparison.
# Prints a table per part and the curves of recall against false alarms over
# a range of sensitivities. Not part of scripts/test.sh.
#
#   bash scripts/detect-bench.sh [tune|check]
#
# tune (the default) is the selection the defaults were chosen on; check is
# other recordings of the same kinds with other seeds, to see that the choice
# holds. TESMORA_BENCH_PARTS="records injected" chooses the parts;
# TESMORA_BENCH_OLD=PATH adds another build of tesmora (an older one) to the
# records part as the detector "old". Everything it makes lies in
# build/detect-bench/SET.
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

parts=${TESMORA_BENCH_PARTS:-"records injected"}
packages="sonic-pi-samples asterisk-moh-opsound-wav hydrogen-drumkits asterisk-core-sounds-en-wav ffmpeg
  drascula-music singularity-music fb-music-high"
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
cmake --build "$TESMORA_BUILD/native" --target tesmora_cli tesmora inject_clicks score_detections damage_record \
  score_damage >/dev/null
tesmora="$TESMORA_BUILD/native/tesmora"
tools="$TESMORA_BUILD/native/bench-detect"

work="$TESMORA_BUILD/detect-bench/$set_name"
mkdir -p "$work/material"
samples=/usr/share/sonic-pi/samples
kits=/usr/share/hydrogen/data/drumkits
speech=/usr/share/asterisk/sounds/en_US_f_Allison

# material NAME RATE SECONDS [CHANNELS [PER_FILE]] -- FILE...: the files one
# after another (each cut to PER_FILE seconds, 0: whole), 16-bit at RATE with
# CHANNELS channels (1 by default), cut to SECONDS.
material() {
  local name=$1 rate=$2 seconds=$3 channels=1 per_file=0
  shift 3
  [ "$1" != -- ] && { channels=$1; shift; }
  [ "$1" != -- ] && { per_file=$1; shift; }
  shift
  local out="$work/material/$name.wav"
  [ -f "$out" ] && return 0
  local raw="$work/material/$name.raw"
  : >"$raw"
  local limit=$((rate * seconds * 2 * channels)) cut=()
  [ "$per_file" != 0 ] && cut=(-t "$per_file")
  for file in "$@"; do
    ffmpeg -nostdin -v error -i "$file" "${cut[@]}" -ac "$channels" -ar "$rate" -f s16le - >>"$raw"
    [ "$(stat -c %s "$raw")" -ge "$limit" ] && break
  done
  ffmpeg -nostdin -v error -y -f s16le -ar "$rate" -ac "$channels" -i "$raw" -t "$seconds" -c:a pcm_s16le "$out"
  rm -f "$raw"
}

# noise NAME SEED: 10 s each of white, pink and brown noise (independent in
# the two channels), 44.1 kHz stereo. (Sonic Pi's vinyl hiss is no clean
# surface noise: it holds clicks of its own.)
noise() {
  local out="$work/material/$1.wav" inputs=() filter="" k=0
  [ -f "$out" ] && return 0
  for colour in white pink brown; do
    for side in 0 1; do
      inputs+=(-f lavfi -i "anoisesrc=c=$colour:a=0.15:r=44100:d=10:s=$(($2 + side))")
    done
    filter="$filter[$k][$((k + 1))]amerge=inputs=2[$colour];"
    k=$((k + 2))
  done
  ffmpeg -nostdin -v error -y "${inputs[@]}" -filter_complex "${filter}[white][pink][brown]concat=n=3:v=0:a=1" \
    -ac 2 -c:a pcm_s16le "$out"
}

echo "Preparing the material ($set_name)..."
if [ "$set_name" = tune ]; then
  material music 44100 50 -- $samples/loop_{3d_printer,compus,garzul,mika,safari,amen_full,drone_g_97}.flac
  material music-8k 8000 60 -- /usr/share/asterisk/moh/{macroform-cold_day,manolo_camp-morning_coffee}.wav
  material instruments 44100 50 -- $samples/{ambi_glass_hum,ambi_haunted_hum,ambi_piano,ambi_sauna,guit_em9,guit_harmonics,bass_voxy_c,bass_thick_c}.flac
  mapfile -t drums < <(ls "$kits/ColomboAcousticDrumkit"/*.flac "$kits/The Black Pearl 1.0"/*.wav | sort)
  material drums 44100 50 -- "${drums[@]}"
  mapfile -t prompts < <(ls "$speech"/*.wav | sort | head -120)
  material speech 8000 60 -- "${prompts[@]}"
else
  material music 44100 40 -- $samples/loop_{tabla,weirdo,electric,breakbeat,perc1,mehackit1,perc2,mehackit2}.flac
  material music-8k 8000 60 -- /usr/share/asterisk/moh/{reno_project-system,macroform-robot_dity}.wav
  material instruments 44100 40 -- $samples/{ambi_lunar_land,ambi_drone,ambi_choir,guit_e_fifths,guit_e_slide,bass_trance_c,bass_woodsy_c,ambi_dark_woosh}.flac
  mapfile -t drums < <(ls "$kits/rumpf_kit_z01_h2"/*.flac "$kits/Millo_MultiLayered3"/*.flac | sort)
  material drums 44100 50 -- "${drums[@]}"
  mapfile -t prompts < <(ls "$speech"/*.wav | sort | tail -n +300 | head -120)
  material speech 8000 60 -- "${prompts[@]}"
fi
materials="music music-8k instruments drums speech"

# The stereo sets for the records part: game music (Drascula's, 44.1 kHz;
# Endgame: Singularity's, 48 kHz), Sonic Pi's loops (44.1 kHz, electronic
# and drums), a tracker module rendered at 48 kHz (Frozen Bubble), and noise.
drascula=/usr/share/scummvm/drascula/audio
singularity=/usr/share/games/singularity/music
if [ "$set_name" = tune ]; then
  material rec-orchestral 44100 60 2 20 -- $drascula/track{1,2,3,4}.ogg
  material rec-ambient 48000 60 2 20 -- "$singularity"/{Nebula,Awakening,Coherence}.ogg
  material rec-loops 44100 50 2 -- $samples/loop_{3d_printer,compus,garzul,mika,safari,amen_full,drone_g_97}.flac
  material rec-tracker 48000 60 2 -- /usr/share/games/frozen-bubble/snd/frozen-mainzik-2p.xm
  noise rec-noise 1
else
  material rec-orchestral 44100 60 2 20 -- $drascula/track{5,6,7,9}.ogg
  material rec-ambient 48000 60 2 20 -- "$singularity"/{Inevitable,Deprecation,"Through Space"}.ogg
  material rec-loops 44100 40 2 -- $samples/loop_{tabla,weirdo,electric,breakbeat,perc1,mehackit1,perc2,mehackit2}.flac
  if [ ! -f "$work/material/rec-tracker.wav" ]; then
    ffmpeg -nostdin -v error -y -ss 90 -i /usr/share/games/frozen-bubble/snd/frozen-mainzik-2p.xm -t 60 -ar 48000 \
      -c:a pcm_s16le "$work/material/rec-tracker.wav"
  fi
  noise rec-noise 11
fi
records="rec-orchestral rec-ambient rec-loops rec-tracker rec-noise"


now() { date +%s.%N; }
# seconds_since START: the wall-clock seconds since START, a reading of now.
seconds_since() {
  awk -v a="$1" -v b="$(now)" 'BEGIN { print b - a }'
}
# adeclick IN OUT SETTING: FFmpeg's declicker on one thread, the save method,
# with its own threshold for the setting "default".
adeclick() {
  local options=$3
  [ "$options" = default ] && options=""
  ffmpeg -nostdin -v error -y -threads 1 -filter_threads 1 -i "$1" -af "adeclick=m=s${options:+:$options}" \
    -c:a pcm_s16le "$2"
}

# repair_ranges IN RANGES OUT: repairs the ranges tesmora detect printed,
# channel by channel (the ch=N column), into OUT.
repair_ranges() {
  local in=$1 ranges=$2 out=$3 channels
  channels=$(ffprobe -v error -show_entries stream=channels -of csv=p=0 "$in")
  cp "$in" "$out"
  for ((c = 0; c < channels; c++)); do
    if [ "$channels" = 1 ]; then
      grep -v '^#' "$ranges" >"$out.ranges" || true
    else
      awk -v tag="ch=$c" '$3 == tag { print $1 }' "$ranges" >"$out.ranges"
    fi
    [ -s "$out.ranges" ] || continue
    "$tesmora" repair "$out" -o "$out.tmp.wav" --ranges "$out.ranges" --channel "$c" --yes --force >/dev/null
    mv "$out.tmp.wav" "$out"
  done
  rm -f "$out.ranges"
}

# damaged_and_clean MATERIAL: the damaged files' names, then the clean one's.
damaged_and_clean() {
  for s in $seeds; do echo "$1-$s"; done
  echo "$1.clean"
}

# record_input MATERIAL FILE: sets the caller's in and truth to FILE's samples
# and damage list (the clean recording and "-" for MATERIAL.clean).
record_input() {
  in="$work/$2.wav" truth="$work/$2.truth"
  [ "${2%.clean}" != "$2" ] && { in="$work/material/$1.wav"; truth=-; }
  return 0
}

# detect_records LABEL PROGRAM [OPTIONS...]: one tesmora build's detection and
# repair of every damaged and clean record file, scored.
detect_records() {
  local label=$1 program=$2
  shift 2
  for m in $records; do
    for f in $(damaged_and_clean "$m"); do
      local in truth start wall
      record_input "$m" "$f"
      start=$(now)
      "$program" detect "$in" "$@" >"$work/$f.$label.txt"
      wall=$(seconds_since "$start")
      repair_ranges "$in" "$work/$f.$label.txt" "$work/$f.$label.wav"
      echo "det=$label mat=$m file=$f wall=$wall $("$tools/score_damage" "$truth" "$in" "$work/material/$m.wav" \
        "$work/$f.$label.wav" --ranges "$work/$f.$label.txt")" >>"$record_scores"
    done
  done
}


run_records() {
  echo "Damaging the records (seeds $seeds)..."
  for m in $records; do
    for s in $seeds; do
      "$tools/damage_record" "$work/material/$m.wav" "$work/$m-$s.wav" "$work/$m-$s.truth" "$s"
    done
  done
  record_scores="$work/record-scores.txt"
  : >"$record_scores"
  echo "Running the detectors on the records..."
  detect_records tesmora "$tesmora"
  [ -n "${TESMORA_BENCH_OLD:-}" ] && detect_records old "$TESMORA_BENCH_OLD"
  for setting in $peer_settings; do
    for m in $records; do
      for f in $(damaged_and_clean "$m"); do
        local in truth out="$work/$f.adeclick-$setting.wav" start wall
        record_input "$m" "$f"
        start=$(now)
        adeclick "$in" "$out" "$setting"
        wall=$(seconds_since "$start")
        echo "det=adeclick-$setting mat=$m file=$f wall=$wall $("$tools/score_damage" "$truth" "$in" \
          "$work/material/$m.wav" "$out" --changed)" >>"$record_scores"
      done
    done
  done
  echo "Measuring the curve on the records (sensitivities $sensitivities)..."
  for sens in $sensitivities; do
    for m in $records; do
      for f in $(damaged_and_clean "$m"); do
        local in truth
        record_input "$m" "$f"
        "$tesmora" detect "$in" --sensitivity "$sens" >"$work/curve.txt"
        repair_ranges "$in" "$work/curve.txt" "$work/curve.wav"
        echo "det=curve sens=$sens mat=$m file=$f $("$tools/score_damage" "$truth" "$in" "$work/material/$m.wav" \
          "$work/curve.wav" --ranges "$work/curve.txt")" >>"$record_scores"
      done
    done
  done
  echo
  awk -f "$TESMORA_ROOT/scripts/detect_bench_common.awk" -f "$TESMORA_ROOT/scripts/detect_bench_records.awk" "$record_scores"
}

# The mono sets with simple injected clicks.
run_injected() {
echo "Injecting clicks (seeds $seeds)..."
for m in $materials; do
  for s in $seeds; do
    "$tools/inject_clicks" "$work/material/$m.wav" "$work/$m-$s.wav" "$work/$m-$s.truth" "$s"
  done
done

scores="$work/scores.txt"
: >"$scores"
# score LABELS... -- SCORE_ARGUMENTS...: one line of the table's input.
score() {
  local labels=()
  while [ "$1" != -- ]; do labels+=("$1"); shift; done
  shift
  echo "${labels[*]} $("$tools/score_detections" "$@")" >>"$scores"
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
awk -f "$TESMORA_ROOT/scripts/detect_bench_common.awk" -f "$TESMORA_ROOT/scripts/detect_bench_table.awk" "$scores"
}

case " $parts " in *" records "*) run_records ;; esac
case " $parts " in *" injected "*) run_injected ;; esac
