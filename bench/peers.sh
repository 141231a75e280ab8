#!/usr/bin/env bash
# Whole runs of melvox against its peers on the same long recording of speech, in the same run:
#   - `melvox pitch FILE --csv` against Praat's "To Pitch (ac)..." (10 ms steps, 60 to 440 Hz; a
#     `praat --run` script that reads the file and takes its pitch) and `aubiopitch` (its default
#     method, a 10 ms hop), at 22050 Hz and at 44100 Hz;
#   - `melvox stretch IN OUT --level -10` (1.1 times as long) against `soundstretch -tempo=-9.09` and
#     `rubberband -t 1.1`;
#   - `melvox endpoints FILE` against `sox FILE OUT silence ...` (leading and trailing silence cut).
# The runs are interleaved (one run of every program, then the next round), so that every program sees
# the same load; prints the median wall time of each over RUNS rounds, our real-time factors (of the
# wall time, and of the CPU time, which is what one core takes whatever the load), and our speed as a
# ratio of each peer's (above 1: we are faster). Then the peak memory (maximum resident set,
# /usr/bin/time -v) of `melvox analyze --json` and `melvox stretch` on 10 minutes of the same speech.
#
# The speech is espeak-ng reading a text in five voices, one after the other (about 4.5 minutes at
# 22050 Hz, espeak-ng's own rate), resampled by sox for 44100 Hz and repeated for the 10 minutes.
# Missing programs are installed with apt-get when run as root; a peer still missing is left out.
# The machine may be shared: compare the ratios, which every round measures under the same load.
# Usage: bench/peers.sh [BUILD_DIR] [RUNS]     (defaults: build/dev, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/dev}"
runs="${2:-5}"
melvox="$build/tools/melvox"
source bench/timing.sh
require_built "$build" "$melvox"

# program -> Debian package
declare -A packages=([praat]=praat [aubiopitch]=aubio-tools [soundstretch]=soundstretch
  [rubberband]=rubberband-cli [sox]=sox [espeak-ng]=espeak-ng [/usr/bin/time]=time)
missing=()
for program in "${!packages[@]}"; do
  command -v "$program" >/dev/null 2>&1 || missing+=("${packages[$program]}")
