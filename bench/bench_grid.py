#!/usr/bin/env python3
"""Grid benchmark: CGridCtrl against Qt's QTableWidget, side by side in one run.

For 10,000 x 20 and 100,000 x 20 cells each widget is built in a fresh process, every
cell's text is filled, and a 1920 x 1080 client area is painted at the top and after
scrolling to the bottom. Prints fill time, heap bytes per cell (mallinfo2 delta over
building and filling), median paint time per viewport and the process's peak memory, with
QTableWidget's figures as a ratio of ours.

Usage: build the target first (cmake --build build --target bench_grid), then
    python3 bench/bench_grid.py [rows ...]
"""

import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402

BENCH = os.path.join(benchlib.ROOT, "build", "bin", "bench_grid")
COLS = 20


def run(widget, rows):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    with tempfile.TemporaryFile("w+") as out:
        seconds, peak, status = benchlib.measure([BENCH, widget, str(rows), str(COLS)],
                                                 env=env, stdout=out)
        out.seek(0)
        text = out.read()
    figures = dict(item.split("=", 1) for item in text.split())
    return {k: float(v) for k, v in figures.items()}, peak, status


def main():
    if not os.path.exists(BENCH):
        sys.exit(f"{BENCH} not found: cmake --build build --target bench_grid")
    sizes = [int(a) for a in sys.argv[1:]] or [10_000, 100_000]
    print(f"{'widget':<14}{'cells':>11}{'fill s':>9}{'B/cell':>9}{'top ms':>9}"
          f"{'bottom ms':>11}{'peak MB':>9}   peer/ours (B/cell, top, bottom)")
    for rows in sizes:
        ours, ours_peak, _ = run("grid", rows)
        peer, peer_peak, _ = run("qtablewidget", rows)
        for name, f, peak in (("CGridCtrl", ours, ours_peak), ("QTableWidget", peer, peer_peak)):
            ratio = ""
            if f is peer:
                ratio = (f"   {peer['bytes_per_cell'] / ours['bytes_per_cell']:.2f}x, "
                         f"{peer['paint_top_ms'] / ours['paint_top_ms']:.2f}x, "
                         f"{peer['paint_bottom_ms'] / ours['paint_bottom_ms']:.2f}x")
            print(f"{name:<14}{f['cells']:>11,.0f}{f['fill_s']:>9.2f}{f['bytes_per_cell']:>9.1f}"
                  f"{f['paint_top_ms']:>9.2f}{f['paint_bottom_ms']:>11.2f}{peak / 2**20:>9.1f}{ratio}")


if __name__ == "__main__":
    main()
