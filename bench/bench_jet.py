#!/usr/bin/env python3
"""Benchmark of the Jet (.mdb) driver: the 1,000,000-row CSV written into a Jet database
(against sqlite3's .import of the same CSV, a page-based embedded database) and that
database read back to CSV (against mdb-export, the mdbtools exporter). Prints rows/s and
peak memory side by side. Usage: bench/bench_jet.py [ROWS]  (default 1,000,000)"""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from benchlib import DATA, TABULOR, have, make_csv, measure, report  # noqa: E402


def main():
    rows = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    if not os.path.exists(TABULOR):
        sys.exit(f"build first: {TABULOR} is missing")
    src = make_csv(os.path.join(DATA, f"rows_{rows}.csv"), rows)
    megabytes = os.path.getsize(src) / 2**20
    work = tempfile.mkdtemp(prefix="bench-jet-")
    try:
        # Writing: CSV -> .mdb; sqlite3 .import as the reference.
        mdb_dir = os.path.join(work, "mdb")
        os.makedirs(mdb_dir)
        ours = measure([TABULOR, src, "mdb", mdb_dir])
        mdb = os.path.join(mdb_dir, os.path.splitext(os.path.basename(src))[0] + ".mdb")
        results = [("tabulor csv -> mdb", *ours)]
        if have("sqlite3"):
            db = os.path.join(work, "ref.sqlite")
            results.append(("sqlite3 .import (csv -> db)",
                             *measure(["sqlite3", db, "-cmd", ".mode csv", f".import {src} t"])))
        report("Jet write", rows, megabytes, results)
        if not os.path.exists(mdb):
            sys.exit("the conversion wrote no database")
        mdb_mb = os.path.getsize(mdb) / 2**20

        # Reading: .mdb -> CSV; mdb-export as the reference.
        table = subprocess.run(["mdb-tables", "-1", mdb], capture_output=True, text=True).stdout.split("\n")[0]
        back = os.path.join(work, "back")
        os.makedirs(back)
        results = [("tabulor mdb -> csv", *measure([TABULOR, mdb, "csv", back]))]
        if have("mdb-export"):
            with open(os.devnull, "wb") as null:
                results.append(("mdb-export (mdb -> csv)", *measure(["mdb-export", mdb, table], stdout=null)))
        report(f"Jet read ({mdb_mb:.1f} MB database)", rows, mdb_mb, results)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
