#!/usr/bin/env bash
# Two Tolvane runs at once on the same pair of result names, repeated: run A in folder a/ writes
# x.pdd and x.spct; run B in folder b/ writes the same two files as ../a/x.pdd and ../a/x.spct, with
# another history count. In every other repetition one of them gets SIGTERM at a random moment.
# Counts pairs whose .pdd and .spct come from different runs, runs that ended with status 0 whose
# results are not in place, and temporary or lock files left behind.
#   bench/concurrent-runs.sh [REPETITIONS] [BUILD_BIN]
set -u
repetitions=${1:-20}
bin=$(cd "${2:-build/bin}" && pwd)
data=$(cd "$(dirname "$0")/../data" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

mixed=0 lost=0 leftovers=0 refused=0 stopped=0 both=0
owner() {  # which run wrote the pair in a/: A, B, mixed or none
    [ -f a/x.pdd ] && [ -f a/x.spct ] || { echo none; return; }
    local pdd spct
    pdd=$(sed -n 2p a/x.pdd | tr -d ' \r')
    spct=$(head -c 12 a/x.spct)
    case "$pdd/$spct" in
    "200000./x.spct      ") echo A ;;
    "300000./../a/x.spct ") echo B ;;
    *) echo mixed ;;
    esac
}
for ((n = 1; n <= repetitions; n++)); do
    work="$scratch/$n"
    mkdir -p "$work/a" "$work/b"
    cd "$work" || exit 1
    for folder in a b; do
        cp "$data/ELDAT.dat" "$folder/"
        (cd "$folder" && "$bin/fit-exchange" 8 2 9.0 200000 x >/dev/null)
    done
    printf ' 9.0\r\n300000.\r\n../a/x.pdd\r\n../a/x.spct\r\n' >b/Nimbrola.dat
    (cd a && exec "$bin/Tolvane" </dev/null >out.txt 2>err.txt) &
    a=$!
    (cd b && exec "$bin/Tolvane" </dev/null >out.txt 2>err.txt) &
    b=$!
    if ((n % 2 == 0)); then
        sleep "0.$((RANDOM % 5))$((RANDOM % 10))"
        if ((RANDOM % 2)); then kill -TERM $a 2>/dev/null; else kill -TERM $b 2>/dev/null; fi
    fi
    wait $a; statusA=$?
    wait $b; statusB=$?
    who=$(owner)
    [ "$who" = mixed ] && mixed=$((mixed + 1))
    # A run that ended well must be the one in place, unless the other ended well too (in turn).
    if [ $statusA = 0 ] && [ $statusB != 0 ] && [ "$who" != A ]; then lost=$((lost + 1)); fi
    if [ $statusB = 0 ] && [ $statusA != 0 ] && [ "$who" != B ]; then lost=$((lost + 1)); fi
    if [ $statusA = 0 ] && [ $statusB = 0 ]; then both=$((both + 1)); fi
    grep -qs "is being written by another run" a/err.txt b/err.txt && refused=$((refused + 1))
    { [ $statusA = 143 ] || [ $statusB = 143 ]; } && stopped=$((stopped + 1))
    ls a | grep -qE '\.(part|lock)$' && leftovers=$((leftovers + 1))
    echo "repetition $n: A $statusA, B $statusB, pair from $who"
    cd "$scratch" || exit 1
done
echo "$repetitions repetitions: $mixed mixed pairs, $lost lost results, $leftovers with leftovers;" \
    "$refused with one run refused, $both with both in turn, $stopped with one stopped"
[ $mixed = 0 ] && [ $lost = 0 ] && [ $leftovers = 0 ]
