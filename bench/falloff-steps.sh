#!/usr/bin/env bash
# Rp and R50 of the beam-quality figures at coarse scan steps: the clinical-like test beams of
# bench/fit-accuracy.sh (fit/clinical_beam.h; made by this system, not measurements), scanned at
# 1 and 2 mm and thinned to 3, 4 and 5 mm in every phase of the thinning. Prints, per beam and step,
# the largest change of Rp and R50 from the fine scan and the largest difference between the fit's
# practical range and the table's Rp, then the worst per step and, on 1 mm steps, the largest
# difference from the local tangent construction.
#
#   bench/falloff-steps.sh [build-dir [--seeds N] [--noise FACTOR] [--end r10]]
# --seeds N: over N draws of the readings' noise (the test set's own first); --noise 0: without it;
# --end r10: every scan stopped at R10 (no tail).
set -euo pipefail
source "$(dirname "$0")/bench-build.sh"
bench_build "${1:-}" fit-falloff-steps
"$build/bin/fit-falloff-steps" "${@:2}"
