#!/usr/bin/env python3
"""Main-window benchmark: the time from a user's action to the painted window, for
choosing a folder of 10,000 files (the file list fills) and for highlighting a 100 MB CSV
and a 60,000-row workbook (the preview fills; it reads two records whatever the size).
Targets: list under 1 s, preview under 100 ms. Runs the bench_ui program offscreen, three
times each, and prints the best and the median with the process's peak memory."""

import os
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402

BENCH = os.path.join(benchlib.ROOT, "build", "bin", "bench_ui")
RUNS = 3


def make_folder(path, count):
    os.makedirs(path, exist_ok=True)
    if len(os.listdir(path)) == count:
        return path
    for i in range(count):
        ext = (".xls", ".csv", ".txt", ".dbf", ".mdb")[i % 5]
        with open(os.path.join(path, f"file{i:05d}{ext}"), "wb") as f:
            f.write(b"x" * (i % 4096))
    return path


def make_workbook(folder, rows):
    xls = os.path.join(folder, "big.xls")
    if os.path.exists(xls):
        return xls
    if not benchlib.have("ssconvert"):
        return None
    csv = benchlib.make_csv(os.path.join(benchlib.DATA, "ui-xls-src", "big.csv"), rows)
    subprocess.run(["ssconvert", "--export-type=Gnumeric_Excel:excel_biff8", csv, xls],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return xls


def run(args):
    env = dict(os.environ, QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen"))
    if "XDG_RUNTIME_DIR" not in env:
        env["XDG_RUNTIME_DIR"] = f"/tmp/runtime-{os.getuid()}"
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    times, peaks, detail = [], [], ""
    for _ in range(RUNS):
        out_path = os.path.join(benchlib.DATA, "bench_ui.out")
        with open(out_path, "w") as out:
            seconds, peak, code = benchlib.measure([BENCH] + args, env=env, stdout=out)
        with open(out_path) as f:
            line = f.read().split()
        if code != 0 or len(line) < 3:
            return None
        times.append(float(line[1]))
        peaks.append(peak)
        detail = line[2]
    return min(times), statistics.median(times), max(peaks), detail


def main():
    if not os.path.exists(BENCH):
        sys.exit("build bench_ui first: cmake --build build --target bench_ui")
    os.makedirs(benchlib.DATA, exist_ok=True)
    folder = make_folder(os.path.join(benchlib.DATA, "ui-10000-files"), 10000)
    csv_dir = os.path.join(benchlib.DATA, "ui-csv")
    csv = benchlib.make_csv(os.path.join(csv_dir, "big.csv"), 1_000_000)
    xls_dir = os.path.join(benchlib.DATA, "ui-xls")
    os.makedirs(xls_dir, exist_ok=True)
    xls = make_workbook(xls_dir, 60_000)

    cases = [
        ("list of 10,000 files (All Files)", ["list", folder, "5"], 1000.0, "rows"),
        (f"preview of a {os.path.getsize(csv) / 2**20:.0f} MB CSV",
         ["preview", csv_dir, "3", "big.csv"], 100.0, "tables"),
    ]
    if xls:
        cases.append(("preview of a 60,000-row workbook", ["preview", xls_dir, "0", "big.xls"],
                      100.0, "sheets"))
    else:
        print("(no ssconvert: the workbook case is left out)")

    print(f"\n== Main window: action to painted window, best and median of {RUNS} runs")
    print(f"{'case':<40}{'best ms':>9}{'median ms':>11}{'target ms':>11}{'peak MB':>9}  result")
    for name, args, target, unit in cases:
        r = run(args)
        if r is None:
            why = " (the source could not be opened: is its driver built in?)"
            print(f"{name:<40}{'failed':>9}{why}")
            continue
        best, median, peak, detail = r
        verdict = "ok" if median < target else "over target"
        print(f"{name:<40}{best:9.1f}{median:11.1f}{target:11.0f}{peak / 2**20:9.1f}  "
              f"{verdict} ({detail} {unit})")


if __name__ == "__main__":
    main()
