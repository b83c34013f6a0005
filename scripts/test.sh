#!/usr/bin/env bash
# Builds Tabulor with its tests and runs the whole suite with CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
cd build
ctest --output-on-failure -j2 --timeout 600
