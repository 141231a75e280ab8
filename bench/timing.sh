# shellcheck shell=bash
# Shared by the peer scripts (source it): median wall times of RUNS runs of a command, or of several
# commands run in turn.
# Needs the variable `runs` (set by the script that sources this). The command's standard output is
# discarded.

# Median wall time in seconds of $runs runs of a command.
median_seconds() {
  local times=() i
  # shellcheck disable=SC2154
  for ((i = 0; i < runs; i++)); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    times+=("$(awk -v a="$end" -v b="$start" 'BEGIN { print a - b }')")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Wall time and CPU time (user + system) in seconds of one run of a command, as "WALL CPU" (standard
# output and error discarded).
wall_and_cpu_of() {
  local TIMEFORMAT='%3R %3U %3S' line
  line=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk '{ print $1, $2 + $3 }' <<<"$line"
}

# Median of the numbers given as arguments.
median_of() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Runs the commands named by `interleaved_cases` (names of shell functions) $runs times, one run of
# each in turn, so that every case sees the same load; leaves the median wall time of case NAME in
# median[NAME] and its median CPU time (user + system: the time on one core, whatever the load) in
# cpu_median[NAME].
declare -A median cpu_median
# shellcheck disable=SC2034  # median and cpu_median are read by the scripts that source this
interleaved_medians() {
  local -A walls=() cpus=()
  local i name wall cpu
  # shellcheck disable=SC2154
  for ((i = 0; i < runs; i++)); do
    for name in "${interleaved_cases[@]}"; do
      read -r wall cpu < <(wall_and_cpu_of "$name")
      walls[$name]+=" $wall"
      cpus[$name]+=" $cpu"
    done
  done
  for name in "${interleaved_cases[@]}"; do
    # shellcheck disable=SC2086
    median[$name]=$(median_of ${walls[$name]})
    # shellcheck disable=SC2086
    cpu_median[$name]=$(median_of ${cpus[$name]})
  done
}

# Exits with a hint when a program of the build folder is missing. Arguments: the build folder, then
# the programs.
require_built() {
  local build="$1" program
  shift
  for program in "$@"; do
    [[ -x "$program" ]] || { echo "missing $program: build first (cmake --build $build)" >&2; exit 1; }
  done
}
