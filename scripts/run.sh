#!/usr/bin/env bash
# The main job: builds Tabulor (with what building and running need, no test tools),
# converts every sample into every target format into out/<format>/, and lists what was
# written. The samples are the text files in samples/ and the workbook, Jet database and
# dBase table that the build writes into build/samples/. With a display, it then opens the
# window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
rm -rf out
status=0
# Absolute paths: the spreadsheet path (LibreOffice) does not take relative ones yet.
here=$PWD
for format in txt htm csv xls mdb dbf wk1 xlsx ods; do
  mkdir -p "out/$format"
  ./build/bin/tabulor "$here"/samples/*.* "$here"/build/samples/*.{xls,mdb,dbf} \
    "$format" "$here/out/$format" || status=$?
done
echo "Written:"
find out -type f | sort | while read -r f; do printf '  %8d  %s\n' "$(stat -c %s "$f")" "$f"; done
if [ -n "${DISPLAY:-}" ]; then
  exec ./build/bin/tabulor
fi
exit $status
