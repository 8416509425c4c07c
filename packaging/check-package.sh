#!/usr/bin/env bash
# Installs the built package on this machine (as root), checks what a user meets, and removes it
# again: every program's --version and --help, the manual page, the desktop entry, the first start
# of Orvalis for a new user under a virtual display (screenshots in OUT), a Tolvane run started by
# clicking Spectrum Estimation and PDD Calculation, and that `dpkg -r` leaves nothing behind.
# Usage: packaging/check-package.sh build/orvalis_*.deb [OUT]   (needs xvfb, xdotool, imagemagick)
set -uo pipefail
deb=$(realpath "$1")
out=$(realpath -m "${2:-/tmp/orvalis-package-check}")
mkdir -p "$out"
rm -f "$out/display"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

dpkg -i "$deb" >/dev/null || { echo "FAIL: dpkg -i $deb"; exit 1; }
installed=$(dpkg -L orvalis | sort)
echo "installed $(wc -l <<<"$installed") paths, $(stat -c %s "$deb") bytes of package"

for program in Orvalis Tolvane Brisella orvalis-fit orvalis-quality; do
  [[ $(command -v "$program") == /usr/bin/$program ]] || fail "$program is not /usr/bin/$program"
  version=$("$program" --version </dev/null) && echo "$version" || fail "$program --version exits $?"
  "$program" --help </dev/null >/dev/null || fail "$program --help exits $?"
done
man -w orvalis-fit || fail "man -w orvalis-fit"
desktop-file-validate /usr/share/applications/orvalis.desktop && echo "desktop entry valid" \
  || fail "desktop-file-validate"

# A new user: an empty home, started from a folder without ELDAT.dat.
home=$(mktemp -d)
xauth_file=$out/xauth
cd "$home" || exit 1
# A free display number (-a); the program's side tells which one it got.
HOME=$home xvfb-run -a -f "$xauth_file" -s "-screen 0 1280x1024x24" \
  sh -c 'echo "$DISPLAY" >"$1"; exec Orvalis' _ "$out/display" >"$out/orvalis.log" 2>&1 &
runner=$!
for _ in $(seq 100); do [[ -s "$out/display" ]] && break; sleep 0.1; done
export DISPLAY=$(cat "$out/display") XAUTHORITY=$xauth_file
for _ in $(seq 100); do
  menu=$(xdotool search --name '^Orvalis Ver\.2$' 2>/dev/null | head -n1)
  [[ -n "$menu" ]] && break
  sleep 0.2
done
sleep 1
import -window root "$out/first-start.png"
[[ -n "$menu" ]] || fail "no main menu window"
for data in ELDAT.dat water.csda; do
  cmp -s "/usr/share/orvalis/$data" "$home/Orvalis/$data" && echo "first start copied $data to $home/Orvalis" \
    || fail "~/Orvalis/$data is missing"
done

# Spectrum Estimation, then PDD Calculation in the set-up window "New Calculation".
xdotool mousemove --window "$menu" 300 242 click 1
for _ in $(seq 50); do
  setup=$(xdotool search --name '^New Calculation$' 2>/dev/null | head -n1)
  [[ -n "$setup" ]] && break
  sleep 0.2
done
[[ -n "${setup:-}" ]] || fail "no set-up window"
sleep 1
# Without a window manager the comparison window stays over the set-up window's button.
xdotool windowraise "$setup"
sleep 0.5
xdotool mousemove --window "$setup" 252 608 click 1
start=$(date +%s)
[[ -n "${setup:-}" ]] && waited=600 || waited=0
for _ in $(seq "$waited"); do
  [[ -f "$home/Orvalis/9MeV-9.0_8.0-2.0.pdd" ]] && break
  sleep 1
done
import -window root "$out/tolvane-run.png"
if [[ -f "$home/Orvalis/9MeV-9.0_8.0-2.0.pdd" ]]; then
  echo "Tolvane wrote $home/Orvalis/9MeV-9.0_8.0-2.0.pdd after $(($(date +%s) - start)) s"
else
  fail "no .pdd in ~/Orvalis: $(ls "$home/Orvalis")"
fi
ls -l "$home/Orvalis"
# Ends the virtual display started above, and with it the programs on it.
pkill -P "$runner" 2>/dev/null
kill "$runner" 2>/dev/null
wait "$runner" 2>/dev/null
cd / && rm -rf "$home"

dpkg -r orvalis >/dev/null || fail "dpkg -r orvalis"
left=""
while read -r path; do
  [[ -f "$path" || -L "$path" ]] && left+=" $path"
done <<<"$installed"
[[ -z "$left" ]] && echo "dpkg -r removed every installed file" || fail "left after dpkg -r:$left"
exit $((failures > 0))
