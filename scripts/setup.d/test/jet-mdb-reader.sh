#!/usr/bin/env bash
# Installs the npm package mdb-reader (an independent JavaScript reader of Jet databases,
# used by the Jet driver's tests under Node.js) into .cache/mdb-reader, which git ignores.
# Quick when it is already there. npm comes with Node.js; where it does not, Debian's npm
# package is installed.
set -euo pipefail
cd "$(dirname "$0")/../../.."
dir=.cache/mdb-reader
version=3.2.0
if [ -f "$dir/node_modules/mdb-reader/package.json" ] &&
   grep -q "\"version\": \"$version\"" "$dir/node_modules/mdb-reader/package.json"; then
  exit 0
fi
if ! command -v npm >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends npm
fi
mkdir -p "$dir"
echo "setup: installing mdb-reader $version into $dir"
npm install --prefix "$dir" --no-audit --no-fund --silent "mdb-reader@$version"
