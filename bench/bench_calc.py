#!/usr/bin/env python3
"""Benchmark of the spreadsheet-application path: a batch of 20 small workbooks (one sheet
of 50 rows by 8 columns, 400 cells each, written by Tabulor's engine from benchlib's CSV
data) converted to CSV in one run three ways, side by side:

  - tabulor through LibreOffice Calc (this path: one office for the whole run),
  - `soffice --headless --convert-to csv` on the same 20 files (one office, first sheet),
  - tabulor --no-office (Tabulor's own engine).

The same batch of one workbook through this path gives the cost of starting and ending the
office; (batch of 20 - batch of 1) / 19 is the cost of one more workbook. Targets: the batch
of 20 no slower than soffice --convert-to, and under 0.15 s per extra workbook.
Run: python3 bench/bench_calc.py [--runs N]   (the best of N runs of each, default 1)
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402

HELPER = os.path.join(benchlib.ROOT, "build", "bin", "tabulor-calc-helper")
SOFFICE = "/usr/lib/libreoffice/program/soffice"
BOOKS = 20
ROWS = 50  # data rows per workbook; 8 columns
EXTRA_TARGET = 0.15  # seconds per extra workbook


def make_books(folder):
    """BOOKS workbooks of ROWS rows each, written by Tabulor's engine from CSV."""
    os.makedirs(folder, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        for index in range(1, BOOKS + 1):
            csv = os.path.join(tmp, f"book{index:02d}.csv")
            benchlib.make_csv(csv, ROWS, seed=index)
            subprocess.run([benchlib.TABULOR, "--no-office", csv, "xls", folder], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return sorted(os.path.join(folder, n) for n in os.listdir(folder) if n.endswith(".xls"))


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def best(runs, cmd, out, expected_files):
    """The fastest of `runs` runs (each into an emptied folder), with the largest peak; a run
    that writes fewer files than expected counts as failed."""
    results = []
    for _ in range(runs):
        fresh(out)
        seconds, peak, status = benchlib.measure(cmd)
        written = len(os.listdir(out))
        if status == 0 and written < expected_files:
            print(f"  ! {cmd[0]} wrote {written} of {expected_files} files", file=sys.stderr)
            status = -1
        results.append((seconds, peak, status))
    return (min(r[0] for r in results), max(r[1] for r in results),
            max((r[2] for r in results), key=abs))


def main():
    runs = int(sys.argv[sys.argv.index("--runs") + 1]) if "--runs" in sys.argv else 1
    if not (os.path.exists(benchlib.TABULOR) and os.path.exists(HELPER)):
        sys.exit("build tabulor and tabulor-calc-helper first (cmake --build build)")
    if not os.path.exists(SOFFICE):
        sys.exit("needs LibreOffice (libreoffice-calc-nogui)")

    work = tempfile.mkdtemp(prefix="bench_calc_")
    try:
        books = make_books(os.path.join(work, "books"))
        cells = BOOKS * (ROWS + 1) * 8
        megabytes = sum(os.path.getsize(b) for b in books) / 2**20
        out = os.path.join(work, "out")
        pattern = os.path.join(work, "books", "*.xls")
        peer_profile = "file://" + os.path.join(work, "peer-profile")
        # The peer keeps its profile between runs, as a user's own office does (and as this
        # path keeps a profile to seed its private one): one warm-up run first.
        subprocess.run([SOFFICE, "-env:UserInstallation=" + peer_profile, "--headless",
                        "--convert-to", "csv", "--outdir", fresh(out), books[0]],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run([benchlib.TABULOR, books[0], "csv", fresh(out)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        ours = best(runs, [benchlib.TABULOR, pattern, "csv", out], out, BOOKS)
        one = best(runs, [benchlib.TABULOR, books[0], "csv", out], out, 1)
        peer = best(runs, [SOFFICE, "-env:UserInstallation=" + peer_profile, "--headless",
                           "--convert-to", "csv", "--outdir", out] + books, out, BOOKS)
        engine = best(runs, [benchlib.TABULOR, "--no-office", pattern, "csv", out], out, BOOKS)

        benchlib.report(f"{BOOKS} workbooks of {(ROWS + 1) * 8} cells to CSV", BOOKS * (ROWS + 1),
                        megabytes,
                        [("tabulor via LibreOffice (this path)", *ours),
                         ("soffice --convert-to csv", *peer),
                         ("tabulor --no-office (engine)", *engine)])
        extra = (ours[0] - one[0]) / (BOOKS - 1)
        print(f"  {cells:,} cells in all; this path with 1 workbook: {one[0]:.2f} s "
              f"(starting and ending the office)")
        print(f"  per extra workbook: this path {extra:.3f} s "
              f"(target < {EXTRA_TARGET}: {'met' if extra < EXTRA_TARGET else 'MISSED'}); "
              f"batch of {BOOKS}: this path {ours[0]:.2f} s, soffice --convert-to {peer[0]:.2f} s "
              f"(target: no slower: {'met' if ours[0] <= peer[0] else 'MISSED'}), "
              f"engine {engine[0]:.2f} s")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
