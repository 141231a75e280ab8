# shellcheck shell=bash
# Shared by the peer scripts (source it): the median wall time of RUNS runs of a command.
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
