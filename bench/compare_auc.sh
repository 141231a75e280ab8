#!/usr/bin/env bash
# The evaluation of the comparison score on spoken phrases from three synthesizers (espeak-ng, flite,
# festival), said in several voices and changed by sox the ways a recording differs from its
# reference (another level, noise, room, tempo, pitch, telephone band, two changes at once). Makes
# the set in SET_DIR (reused when its manifest is there), then runs bench/compare_eval on it, which
# prints the ROC AUC of the whole score and of each term alone, overall and per condition, for the
# voices the note grouping was tuned on and for the voices held out from tuning.
# Usage: bench/compare_auc.sh SET_DIR [BUILD_DIR]     (BUILD_DIR defaults to build/dev)
# Packages: espeak-ng, flite, festival with festvox-kallpc16k, festvox-kdlpc16k and
# festvox-us-slt-hts, sox; installed with apt-get when missing (as root).
#
# The set: SET_DIR/sounds/*.wav (16-bit mono, each synthesizer's own rate; telephone ones 8000 Hz)
# and SET_DIR/manifest.txt, one pair a line (lines starting with # are comments):
#   LABEL SPLIT CONDITION REF_VOICE REC_VOICE REF_PATH REC_PATH
#   LABEL      same (REC says REF's phrase) or different (another phrase of similar length)
#   SPLIT      tune (REC's voice was used to choose the note grouping) or held (voice held out)
#   CONDITION  how REC was changed: clean, gain-12, gain-20, white-10, white-20 (white noise at that
#              SNR in dB against the sound's RMS), room-10, room-20 (light reverb and brown noise at
#              that SNR), tempo+10, tempo-10 (per cent, pitch kept), pitch+100, pitch-100 (cents,
#              tempo kept), telephone (300-3400 Hz band, 8000 Hz), or two of them joined by "&"
#   REF_VOICE, REC_VOICE  SYNTHESIZER:VOICE, e.g. espeak:en+f3, flite:slt, festival:ked_diphone
#   REF_PATH, REC_PATH    relative to SET_DIR; references are clean sayings in a tuning voice
# Every recording is paired with the references of its own phrase (same) and of every other phrase
# whose reference in that voice is within a factor 1.25 in length (different). Nothing is random:
# sox runs with a fixed seed, so the set is the same on every machine with the same packages.
set -euo pipefail
cd "$(dirname "$0")/.."
[[ -n "${1:-}" ]] || { echo "usage: $0 SET_DIR [BUILD_DIR]" >&2; exit 2; }
set_dir="$(realpath -m "$1")"
build="${2:-build/dev}"
program="$build/bench/compare_eval"
manifest="$set_dir/manifest.txt"
evaluate() {
  [[ -x "$program" ]] || { echo "set made; to evaluate it build $program first (cmake --build $build --target compare_eval)" >&2; exit 1; }
  exec "$program" "$manifest"
}
[[ -s "$manifest" ]] && evaluate

packages=(espeak-ng flite festival festvox-kallpc16k festvox-kdlpc16k festvox-us-slt-hts sox)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

phrases=(
  "The weather is nice today."
  "Please open the window."
  "I would like a cup of coffee."
  "Where is the train station?"
  "My brother plays the guitar."
  "She reads a book every night."
  "We are going to the beach on Sunday."
  "Can you help me carry this box?"
  "The children are playing in the garden."
  "How much does this jacket cost?"
  "Turn left at the next corner."
  "He forgot his keys at home again."
  "Good morning, everyone."
  "Thank you very much."
  "The cat is sleeping on the sofa."
  "Could you repeat that, please?"
  "Our flight leaves early tomorrow morning."
  "I need to buy some fresh bread."
  "The meeting starts at nine o'clock."
  "Do you know where my glasses are?"
  "It has been raining all week."
  "Let's have dinner together tonight."
  "See you later."
  "What time is it now?"
  "The shop closes at six."
  "Put the milk in the fridge."
  "Is this seat taken?"
  "I lost my umbrella on the bus."
  "Happy birthday to you."
  "The river runs under the old bridge."
)
# Voices: the first three are the references; tune voices first, then the held-out ones.
tune_voices=(espeak:en flite:kal16 festival:kal_diphone espeak:en-us espeak:en+f3 espeak:en+m3 flite:rms
  festival:cmu_us_slt_arctic_hts)
held_voices=(espeak:en-gb-scotland espeak:en+f4 espeak:en-029 flite:awb flite:slt festival:ked_diphone)
references=(espeak:en flite:kal16 festival:kal_diphone)
conditions=(gain-12 gain-20 white-10 white-20 room-10 room-20 tempo+10 tempo-10 pitch+100 pitch-100 telephone
  "pitch+100&white-20" "gain-12&tempo+10" "telephone&room-20" "tempo-10&pitch-100")
per_recording=3 # changed sayings per phrase and voice, besides the clean one

mkdir -p "$set_dir/sounds"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

