#!/usr/bin/env python3
"""Main-window benchmark: the time from a user's action to the painted window, for
choosing a folder of 10,000 files (the file list fills) and for highlighting a 100 MB CSV
and a 60,000-row workbook (the preview fills; it reads two records whatever the size).
Targets: list under 1 s, preview under 100 ms. Runs the bench_ui program offscreen, three
times each, and prints the best and the median with the process's peak memory.

Then the run of a Start: the longest time the window's event loop is blocked while a batch
of 2,000 CSV files is converted (target under 100 ms), and what progress reporting costs on
the conversion of a 1,000,000-row CSV to text (target under 3%): the conversion without any
listener, by Start in the window (worker, progress dialog) and as the command line on a
terminal, interleaved, best of five each, in processor time (steady on a shared machine)
and on the clock.

usage: bench/bench_ui.py [--skip-window-paths] [--skip-run]"""

import os
import shutil
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


def make_batch(path, count):
    """`count` small CSV files (20 rows each) in a folder of their own."""
    os.makedirs(path, exist_ok=True)
    if len(os.listdir(path)) == count:
        return path
    for i in range(count):
        with open(os.path.join(path, f"part{i:04d}.csv"), "w") as f:
            f.write("id,name,qty\n" + "".join(f"{r},item {r},{r * i % 97}\n" for r in range(20)))
    return path


def bench_env():
    env = dict(os.environ, QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen"))
    if "XDG_RUNTIME_DIR" not in env:
        env["XDG_RUNTIME_DIR"] = f"/tmp/runtime-{os.getuid()}"
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    return env


def run_batch():
    folder = make_batch(os.path.join(benchlib.DATA, "ui-batch-2000"), 2000)
    out = os.path.join(benchlib.DATA, "ui-batch-out")
    print("\n== Start of a 2,000-file batch (CSV to CSV): the longest event-loop block")
    print(f"{'run':<6}{'blocked ms':>12}{'target ms':>11}{'files':>7}{'seconds':>9}  result")
    for n in range(1, 4):
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        proc = subprocess.run([BENCH, "batch", folder, out], env=bench_env(),
                              capture_output=True, text=True)
        line = proc.stdout.split()
        if proc.returncode != 0 or len(line) < 4:
            print(f"{n:<6}{'failed':>12}  {proc.stderr[-200:]}")
            continue
        blocked, files, seconds = float(line[1]), int(line[2]), float(line[3])
        verdict = "ok" if blocked < 100 and files == 2000 else "over target"
        print(f"{n:<6}{blocked:12.1f}{100:11.0f}{files:7d}{seconds:9.1f}  {verdict}")
    shutil.rmtree(out, ignore_errors=True)


def run_rows(reps=5):
    src = benchlib.make_csv(os.path.join(benchlib.DATA, "text-1000000", "orders.csv"), 1_000_000)
    out = os.path.join(benchlib.DATA, "ui-rows-out")
    os.makedirs(out, exist_ok=True)
    variants = ["none", "window", "terminal"]
    wall = {v: [] for v in variants}
    cpu = {v: [] for v in variants}
    for _ in range(reps):
        for v in variants:
            proc = subprocess.run([BENCH, "rows", v, src, out], env=bench_env(),
                                  capture_output=True, text=True)
            line = proc.stdout.split()
            if proc.returncode != 0 or len(line) < 3:
                print(f"  ! rows {v} failed: {proc.stderr[-200:]}")
                continue
            wall[v].append(float(line[1]))
            cpu[v].append(float(line[2]))
    shutil.rmtree(out, ignore_errors=True)
    if not all(cpu[v] for v in variants):
        return
    print(f"\n== Progress reporting on 1,000,000 rows (CSV to text), best of {reps}")
    print(f"{'conversion':<36}{'cpu s':>8}{'cost':>8}{'clock s':>9}{'cost':>8}{'rows/s':>12}  result")
    base_cpu, base_wall = min(cpu["none"]), min(wall["none"])
    names = {"none": "without a listener (no row hook)",
             "window": "Start in the window (worker)",
             "terminal": "command line, progress line"}
    for v in variants:
        c, w = min(cpu[v]), min(wall[v])
        cost_c, cost_w = (c / base_cpu - 1) * 100, (w / base_wall - 1) * 100
        verdict = "" if v == "none" else ("ok" if cost_c < 3 else "over target")
        print(f"{names[v]:<36}{c:8.3f}{cost_c:7.1f}%{w:9.3f}{cost_w:7.1f}%"
              f"{1_000_000 / w:12,.0f}  {verdict}")


def main():
    args = sys.argv[1:]
    if not os.path.exists(BENCH):
        sys.exit("build bench_ui first: cmake --build build --target bench_ui")
    os.makedirs(benchlib.DATA, exist_ok=True)
    if "--skip-window-paths" not in args:
        window_paths()
    if "--skip-run" not in args:
        run_batch()
        run_rows()


def window_paths():
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
