#!/usr/bin/env python3
"""Benchmark of the Text driver through the batch run: a CSV of 1,000,000 rows x 8 mixed
columns (about 100 MB, benchlib.make_csv) converted by `tabulor SOURCE csv OUT` and
`tabulor SOURCE txt OUT`, side by side with ogr2ogr (CSV to CSV), Python's csv module
(read + write) and cp as the floor. gnumeric's ssconvert takes about 90 s for a million
rows, so it runs on a smaller file of its own (--ssconvert-rows, 0 to skip) against
tabulor on that same file. Peak memory is also measured on a tenth of the rows, to show
that it does not grow with the row count.

usage: bench/bench_text.py [--rows N] [--ssconvert-rows N] [--keep]
Needs build/bin/tabulor (scripts/setup.sh builds it)."""

import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402

PYTHON_COPY = ("import csv,sys\n"
               "src=open(sys.argv[1],newline='',encoding='utf-8')\n"
               "dst=open(sys.argv[2],'w',newline='',encoding='utf-8')\n"
               "csv.writer(dst).writerows(csv.reader(src))\n")


def source_for(rows):
    """The generated CSV alone in a folder of its own (the text driver lists the folder)."""
    folder = os.path.join(benchlib.DATA, f"text-{rows}")
    return benchlib.make_csv(os.path.join(folder, "orders.csv"), rows)


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def check_csv_copy(src, out):
    """The CSV written must hold the source's values: every record and field, text equal,
    numbers equal as numbers ("12.50" is written 12.5), a midnight date-time as its date."""
    import csv

    def same(a, b):
        if a == b:
            return True
        if a.endswith(" 00:00:00") and a[:-9] == b:
            return True
        try:
            return float(a) == float(b)
        except ValueError:
            return False

    with open(src, newline="", encoding="utf-8") as a, open(out, newline="", encoding="utf-8") as b:
        ra, rb = csv.reader(a), csv.reader(b)
        for row_a in ra:
            row_b = next(rb, None)
            if row_b is None or len(row_a) != len(row_b):
                return False
            if not all(same(x, y) for x, y in zip(row_a, row_b)):
                return False
        return next(rb, None) is None


def count_lines(path):
    n = 0
    with open(path, "rb") as f:
        while chunk := f.read(1 << 20):
            n += chunk.count(b"\n")
    return n


def tabulor_runs(src, work):
    out_csv, out_txt = fresh(os.path.join(work, "csv")), fresh(os.path.join(work, "txt"))
    run_csv = benchlib.measure([benchlib.TABULOR, src, "csv", out_csv])
    run_txt = benchlib.measure([benchlib.TABULOR, src, "txt", out_txt])
    return run_csv, run_txt, os.path.join(out_csv, "orders.csv"), os.path.join(out_txt, "orders.txt")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--ssconvert-rows", type=int, default=50_000)
    parser.add_argument("--keep", action="store_true", help="keep the outputs in bench/data/out")
    args = parser.parse_args()
    if not os.access(benchlib.TABULOR, os.X_OK):
        sys.exit(f"{benchlib.TABULOR} is missing: build it first (bash scripts/setup.sh test)")

    # Every file is generated before anything is measured, and the outputs are checked only
    # after the last measurement: a child's peak memory as the kernel reports it starts from
    # this (forking) process's own size, which the checks would raise.
    work = os.path.join(benchlib.DATA, "out")
    src = source_for(args.rows)
    small_rows = max(args.rows // 10, 1000)
    small = source_for(small_rows)
    ss_src = source_for(args.ssconvert_rows) if args.ssconvert_rows and benchlib.have("ssconvert") else None
    megabytes = os.path.getsize(src) / 2**20

    run_csv, run_txt, out_csv, out_txt = tabulor_runs(src, work)
    results = [("tabulor CSV->CSV", *run_csv), ("tabulor CSV->TXT (tab)", *run_txt)]
    if benchlib.have("ogr2ogr"):
        ogr_out = os.path.join(fresh(os.path.join(work, "ogr")), "orders.csv")
        results.append(("ogr2ogr CSV->CSV", *benchlib.measure(["ogr2ogr", "-f", "CSV", ogr_out, src])))
    py_out = os.path.join(fresh(os.path.join(work, "py")), "orders.csv")
    results.append(("python csv read+write", *benchlib.measure([sys.executable, "-c", PYTHON_COPY, src, py_out])))
    results.append(("cp (floor)", *benchlib.measure(["cp", src, os.path.join(work, "py", "cp.csv")])))
    # Peak memory against row count: the same conversions on a tenth of the rows.
    s_csv, s_txt, _, _ = tabulor_runs(small, os.path.join(work, "small"))
    if ss_src:
        t_csv, _, _, _ = tabulor_runs(ss_src, os.path.join(work, "ss"))
        ss_out = os.path.join(work, "ss", "ssconvert.csv")
        ss = benchlib.measure(["ssconvert", "-T", "Gnumeric_stf:stf_csv", ss_src, ss_out])

    benchlib.report("Text driver, batch run", args.rows, megabytes, results)
    ours = run_csv[0]
    for name, seconds, _, status in results[2:4]:
        if status == 0:
            print(f"speed-up over {name}: {seconds / ours:.2f}x (CSV->CSV), "
                  f"{seconds / run_txt[0]:.2f}x (CSV->TXT)")
    print(f"peak memory: {run_csv[1] / 2**20:.1f} MB for {args.rows:,} rows, "
          f"{s_csv[1] / 2**20:.1f} MB for {small_rows:,} rows (CSV->CSV); "
          f"{run_txt[1] / 2**20:.1f} / {s_txt[1] / 2**20:.1f} MB (CSV->TXT)")
    if ss_src:
        ss_mb = os.path.getsize(ss_src) / 2**20
        benchlib.report("Text driver against ssconvert (smaller file)", args.ssconvert_rows, ss_mb,
                        [("tabulor CSV->CSV", *t_csv), ("ssconvert CSV->CSV", *ss)])

    ok_csv = run_csv[2] == 0 and check_csv_copy(src, out_csv)
    ok_txt = run_txt[2] == 0 and count_lines(out_txt) == args.rows + 1
    print(f"\noutput check: CSV {'has the source values' if ok_csv else 'DIFFERS'}, "
          f"TXT {'has every row' if ok_txt else 'WRONG ROW COUNT'}")
    if not args.keep:
        shutil.rmtree(work, ignore_errors=True)
    return 0 if ok_csv and ok_txt else 1


if __name__ == "__main__":
    sys.exit(main())
