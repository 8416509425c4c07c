#!/usr/bin/env bash
# Writes data/example-9MeV-simulated.csv, the example depth dose that `make run` offers beside the
# calculated curves. It is a Tolvane simulation, NOT a measurement: a Beta spectrum (alpha 6.0,
# beta 1.5, maximum energy 9.5 MeV) run with 10000000 histories, converted to the measured-file
# layout (one header line, then "depth_mm, dose" records: slab centres in mm, dose in percent to the
# three figures that the result file holds).
#
#   tools/make-example-pdd.sh [build-dir] [histories]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
histories=${2:-10000000}
alpha=6.0
beta=1.5
max_energy=9.5
output="$root/data/example-9MeV-simulated.csv"
case "$build" in /*) ;; *) build="$root/$build" ;; esac

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target Tolvane

work=$(mktemp -d "${TMPDIR:-/tmp}/orvalis-example.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$root/data/ELDAT.dat" "$work/"

# The exchange files as the front end writes them: the Beta density at x = i/100 relative to its
# largest value over x = 0, 0.01, ..., 1.
printf ' %s\r\n%s.\r\nexample.pdd\r\nexample.spct\r\n' "$max_energy" "$histories" > "$work/Nimbrola.dat"
awk -v a="$alpha" -v b="$beta" 'BEGIN {
  largest = 0
  for (j = 0; j <= 100; j++) {
    y = j / 100
    if ((b - 1 < 0 && y == 1) || (a - 1 < 0 && y == 0)) d[j] = 0
    else d[j] = (y == 0 && a == 1 ? 1 : y ^ (a - 1)) * (y == 1 && b == 1 ? 1 : (1 - y) ^ (b - 1))
    if (d[j] > largest) largest = d[j]
  }
  printf "alpha=%.1f\r\nbeta=%.1f\r\n", a, b
  for (i = 1; i <= 100; i++) printf "%05.2f %.3E\r\n", i / 100, d[i] / largest
}' > "$work/Nimbrola.txt"

start=$(date +%s)
(cd "$work" && echo | "$build/bin/Tolvane" > run.log)
echo "Tolvane: $histories histories in $(( $(date +%s) - start )) s"

# Water slabs only (labels >= 1), at their centres, in percent of the largest; up to 10 mm beyond R10.
awk -v a="$alpha" -v b="$beta" -v e="$max_energy" -v n="$histories" '
  NR > 2 { label = $1 + 0; if (label >= 1) { depth[++count] = label - 0.5; dose[count] = $2 + 0; if (dose[count] > top) top = dose[count] } }
  END {
    printf "Simulated example, not a measurement: Tolvane depth dose of a Beta spectrum alpha %s beta %s, maximum energy %s MeV, %d histories (tools/make-example-pdd.sh); depth_mm, dose in percent\r\n", a, b, e, n
    last = count
    for (i = count; i > 1; i--) if (100 * dose[i] / top > 10) { last = i + 10; break }
    if (last > count) last = count
    for (i = 1; i <= last; i++) printf "%.1f, %.3g\r\n", depth[i], 100 * dose[i] / top
  }' "$work/example.pdd" > "$output"
echo "Wrote $output ($(($(wc -l < "$output") - 1)) records)"
