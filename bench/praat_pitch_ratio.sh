#!/usr/bin/env bash
# Our pitch analysis against Praat's "To Pitch (ac)..." (time step 0.01 s, 60 to 440 Hz) on the same
# minute of speech-like sound at 22050 Hz, in the same run. Prints the median wall time of each over
# RUNS runs and our speed as a ratio of Praat's, twice:
#   - whole runs: `melvox pitch FILE --csv` against a `praat --run` that reads the file and takes its
#     pitch once (both start up and read the file);
#   - analysis only: bench_analysis's in-process analysis against one of Praat's, measured as a run
#     that takes the pitch 10 times less a run that only reads the file, divided by 10.
# Usage: bench/praat_pitch_ratio.sh [BUILD_DIR] [RUNS]     (defaults: build/dev, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/dev}"
runs="${2:-5}"
if ! command -v praat >/dev/null 2>&1; then
  echo "praat is not installed; skipping the comparison (apt-get install praat)"
  exit 0
fi
bench="$build/bench/bench_analysis"
melvox="$build/tools/melvox"
for program in "$bench" "$melvox"; do
  [[ -x "$program" ]] || { echo "missing $program: build first (ninja -C $build bench_analysis melvox_cli)" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$bench" --write-wav "$work/speech.wav" 22050
cat >"$work/pitch.praat" <<'PRAAT'
form Pitch
  sentence File
  natural Repeats 1
endform
sound = Read from file: file$
for i to repeats
  selectObject: sound
  pitch = To Pitch (ac): 0.01, 60, 15, "no", 0.03, 0.45, 0.01, 0.35, 0.14, 440
  removeObject: pitch
endfor
PRAAT
cat >"$work/read.praat" <<'PRAAT'
form Read
  sentence File
endform
sound = Read from file: file$
PRAAT

source bench/timing.sh

repeats=10
praat_total=$(median_seconds praat --run "$work/pitch.praat" "$work/speech.wav" 1)
praat_repeated=$(median_seconds praat --run "$work/pitch.praat" "$work/speech.wav" "$repeats")
praat_read=$(median_seconds praat --run "$work/read.praat" "$work/speech.wav")
ours_total=$(median_seconds "$melvox" pitch "$work/speech.wav" --csv)
# In-process analysis of the same minute: median real time per iteration, in ms.
ours_ms=$("$bench" --benchmark_filter='^BM_Analysis/22050' --benchmark_repetitions="$runs" \
  --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
  awk -F, '/_median"/ { print $3 }')

awk -v pt="$praat_total" -v pn="$praat_repeated" -v n="$repeats" -v pr="$praat_read" -v ot="$ours_total" \
  -v om="$ours_ms" 'BEGIN {
  printf "audio: 60 s of speech-like sound, 22050 Hz, 16-bit mono; medians of the runs\n"
  printf "whole runs:    praat %.3f s, melvox pitch --csv %.3f s, ratio %.1fx\n", pt, ot, pt / ot
  pa = (pn - pr) / n; oa = om / 1000
  printf "analysis only: praat %.4f s ((%.3f s for %d less %.3f s reading) / %d), melvox %.4f s, ratio %.1fx\n",
         pa, pn, n, pr, n, oa, pa / oa
}'
