#!/usr/bin/env bash
# The whole default analysis of a 10^6-line data file by varnis-analyze against one
# plain parse of the same file (awk summing the column), as wall-clock times: the best
# of five runs each, taken in turns so that both meet the same load. Prints the ratio.
# Usage: analyze_ratio.sh PROGRAM [WORK_DIR]
set -euo pipefail
program=$1
work=${2:-$(mktemp -d)}
data=$work/analyze_bench.dat
if [ ! -s "$data" ]; then
  # Capture records: a phase with an offset, a frequency offset and white noise.
  awk 'BEGIN { srand(7); for (i = 0; i < 1000000; i++)
         printf "%20.15e\r\n", 1e-3 + 1e-8 * i + (rand() + rand() + rand() - 1.5) * 2e-10 }' > "$data"
fi
seconds() { # command...: wall-clock seconds of one run
  local t0 t1
  t0=$(date +%s%N)
  "$@" > /dev/null
  t1=$(date +%s%N)
  echo $(( t1 - t0 ))
}
best_parse=; best_analysis=
for _ in 1 2 3 4 5; do
  p=$(seconds awk '{ s += $1 } END { print s }' "$data")
  a=$(seconds "$program" -p "$data" -o skip)
  if [ -z "$best_parse" ] || [ "$p" -lt "$best_parse" ]; then best_parse=$p; fi
  if [ -z "$best_analysis" ] || [ "$a" -lt "$best_analysis" ]; then best_analysis=$a; fi
done
awk -v p="$best_parse" -v a="$best_analysis" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
  printf "plain parse (awk): %.0f ms  whole default analysis: %.0f ms  ratio: %.2f  (load %s)\n",
         p / 1e6, a / 1e6, a / p, load }'
