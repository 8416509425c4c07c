#!/usr/bin/env bash
# Physics validation (`make validate`): runs Tolvane with single-energy beams of 6, 9, 12, 16 and
# 20 MeV in a temporary folder, each once with the full history count and once with a quarter of it
# (to measure the statistical uncertainty of R50), and writes docs/physics-validation.md with its plot
# docs/images/physics-validation.png.
#
#   bench/validate.sh [build-dir] [histories per energy]
#
# A benchmark, not a test: it takes a few minutes and its figures are what the physics gives.
set -euo pipefail

source "$(dirname "$0")/bench-build.sh"
histories=${2:-4000000}
energies=(6 9 12 16 20)

bench_build "${1:-}" Tolvane validation-report validation-plot

work=$(mktemp -d "${TMPDIR:-/tmp}/orvalis-validate.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$root/data/ELDAT.dat" "$work/"

# The exchange files of one depth-dose run: every electron starts at the maximum energy (only
# spectrum bin 100 has weight).
write_exchange_files() {
  local energy=$1 count=$2 name=$3
  printf ' %s.0\r\n%s.\r\n%s.pdd\r\n%s.spct\r\n' "$energy" "$count" "$name" "$name" > "$work/Nimbrola.dat"
  {
    printf 'single bin\r\nE = %s MeV\r\n' "$energy"
    for i in $(seq 1 99); do printf '00.%02d 0.000E+00\r\n' "$i"; done
    printf '01.00 1.000E+00\r\n'
  } > "$work/Nimbrola.txt"
}

manifest="$work/manifest.txt"
: > "$manifest"
for energy in "${energies[@]}"; do
  full=$histories
  quarter=$((histories / 4))
  seconds=()
  for count in "$full" "$quarter"; do
    write_exchange_files "$energy" "$count" "e$energy-n$count"
    start=$(date +%s%N)
    (cd "$work" && echo | "$build/bin/Tolvane" > "e$energy-n$count.log")
    end=$(date +%s%N)
    seconds+=("$(awk -v ns=$((end - start)) 'BEGIN { printf "%.1f", ns / 1e9 }')")
    echo "  $energy MeV, $count histories: ${seconds[-1]} s"
  done
  echo "$energy $full ${seconds[0]} $work/e$energy-n$full.pdd $work/e$energy-n$quarter.pdd" >> "$manifest"
done

mkdir -p "$root/docs/images"
"$build/bin/validation-report" "$manifest" "$root/docs/physics-validation.md" images/physics-validation.png
XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work} QT_QPA_PLATFORM=offscreen "$build/bin/validation-plot" "$manifest" "$root/docs/images/physics-validation.png"
