#!/usr/bin/env python3
"""Benchmark of the dBase, HTML and Lotus WK1 drivers through the batch run:
  - the 1,000,000-row CSV of benchlib.make_csv (8 mixed columns) converted to dBase
    (`tabulor SOURCE dbf OUT`, dBASE 5.0: the same writer as dBASE III, whose version byte
    alone differs for a table without memos), against ogr2ogr (shapefile driver, .dbf only);
  - that .dbf converted back to CSV, against ogr2ogr (DBF -> CSV);
  - the CSV converted to HTML, against tabulor's own CSV output of the same file (the target
    is HTML at least as fast as CSV);
  - 8,000 rows converted to Lotus WK1 (no Debian tool writes WK1; gnumeric's ssconvert
    writing the same rows as an Excel 97 workbook is shown for scale).
Each run is repeated (--repeat, the fastest counts: the machine is shared). Peak memory is
also measured on a tenth of the rows, to show that it does not grow with the row count.

usage: bench/bench_dbase.py [--rows N] [--wk1-rows N] [--repeat N] [--keep]
Needs build/bin/tabulor (scripts/setup.sh builds it)."""

import argparse
import os
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402


def source_for(rows):
    """The generated CSV alone in a folder of its own (the text driver lists the folder)."""
    return benchlib.make_csv(os.path.join(benchlib.DATA, f"dbase-{rows}", "orders.csv"), rows)


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def best(cmd, repeat, before=None):
    """Fastest of `repeat` runs of cmd: (seconds, peak bytes, status); `before` runs first
    each time (to clear an output folder)."""
    runs = []
    for _ in range(repeat):
        if before:
            before()
        runs.append(benchlib.measure(cmd))
    ok = [r for r in runs if r[2] == 0] or runs
    seconds = min(r[0] for r in ok)
    return seconds, max(r[1] for r in ok), ok[0][2]


def tabulor(src, keyword, out, repeat):
    return best([benchlib.TABULOR, src, keyword, out], repeat, before=lambda: fresh(out))


def dbf_records(path):
    with open(path, "rb") as f:
        return struct.unpack("<I", f.read(8)[4:8])[0]


def count_lines(path, prefix=b""):
    """Lines of the file that start with `prefix`."""
    with open(path, "rb") as f:
        return sum(1 for line in f if line.startswith(prefix))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--wk1-rows", type=int, default=8_000)
    parser.add_argument("--repeat", type=int, default=2)
    parser.add_argument("--keep", action="store_true", help="keep the outputs in bench/data/dbase-out")
    args = parser.parse_args()
    if not os.access(benchlib.TABULOR, os.X_OK):
        sys.exit(f"{benchlib.TABULOR} is missing: build it first (bash scripts/setup.sh test)")

    # Every input is generated before anything is measured, and outputs are checked after
    # the last measurement (a child's peak memory starts from this process's own size).
    work = os.path.join(benchlib.DATA, "dbase-out")
    src = source_for(args.rows)
    small_rows = max(args.rows // 10, 1000)
    small = source_for(small_rows)
    wk1_src = source_for(args.wk1_rows)
    megabytes = os.path.getsize(src) / 2**20
    d = lambda name: os.path.join(work, name)  # noqa: E731

    # CSV -> dBase
    to_dbf = [("tabulor CSV->DBF", *tabulor(src, "dbf", d("dbf"), args.repeat))]
    if benchlib.have("ogr2ogr"):
        to_dbf.append(("ogr2ogr CSV->DBF (shapefile)",
                       *best(["ogr2ogr", "-f", "ESRI Shapefile", d("ogr-dbf/orders.dbf"), src], args.repeat,
                             before=lambda: fresh(d("ogr-dbf")))))
    our_dbf = d("dbf/orders.dbf")
    # dBase -> CSV, both tools reading the same table
    dbf_src = os.path.join(fresh(d("dbf-src")), "orders.dbf")
    shutil.copy(our_dbf, dbf_src)
    from_dbf = [("tabulor DBF->CSV", *tabulor(dbf_src, "csv", d("dbf-csv"), args.repeat))]
    if benchlib.have("ogr2ogr"):
        from_dbf.append(("ogr2ogr DBF->CSV",
                         *best(["ogr2ogr", "-f", "CSV", d("ogr-csv/orders.csv"), dbf_src], args.repeat,
                               before=lambda: fresh(d("ogr-csv")))))
    # CSV -> HTML against CSV -> CSV
    html = [("tabulor CSV->HTML", *tabulor(src, "htm", d("htm"), args.repeat)),
            ("tabulor CSV->CSV", *tabulor(src, "csv", d("csv"), args.repeat))]
    # WK1
    wk1 = [("tabulor CSV->WK1", *tabulor(wk1_src, "wk1", d("wk1"), args.repeat))]
    if benchlib.have("ssconvert"):
        wk1.append(("ssconvert CSV->XLS (no WK1 writer)",
                    *best(["ssconvert", "-T", "Gnumeric_Excel:excel_biff8", wk1_src, d("ss/orders.xls")],
                          args.repeat, before=lambda: fresh(d("ss")))))
    # Peak memory against row count
    small_dbf = tabulor(small, "dbf", d("small-dbf"), 1)
    small_htm = tabulor(small, "htm", d("small-htm"), 1)
    small_back = tabulor(os.path.join(d("small-dbf"), "orders.dbf"), "csv", d("small-dbf-csv"), 1)

    benchlib.report("CSV -> dBase", args.rows, megabytes, to_dbf)
    benchlib.report("dBase -> CSV", args.rows, os.path.getsize(our_dbf) / 2**20, from_dbf)
    benchlib.report("CSV -> HTML (ratio: CSV output / HTML output)", args.rows, megabytes, html)
    benchlib.report("CSV -> Lotus WK1", args.wk1_rows, os.path.getsize(wk1_src) / 2**20, wk1)
    print(f"\npeak memory, {args.rows:,} rows / {small_rows:,} rows: "
          f"CSV->DBF {to_dbf[0][2] / 2**20:.1f} / {small_dbf[1] / 2**20:.1f} MB, "
          f"DBF->CSV {from_dbf[0][2] / 2**20:.1f} / {small_back[1] / 2**20:.1f} MB, "
          f"CSV->HTML {html[0][2] / 2**20:.1f} / {small_htm[1] / 2**20:.1f} MB")

    checks = {
        "dbf has every record": dbf_records(our_dbf) == args.rows,
        "csv from dbf has every row": count_lines(d("dbf-csv/orders.csv")) >= args.rows + 1,
        "htm has every row": count_lines(d("htm/orders.htm"), b"<tr>") == args.rows + 1,
    }
    if benchlib.have("ssconvert"):
        out = subprocess.run(["ssconvert", "-T", "Gnumeric_stf:stf_csv", d("wk1/orders.wk1"), "fd://1"],
                             capture_output=True).stdout
        checks["wk1 opens in gnumeric with every row"] = out.count(b"\n") >= args.wk1_rows + 1
    print("\noutput check: " + ", ".join(f"{k}: {'yes' if v else 'NO'}" for k, v in checks.items()))
    if not args.keep:
        shutil.rmtree(work, ignore_errors=True)
    return 0 if all(checks.values()) else 1


if __name__ == "__main__":
    sys.exit(main())
