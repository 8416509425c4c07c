#!/usr/bin/env bash
# Coverage of the free-form fit's 95 % intervals on synthetic measurements from known spectra.
#
#   bench/uncertainty-coverage.sh [build-dir] [cases, default 100]
#   COVERAGE_WORK=DIR   work folder (the bases are kept there and reused)
#   COVERAGE_SUMMARY_ONLY=1   only the summary of the table an earlier run left in the work folder
#   COVERAGE_TOLVANE="HISTORIES RUNS"   the histories and runs per energy of the closing Tolvane check
#                       (default "10000000 8"; "0" leaves it out)
#
# It ends with bench/tolvane-coverage.sh: how often Tolvane's +-2 sigma R-values at 6-20 MeV cover
# those of a run with 16 times the histories (about a quarter of an hour of one idle core).
#
# Each case is a spectrum of two Gaussian peaks (the main one at 0.70-0.80 Emax, 2-4 % wide, a
# lower one at 0.30-0.55 Emax up to 0.3 times as high: a low-energy tail), evaluated on a basis
# independent of the fit's (at Emax + 0.1 MeV, so other random streams, and 4 times its histories),
# resampled as a measurement with 0.2-0.5 % noise, steps of 1-5 mm, and either ending just beyond
# R10 without a background or going on 1.3 Rp + 10 mm with a 0-5 % background (built up under the
# surface as the fit's background model has it). The cases fall into
# four groups of Emax (9, 14, 19, 24 MeV) so that each group shares its two bases. Each measurement
# is fitted with `orvalis-fit --model free --emax EMAX`; a case covers a quantity when the truth lies
# within `RESULT interval ... low= high=`: the spectrum's mean energy, and the R-values of the
# noise-free curve at the same depths. These curves are this engine's own, not measurements.
set -euo pipefail

source "$(dirname "$0")/bench-build.sh"
count=${2:-100}
bench_build "${1:-}" orvalis-fit fit-test-curve fit-model-levels fit-exchange
work=${COVERAGE_WORK:-$(mktemp -d "${TMPDIR:-/tmp}/orvalis-coverage.XXXXXX")}
mkdir -p "$work"
echo "work folder: $work"
fit_histories=40000
truth_histories=$((4 * fit_histories))
groups=(9.0 14.0 19.0 24.0)

# A uniform number in [lo, hi] for case k and draw d (reproducible).
draw() {
  awk -v k="$1" -v d="$2" -v lo="$3" -v hi="$4" 'BEGIN { x = sin(12.9898 * (k + 1) + 78.233 * d) * 43758.5453
    printf "%.4f", lo + (hi - lo) * (x - int(x) + (x < 0)) }'
}
orNan() { echo "${1:-nan}"; }
field() { sed -n "s/.*$2=\([^ ]*\).*/\1/p" <<< "$1"; }
inside() { awk -v t="$1" -v lo="$2" -v hi="$3" 'BEGIN { print (t != "" && lo != "" && t + 0 >= lo + 0 && t + 0 <= hi + 0) ? 1 : 0 }'; }

