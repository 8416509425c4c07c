#!/usr/bin/env bash
# Rp and R50 of the beam-quality figures at coarse scan steps: the clinical-like test beams of
# bench/fit-accuracy.sh (fit/clinical_beam.h; made by this system, not measurements), scanned at
# 1 and 2 mm and thinned to 3, 4 and 5 mm in every phase of the thinning. Prints, per beam and step,
# the largest change of Rp and R50 from the fine scan and the largest difference between the fit's
# practical range and the table's Rp, then the worst per step and, on 1 mm steps, the largest
# difference from the local tangent construction.
#
#   bench/falloff-steps.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target fit-falloff-steps >/dev/null
"$build/bin/fit-falloff-steps"