synthesize() { # VOICE TEXT OUT
  local synth="${1%%:*}" voice="${1#*:}"
  case "$synth" in
    espeak) espeak-ng -v "$voice" -w "$work/raw.wav" "$2" ;;
    flite) flite -voice "$voice" -t "$2" -o "$work/raw.wav" ;;
    festival) echo "$2" | text2wave -eval "(voice_$voice)" -o "$work/raw.wav" ;;
  esac
  sox "$work/raw.wav" -b 16 -c 1 "$3"
}

rms() { sox "$1" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }'; }

# Mixes noise of the kind (whitenoise, brownnoise) into IN at SNR dB against IN's RMS.
add_noise() { # IN KIND SNR OUT
  local rate duration
  rate="$(soxi -r "$1")"
  duration="$(soxi -D "$1")"
  sox -R -n -r "$rate" -c 1 -b 16 "$work/noise.wav" synth "$duration" "$2" vol 0.5
  local factor
  factor="$(awk -v s="$(rms "$1")" -v n="$(rms "$work/noise.wav")" -v snr="$3" \
    'BEGIN { printf "%.6f", s / n / exp(snr / 20 * log(10)) }')"
  sox -R -m -v 1 "$1" -v "$factor" "$work/noise.wav" -b 16 "$4"
}

change() { # IN CONDITION OUT (one change)
  case "$2" in
    gain-*) sox -R "$1" "$3" gain "-${2#gain-}" ;;
    white-*) add_noise "$1" whitenoise "${2#white-}" "$3" ;;
    room-*)
      sox -R "$1" "$work/reverb.wav" reverb 30 50 40 gain -3
      add_noise "$work/reverb.wav" brownnoise "${2#room-}" "$3"
      ;;
    tempo*) sox -R "$1" "$3" tempo -s "$(awk -v p="${2#tempo}" 'BEGIN { print 1 + p / 100 }')" ;;
    pitch*) sox -R "$1" "$3" pitch "${2#pitch}" ;;
    telephone) sox -R "$1" -r 8000 "$3" sinc 300-3400 ;;
  esac
}

sound_path() { echo "sounds/p$(printf %02d "$1")_${2/:/-}_${3}.wav"; } # PHRASE VOICE CONDITION

make_sound() { # PHRASE VOICE CONDITION
  local out="$set_dir/$(sound_path "$@")"
  [[ -s "$out" ]] && return
  local clean="$set_dir/$(sound_path "$1" "$2" clean)"
  [[ -s "$clean" ]] || synthesize "$2" "${phrases[$1]}" "$clean"
  [[ "$3" == clean ]] && return
  local input="$clean" step=0 part
  IFS='&' read -ra parts <<<"$3"
  for part in "${parts[@]}"; do
    change "$input" "$part" "$work/step$step.wav"
    input="$work/step$step.wav"
    step=$((step + 1))
  done
  mv "$input" "$out"
}

voices=("${tune_voices[@]}" "${held_voices[@]}")
# The recordings of each phrase and voice: clean, and per_recording conditions taken in turn so that
# every voice meets every condition about equally often.
declare -A recordings=()
for ((p = 0; p < ${#phrases[@]}; p++)); do
  echo "phrase $((p + 1)) of ${#phrases[@]}" >&2
  for ((v = 0; v < ${#voices[@]}; v++)); do
    list=(clean)
    for ((k = 0; k < per_recording; k++)); do
      list+=("${conditions[(p + 4 * v + k * ${#conditions[@]} / per_recording) % ${#conditions[@]}]}")
    done
    for c in "${list[@]}"; do
      make_sound "$p" "${voices[v]}" "$c"
    done
    recordings[$p,$v]="${list[*]}"
  done
done

split_of() {
  local v
  for v in "${tune_voices[@]}"; do [[ "$v" == "$1" ]] && { echo tune; return; }; done
  echo held
}

{
  echo "# LABEL SPLIT CONDITION REF_VOICE REC_VOICE REF_PATH REC_PATH (see bench/compare_auc.sh)"
  for ref in "${references[@]}"; do
    lengths=()
    for ((p = 0; p < ${#phrases[@]}; p++)); do
      lengths+=("$(soxi -s "$set_dir/$(sound_path "$p" "$ref" clean)")")
    done
    for ((p = 0; p < ${#phrases[@]}; p++)); do
      ref_path="$(sound_path "$p" "$ref" clean)"
      for ((v = 0; v < ${#voices[@]}; v++)); do
        voice="${voices[v]}"
        split="$(split_of "$voice")"
        for c in ${recordings[$p,$v]}; do
          [[ "$voice" == "$ref" && "$c" == clean ]] && continue # the reference itself
          echo "same $split $c $ref $voice $ref_path $(sound_path "$p" "$voice" "$c")"
        done
        for ((q = 0; q < ${#phrases[@]}; q++)); do
          ((q != p)) || continue
          awk -v a="${lengths[p]}" -v b="${lengths[q]}" 'BEGIN { r = a / b; exit !(r >= 0.8 && r <= 1.25) }' || continue
          for c in ${recordings[$q,$v]}; do
            echo "different $split $c $ref $voice $ref_path $(sound_path "$q" "$voice" "$c")"
          done
        done
      done
    done
  done
} >"$manifest.part"
mv "$manifest.part" "$manifest"
evaluate
