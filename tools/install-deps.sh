#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need, and only those that are
# missing, so a second call costs a second. Works as root or through sudo.
set -euo pipefail

packages=(
  g++ cmake ninja-build make
  libgtest-dev libgmock-dev
  qt6-base-dev libgl-dev
  libalglib-dev
  nlohmann-json3-dev
  poppler-utils
  fonts-liberation fonts-ipafont-gothic
)
case "${1:-}" in
  --desktop)
    # Running the windows on a machine without a display, taking screenshots of them, and clicking
    # them from a script (packaging/check-package.sh).
    packages+=(xvfb xauth imagemagick xdotool) ;;
  --bench)
    # The speed benchmarks (make bench).
    packages+=(libbenchmark-dev) ;;
  --format)
    # Only the formatter, for the style check.
    packages=(clang-format) ;;
  --package)
    # make package: the .deb (CPack with dpkg-shlibdeps under fakeroot), its manual pages and its
    # checks (lintian, desktop-file-validate, file).
    packages+=(dpkg-dev fakeroot lintian desktop-file-utils man-db file) ;;
  --fuzz)
    # make fuzz: GCC's address and undefined-behaviour sanitizer runtimes (g++ brings them already).
    packages+=(libasan8 libubsan1) ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null 2>&1; then
  echo "Missing packages: ${missing[*]} (no apt-get here: install them by hand)" >&2
  exit 1
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