# Columns: 7 true mean, 8-10 the fit's mean and its interval, then per level the truth and the
# interval. A measurement the fit refuses (too few readings for a free-form spectrum: 5 mm steps on
# a 6 MeV beam) has no intervals; it is counted apart.
summary() {
  awk 'function covers(t, lo, hi) { return t != "nan" && lo != "nan" && hi != "nan" && lo + 0 <= t + 0 && t + 0 <= hi + 0 }
  function median(a, k,   i, j, x) { for (i = 1; i <= k; i++) for (j = i + 1; j <= k; j++) if (a[j] < a[i]) { x = a[i]; a[i] = a[j]; a[j] = x }
    return k % 2 ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2 }
  NR > 1 && $9 == "nan" { refused++ }
  NR > 1 && $9 != "nan" {
    n++
    c_mean += covers($7, $9, $10); hw = ($10 - $9) / 2; w[n] = hw
    c90 += covers($11, $12, $13); c80 += covers($14, $15, $16); c50 += covers($17, $18, $19); c10 += covers($20, $21, $22)
    if ($5 >= 0.25 && $5 <= 0.35) { m++; w3[m] = hw }
    t[n] = $23
  }
  END {
    printf "cases %d, fitted %d, refused by the fit %d\n", n + refused, n, refused
    printf "coverage of the 95 %% intervals over the fitted: mean energy %.0f %%, R90 %.0f %%, R80 %.0f %%, R50 %.0f %%, R10 %.0f %%\n", 100 * c_mean / n, 100 * c90 / n, 100 * c80 / n, 100 * c50 / n, 100 * c10 / n
    printf "median half-width of the mean energy: %.3f MeV (all), %.3f MeV (%d cases of 0.25-0.35 %% noise)\n", median(w, n), median(w3, m), m
    printf "median fit time (cached basis, wall): %.1f s\n", median(t, n)
  }' "$1"
}
# The same coverage by group: how the curve ends, the step, the noise, the maximum energy.
byGroup() {
  awk 'function covers(t, lo, hi) { return t != "nan" && lo != "nan" && hi != "nan" && lo + 0 <= t + 0 && t + 0 <= hi + 0 }
  function add(g) { n[g]++; c0[g] += covers($7, $9, $10); c1[g] += covers($11, $12, $13); c2[g] += covers($14, $15, $16)
    c3[g] += covers($17, $18, $19); c4[g] += covers($20, $21, $22) }
  NR > 1 && $9 != "nan" {
    add("ending " ($3 == "tail" ? "with a tail" : "at R10")); add("steps " ($4 <= 2 ? "1-2 mm" : "3-5 mm"))
    add("noise " ($5 < 0.35 ? "0.20-0.35 %" : "0.35-0.50 %")); add("Emax " $2 " MeV")
  }
  END {
    print "| group | fitted | mean | R90 | R80 | R50 | R10 |"
    print "|---|---|---|---|---|---|---|"
    for (g in n) printf "| %s | %d | %.0f %% | %.0f %% | %.0f %% | %.0f %% | %.0f %% |\n", g, n[g], 100 * c0[g] / n[g], 100 * c1[g] / n[g], 100 * c2[g] / n[g], 100 * c3[g] / n[g], 100 * c4[g] / n[g]
  }' "$1" | { read -r h; read -r r; echo "$h"; echo "$r"; sort; }
}
table="$work/cases.txt"
if [ "${COVERAGE_SUMMARY_ONLY:-0}" = 1 ]; then summary "$table"; byGroup "$table"; exit 0; fi
echo "case emax end step noise bg true_mean mean low high true_R90 R90_low R90_high true_R80 R80_low R80_high true_R50 R50_low R50_high true_R10 R10_low R10_high seconds" > "$table"
for ((k = 0; k < count; k++)); do
  emax=${groups[$((k % ${#groups[@]}))]}
  folder="$work/emax-$emax"
  mkdir -p "$folder"
  cp -n "$root/data/ELDAT.dat" "$root/data/water.csda" "$folder/"
  x1=$(draw "$k" 1 0.70 0.80)
  sigma=$(draw "$k" 2 0.02 0.04)
  x2=$(draw "$k" 3 0.30 0.55)
  ratio=$(draw "$k" 4 0.0 0.3)
  noise=$(draw "$k" 5 0.2 0.5)
  step=$(awk -v u="$(draw "$k" 6 0 1)" 'BEGIN { print 1 + int(5 * u - 1e-9) }')
  end=$([ $((k / ${#groups[@]} % 2)) = 0 ] && echo tail || echo r10)
  bg=$([ "$end" = tail ] && draw "$k" 7 0.0 5.0 || echo 0)
  (
    cd "$folder"
    "$build/bin/fit-exchange" peaks "$x1" "$x2" "$sigma" "$ratio" "$emax" 10000000. "truth-$k.pdd" > /dev/null
    cp Nimbrola.txt "truth-$k.txt"
    "$build/bin/fit-model-levels" "$emax" "$truth_histories" --spectrum "truth-$k.txt" \
      --basis-emax "$(awk -v e="$emax" 'BEGIN { printf "%.1f", e + 0.1 }')" "truth-$k.pdd" > /dev/null
  )
  last=(0 buildup)
  if [ "$end" = r10 ]; then
    read -r _ _ _ _ _ _ _ r10 <<< "$("$build/bin/fit-test-curve" levels "$folder/truth-$k.pdd")"
    last=("$(awk -v r="$r10" -v s="$step" 'BEGIN { printf "%.1f", r + (s > 2 ? s : 2) }')")
  fi
  "$build/bin/fit-test-curve" result "$folder/truth-$k.pdd" "$folder/case-$k.csv" "$step" "$bg" "$noise" $((1000 + k)) "${last[@]}"
  "$build/bin/fit-test-curve" result "$folder/truth-$k.pdd" "$folder/exact-$k.csv" "$step" "$bg" 0 $((1000 + k)) "${last[@]}"
  read -r _ t90 _ t80 _ t50 _ t10 <<< "$("$build/bin/fit-test-curve" levels "$folder/exact-$k.csv")"
  # The true mean energy of the weights as the simulator reads them: bin j at j/100 Emax.
  true_mean=$(awk -v e="$emax" 'NR > 2 && NF == 2 { s += $2; m += $2 * $1 * e } END { printf "%.4f", m / s }' "$folder/truth-$k.txt")
  start=$(date +%s.%N)
  out=$(cd "$folder" && "$build/bin/orvalis-fit" "case-$k.csv" --model free --emax "$emax" | grep '^RESULT interval' || true)
  seconds=$(echo "$(date +%s.%N) - $start" | bc -l)
  row="$k $emax $end $step $noise $bg $true_mean"
  for q in mean:"$true_mean" R90:"$t90" R80:"$t80" R50:"$t50" R10:"$t10"; do
    line=$(grep "quantity=${q%%:*} " <<< "$out" || true)
    if [ "${q%%:*}" = mean ]; then row+=" $(orNan "$(field "$line" value)")"; else row+=" $(orNan "${q#*:}")"; fi
    row+=" $(orNan "$(field "$line" low)") $(orNan "$(field "$line" high)")"
  done
  echo "$row $(printf '%.1f' "$seconds")" >> "$table"
  echo "case $k done ($(printf '%.1f' "$seconds") s)" >&2
done

summary "$table"
byGroup "$table"

tolvane=${COVERAGE_TOLVANE:-10000000 8}
if [ "$tolvane" != 0 ]; then
  read -r tolvane_histories tolvane_runs <<< "$tolvane"
  echo "Tolvane's own uncertainty, ${tolvane_histories} histories, ${tolvane_runs} runs per energy:"
  bash "$root/bench/tolvane-coverage.sh" "$build" "$tolvane_histories" "$tolvane_runs" | grep '^COVERAGE'
fi
