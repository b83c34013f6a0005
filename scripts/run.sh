#!/usr/bin/env bash
# The main job: builds Tabulor, converts every file in samples/ into every target format
# into out/<format>/, and lists what was written. With a display, it then opens the window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
rm -rf out
status=0
for format in txt htm csv xls mdb dbf wk1; do
  mkdir -p "out/$format"
  ./build/bin/tabulor "samples/*.*" "$format" "out/$format" || status=$?
done
echo "Written:"
find out -type f | sort | while read -r f; do printf '  %8d  %s\n' "$(stat -c %s "$f")" "$f"; done
if [ -n "${DISPLAY:-}" ]; then
  exec ./build/bin/tabulor
fi
exit $status
