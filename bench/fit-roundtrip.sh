#!/usr/bin/env bash
# Round trip of the spectrum fit: Tolvane simulates depth doses of known Beta spectra (alpha, beta,
# maximum energy), each curve is fitted back by orvalis-fit, started from the maximum energy that
# the practical range of the simulated curve gives through water.csda (as the set-up window derives
# it), and the parameters and R-values found are set against the true ones.
#
#   bench/fit-roundtrip.sh [build-dir] [Tolvane histories] [histories per basis curve] [Emax span %]
#   (FIT_ROUNDTRIP_PART=free: only the second table, both models on spectra Beta cannot shape)
#
# A benchmark, not a test: with the defaults it runs for about a quarter of an hour.
set -euo pipefail

source "$(dirname "$0")/bench-build.sh"
histories=${2:-10000000}
basis_histories=${3:-20000}
span=${4:-10}
cases=("8.0 2.0 6.0" "8.0 2.0 9.0" "5.0 1.5 12.0" "12.0 3.0 16.0" "10.0 1.2 20.0" "3.0 1.0 9.0")

bench_build "${1:-}" Tolvane orvalis-fit fit-exchange

bench_work "${FIT_WORK:-}" fit-roundtrip

# The simulated curve as a measured file: the slabs in water at their label depths, as the
# comparison window places them.
to_measured() { awk 'NR > 2 && $1 + 0 >= 1 { printf "%d, %s\n", $1, $2 }' "$1" | sed '1i depth (mm), dose' > "$2"; }
field() { sed -n "s/.*$2=\([^ ]*\).*/\1/p" <<< "$1"; }

if [ "${FIT_ROUNDTRIP_PART:-all}" != free ]; then
printf '| true alpha, beta, Emax | Rp start (MeV) | fitted (0.1 grid) | continuous | rms %% | R90 meas/fit | R80 meas/fit | R50 meas/fit | R10 meas/fit | fit time (s) |\n'
printf '|---|---|---|---|---|---|---|---|---|---|\n'
for c in "${cases[@]}"; do
  read -r alpha beta emax <<< "$c"
  name="rt-$alpha-$beta-$emax"
  # A curve simulated before in the same work folder (FIT_WORK) is used again.
  if [ ! -s "$work/$name.pdd" ] || ! grep -q "^ *$histories\.\s*$" <(sed -n 2p "$work/$name.pdd" | tr -d '\r'); then
    (cd "$work" && "$build/bin/fit-exchange" "$alpha" "$beta" "$emax" "$histories" "$name" \
       && echo | "$build/bin/Tolvane" > "$name.log")
  fi
  to_measured "$work/$name.pdd" "$work/$name.csv"
  start=$(date +%s.%N)
  out=$(cd "$work" && "$build/bin/orvalis-fit" "$name.csv" --rp measured --histories "$basis_histories" --span "$span" \
          --out "$name-fit.pdd" | grep -v '^PROGRESS')
  seconds=$(echo "$(date +%s.%N) - $start" | bc -l)
  echo "$out" > "$work/$name-fit.txt"
  start_energy=$(sed -n 's/^Maximum energy from the practical range .*: \(.*\) MeV$/\1/p' <<< "$out")
  grid=$(grep '^RESULT grid' <<< "$out"); cont=$(grep '^RESULT continuous' <<< "$out")
  row="| $alpha, $beta, $emax | $start_energy | $(field "$grid" alpha), $(field "$grid" beta), $(field "$grid" emax)"
  row+=" | $(field "$cont" alpha), $(field "$cont" beta), $(field "$cont" emax) | $(field "$grid" rms)"
  for level in R90 R80 R50 R10; do
    line=$(grep "^RESULT $level " <<< "$out")
    row+=" | $(printf '%.2f / %.2f' "$(field "$line" measured)" "$(field "$line" grid)")"
  done
  printf '%s | %.1f |\n' "$row" "$seconds"
done
fi

