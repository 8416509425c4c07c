#!/usr/bin/env bash
# The free-form fit's mean-energy interval on Tolvane's own depth doses of known Beta spectra: each
# spectrum is simulated by Tolvane (not by the fit's basis), the curve is fitted back as a
# measurement, and the table says whether the 95 % interval of the mean energy holds the spectrum's
# true mean. The curve is read as the comparison window and orvalis-quality read a result file: each
# slab at its depth label (the deeper face of the slab). These curves are this engine's own
# simulations, not measurements.
#
#   bench/fit-interval-tolvane.sh [build-dir] [Tolvane histories, default 10^7]
#   FIT_WORK=DIR   work folder (curves and bases are kept there and reused)
#
# Each spectrum is fitted twice: with the maximum energy the set-up window would derive from the
# measured practical range (`--rp measured`, the physicist's way) and with the true one (`--emax`).
# About 4 minutes on two idle cores.
set -euo pipefail

source "$(dirname "$0")/bench-build.sh"
histories=${2:-10000000}
bench_build "${1:-}" Tolvane orvalis-fit fit-exchange
bench_work "${FIT_WORK:-}" fit-interval

# alpha beta Emax: the Beta shapes of clinical beams, sharp (beta 1.5) to soft (beta 3) upper edges.
cases=()
for emax in 6.0 9.0 12.0 16.0 20.0; do
  for shape in "8.0 2.0" "4.0 1.5" "12.0 3.0"; do cases+=("$shape $emax"); done
done

to_measured() { awk 'NR > 2 && $1 + 0 >= 1 { printf "%d, %s\n", $1, $2 }' "$1" | sed '1i depth (mm), dose' > "$2"; }
field() { sed -n "s/.*$2=\([^ ]*\).*/\1/p" <<< "$1"; }
# The mean energy of the spectrum Tolvane ran: the weights of Nimbrola.txt at or above the floor.
true_mean() {
  awk -v e="$2" 'NR > 2 { w = $2 + 0; if (w >= 0.001) { s += w; m += w * ($1 + 0) * e } } END { printf "%.3f", m / s }' "$1"
}

printf '| alpha, beta, Emax | true mean MeV | --rp measured: Emax, mean (95 %% interval) | covered | --emax true: mean (95 %% interval) | covered |\n'
printf '|---|---|---|---|---|---|\n'
results=$work/intervals.txt
: > "$results"
for c in "${cases[@]}"; do
  read -r alpha beta emax <<< "$c"
  name="tv-$alpha-$beta-$emax"
  if [ ! -s "$work/$name.pdd" ] || ! grep -q "^ *$histories\.\s*$" <(sed -n 2p "$work/$name.pdd" | tr -d '\r'); then
    (cd "$work" && "$build/bin/fit-exchange" "$alpha" "$beta" "$emax" "$histories" "$name" >/dev/null \
       && cp Nimbrola.txt "$name.txt" && echo | "$build/bin/Tolvane" > "$name.log")
  fi
  truth=$(true_mean "$work/$name.txt" "$emax")
  to_measured "$work/$name.pdd" "$work/$name.csv"
  row="| $alpha, $beta, $emax | $truth"
  for mode in "--rp measured" "--emax $emax"; do
    # shellcheck disable=SC2086
    out=$(cd "$work" && "$build/bin/orvalis-fit" "$name.csv" --model free $mode --threads 2 | grep '^RESULT')
    free=$(grep '^RESULT free ' <<< "$out")
    interval=$(grep '^RESULT interval quantity=mean ' <<< "$out")
    mean=$(field "$free" mean); low=$(field "$interval" low); high=$(field "$interval" high)
    covered=$(awk -v t="$truth" -v lo="$low" -v hi="$high" 'BEGIN { print (lo + 0 <= t + 0 && t + 0 <= hi + 0) ? "yes" : "no" }')
    if [ "$mode" = "--rp measured" ]; then row+=" | $(field "$free" emax), $mean ($low-$high)"; else row+=" | $mean ($low-$high)"; fi
    row+=" | $covered"
    echo "${mode%% *} $truth $mean $low $high $covered" >> "$results"
  done
  echo "$row |"
done

echo
awk '{ n[$1]++; c[$1] += ($6 == "yes"); d = $3 - $2; s[$1] += d; q[$1] += d * d; w[$1] += ($5 - $4) / 2 }
  END { for (m in n) printf "%s: covered %d of %d (%.0f %%), fit minus truth %+.3f MeV on average (sd %.3f), mean half-width %.3f MeV\n",
          (m == "--rp" ? "--rp measured" : "--emax true"), c[m], n[m], 100 * c[m] / n[m], s[m] / n[m],
          sqrt(q[m] / n[m] - (s[m] / n[m]) ^ 2), w[m] / n[m] }' "$results" | sort
