#!/usr/bin/env bash
# Fails when a C++ source differs from what clang-format (.clang-format) makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
find app convert engine preview ui grid data tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run --Werror
