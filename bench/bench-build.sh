# Sourced by the benchmarks: the source tree, the build folder and the work folder, alike for all.
# shellcheck shell=bash
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# bench_build DIR TARGET...: sets build to DIR (default build, relative to the source tree),
# configures it in Release when it has not been configured, and builds the targets quietly.
bench_build() {
  build=${1:-build}
  shift
  case "$build" in /*) ;; *) build="$root/$build" ;; esac
  if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" --target "$@" >/dev/null
}

# bench_work FOLDER NAME: sets work to FOLDER (kept and reused), or to a new temporary folder named
# after the benchmark, with the electron data and the range table copied in.
bench_work() {
  work=${1:-$(mktemp -d "${TMPDIR:-/tmp}/orvalis-$2.XXXXXX")}
  mkdir -p "$work"
  cp "$root/data/ELDAT.dat" "$root/data/water.csda" "$work/"
  echo "work folder: $work"
}
