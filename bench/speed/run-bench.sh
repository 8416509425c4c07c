#!/usr/bin/env bash
# make bench: the micro-benchmarks, then the two default runs (Tolvane alpha 8, beta 2, 9 MeV,
# 10,000,000 histories; Brisella the same spectrum, 1,000,000 histories) timed side by side with
# the build from before the speed work, old and new alternately, several times; medians, ratios and
# a byte-for-byte comparison of their result files go to docs/performance.md.
#   bash bench/speed/run-bench.sh [build-dir]     (BENCH_REPETITIONS=5 by default)
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(pwd)
BUILD_DIR=$(realpath -m "${1:-build}")
REPETITIONS=${BENCH_REPETITIONS:-5}
TOLVANE_HISTORIES=${BENCH_TOLVANE_HISTORIES:-10000000}
BRISELLA_HISTORIES=${BENCH_BRISELLA_HISTORIES:-1000000}
# The last commit with the straightforward transport (one stopping power, one table search and one
# cosine and sine per step); the identity golden files were written by it.
BASE_COMMIT=645e8e96e3171a7212fd7653b29334a36c8bfd92
WORK="$BUILD_DIR/bench-speed"
REPORT="$ROOT/docs/performance.md"
EXE=""
case "$(uname -s)" in MINGW*|MSYS*|CYGWIN*) EXE=".exe" ;; esac

say() { printf '== %s\n' "$*" >&2; }

say "building the current simulators and benchmarks in $BUILD_DIR"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVALIS_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD_DIR" --target Tolvane Brisella speed-bench speed-inputs

say "building the simulators of $BASE_COMMIT in $WORK/base"
if ! git cat-file -e "$BASE_COMMIT^{commit}" 2>/dev/null; then
    echo "The comparison needs commit $BASE_COMMIT, which this clone lacks (fetch the full history)." >&2
    exit 1
fi
mkdir -p "$WORK"
if [ "$(cat "$WORK/base/commit" 2>/dev/null || true)" != "$BASE_COMMIT" ]; then
    rm -rf "$WORK/base"
    mkdir -p "$WORK/base/src"
    git archive "$BASE_COMMIT" | tar -x -C "$WORK/base/src"
fi
cmake -S "$WORK/base/src" -B "$WORK/base/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DORVALIS_BUILD_FRONTEND=OFF -DORVALIS_BUILD_BENCH=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$WORK/base/build" --target Tolvane Brisella
echo "$BASE_COMMIT" > "$WORK/base/commit"

say "micro-benchmarks"
"$BUILD_DIR/bin/speed-bench$EXE" --benchmark_min_time=0.5 2>/dev/null | tee "$WORK/micro.txt" >&2

# prepare <program> <histories>: a folder per build with ELDAT.dat and the exchange files.
# Prints "histories steps".
prepare() {
    local program=$1 histories=$2 figures=""
    for build in old new; do
        local dir="$WORK/$program-$build"
        rm -rf "$dir" && mkdir -p "$dir"
        cp "$ROOT/data/ELDAT.dat" "$dir/"
        figures=$("$BUILD_DIR/bin/speed-inputs$EXE" "$dir" "$program" "$histories")
    done
    echo "$figures"
}

# timed <dir> <binary>: runs the simulator in its folder (Enter for the end pause) and prints
# "wall-seconds user-seconds".
timed() {
    local dir=$1 binary=$2
    local TIMEFORMAT='%R %U'
    { time (cd "$dir" && echo | "$binary" > console.txt); } 2>&1
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A RESULT
measure() {
    local program=$1 histories=$2 files=$3
    read -r count steps < <(prepare "$program" "$histories")
    : > "$WORK/$program-old.times"
    : > "$WORK/$program-new.times"
    local identical=yes
    for ((rep = 1; rep <= REPETITIONS; rep++)); do
        say "$program: repetition $rep of $REPETITIONS (old, then new)"
        timed "$WORK/$program-old" "$WORK/base/build/bin/$program$EXE" >> "$WORK/$program-old.times"
        timed "$WORK/$program-new" "$BUILD_DIR/bin/$program$EXE" >> "$WORK/$program-new.times"
        for file in $files; do
            cmp -s "$WORK/$program-old/$file" "$WORK/$program-new/$file" || identical=no
        done
    done
    RESULT[$program,count]=$count
    RESULT[$program,steps]=$steps
    RESULT[$program,identical]=$identical
    for build in old new; do
        RESULT[$program,$build,wall]=$(awk '{ print $1 }' "$WORK/$program-$build.times" | median)
        RESULT[$program,$build,user]=$(awk '{ print $2 }' "$WORK/$program-$build.times" | median)
    done
}

LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo "n/a")
measure Tolvane "$TOLVANE_HISTORIES" "bench.pdd bench.spct"
measure Brisella "$BRISELLA_HISTORIES" "bench.elk"
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo "n/a")

