#!/usr/bin/env bash
# The graphs against sox's spectrogram on the same 10 s of speech-like sound, in the same run: whole
# runs of `melvox graph FILE -o OUT.png --size 800x150` (decoding, the four graphs' analyses and
# drawing, the PNG) against `sox FILE -n spectrogram -x 800 -y 150 -o OUT.png`. Prints the median wall
# time of each over RUNS runs and our time as a ratio of sox's (below 1: we are faster). sox draws one
# spectrogram; we draw four graphs.
# Usage: bench/graph_peers.sh [BUILD_DIR] [RUNS]     (defaults: build/dev, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/dev}"
runs="${2:-5}"
if ! command -v sox >/dev/null 2>&1; then
  echo "sox is not installed; skipping the comparison (apt-get install sox)"
  exit 0
fi
bench="$build/bench/bench_graph"
melvox="$build/tools/melvox"
source bench/timing.sh
require_built "$build" "$bench" "$melvox"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
in="$work/speech.wav"
"$bench" --write-wav "$in" 22050

echo "audio: 10 s of speech-like sound, 22050 Hz, 16-bit mono; medians of $runs runs, PNG out"
ours=$(median_seconds "$melvox" graph "$in" -o "$work/ours.png" --size 800x150)
sox=$(median_seconds sox "$in" -n spectrogram -x 800 -y 150 -o "$work/sox.png")
awk -v o="$ours" -v s="$sox" 'BEGIN {
  printf "melvox graph (four graphs, 800 x 150 each): %.1f ms; sox spectrogram (800 x 150): %.1f ms\n", o * 1000, s * 1000
  printf "  our time as a ratio of sox'"'"'s: %.2f\n", o / s
}'