# Spectra that the Beta model cannot shape, each curve fitted with both models. "plateau A B L E"
# is a Beta spectrum with a flat low-energy part at L of its peak, "peaks X1 X2 S R E" two Gaussian
# peaks; the "+bg" curves are the same simulations at 2 mm steps (1 mm through the fall-off) with a
# 2 % bremsstrahlung background line and 0.3 % noise added. The free-form spectrum is then run by
# Tolvane from its exchange files, and that run's R-values, read as the comparison window reads
# them, are set against the measurement too.
shapes=("plateau 8.0 2.0 0.1 9.0" "plateau 5.0 1.5 0.1 16.0" "peaks 0.6 0.9 0.04 1.0 12.0" "peaks 0.5 0.85 0.05 0.6 20.0")
cmake --build "$build" --target fit-test-curve >/dev/null
levels() { "$build/bin/fit-test-curve" levels "$1"; }
delta() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "nan" || b == "nan") print "-"; else printf "%+.2f", a - b }'; }
echo
printf '| spectrum | curve | model | rms %% | R90 | R80 | R50 | R10 | Dx %% | fit s (cached) | Tolvane R90 | R80 | R50 | R10 |\n'
printf '|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n'
shape=0
for s in "${shapes[@]}"; do
  read -r kind rest <<< "$s"
  shape=$((shape + 1))
  name="rt-$kind$shape"  # short: the simulators read 30 characters of a result name
  emax=${rest##* }
  if [ ! -s "$work/$name.pdd" ]; then
    (cd "$work" && "$build/bin/fit-exchange" $kind ${rest% *} "$emax" "$histories" "$name" \
       && echo | "$build/bin/Tolvane" > "$name.log")
  fi
  to_measured "$work/$name.pdd" "$work/$name.csv"
  "$build/bin/fit-test-curve" result "$work/$name.pdd" "$work/$name-bg.csv" 2 2 0.3 7
  for curve in "$name" "$name-bg"; do
    label=$([ "$curve" = "$name" ] && echo "1 mm" || echo "+bg")
    for model in beta free; do
      args=(--rp measured --histories "$basis_histories")
      [ "$model" = beta ] && args+=(--span "$span") || args+=(--model free --exchange)
      start=$(date +%s.%N)
      out=$(cd "$work" && "$build/bin/orvalis-fit" "$curve.csv" "${args[@]}" | grep -v '^PROGRESS')
      first=$(echo "$(date +%s.%N) - $start" | bc -l)
      start=$(date +%s.%N)
      (cd "$work" && "$build/bin/orvalis-fit" "$curve.csv" "${args[@]}" > /dev/null)
      cached=$(echo "$(date +%s.%N) - $start" | bc -l)
      echo "$out" > "$work/$curve-$model.txt"
      key=$([ "$model" = beta ] && echo grid || echo free)
      summary=$(grep "^RESULT $key " <<< "$out")
      row="| $kind ${rest% *} | $label | $model | $(field "$summary" rms | xargs printf '%.2f')"
      measured=()
      for level in R90 R80 R50 R10; do
        line=$(grep "^RESULT $level " <<< "$out")
        measured+=("$(field "$line" measured)")
        row+=" | $(delta "$(field "$line" "$key")" "$(field "$line" measured)")"
      done
      dx=$([ "$model" = free ] && field "$summary" background | xargs printf '%.1f' || echo "-")
      row+=" | $dx | $(printf '%.1f (%.1f)' "$first" "$cached")"
      if [ "$model" = free ]; then
        (cd "$work" && echo | "$build/bin/Tolvane" > "$curve-free.log")
        pdd=$(sed -n 's/.*written for Tolvane: //p' <<< "$out")
        read -r _ t90 _ t80 _ t50 _ t10 <<< "$(levels "$work/$pdd")"
        row+=" | $(delta "$t90" "${measured[0]}") | $(delta "$t80" "${measured[1]}") | $(delta "$t50" "${measured[2]}") | $(delta "$t10" "${measured[3]}") |"
      else
        row+=" | | | | |"
      fi
      echo "$row"
    done
  done
done
