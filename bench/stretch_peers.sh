#!/usr/bin/env bash
# The slowed sound against soundstretch and rubberband on the same minute of speech-like sound (about
# 3 s of phrases repeated, as bench_stretch's BM_PrepareSlowed uses), in the same run. Each program reads
# the WAV file, slows it down and writes a WAV file: `melvox stretch --level -10` against
# `soundstretch -tempo=-9.09` and `rubberband -t 1.1` (1.1 times as long), and `--level -100` against
# `-tempo=-50` and `-t 2` (twice as long). Prints the median wall time of each over RUNS runs and our
# speed as a ratio of each peer's (above 1: we are faster).
# Usage: bench/stretch_peers.sh [BUILD_DIR] [RUNS] [RATE]     (defaults: build/dev, 5, 22050)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/dev}"
runs="${2:-5}"
rate="${3:-22050}"
for peer in soundstretch rubberband; do
  if ! command -v "$peer" >/dev/null 2>&1; then
    echo "$peer is not installed; skipping the comparison (apt-get install soundstretch rubberband-cli)"
    exit 0
  fi
done
bench="$build/bench/bench_stretch"
melvox="$build/tools/melvox"
for program in "$bench" "$melvox"; do
  [[ -x "$program" ]] || { echo "missing $program: build first (ninja -C $build bench_stretch melvox_cli)" >&2; exit 1; }
done
source bench/timing.sh

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
in="$work/speech.wav"
"$bench" --write-wav "$in" "$rate"
# The peers report their progress on standard error.
quiet() { "$@" 2>/dev/null; }

echo "audio: 60 s of speech-like sound, $rate Hz, 16-bit mono; medians of $runs runs, WAV in and out"
for case in "-10 -9.09 1.1" "-100 -50 2"; do
  read -r level tempo ratio <<<"$case"
  ours=$(median_seconds "$melvox" stretch "$in" "$work/ours.wav" --level "$level")
  soundstretch=$(median_seconds quiet soundstretch "$in" "$work/soundstretch.wav" -tempo="$tempo")
  rubberband=$(median_seconds quiet rubberband -t "$ratio" "$in" "$work/rubberband.wav")
  awk -v l="$level" -v o="$ours" -v s="$soundstretch" -v r="$rubberband" 'BEGIN {
    printf "level %s: melvox stretch %.3f s (%.0f audio s/s), soundstretch %.3f s (%.0f), rubberband %.3f s (%.0f)\n",
           l, o, 60 / o, s, 60 / s, r, 60 / r
    printf "  our speed as a ratio of theirs: %.2fx soundstretch, %.2fx rubberband\n", s / o, r / o
  }'
done
