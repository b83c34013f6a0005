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
    exit status). The peak is read by GNU time (package `time`) around the command, so it
    is the command's own largest resident set, not that of the forked Python parent."""
    import tempfile
    shell = isinstance(cmd, str)
    argv = ["sh", "-c", cmd] if shell else list(cmd)
    timefile = None
    if os.path.exists("/usr/bin/time"):
        fd, timefile = tempfile.mkstemp(prefix="bench-rss-")
        os.close(fd)
        argv = ["/usr/bin/time", "-f", "%M", "-o", timefile] + argv
    start = time.perf_counter()
    proc = subprocess.Popen(argv, cwd=cwd, env=env, stdin=stdin, stdout=stdout,
                            stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    code = os.waitstatus_to_exitcode(status)
    peak = usage.ru_maxrss * 1024
    if timefile:
        try:
            with open(timefile) as f:
                lines = [l for l in f.read().split() if l.isdigit()]
            if lines:
                peak = int(lines[-1]) * 1024
        finally:
            os.unlink(timefile)
    if code != 0:
        print(f"  ! {cmd if shell else ' '.join(cmd)} exited {code}: {err[-300:]}",
              file=sys.stderr)
    return seconds, peak, code


WORDS = ["alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta", "iota",
         "kappa", "lambda", "Müller", "Zoë", "naïve"]


GENERATOR_VERSION = "2"


def make_csv(path, rows, seed=7):
    """Writes a CSV of `rows` records and 8 mixed columns (about 100 bytes a row): integer,
    text, decimal, integer, date, boolean, text with commas and quotes, date-time. A file
    made earlier by this same generator for the same row count is reused."""
    stamp = path + ".gen"
    wanted = f"{GENERATOR_VERSION} {rows} {seed}"
    if os.path.exists(path) and os.path.exists(stamp):
        with open(stamp) as f:
            if f.read().strip() == wanted:
                return path
    os.makedirs(os.path.dirname(path), exist_ok=True)
    rnd = random.Random(seed)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write("id,name,price,quantity,shipped,paid,note,updated\n")
        buf = []
        for i in range(1, rows + 1):
            w = WORDS[i % len(WORDS)]
            note = (f'"{w}, {WORDS[(i * 7) % len(WORDS)]} ""quoted"" remark"' if i % 5 == 0
                    else f"{w} delivery note number {i % 97}")
            buf.append(f"{i},{w} customer {rnd.randint(1, 99999)},{rnd.randint(0, 999999) / 100},"
                       f"{rnd.randint(-500, 500)},20{10 + i % 15:02d}-{1 + i % 12:02d}-{1 + i % 28:02d},"
                       f"{'TRUE' if i % 3 else 'FALSE'},{note},"
                       f"2020-01-{1 + i % 28:02d} {i % 24:02d}:{i % 60:02d}:{(i * 7) % 60:02d}\n")
            if len(buf) == 10000:
                f.write("".join(buf))
                buf.clear()
        f.write("".join(buf))
    with open(stamp, "w") as f:
        f.write(wanted + "\n")
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