calc() { awk "BEGIN { printf \"$1\", $2 }"; }
row() {
    local p=$1
    local ow=${RESULT[$p,old,wall]} nw=${RESULT[$p,new,wall]} ou=${RESULT[$p,old,user]} nu=${RESULT[$p,new,user]}
    local n=${RESULT[$p,count]} s=${RESULT[$p,steps]}
    echo "| $p | $n | $(calc %.2f "$ow") | $(calc %.2f "$nw") | **$(calc %.2f "$ow / $nw")x** | $(calc %.2f "$ou") | $(calc %.2f "$nu") | $(calc %.2f "$ou / $nu")x | $(calc %.0f "$n / $ow") | $(calc %.0f "$n / $nw") | $(calc %.1f "$ow * 1e9 / $s") | $(calc %.1f "$nw * 1e9 / $s") | ${RESULT[$p,identical]} |"
}
goal() {
    local p=$1 ratio=$2 limit=$3
    local r; r=$(calc %.2f "${RESULT[$p,old,wall]} / ${RESULT[$p,new,wall]}")
    local verdict="met"
    awk "BEGIN { exit !($r >= $ratio) }" || verdict="not met"
    if [ -n "$limit" ]; then
        awk "BEGIN { exit !(${RESULT[$p,new,wall]} < $limit) }" || verdict="not met"
        echo "- $p: at least ${ratio}x faster and under $limit s: **$verdict** ($(calc %.2f "${RESULT[$p,new,wall]}") s, ${r}x)."
    else
        echo "- $p: at least ${ratio}x faster: **$verdict** (${r}x)."
    fi
}

CPU=$(grep -m1 'model name' /proc/cpuinfo 2>/dev/null | cut -d: -f2- | sed 's/^ *//' || true)
CORES=$(nproc 2>/dev/null || echo "?")
mkdir -p "$(dirname "$REPORT")"
{
    echo "# Simulation speed"
    echo
    echo "Written by \`make bench\` on $(date -u '+%Y-%m-%d %H:%M UTC'). Machine: ${CPU:-unknown CPU}, $CORES logical cores;"
    echo "load average $LOAD_BEFORE before and $LOAD_AFTER after the runs (other work shared the machine)."
    echo
    echo "Both default runs with the committed \`ELDAT.dat\` and the Beta spectrum alpha 8, beta 2 at 9 MeV,"
    echo "single-threaded, old build ($BASE_COMMIT, before the speed work) and new build run alternately,"
    echo "$REPETITIONS repetitions each; the figures are medians. Wall time is what the physicist waits; user time"
    echo "is the processor time of the run. Steps are the transport steps of all histories run to their end"
    echo "(a history that leaves through the surface saves a few)."
    echo
    echo "| Run | Histories | Before, s | After, s | Ratio (wall) | Before, user s | After, user s | Ratio (user) | Histories/s before | Histories/s after | ns/step before | ns/step after | Result files identical |"
    echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
    row Tolvane
    row Brisella
    echo
    echo "Goals:"
    goal Tolvane 8 6
    goal Brisella 3 ""
    echo
    cat "$ROOT/bench/speed/what-changed.md"
    echo
    echo "## Micro-benchmarks (new build)"
    echo
    echo "GeneratorDraw and StreamDraw: one uniform from the generator, and 1024 from the block stream."
    echo "DeflectionSampleDefinition is the per-step sampling as it was (table search, cosine and sine);"
    echo "DeflectionSamplePrepared is the sampler the transport uses now. History9MeV is one narrow-beam"
    echo "history into the full grid on its own, Bin9MeV 64 of them as a spectrum bin runs them."
    echo
    echo '```'
    cat "$WORK/micro.txt"
    echo '```'
} > "$REPORT"
say "written $REPORT"
cat "$REPORT" >&2
