#!/usr/bin/env bash
# The evaluation of the comparison score: makes spoken sentences with espeak-ng in a temporary folder
# (each sentence in a reference voice and said again in other voices, speeds and pitches, some of
# those with added noise or another gain), pairs every reference with its own sentence said again
# (same) and with the other sentences of similar length (different), and prints the ROC AUC of the
# whole score for the note grouping in use and for the alternatives that were tried, next to a
# generated set (samples::SpeechLike phrases). The last sentences of the list are held out: they were
# not looked at while the grouping and its thresholds were chosen.
# Usage: bench/compare_auc.sh [BUILD_DIR] [SET_DIR]
#   BUILD_DIR defaults to build/dev; SET_DIR keeps the spoken set (and reuses it when it is there),
#   otherwise it is made in a temporary folder and removed.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/dev}"
program="$build/bench/compare_eval"
[[ -x "$program" ]] || { echo "missing $program: build first (ninja -C $build compare_eval)" >&2; exit 1; }
if ! command -v espeak-ng >/dev/null 2>&1; then
  echo "espeak-ng is not installed; evaluating the generated set only (apt-get install espeak-ng)"
  exec "$program"
fi

if [[ -n "${2:-}" ]]; then
  work="$(realpath -m "$2")"
  mkdir -p "$work"
  if [[ -s "$work/manifest.txt" ]]; then
    exec "$program" "$work/manifest.txt"
  fi
else
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
fi

tune=(
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
)
held=(
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
)
# The reference: voice en, 150 words per minute, pitch 50. The sentence said again: voice, speed,
# pitch, and transforms of the recording (white noise at an SNR in dB, a gain).
again=(
  "en-us 150 50"
  "en+f3 150 60"
  "en+m3 130 50"
  "en+m7 175 50"
  "en-gb-x-rp 150 40"
  "en-gb-scotland 140 50"
  "en-029 160 55"
  "en 120 50"
  "en 185 50"
  "en 150 80"
  "en-us 150 50 noise 20"
  "en+f3 150 60 noise 10"
  "en 120 50 gain 0.2"
  "en+m3 130 50 gain 3"
)

manifest="$work/manifest.txt"
: >"$manifest.part"
# Writes the sentences of one split and the pairs among them.
make_split() {
  local split="$1"
  shift
  local sentences=("$@")
  local n=${#sentences[@]}
  for ((i = 0; i < n; i++)); do
    espeak-ng -v en -s 150 -p 50 -w "$work/$split-$i-ref.wav" "${sentences[i]}"
    for ((k = 0; k < ${#again[@]}; k++)); do
      read -r voice speed pitch extra <<<"${again[k]}"
      local file="$work/$split-$i-$voice-$speed-$pitch.wav"
      [[ -f "$file" ]] || espeak-ng -v "$voice" -s "$speed" -p "$pitch" -w "$file" "${sentences[i]}"
    done
  done
  # Durations in samples, to pair sentences of similar length (within a factor 1.25).
  local lengths=()
  for ((i = 0; i < n; i++)); do
    lengths+=("$(stat -c %s "$work/$split-$i-ref.wav")")
  done
  for ((i = 0; i < n; i++)); do
    for ((k = 0; k < ${#again[@]}; k++)); do
      read -r voice speed pitch extra <<<"${again[k]}"
      echo "same $split $work/$split-$i-ref.wav $work/$split-$i-$voice-$speed-$pitch.wav ${extra:-}" >>"$manifest.part"
      for ((j = 0; j < n; j++)); do
        ((j != i)) || continue
        awk -v a="${lengths[i]}" -v b="${lengths[j]}" 'BEGIN { r = a / b; exit !(r >= 0.8 && r <= 1.25) }' || continue
        echo "different $split $work/$split-$i-ref.wav $work/$split-$j-$voice-$speed-$pitch.wav ${extra:-}" >>"$manifest.part"
      done
    done
  done
}
make_split tune "${tune[@]}"
make_split held "${held[@]}"
mv "$manifest.part" "$manifest"
"$program" "$manifest"
