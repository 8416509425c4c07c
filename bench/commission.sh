#!/usr/bin/env bash
# Times orvalis-commission on the twelve clinical-like test beams (bench/clinical-beams.sh: four
# file formats, 6-20 MeV) in one folder, with a photon curve and a profile-only file among them:
# cold (no basis cached), again with the bases cached, and with --confirm (Tolvane on every fitted
# spectrum). The beams are made by fit-test-curve from full-physics figures; none is a measurement.
#
#   bench/commission.sh [build-dir] [confirm histories, default 10000000; 0 skips that run]
#   COMMISSION_WORK=DIR   work folder (kept)
set -euo pipefail

source "$(dirname "$0")/bench-build.sh"
confirm=${2:-10000000}
bench_build "${1:-}" orvalis-commission orvalis-fit fit-test-curve Tolvane

work=${COMMISSION_WORK:-$(mktemp -d "${TMPDIR:-/tmp}/orvalis-commission.XXXXXX")}
mkdir -p "$work/tank"
cp "$root/data/ELDAT.dat" "$root/data/water.csda" "$work/"
rm -f "$work"/fit-basis-*
source "$root/bench/clinical-beams.sh"
for c in "${cases[@]}"; do
  IFS='|' read -r name format keys <<< "$c"
  "$build/bin/fit-test-curve" beam "$work/tank/$name.$(extension "$format")" $keys format="$format" >/dev/null
done
# Curves that are no electron beams: a photon depth curve and a file of profiles.
sed 's/MODALITY=EL/MODALITY=X/' "$root/beamdata/tests/samples/example-9MeV.mcc" > "$work/tank/photon-6MV.mcc"
cp "$root/beamdata/tests/samples/profiles-only.asc" "$work/tank/profiles.asc"
echo "work folder: $work ($(ls "$work/tank" | wc -l) files)"

run() {
  local what=$1
  shift
  local start end status=0
  start=$(date +%s.%N)
  (cd "$work" && "$build/bin/orvalis-commission" tank --out "$@" > "$work/$what.log" 2>&1) || status=$?
  end=$(date +%s.%N)
  printf '%-28s %6.1f s  exit %d  fitted %s, skipped %s\n' "$what" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "$status" \
    "$(grep -c '"status": "fitted"' "$work/$1/commissioning.json" 2>/dev/null || echo 0)" \
    "$(grep -c '"status": "skipped"' "$work/$1/commissioning.json" 2>/dev/null || echo 0)"
}
run "cold (bases simulated)" report-cold
run "cached" report-cached
if [ "$confirm" != 0 ]; then run "confirm $confirm" report-confirm --confirm "$confirm"; fi
