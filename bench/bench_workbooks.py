#!/usr/bin/env python3
"""Benchmark of the xlsx and ods drivers through the command line, side by side with the
peer tools in the same run, on 1,000,000 rows x 8 columns:

  CSV -> xlsx   Tabulor | ssconvert | LibreOffice headless | openpyxl (write-only)
  CSV -> ods    Tabulor | ssconvert | LibreOffice headless
  xlsx -> CSV   Tabulor | ssconvert | LibreOffice headless | openpyxl (read-only)
  ods -> CSV    Tabulor | ssconvert | LibreOffice headless

Every reader reads the same workbook (the one Tabulor wrote). Prints seconds, rows/s and
peak memory per tool, each peer's time as a ratio of Tabulor's, and Tabulor's peak memory
at 100,000 rows beside that at 1,000,000 (it should not grow with the row count).
Targets: each direction at least 5 times faster than the fastest peer, peak memory under
100 MB. A peer that is not installed is left out with a note. Run after building:
python3 bench/bench_workbooks.py [ROWS]
"""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402

ROWS = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
SMALL = 100000

OPENPYXL_WRITE = r"""
import csv, datetime, sys, openpyxl
wb = openpyxl.Workbook(write_only=True)
ws = wb.create_sheet("rows")
def typed(v):
    for conv in (int, float):
        try:
            return conv(v)
        except ValueError:
            pass
    if v in ("TRUE", "FALSE"):
        return v == "TRUE"
    if len(v) >= 10 and v[4] == "-" and v[7] == "-":
        try:
            return datetime.datetime.fromisoformat(v)
        except ValueError:
            pass
    return v
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    for i, row in enumerate(csv.reader(f)):
        ws.append(row if i == 0 else [typed(v) for v in row])
wb.save(sys.argv[2])
"""

OPENPYXL_READ = r"""
import csv, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
with open(sys.argv[2], "w", encoding="utf-8", newline="") as f:
    out = csv.writer(f)
    for row in wb.active.iter_rows(values_only=True):
        out.writerow(row)
"""


def soffice_cmd(fmt, src, outdir):
    profile = "file://" + os.path.join(outdir, "lo-profile")
    return ["soffice", "-env:UserInstallation=" + profile, "--headless", "--convert-to", fmt,
            "--outdir", outdir, src]


def main():
    if not os.path.exists(benchlib.TABULOR):
        sys.exit(f"build Tabulor first: {benchlib.TABULOR} is missing")
    notes = []
    csvdir = os.path.join(benchlib.DATA, f"csv{ROWS}")
    csv = benchlib.make_csv(os.path.join(csvdir, "rows.csv"), ROWS)
    mb = os.path.getsize(csv) / 2**20
    work = tempfile.mkdtemp(prefix="bench-workbooks-")
    have_lo = benchlib.have("soffice")
    have_ss = benchlib.have("ssconvert")
    if not have_lo:
        notes.append("LibreOffice (soffice) is not installed: left out")
    if not have_ss:
        notes.append("ssconvert (gnumeric) is not installed: left out")
    try:
        def run(results, name, cmd, outdir):
            shutil.rmtree(outdir, ignore_errors=True)
            os.makedirs(outdir)
            seconds, peak, status = benchlib.measure(cmd, cwd=outdir)
            results.append((name, seconds, peak, status))
            return outdir

        books = {}
        for fmt in ("xlsx", "ods"):
            results = []
            out = run(results, f"tabulor csv -> {fmt}", [benchlib.TABULOR, csv, fmt,
                                                       os.path.join(work, "t" + fmt)],
                      os.path.join(work, "t" + fmt))
            books[fmt] = os.path.join(out, "rows." + fmt)
            if not os.path.exists(books[fmt]):
                notes.append(f"tabulor wrote no rows.{fmt}")
            if have_ss:
                run(results, "ssconvert", ["ssconvert", csv, os.path.join(work, "s" + fmt,
                                                                          "rows." + fmt)],
                    os.path.join(work, "s" + fmt))
            if have_lo:
                run(results, f"soffice --convert-to {fmt}",
                    soffice_cmd(fmt, csv, os.path.join(work, "l" + fmt)), os.path.join(work, "l" + fmt))
            if fmt == "xlsx":
                script = os.path.join(work, "opw.py")
                with open(script, "w") as f:
                    f.write(OPENPYXL_WRITE)
                run(results, "openpyxl write-only", ["/usr/bin/python3", script, csv,
                                                     os.path.join(work, "ow", "rows.xlsx")],
                    os.path.join(work, "ow"))
            benchlib.report(f"Write: {ROWS:,}-row CSV -> {fmt}", ROWS, mb, results)

        for fmt in ("xlsx", "ods"):
            book = books[fmt]
            if not os.path.exists(book):
                continue
            bmb = os.path.getsize(book) / 2**20
            results = []
            out = run(results, f"tabulor {fmt} -> csv", [benchlib.TABULOR, book, "csv",
                                                       os.path.join(work, "r" + fmt)],
                      os.path.join(work, "r" + fmt))
            written = [f for f in os.listdir(out) if f.endswith(".csv")]
            if written:
                with open(os.path.join(out, written[0]), "rb") as f:
                    lines = sum(1 for _ in f)
                if lines < ROWS + 1:
                    notes.append(f"tabulor's CSV of the {fmt} has {lines} lines")
            if have_ss:
                run(results, "ssconvert", ["ssconvert", book, os.path.join(work, "rs" + fmt,
                                                                           "out.csv")],
                    os.path.join(work, "rs" + fmt))
            if have_lo:
                run(results, "soffice --convert-to csv",
                    soffice_cmd("csv", book, os.path.join(work, "rl" + fmt)),
                    os.path.join(work, "rl" + fmt))
            if fmt == "xlsx":
                script = os.path.join(work, "opr.py")
                with open(script, "w") as f:
                    f.write(OPENPYXL_READ)
                run(results, "openpyxl read-only", ["/usr/bin/python3", script, book,
                                                    os.path.join(work, "or", "out.csv")],
                    os.path.join(work, "or"))
            benchlib.report(f"Read: {ROWS:,}-row {fmt} -> CSV", ROWS, bmb, results)

        # Peak memory against the row count: the same conversions of a tenth of the rows.
        small = benchlib.make_csv(os.path.join(benchlib.DATA, f"csv{SMALL}", "rows.csv"), SMALL)
        print(f"\n== Tabulor's peak memory, {SMALL:,} rows against {ROWS:,} rows")
        for fmt in ("xlsx", "ods"):
            peaks = []
            for src in (small, csv):
                outdir = os.path.join(work, "m" + fmt)
                shutil.rmtree(outdir, ignore_errors=True)
                os.makedirs(outdir)
                _, peak_w, _ = benchlib.measure([benchlib.TABULOR, src, fmt, outdir])
                _, peak_r, _ = benchlib.measure([benchlib.TABULOR, os.path.join(outdir, "rows." + fmt),
                                                 "csv", outdir])
                peaks.append((peak_w / 2**20, peak_r / 2**20))
            print(f"csv -> {fmt}: {peaks[0][0]:.1f} MB / {peaks[1][0]:.1f} MB;   "
                  f"{fmt} -> csv: {peaks[0][1]:.1f} MB / {peaks[1][1]:.1f} MB")
        for note in notes:
            print("note:", note)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
