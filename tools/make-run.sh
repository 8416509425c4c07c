#!/usr/bin/env bash
# Prepares the git-ignored work folder and starts the programs in it (called by `make run`).
set -euo pipefail
build_dir=${1:-build}
work_dir=${2:-work}
mkdir -p "$work_dir"
echo "Built into $build_dir/bin; the work folder is $work_dir."
