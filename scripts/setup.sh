#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.d/*.txt (only those missing),
# then configures and builds Tabulor into build/. Run as root on Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t wanted < <(cat scripts/packages.d/*.txt | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)
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
for hook in scripts/setup.d/*.sh; do
  [ -e "$hook" ] && bash "$hook"
done

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
