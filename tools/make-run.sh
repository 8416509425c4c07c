#!/usr/bin/env bash
# Prepares the git-ignored work folder and starts the front end in it (called by `make run`
# after the build). The work folder holds what the simulators and the set-up window read:
# ELDAT.dat, water.csda and any example measured depth-dose file.
set -euo pipefail
build_dir=${1:-build}
work_dir=${2:-work}
repo_dir=$(cd "$(dirname "$0")/.." && pwd)
exe_suffix=""
case "$(uname -s)" in MINGW*|MSYS*|CYGWIN*) exe_suffix=".exe" ;; esac
orvalis="$build_dir/bin/Orvalis$exe_suffix"

if [[ ! -x "$orvalis" ]]; then
  echo "make run: $orvalis was not built (is the Qt 6 front end switched off?)" >&2
  exit 1
fi

mkdir -p "$work_dir"
if [[ -f "$repo_dir/data/ELDAT.dat" ]]; then
  cp -f "$repo_dir/data/ELDAT.dat" "$work_dir/"
else
  echo "make run: warning: data/ELDAT.dat does not exist yet; the simulators will stop at their start" \
       "until it is in $work_dir/." >&2
fi
cp -f "$repo_dir/data/water.csda" "$work_dir/"
shopt -s nullglob
for measured in "$repo_dir"/data/*.csv; do
  cp -f "$measured" "$work_dir/"
done
shopt -u nullglob

for program in Tolvane Brisella; do
  if [[ ! -x "$build_dir/bin/$program$exe_suffix" ]]; then
    echo "make run: note: $build_dir/bin/$program$exe_suffix is not built yet; its launch button will say so." >&2
  fi
done

orvalis_abs=$(cd "$(dirname "$orvalis")" && pwd)/$(basename "$orvalis")
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && "$exe_suffix" == "" ]]; then
  cat >&2 <<MSG
make run: there is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the
Orvalis window cannot open. The work folder $work_dir/ is ready. To run it on a virtual display:

    bash tools/install-deps.sh --desktop     # installs xvfb
    cd $work_dir && xvfb-run -n 99 -f /tmp/orvalis.xauth -s "-screen 0 1280x1024x24" $orvalis_abs &

and look at it with: XAUTHORITY=/tmp/orvalis.xauth DISPLAY=:99 import -window root shot.png
On a desktop, run 'make run' from a terminal in that desktop.
MSG
  exit 1
fi

echo "Starting Orvalis in $work_dir/ (simulators are looked up in $build_dir/bin first)."
cd "$work_dir"
exec "$orvalis_abs"
