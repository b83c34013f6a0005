#!/usr/bin/env bash
# Builds the text reader's fuzz target with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/, then fuzzes for SECONDS (default 60) from
# the seed corpus in fuzz/corpus and the shared fixtures' delimited files.
# New inputs go to build-fuzz/corpus; a crashing input is written to build-fuzz/.
#   usage: fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTABULOR_FUZZ=ON -DTABULOR_TESTS=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-fuzz --target text_reader_fuzz
mkdir -p build-fuzz/corpus
seeds=(fuzz/corpus)
[ -d ../shared/fixtures/csv ] && seeds+=(../shared/fixtures/csv)
cd build-fuzz
exec ./bin/text_reader_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=30 \
  -rss_limit_mb=2048 -print_final_stats=1 corpus "${seeds[@]/#/../}"
