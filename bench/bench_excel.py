#!/usr/bin/env python3
"""Benchmark of the Excel 8.0 driver through the command line, side by side with the peer
tools in the same run:

  reading: a 60,000-row, 8-column workbook -> CSV
           Tabulor | ssconvert | LibreOffice headless | ogr2ogr
  writing: the first 65,535 rows of the 100,000-row CSV -> XLS
           Tabulor | ssconvert | LibreOffice headless

Prints seconds, rows/s and peak memory per tool, and each peer's time as a ratio of
Tabulor's. Targets: reading at least 3x faster than ssconvert, writing at least 5x faster
than LibreOffice, writing peak memory under 64 MB plus the output's size. A peer that is
not installed is left out with a note. Run after building: python3 bench/bench_excel.py
"""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402

READ_ROWS = 60000
WRITE_ROWS = 65535  # every record an Excel 97-2003 sheet holds below its header


def head_csv(src, dst, rows):
    """The header and the first `rows` records of a CSV whose records are single lines
    apart from quoted commas (true of benchlib.make_csv's output)."""
    if os.path.exists(dst):
        with open(dst, "rb") as f:
            if sum(1 for _ in f) == rows + 1:
                return dst
    with open(src, "r", encoding="utf-8", newline="") as f, \
            open(dst, "w", encoding="utf-8", newline="") as out:
        for i, line in enumerate(f):
            if i > rows:
                break
            out.write(line)
    return dst


def source_workbook(folder):
    """A 60,000-row workbook written by gnumeric (an independent writer), cached."""
    book = os.path.join(folder, "read60k.xls")
    if os.path.exists(book) and os.path.getsize(book) > 0:
        return book
    csv = head_csv(benchlib.make_csv(os.path.join(benchlib.DATA, "rows100k.csv"), 100000),
                   os.path.join(benchlib.DATA, "rows60k.csv"), READ_ROWS)
    subprocess.run(["ssconvert", "-T", "Gnumeric_Excel:excel_biff8", csv, book],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return book


def soffice_cmd(fmt, src, outdir):
    # A private profile folder so that a running LibreOffice does not take the job over.
    profile = "file://" + os.path.join(outdir, "lo-profile")
    return ["soffice", "-env:UserInstallation=" + profile, "--headless", "--convert-to", fmt,
            "--outdir", outdir, src]


def main():
    if not os.path.exists(benchlib.TABULOR):
        sys.exit(f"build Tabulor first: {benchlib.TABULOR} is missing")
    if not benchlib.have("ssconvert"):
        sys.exit("ssconvert (gnumeric) is needed to make the source workbook")
    os.makedirs(benchlib.DATA, exist_ok=True)
    notes = []
    work = tempfile.mkdtemp(prefix="bench-excel-")
    try:
        # A copy of the program alone in a folder: workbooks then take the database-engine
        # path (this driver) even where the LibreOffice automation helper is built beside
        # build/bin/tabulor, which would otherwise convert them first.
        os.makedirs(os.path.join(work, "bin"))
        tabulor = os.path.join(work, "bin", "tabulor")
        shutil.copy2(benchlib.TABULOR, tabulor)
        # Reading: workbook -> CSV.
        srcdir = os.path.join(benchlib.DATA, "xls")
        os.makedirs(srcdir, exist_ok=True)
        book = source_workbook(srcdir)
        mb = os.path.getsize(book) / 2**20
        results = []

        def run(name, cmd, outdir):
            shutil.rmtree(outdir, ignore_errors=True)
            os.makedirs(outdir)
            seconds, peak, status = benchlib.measure(cmd, cwd=outdir)
            results.append((name, seconds, peak, status))
            return outdir

        out = run("tabulor xls -> csv", [tabulor, book, "csv", os.path.join(work, "t")],
                  os.path.join(work, "t"))
        written = [f for f in os.listdir(out) if f.lower().endswith(".csv")]
        if written:
            with open(os.path.join(out, written[0]), "rb") as f:
                lines = sum(1 for _ in f)
            if lines < READ_ROWS + 1:
                notes.append(f"tabulor's CSV has {lines} lines, expected at least {READ_ROWS + 1}")
        else:
            notes.append("tabulor wrote no CSV")
        run("ssconvert", ["ssconvert", book, os.path.join(work, "s", "out.csv")],
            os.path.join(work, "s"))
        if benchlib.have("soffice"):
            run("soffice --convert-to csv", soffice_cmd("csv", book, os.path.join(work, "l")),
                os.path.join(work, "l"))
        else:
            notes.append("LibreOffice (soffice) is not installed: left out")
        if benchlib.have("ogr2ogr"):
            run("ogr2ogr -f CSV", ["ogr2ogr", "-f", "CSV", os.path.join(work, "o", "out.csv"), book],
                os.path.join(work, "o"))
        else:
            notes.append("ogr2ogr (gdal-bin) is not installed: left out")
        benchlib.report("Read: 60,000-row workbook -> CSV", READ_ROWS, mb, results)

        # Writing: CSV -> XLS.
        csvdir = os.path.join(benchlib.DATA, "csv65535")
        os.makedirs(csvdir, exist_ok=True)
        csv = head_csv(benchlib.make_csv(os.path.join(benchlib.DATA, "rows100k.csv"), 100000),
                       os.path.join(csvdir, "rows.csv"), WRITE_ROWS)
        mb = os.path.getsize(csv) / 2**20
        results = []
        out = run("tabulor csv -> xls", [tabulor, csv, "xls", os.path.join(work, "tw")],
                  os.path.join(work, "tw"))
        xls = os.path.join(out, "rows.xls")
        out_mb = os.path.getsize(xls) / 2**20 if os.path.exists(xls) else 0
        if not out_mb:
            notes.append("tabulor wrote no rows.xls")
        run("ssconvert", ["ssconvert", csv, os.path.join(work, "sw", "rows.xls")],
            os.path.join(work, "sw"))
        if benchlib.have("soffice"):
            run("soffice --convert-to xls", soffice_cmd("xls", csv, os.path.join(work, "lw")),
                os.path.join(work, "lw"))
        benchlib.report("Write: 65,535-row CSV -> XLS", WRITE_ROWS, mb, results)
        ours = results[0]
        print(f"\nTabulor's workbook: {out_mb:.1f} MB; peak memory {ours[2] / 2**20:.1f} MB "
              f"(target: under {64 + out_mb:.1f} MB = 64 MB + the output)")
        for note in notes:
            print("note:", note)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