done
if ((${#missing[@]} > 0)) && [[ $(id -u) == 0 ]]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" >/dev/null
fi
for program in sox espeak-ng; do
  command -v "$program" >/dev/null 2>&1 || { echo "$program is needed (apt-get install $program)" >&2; exit 1; }
done
have() { command -v "$1" >/dev/null 2>&1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

text="The north wind and the sun were disputing which was the stronger, when a traveller came along wrapped
in a warm cloak. They agreed that the one who first succeeded in making the traveller take his cloak off
should be considered stronger than the other. Then the north wind blew as hard as he could, but the more he
blew the more closely did the traveller fold his cloak around him; and at last the north wind gave up the
attempt. Then the sun shone out warmly, and immediately the traveller took off his cloak. And so the north
wind was obliged to confess that the sun was the stronger of the two. Did you like the story? Would you
like to hear another one? When the sunlight strikes raindrops in the air, they act as a prism and form a
rainbow. The rainbow is a division of white light into many beautiful colours. These take the shape of a
long round arch, with its path high above, and its two ends apparently beyond the horizon. There is,
according to legend, a boiling pot of gold at one end. People look, but no one ever finds it."
parts=()
for voice in "en-gb -p 40" "en-us -p 55" "en+f3 -p 60" "en-gb-x-rp -p 35 -s 150" "en-us+f2 -p 70 -s 190"; do
  read -r -a options <<<"$voice"
  part="$work/part${#parts[@]}.wav"
  espeak-ng -v "${options[@]}" -w "$part" "$text"
  parts+=("$part")
done
speech22="$work/speech22050.wav"
sox -V1 "${parts[@]}" -b 16 -c 1 "$speech22" rate 22050
sox -V1 "$speech22" "$work/speech44100.wav" rate 44100
seconds=$(soxi -D "$speech22")
sox "$speech22" "$work/speech10min.wav" repeat 3 trim 0 600

# The cases, one shell function each; their names are what the table prints.
pitch_melvox_22050() { "$melvox" pitch "$speech22" --csv; }
pitch_melvox_44100() { "$melvox" pitch "$work/speech44100.wav" --csv; }
cat >"$work/pitch.praat" <<'PRAAT'
form Pitch
  sentence File
endform
sound = Read from file: file$
pitch = To Pitch (ac): 0.01, 60, 15, "no", 0.03, 0.45, 0.01, 0.35, 0.14, 440
PRAAT
pitch_praat_22050() { praat --run "$work/pitch.praat" "$speech22"; }
pitch_praat_44100() { praat --run "$work/pitch.praat" "$work/speech44100.wav"; }
pitch_aubio_22050() { aubiopitch -i "$speech22" -H 220 -u Hz; }
pitch_aubio_44100() { aubiopitch -i "$work/speech44100.wav" -H 441 -u Hz; }
stretch_melvox() { "$melvox" stretch "$speech22" "$work/ours.wav" --level -10; }
stretch_soundstretch() { soundstretch "$speech22" "$work/soundstretch.wav" -tempo=-9.09; }
stretch_rubberband() { rubberband -t 1.1 "$speech22" "$work/rubberband.wav"; }
endpoints_melvox() { "$melvox" endpoints "$speech22"; }
endpoints_sox() { sox "$speech22" "$work/trimmed.wav" silence 1 0.05 1% reverse silence 1 0.05 1% reverse; }

interleaved_cases=(pitch_melvox_22050 pitch_melvox_44100 stretch_melvox endpoints_melvox endpoints_sox)
have praat && interleaved_cases+=(pitch_praat_22050 pitch_praat_44100)
have aubiopitch && interleaved_cases+=(pitch_aubio_22050 pitch_aubio_44100)
have soundstretch && interleaved_cases+=(stretch_soundstretch)
have rubberband && interleaved_cases+=(stretch_rubberband)
interleaved_medians

echo "audio: $(printf %.1f "$seconds") s of espeak-ng speech, 16-bit mono; medians of $runs interleaved rounds; load: $(uptime | sed 's/.*load average: //')"
# One line per melvox case: its wall and CPU time with their real-time factors, and its speed as a
# ratio of each peer's (wall times of the same rounds).
report() {
  local ours=$1 line
  shift
  line=$(awk -v t="${median[$ours]}" -v c="${cpu_median[$ours]}" -v s="$seconds" \
    'BEGIN { printf "%.3f s (%.0f x real time), CPU %.3f s (%.0f x)", t, s / t, c, s / c }')
  local peer
  for peer in "$@"; do
    [[ -n "${median[$peer]:-}" ]] || continue
    line+=$(awk -v t="${median[$ours]}" -v p="${median[$peer]}" -v n="${peer#*_}" \
      'BEGIN { printf "; %s %.3f s, ratio %.2fx", n, p, p / t }')
  done
  printf '%-19s %s\n' "$ours" "$line"
}
report pitch_melvox_22050 pitch_praat_22050 pitch_aubio_22050
report pitch_melvox_44100 pitch_praat_44100 pitch_aubio_44100
report stretch_melvox stretch_soundstretch stretch_rubberband
report endpoints_melvox endpoints_sox

# Peak memory on 10 minutes at 22050 Hz: 26.5 MB of 16-bit samples.
if have /usr/bin/time; then
  peak_mb() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk '/Maximum resident set size/ { printf "%.1f", $NF * 1024 / 1e6 }'; }
  samples_mb=$(awk -v s="$(soxi -s "$work/speech10min.wav")" 'BEGIN { printf "%.1f", s * 2 / 1e6 }')
  analyze_mb=$(peak_mb "$melvox" analyze "$work/speech10min.wav" --json)
  stretch_mb=$(peak_mb "$melvox" stretch "$work/speech10min.wav" "$work/slow10min.wav" --level -10)
  awk -v d="$samples_mb" -v a="$analyze_mb" -v s="$stretch_mb" 'BEGIN {
    printf "peak memory, 10 min at 22050 Hz (%.1f MB of samples): analyze --json %.1f MB (%.2fx), stretch %.1f MB (%.2fx)\n",
           d, a, a / d, s, s / d
  }'
fi
