#!/usr/bin/env python3
"""Benchmark of the spreadsheet-application path: workbooks to CSV through LibreOffice Calc
driven by tabulor-calc-helper, through Tabulor's own engine, and with the command a user
would script, `soffice --headless --convert-to`, side by side in one run.

Workbooks: one sheet of 60,000 rows, and three sheets of 20,000 rows each, made once with
gnumeric's ssconvert from benchlib's CSV data. Every run converts every sheet. The office
is started once per conversion call on this path, as by --convert-to; the start-up share
is the time of starting and ending the office with no work in between, over the path's time.
Run: python3 bench/bench_calc.py [--runs N]
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402

HELPER = os.path.join(benchlib.ROOT, "build", "bin", "tabulor-calc-helper")
SOFFICE = "/usr/lib/libreoffice/program/soffice"
CSV_FILTER = "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,-1"


def workbook(name, sheets, rows_per_sheet):
    path = os.path.join(benchlib.DATA, name)
    if os.path.exists(path):
        return path
    with tempfile.TemporaryDirectory() as tmp:
        csvs = []
        for index in range(sheets):
            src = benchlib.make_csv(os.path.join(benchlib.DATA, f"calc_{rows_per_sheet}.csv"),
                                    rows_per_sheet)
            # No extension: gnumeric names each sheet after its file.
            sheet = os.path.join(tmp, f"Sheet{index + 1}")
            shutil.copy(src, sheet)
            csvs.append(sheet)
        args = ["ssconvert", "-I", "Gnumeric_stf:stf_csvtab"] + (
            ["--merge-to=" + path] + csvs if sheets > 1 else [csvs[0], path])
        subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return path


def startup_seconds():
    """Starting the office through the helper and ending it, with nothing in between."""
    start = time.perf_counter()
    proc = subprocess.run([HELPER], input="create\t6\nrelease\n", capture_output=True, text=True)
    seconds = time.perf_counter() - start
    if not proc.stdout.startswith("ok"):
        print(f"  ! helper could not start the office: {proc.stdout.strip()}", file=sys.stderr)
    return seconds


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def best(runs, cmd, env=None, out=None):
    """The fastest of `runs` runs (each into an emptied folder), with the largest peak."""
    results = []
    for _ in range(runs):
        if out:
            fresh(out)
        seconds, peak, status = benchlib.measure(cmd, env=env)
        if out and status == 0 and not os.listdir(out):
            status = -1  # finished without writing anything: counts as failed
        results.append((seconds, peak, status))
    seconds = min(r[0] for r in results)
    return seconds, max(r[1] for r in results), max((r[2] for r in results), key=abs)


def main():
    runs = int(sys.argv[sys.argv.index("--runs") + 1]) if "--runs" in sys.argv else 3
    if not (os.path.exists(benchlib.TABULOR) and os.path.exists(HELPER)):
        sys.exit("build tabulor and tabulor-calc-helper first (cmake --build build)")
    if not (os.path.exists(SOFFICE) and benchlib.have("ssconvert")):
        sys.exit("needs LibreOffice and gnumeric's ssconvert")

    books = [("60,000 rows, 1 sheet", workbook("calc_1x60000.xls", 1, 60000), 60000),
             ("3 sheets of 20,000 rows", workbook("calc_3x20000.xls", 3, 20000), 60000)]
    work = tempfile.mkdtemp(prefix="bench_calc_")
    engine_env = dict(os.environ, TABULOR_LIBREOFFICE_PROGRAM=os.path.join(work, "no-office"))
    peer_profile = "file://" + os.path.join(work, "peer-profile")
    # The peer keeps its profile between runs, as a user's own office does: one warm-up run.
    subprocess.run([SOFFICE, "-env:UserInstallation=" + peer_profile, "--headless", "--version"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        startup = min(startup_seconds() for _ in range(runs))
        for title, path, rows in books:
            mb = os.path.getsize(path) / 2**20
            out = os.path.join(work, "out")
            ours = best(runs, [benchlib.TABULOR, path, "csv", out], out=out)
            written = sorted(os.listdir(out))
            engine = best(runs, [benchlib.TABULOR, path, "csv", out], env=engine_env, out=out)
            peer = best(runs, [SOFFICE, "-env:UserInstallation=" + peer_profile, "--headless",
                               "--convert-to", CSV_FILTER, "--outdir", out, path], out=out)
            benchlib.report(f"{title} to CSV", rows, mb,
                            [("tabulor via LibreOffice (this path)", *ours),
                             ("tabulor engine (no office)", *engine),
                             ("soffice --convert-to", *peer)])
            print(f"  seconds per file: this path {ours[0]:.2f} (office start-up and shut-down "
                  f"{startup:.2f}, {startup / ours[0]:.0%}), engine {engine[0]:.2f}, "
                  f"soffice --convert-to {peer[0]:.2f}")
            print(f"  this path wrote: {', '.join(written)}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
