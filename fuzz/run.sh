#!/usr/bin/env bash
# Builds one fuzz target (a reader's, or the name handling's) with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer into build-fuzz/, then fuzzes it for
# SECONDS (default 60) from its seed corpus (fuzz/<target>_corpus) and seeds made from the
# shared fixtures. New inputs go to build-fuzz/<target>-corpus; a crashing input is written
# to build-fuzz/. Keep each finding, once fixed, in fuzz/<target>_corpus.
#   usage: fuzz/run.sh [text|dbase|excel|jet|xlsx|ods|ods_xml|names] [SECONDS [LIBFUZZER-OPTION...]]
# (ods_xml compares the two readers of an ods content.xml; its inputs are content.xml parts)
# (for example -fork=1 -ignore_crashes=1 to collect every finding of a run, not the first)
set -euo pipefail
cd "$(dirname "$0")/.."
reader="${1:-text}"
seconds="${2:-60}"
shift $(($# < 2 ? $# : 2))
fixtures=../shared/fixtures
case "$reader" in
  text | dbase | excel | jet | xlsx | ods) target="${reader}_reader_fuzz" max_len=400000 ;;
  ods_xml) target=ods_xml_fuzz max_len=400000 ;;
  names) target=names_fuzz max_len=4096 ;;
  *) echo "usage: fuzz/run.sh [text|dbase|excel|jet|xlsx|ods|ods_xml|names] [SECONDS]" >&2; exit 2 ;;
esac
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTABULOR_FUZZ=ON -DTABULOR_TESTS=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-fuzz -j2 --target "$target"

corpus="build-fuzz/${reader}-corpus"
seeds="build-fuzz/${reader}-seeds"
mkdir -p "$corpus" "$seeds"
[ -d "fuzz/${reader}_corpus" ] && cp -n "fuzz/${reader}_corpus"/* "$seeds"/ 2>/dev/null || true
if [ -d "$fixtures" ]; then
  case "$reader" in
    text) cp -n "$fixtures"/csv/* "$seeds"/ ;;
    excel)
      # The target reads a mode byte first: each workbook whole, and its bare workbook stream.
      cmake --build build-fuzz -j2 --target excel_seeds
      build-fuzz/bin/excel_seeds "$seeds" "$fixtures"/xls/* "$fixtures"/malformed/*
      ;;
    jet) cp -n "$fixtures"/mdb/* "$seeds"/ ;;
    dbase)
      # Each input: a memo-file kind byte, the .dbf length, the .dbf, its memo file.
      python3 - "$fixtures/dbf" "$seeds" <<'PY'
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
      ;;
  esac
fi
cd build-fuzz
exec "./bin/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 "$@" "${reader}-corpus" "${reader}-seeds"
