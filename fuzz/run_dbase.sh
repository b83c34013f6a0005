#!/usr/bin/env bash
# Builds the dBase reader's fuzz target with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/, makes seeds from the shared fixtures' dBase
# tables (each input: a memo-file byte, the .dbf length, the .dbf, its memo file), then
# fuzzes for SECONDS (default 60). A crashing input is written to build-fuzz/.
#   usage: fuzz/run_dbase.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTABULOR_FUZZ=ON -DTABULOR_TESTS=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-fuzz --target dbase_reader_fuzz
mkdir -p build-fuzz/dbase-corpus build-fuzz/dbase-seeds
if [ -d ../shared/fixtures/dbf ]; then
  python3 - ../shared/fixtures/dbf build-fuzz/dbase-seeds <<'PY'
import os, struct, sys
src, out = sys.argv[1], sys.argv[2]
names = {n.lower(): n for n in os.listdir(src)}
for name in names.values():
    base, ext = os.path.splitext(name)
    if ext.lower() != ".dbf":
        continue
    dbf = open(os.path.join(src, name), "rb").read()
    memo, kind = b"", 0
    for memo_ext, memo_kind in ((".dbt", 1), (".fpt", 2)):
        if base.lower() + memo_ext in names:
            memo, kind = open(os.path.join(src, names[base.lower() + memo_ext]), "rb").read(), memo_kind
    with open(os.path.join(out, base), "wb") as f:
        f.write(bytes([kind]) + struct.pack("<I", len(dbf)) + dbf + memo)
PY
fi
cd build-fuzz
exec ./bin/dbase_reader_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=30 \
  -rss_limit_mb=2048 -print_final_stats=1 dbase-corpus dbase-seeds
