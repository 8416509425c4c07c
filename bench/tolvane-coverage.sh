#!/usr/bin/env bash
# How often Tolvane's +-2 sigma R-values cover those of a run with 16 times the histories.
#
#   bench/tolvane-coverage.sh [build-dir] [histories] [runs per energy] [energies in MeV...]
#   defaults: build, 10000000, 8, 6 9 12 16 20
#
# For each energy E, a Beta spectrum (alpha 8, beta 2, maximum energy E, the default shape of the
# set-up window) is run once by Tolvane itself with 16 x histories (the reference), and `runs`
# times with the given histories by tolvane-stream 1, 2, ...: the same simulation with its
# generator started from other seed tables. The generator's seed is fixed, and runs of one input
# that differ only in their history count or a slightly changed spectrum draw the same histories
# after a few thousand (same energy, same stream: once two runs start a history at the same draw
# they stay together), so they are not independent; other streams are.
# Each run's R90, R80, R50 and R10 (the search of the comparison window, label depths) and their
# standard uncertainties (the sR fields of orvalis-quality, from the .sd file) are compared with the
# reference's R-values: covered when |R - R_ref| <= 2 sR.
#
# With ORVALIS_COVERAGE_KEEP=<folder> the result and uncertainty files are kept there.
#
# A benchmark, not a test: the reference takes about a minute of one core per energy at 10^7.
set -euo pipefail

source "$(dirname "$0")/bench-build.sh"
histories=${2:-10000000}
runs=${3:-8}
shift $(($# < 3 ? $# : 3))
energies=("$@")
[ ${#energies[@]} -gt 0 ] || energies=(6 9 12 16 20)
factor=16

bench_build "${1:-}" Tolvane tolvane-stream orvalis-quality

work=$(mktemp -d "${TMPDIR:-/tmp}/orvalis-coverage.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The programs as built now, so that a rebuild during the long run cannot mix two versions.
mkdir "$work/bin"
cp "$build/bin/Tolvane" "$build/bin/tolvane-stream" "$build/bin/orvalis-quality" "$work/bin/"
build="$work"

# The exchange files as the front end writes them for a Beta spectrum.
write_exchange_files() {
  local folder=$1 energy=$2 count=$3 name=$4
  printf ' %s\r\n%s.\r\n%s.pdd\r\n%s.spct\r\n' "$energy" "$count" "$name" "$name" > "$folder/Nimbrola.dat"
  awk -v a=8 -v b=2 'BEGIN {
    largest = 0
    for (j = 0; j <= 100; j++) { y = j / 100; d[j] = y ^ (a - 1) * (1 - y) ^ (b - 1); if (d[j] > largest) largest = d[j] }
    printf "alpha=%.1f\r\nbeta=%.1f\r\n", a, b
    for (i = 1; i <= 100; i++) printf "%05.2f %.3E\r\n", i / 100, d[i] / largest
  }' > "$folder/Nimbrola.txt"
}

# R90 R80 R50 R10 of a result file: from the deep end to the first record above the level, linear
# to the next deeper record; record n stands at label n - 15 mm.
r_values() {
  awk 'NR > 2 { n++; dose[n] = $2 + 0 }
    END {
      split("0.9 0.8 0.5 0.1", level, " ")
      for (k = 1; k <= 4; k++) {
        i = n; while (i >= 1 && dose[i] <= level[k]) i--
        if (i < 1 || i == n) { printf "- "; continue }
        printf "%.4f ", (i + 1) - (dose[i + 1] - level[k]) / (dose[i + 1] - dose[i]) - 15
      }
      printf "\n"
    }' "$1"
}

# sR90 sR80 sR50 sR10 from orvalis-quality.
s_values() {
  "$build/bin/orvalis-quality" "$1" | awk '/^QUALITY/ {
    for (f = 1; f <= NF; f++) if ($f ~ /^sR(90|80|50|10)=/) { split($f, kv, "="); printf "%s ", kv[2] }
    printf "\n" }'
}

seconds() { awk -v ns="$1" 'BEGIN { printf "%.1f", ns / 1e9 }'; }

echo "# Tolvane coverage: $histories histories per run, $runs runs per energy, reference $factor x"
echo "# energy run level R R_ref sR diff covered"
covered=0
cases=0
for energy in "${energies[@]}"; do
  folder="$work/e$energy"
  mkdir -p "$folder"
  cp "$root/data/ELDAT.dat" "$folder/"
  write_exchange_files "$folder" "$energy" $((histories * factor)) reference
  start=$(date +%s%N)
  (cd "$folder" && "$build/bin/Tolvane" < /dev/null > reference.log)
  echo "# $energy MeV reference: $(seconds $(($(date +%s%N) - start))) s"
  read -r -a reference <<< "$(r_values "$folder/reference.pdd")"
  for run in $(seq 1 "$runs"); do
    write_exchange_files "$folder" "$energy" "$histories" "run$run"
    (cd "$folder" && "$build/bin/tolvane-stream" "$run" < /dev/null > "run$run.log")
    read -r -a r <<< "$(r_values "$folder/run$run.pdd")"
    read -r -a s <<< "$(s_values "$folder/run$run.pdd")"
    names=(R90 R80 R50 R10)
    for k in 0 1 2 3; do
      line=$(awk -v r="${r[$k]}" -v ref="${reference[$k]}" -v s="${s[$k]}" 'BEGIN {
        if (r == "-" || ref == "-" || s == "-") { print "- - -"; exit }
        d = r - ref; printf "%.3f %d\n", d, (d <= 2 * s && -d <= 2 * s) ? 1 : 0 }')
      read -r diff hit <<< "$line"
      echo "$energy $run ${names[$k]} ${r[$k]} ${reference[$k]} ${s[$k]} $diff $hit"
      if [ "$hit" = 1 ] || [ "$hit" = 0 ]; then
        cases=$((cases + 1))
        covered=$((covered + hit))
      fi
    done
  done
  if [ -n "${ORVALIS_COVERAGE_KEEP:-}" ]; then
    mkdir -p "$ORVALIS_COVERAGE_KEEP"
    for file in "$folder"/*.pdd "$folder"/*.sd; do cp "$file" "$ORVALIS_COVERAGE_KEEP/e$energy-n$histories-$(basename "$file")"; done
  fi
done
awk -v c="$covered" -v n="$cases" 'BEGIN { printf "COVERAGE covered=%d cases=%d percent=%.1f\n", c, n, n ? 100 * c / n : 0 }'
