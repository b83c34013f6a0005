#!/usr/bin/env python3
"""Grid benchmark: CGridCtrl against Qt's QTableWidget, side by side in one run.

Painting: for 10,000 x 20 and 100,000 x 20 cells each widget is built in a fresh process,
every cell's text is filled, and a 1920 x 1080 client area is painted at the top and after
scrolling to the bottom. Prints fill time, heap bytes per cell (mallinfo2 delta over
building and filling), median paint time per viewport and the process's peak memory, with
QTableWidget's figures as a ratio of ours.

Input latency: on a 100,000 x 20 grid in a 1920 x 1080 view, the time of 1,000 Down-arrow
moves (scrolling once the focus reaches the bottom), of a mouse drag selecting just over
10,000 cells (527 rows x 19 columns, a move per row, scrolling a line when the row is below
the view), of copying a 10,000 x 19 selection to the clipboard (QTableWidget: its own mime
data of the selected indexes) and of sorting all rows by a numeric and by a text column
(QTableWidget: sortItems, the numeric column holding numbers). Every step includes the
repaint it causes. The ratio is QTableWidget's time over ours: above 1 means ours is faster.

Usage: build the target first (cmake --build build --target bench_grid), then
    python3 bench/bench_grid.py [rows ...]      (rows of the painting runs)
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


INPUT_ROWS = 100_000
INPUT_FIGURES = [("arrows_ms", "1,000 arrow moves"), ("drag_ms", "drag over 10,013 cells"),
                 ("copy_ms", "copy 10,000 x 19"), ("sort_number_ms", "sort by numbers"),
                 ("sort_text_ms", "sort by text")]


def input_latency():
    ours, ours_peak, _ = run("grid-input", INPUT_ROWS)
    peer, peer_peak, _ = run("qtablewidget-input", INPUT_ROWS)
    print(f"\nInput latency, {INPUT_ROWS:,} x {COLS} cells (ms; ratio = QTableWidget / ours)")
    print(f"{'':<26}{'CGridCtrl':>11}{'QTableWidget':>14}{'ratio':>8}")
    for key, label in INPUT_FIGURES:
        print(f"{label:<26}{ours[key]:>11.1f}{peer[key]:>14.1f}{peer[key] / ours[key]:>7.2f}x")
    print(f"{'peak memory MB':<26}{ours_peak / 2**20:>11.1f}{peer_peak / 2**20:>14.1f}")


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
    input_latency()


if __name__ == "__main__":
    main()
