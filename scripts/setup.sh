#!/usr/bin/env bash
# Installs the Debian packages Tabulor needs (only those missing), runs the setup hooks,
# then configures and builds Tabulor into build/. Run as root on Debian 12.
#   setup.sh run    building and running: scripts/packages.d/run/*.txt; no test suite
#   setup.sh test   also what the tests, benchmarks and fuzzing use: packages.d/test/*.txt
#                   and setup.d/test/*.sh; builds the test suite
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-}
case "$mode" in
  run) sets=(run); tests=OFF ;;
  test) sets=(run test); tests=ON ;;
  *) echo "usage: scripts/setup.sh run|test" >&2; exit 2 ;;
esac

# Every list belongs to one of the two sets: a list outside them would be installed by
# neither command, so it is refused rather than silently ignored.
shopt -s nullglob
stray=(scripts/packages.d/*.txt scripts/setup.d/*.sh)
if ((${#stray[@]})); then
  echo "setup: ${stray[*]}: move into run/ (building and running) or test/ (tests only)" >&2
  exit 2
fi

lists=()
for set in "${sets[@]}"; do lists+=(scripts/packages.d/"$set"/*.txt); done
mapfile -t wanted < <(cat "${lists[@]}" | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)
missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
for set in "${sets[@]}"; do
  for hook in scripts/setup.d/"$set"/*.sh; do bash "$hook"; done
done

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABULOR_TESTS=$tests >/dev/null
cmake --build build
