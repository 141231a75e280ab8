#!/usr/bin/env bash
# How `melvox render --sound resynthesis` grows with the length of the sound: speech made by repeating
# one espeak-ng sentence (the demo's generated phrase when espeak-ng is missing) to 112, 224 and 448 s,
# each rendered whole. Prints the median wall time of RUNS runs per length and the ratio to the length
# before: about 2 for each doubling when the time is linear in the length, 4 when it is quadratic.
# Exits 1 when a doubling costs more than 3 times as much: the render then grows faster than the length.
# Usage: bench/resynthesis_scaling.sh [BUILD_DIR] [RUNS]     (defaults: build/dev, 3)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/dev}"
runs="${2:-3}"
melvox="$build/tools/melvox"
source bench/timing.sh
require_built "$build" "$melvox"
if ! command -v sox >/dev/null 2>&1; then
  echo "sox is not installed; skipping (apt-get install sox)"
  exit 0
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sentence="$work/sentence.wav"
if command -v espeak-ng >/dev/null 2>&1; then
  espeak-ng -w "$sentence" "The quick brown fox jumps over the lazy dog while the bright sun shines on the quiet village."
else
  "$melvox" demo --out "$work/demo" --no-view >/dev/null
  cp "$work/demo/sample.wav" "$sentence"
fi
seconds=$(soxi -D "$sentence")

echo "melvox render --sound resynthesis, whole file; medians of $runs runs"
previous=""
for length in 112 224 448; do
  copies=$(awk -v l="$length" -v s="$seconds" 'BEGIN { print int(l / s) + 1 }')
  inputs=()
  for ((i = 0; i < copies; i++)); do inputs+=("$sentence"); done
  sox "${inputs[@]}" "$work/joined.wav"
  sox "$work/joined.wav" "$work/speech.wav" trim 0 "$length"
  time=$(median_seconds "$melvox" render "$work/speech.wav" "$work/out.wav" --sound resynthesis)
  if [[ -n "$previous" ]]; then
    awk -v l="$length" -v t="$time" -v p="$previous" 'BEGIN { printf "%4d s of speech: %6.2f s (%.2f x the half length)\n", l, t, t / p }'
  else
    awk -v l="$length" -v t="$time" 'BEGIN { printf "%4d s of speech: %6.2f s\n", l, t }'
  fi
  if [[ -n "$previous" ]] && awk -v t="$time" -v p="$previous" 'BEGIN { exit !(t > 3 * p) }'; then
    faster=1
  fi
  previous="$time"
done
if [[ -n "${faster:-}" ]]; then
  echo "the resynthesis grows faster than the length of the sound" >&2
  exit 1
fi
