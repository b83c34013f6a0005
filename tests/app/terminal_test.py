#!/usr/bin/env python3
"""The command line on a terminal. Standard error on a pseudo-terminal shows one progress
line rewritten in place (file i/N, name, rows), cut to the terminal's width and cleared at
the end; standard output never shows it, nor does standard error when it is not a terminal
or with --quiet. Ctrl+C (SIGINT) stops a run as Cancel does: exit status 130, the files
before the interrupted one whole, nothing of it and nothing after it, no staging left."""

import fcntl
import os
import pty
import re
import select
import signal
import struct
import subprocess
import tempfile
import termios
import time
import unittest

TABULOR = os.path.join(os.environ["TABULOR_BINARY_DIR"], "bin", "tabulor")
ENV = {k: v for k, v in os.environ.items()
       if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}


def write_csv(path, rows):
    with open(path, "w") as f:
        f.write("id,name,qty\n")
        f.writelines(f"{i},name{i},{i % 97}\n" for i in range(1, rows + 1))


def run_on_terminal(args, columns=80, on_output=None, timeout=120):
    """Runs tabulor with standard error on a pseudo-terminal of `columns` columns and
    standard output on a pipe. on_output(proc, seen) is called with all terminal output so
    far after every read. Returns (exit status, standard output, terminal output)."""
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
    proc = subprocess.Popen([TABULOR] + args, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=slave, env=ENV)
    os.close(slave)
    seen = b""
    deadline = time.monotonic() + timeout
    try:
        while time.monotonic() < deadline:
            ready, _, _ = select.select([master], [], [], 0.5)
            if not ready:
                if proc.poll() is not None:
                    break
                continue
            try:
                data = os.read(master, 65536)
            except OSError:  # EIO: the child's side is closed
                break
            if not data:
                break
            seen += data
            if on_output:
                on_output(proc, seen)
    finally:
        os.close(master)
    if proc.poll() is None and time.monotonic() >= deadline:
        proc.kill()
    status = proc.wait()
    stdout = proc.stdout.read()
    proc.stdout.close()
    return status, stdout, seen


class Terminal(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        self.out = os.path.join(self.dir, "out")
        os.mkdir(self.out)

    def tearDown(self):
        self.tmp.cleanup()

    def src(self, name, rows):
        path = os.path.join(self.dir, name)
        write_csv(path, rows)
        return path

    def test_progress_line_in_place_and_cleared(self):
        files = [self.src("a.csv", 3), self.src("a_file_with_a_long_name_that_is_cut.csv", 50000),
                 self.src("c.csv", 3)]
        status, stdout, term = run_on_terminal(files + ["txt", self.out], columns=40)
        self.assertEqual(status, 0, term)
        self.assertEqual(stdout, b"")
        self.assertNotIn(b"\n", term)  # one line, rewritten
        self.assertTrue(term.startswith(b"\r[1/3] a.csv"), term)
        self.assertIn(b"\r[3/3] c.csv", term)
        self.assertTrue(term.endswith(b"\r\x1b[K"), term[-40:])  # cleared at the end
        for drawn in term.split(b"\r"):
            self.assertLess(len(drawn.replace(b"\x1b[K", b"").decode()), 40, drawn)
        self.assertEqual(sorted(os.listdir(self.out)),
                         ["a.txt", "a_file_with_a_long_name_that_is_cut.txt", "c.txt"])

    def test_nothing_without_a_terminal_or_with_quiet(self):
        files = [self.src("a.csv", 3), self.src("b.csv", 3)]
        piped = subprocess.run([TABULOR] + files + ["csv", self.out], env=ENV,
                               capture_output=True)
        self.assertEqual((piped.returncode, piped.stdout, piped.stderr), (0, b"", b""))
        status, stdout, term = run_on_terminal(["--quiet"] + files + ["txt", self.out])
        self.assertEqual((status, stdout, term), (0, b"", b""))

    def test_ctrl_c_stops_like_cancel(self):
        first = self.src("a.csv", 3)
        big = self.src("big.csv", 1_500_000)
        last = self.src("z.csv", 3)

        def interrupt(proc, seen):
            # Once rows of the big file are being written.
            if not hasattr(proc, "interrupted") and re.search(rb"big\.csv[^\r]*, [1-9][\d,]* rows",
                                                              seen):
                proc.interrupted = True
                proc.send_signal(signal.SIGINT)

        status, stdout, term = run_on_terminal([first, big, last, "txt", self.out],
                                               on_output=interrupt)
        self.assertEqual(status, 130, term[-300:])
        self.assertEqual(stdout, b"")
        self.assertIn(b"Tabulor: Conversion cancelled during " + big.encode(), term)
        self.assertEqual(os.listdir(self.out), ["a.txt"])  # no partial file, no staging
        with open(os.path.join(self.out, "a.txt")) as f:
            self.assertEqual(len(f.read().splitlines()), 4)


if __name__ == "__main__":
    unittest.main()
