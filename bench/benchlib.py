"""Shared helpers of Tabulor's benchmarks: data generation, timing with peak memory per
child process, and the side-by-side report with ratios against the peer tools."""

import os
import random
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TABULOR = os.path.join(ROOT, "build", "bin", "tabulor")
DATA = os.path.join(ROOT, "bench", "data")


def have(program):
    return shutil.which(program) is not None


def measure(cmd, cwd=None, env=None, stdin=None, stdout=subprocess.DEVNULL):
    """Runs cmd (a list, or a string for the shell); returns (seconds, peak RSS in bytes,
    exit status). The peak is that process tree's own largest resident set (ru_maxrss of
    the waited-for child and its descendants as the kernel reports them)."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdin=stdin, stdout=stdout,
                            stderr=subprocess.PIPE, shell=isinstance(cmd, str))
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        print(f"  ! {cmd if isinstance(cmd, str) else ' '.join(cmd)} exited {code}: {err[-300:]}",
              file=sys.stderr)
    return seconds, usage.ru_maxrss * 1024, code


WORDS = ["alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta", "iota",
         "kappa", "lambda", "Müller", "Zoë", "naïve"]


def make_csv(path, rows, seed=7):
    """Writes a CSV of `rows` records and 8 mixed columns (about 100 bytes a row): integer,
    text, decimal, integer, date, boolean, text with commas and quotes, date-time."""
    if os.path.exists(path) and os.path.getsize(path) > 0:
        with open(path, "rb") as f:
            if sum(1 for _ in f) == rows + 1:
                return path
    os.makedirs(os.path.dirname(path), exist_ok=True)
    rnd = random.Random(seed)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write("id,name,price,quantity,shipped,paid,note,updated\n")
        buf = []
        for i in range(1, rows + 1):
            w = WORDS[i % len(WORDS)]
            note = f'"{w}, {WORDS[(i * 7) % len(WORDS)]} ""q"""' if i % 5 == 0 else f"{w} note {i % 97}"
            buf.append(f"{i},{w} {rnd.randint(1, 99999)},{rnd.randint(0, 999999) / 100},"
                       f"{rnd.randint(-500, 500)},20{10 + i % 15:02d}-{1 + i % 12:02d}-{1 + i % 28:02d},"
                       f"{'TRUE' if i % 3 else 'FALSE'},{note},"
                       f"2020-01-{1 + i % 28:02d} {i % 24:02d}:{i % 60:02d}:{(i * 7) % 60:02d}\n")
            if len(buf) == 10000:
                f.write("".join(buf))
                buf.clear()
        f.write("".join(buf))
    return path


def report(title, rows, megabytes, results):
    """results: list of (name, seconds, peak bytes, status). The first entry is Tabulor's;
    every other line gets its time as a ratio of Tabulor's (peer time / Tabulor time)."""
    print(f"\n== {title}: {rows:,} rows, {megabytes:.1f} MB input")
    print(f"{'tool':<34}{'seconds':>9}{'rows/s':>13}{'MB/s':>9}{'peak MB':>9}{'peer/ours':>11}")
    ours = results[0][1]
    for name, seconds, peak, status in results:
        ratio = "" if name == results[0][0] else f"{seconds / ours:10.2f}x"
        failed = "  (failed)" if status != 0 else ""
        print(f"{name:<34}{seconds:9.2f}{rows / seconds:13,.0f}{megabytes / seconds:9.1f}"
              f"{peak / 2**20:9.1f}{ratio:>11}{failed}")
