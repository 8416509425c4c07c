#!/usr/bin/env bash
# `cmake --install` into a fresh prefix, then the installed tree: every program answers --version and
# --help, the data, manual pages, completions and desktop entry are in place, no installed file names
# the build or the source folder, and the installed front end prepares a new user's work folder from
# the installed data. Usage: check_installed_tree.sh BUILD_DIR SOURCE_DIR PREFIX "PROGRAM;PROGRAM..."
set -uo pipefail
build_dir=$1 source_dir=$2 prefix=$3
IFS=';' read -r -a programs <<<"$4"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$prefix"
cmake --install "$build_dir" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

version_pattern='^[0-9]+\.[0-9]+[^ ]*$'
for program in "${programs[@]}"; do
  exe="$prefix/bin/$program"
  [[ -x "$exe" ]] || { fail "$program is not installed in bin/"; continue; }
  version=$("$exe" --version </dev/null) || fail "$program --version exits with $?"
  [[ "$version" =~ ^"$program "(.*)$ && "${BASH_REMATCH[1]}" =~ $version_pattern ]] \
    || fail "$program --version printed '$version'"
  help=$("$exe" --help </dev/null) || fail "$program --help exits with $?"
  [[ "$(head -n1 <<<"$help")" == "$program - "* ]] || fail "$program --help starts with '$(head -n1 <<<"$help")'"

  # The manual page is the help text: its usage line and every option are in it.
  page="$prefix/share/man/man1/$program.1.gz"
  if [[ ! -f "$page" ]]; then
    fail "no manual page $page"
  else
    text=$(gzip -dc "$page" | sed 's/\\-/-/g; s/\\e/\\/g')
    usage=$(grep -m1 '^usage: ' <<<"$help")
    grep -qF -- "$usage" <<<"$text" || fail "the manual page of $program lacks '$usage'"
    grep -q "^\.SH NAME" <<<"$text" && grep -qF -- "$(head -n1 <<<"$help")" <<<"$text" \
      || fail "the manual page of $program has no NAME line from its help"
    if command -v man >/dev/null; then
      warnings=$(MANWIDTH=100 man --warnings -l "$page" 2>&1 >/dev/null)
      [[ -z "$warnings" ]] || fail "man warns about $program.1: $warnings"
    fi
  fi

  # The completion offers the program's options, and the choices of an option that has them.
  completion="$prefix/share/bash-completion/completions/$program"
  if [[ ! -f "$completion" ]]; then
    fail "no bash completion $completion"
  else
    offered=$(bash -c 'source "$1"; COMP_WORDS=("$2" --); COMP_CWORD=1; "$(complete -p "$2" | sed "s/.*-F \([^ ]*\) .*/\1/")"; echo "${COMPREPLY[*]}"' \
      _ "$completion" "$program")
    for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
      [[ " $offered " == *" $option "* ]] || fail "the completion of $program does not offer $option ($offered)"
    done
  fi
done

if [[ " ${programs[*]} " == *" orvalis-fit "* ]]; then
  choices=$(bash -c 'source "$1"; COMP_WORDS=(orvalis-fit --background ""); COMP_CWORD=2; _orvalis_fit; echo "${COMPREPLY[*]}"' \
    _ "$prefix/share/bash-completion/completions/orvalis-fit")
  [[ "$choices" == "on off" ]] || fail "orvalis-fit --background completes to '$choices'"
fi

for data in ELDAT.dat water.csda example-9MeV-simulated.csv; do
  cmp -s "$source_dir/data/$data" "$prefix/share/orvalis/$data" || fail "share/orvalis/$data differs or is missing"
done
for doc in copyright changelog.gz; do
  [[ -f "$prefix/share/doc/orvalis/$doc" ]] || fail "no share/doc/orvalis/$doc"
done

if [[ " ${programs[*]} " == *" Orvalis "* ]]; then
  desktop="$prefix/share/applications/orvalis.desktop"
  [[ -f "$desktop" ]] || fail "no desktop entry"
  [[ -f "$prefix/share/icons/hicolor/scalable/apps/orvalis.svg" ]] || fail "no icon"
  if command -v desktop-file-validate >/dev/null && [[ -f "$desktop" ]]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate refuses the entry"
  fi
  grep -q '^Exec=Orvalis$' "$desktop" && grep -q '^Icon=orvalis$' "$desktop" || fail "the entry does not start Orvalis with its icon"
fi

# Nothing installed names the folders it was built from.
for folder in "$source_dir" "$build_dir" "$(cd "$build_dir" && pwd -P)"; do
  found=$(grep -rlF -- "$folder" "$prefix")
  [[ -z "$found" ]] || fail "installed files name $folder: $found"
done

# The installed front end, started for a new user, makes ~/Orvalis from the installed data.
if [[ -x "$prefix/bin/Orvalis" ]]; then
  home=$(mktemp -d)
  (cd "$home" && HOME="$home/user" QT_QPA_PLATFORM=offscreen exec "$prefix/bin/Orvalis" >"$home/log" 2>&1) &
  orvalis=$!
  for _ in $(seq 100); do
    grep -q "^Copied ELDAT.dat and water.csda" "$home/log" && break  # said once the files are in place
    sleep 0.1
  done
  kill "$orvalis" 2>/dev/null
  wait "$orvalis" 2>/dev/null
  for data in ELDAT.dat water.csda; do
    cmp -s "$source_dir/data/$data" "$home/user/Orvalis/$data" || fail "the first start did not copy $data: $(cat "$home/log")"
  done
  grep -qF "Copied ELDAT.dat and water.csda from $(cd "$prefix" && pwd -P)/share/orvalis into $home/user/Orvalis." "$home/log" \
    || fail "the first start did not say what it copied: $(cat "$home/log")"
  rm -rf "$home"
fi

[[ $failures -eq 0 ]] && echo "installed tree complete: ${programs[*]}"
exit $((failures > 0))
