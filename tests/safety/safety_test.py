"""A run killed halfway, two runs writing one file at once, a full disk and a read-only folder:
the output folder holds whole files of finished tables only (read back by independent readers),
everything temporary is of ours and the next run removes it, and every failure is reported."""
import csv
import html.parser
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

TABULOR = os.path.join(os.environ["TABULOR_BINARY_DIR"], "bin", "tabulor")
TARGETS = ["txt", "htm", "csv", "xls", "mdb", "dbf", "wk1", "xlsx", "ods"]
EXTENSION = {target: "." + target for target in TARGETS}
ROWS, COLUMNS = 8000, 24  # within every target's limits (Lotus: 8,192 rows)


def write_source(path, rows=ROWS, columns=COLUMNS, noise=False):
    """A CSV table; with `noise`, texts that do not compress (for the zipped targets)."""
    with open(path, "w", newline="") as f:
        out = csv.writer(f)
        out.writerow([f"c{i}" for i in range(columns)])
        for r in range(rows):
            out.writerow([r] + [os.urandom(8).hex() if noise else f"text {r} {c}"
                                for c in range(1, columns)])


class _Rows(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.rows = 0

    def handle_starttag(self, tag, attrs):
        self.rows += tag == "tr"


def data_rows(path):
    """Rows below the header of an output file, as an independent reader counts them."""
    ext = os.path.splitext(path)[1].lower()
    if ext in (".csv", ".txt"):
        with open(path, newline="", encoding="utf-8") as f:
            return len(list(csv.reader(f, delimiter="\t" if ext == ".txt" else ","))) - 1
    if ext == ".htm":
        parser = _Rows()
        with open(path, encoding="utf-8") as f:
            parser.feed(f.read())
        return parser.rows - 1
    if ext == ".xls":
        import xlrd
        return xlrd.open_workbook(path).sheet_by_index(0).nrows - 1
    if ext == ".dbf":
        import dbfread
        return len(list(dbfread.DBF(path)))
    if ext == ".mdb":
        tables = subprocess.run(["mdb-tables", "-1", path], capture_output=True, text=True,
                                check=True).stdout.split()
        assert len(tables) == 1, tables
        dump = subprocess.run(["mdb-export", path, tables[0]], capture_output=True, text=True,
                              check=True).stdout
        return len(list(csv.reader(dump.splitlines()))) - 1
    if ext == ".xlsx":
        import openpyxl
        book = openpyxl.load_workbook(path, read_only=True)
        return sum(1 for _ in book.worksheets[0].iter_rows()) - 1
    if ext in (".wk1", ".ods"):
        with tempfile.TemporaryDirectory() as work:
            out = os.path.join(work, "x.csv")
            subprocess.run(["ssconvert", path, out], capture_output=True, check=True)
            with open(out, newline="") as f:
                return len(list(csv.reader(f))) - 1
    raise AssertionError(path)


def ours(folder):
    return sorted(n for n in os.listdir(folder) if n.startswith(".tabulor~"))


def outputs(folder):
    return sorted(n for n in os.listdir(folder) if not n.startswith(".tabulor~"))


class Safety(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="tabulor-safety-")
        self.src = os.path.join(self.tmp, "src")
        os.mkdir(self.src)

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def run_tabulor(self, *args):
        return subprocess.run([TABULOR, *args], capture_output=True, text=True,
                              env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))

    def test_killed_run_leaves_whole_files_and_the_next_run_cleans_up(self):
        sources = []
        for i in range(6):
            sources.append(os.path.join(self.src, f"part{i}.csv"))
            write_source(sources[-1])
        for target in TARGETS:
            with self.subTest(target=target):
                out = os.path.join(self.tmp, "out-" + target)
                os.mkdir(out)
                proc = subprocess.Popen([TABULOR, *sources, target, out],
                                        stderr=subprocess.DEVNULL)
                # Killed once the first file is in place and the next is being written.
                deadline = time.monotonic() + 60
                while proc.poll() is None and time.monotonic() < deadline:
                    if outputs(out) and ours(out):
                        break
                    time.sleep(0.001)
                proc.send_signal(signal.SIGKILL)
                proc.wait()
                written = outputs(out)
                self.assertLess(len(written), len(sources), f"{target}: not killed halfway")
                for name in written:
                    self.assertEqual(data_rows(os.path.join(out, name)), ROWS, name)
                # What the killed run had staged is removed by the next run into the folder.
                with open(os.path.join(self.src, "tiny.csv"), "w") as f:
                    f.write("a\n1\n")
                again = self.run_tabulor(os.path.join(self.src, "tiny.csv"), "csv", out)
                self.assertEqual(again.returncode, 0, again.stderr)
                self.assertEqual(ours(out), [])

    def test_two_runs_writing_one_database_at_once(self):
        source = os.path.join(self.src, "big.csv")
        write_source(source, rows=200000, columns=6)
        out = os.path.join(self.tmp, "out")
        os.mkdir(out)
        runs = [subprocess.Popen([TABULOR, source, "mdb", out], stderr=subprocess.PIPE,
                                 text=True) for _ in range(2)]
        results = [(p.wait(), p.stderr.read()) for p in runs]
        for p in runs:
            p.stderr.close()
        refused = [err for status, err in results if status != 0]
        for err in refused:
            self.assertIn("another Tabulor run is writing", err)
        self.assertLess(len(refused), 2, results)
        self.assertEqual(outputs(out), ["big.mdb"])
        self.assertEqual(data_rows(os.path.join(out, "big.mdb")), 200000)
        self.assertEqual(ours(out), [])

    def _in_private_mount(self, script):
        """Runs a shell script in a mount namespace of its own (root only)."""
        probe = subprocess.run(["unshare", "-m", "true"], capture_output=True)
        if probe.returncode != 0:
            self.skipTest("no private mount namespace here (needs root): "
                          + probe.stderr.decode().strip())
        return subprocess.run(["unshare", "-m", "--propagation", "private", "sh", "-ec", script],
                              capture_output=True, text=True)

    def test_full_disk_reports_the_file_and_leaves_nothing(self):
        source = os.path.join(self.src, "big.csv")
        write_source(source, noise=True)
        for target in TARGETS:
            with self.subTest(target=target):
                out = os.path.join(self.tmp, "full-" + target)
                os.mkdir(out)
                run = self._in_private_mount(
                    f"mount -t tmpfs -o size=1m tmpfs {out}\n"
                    f"set +e; {TABULOR} {source} {target} {out}; echo status $?; ls -A {out}")
                self.assertIn("status 1", run.stdout, run.stderr)
                self.assertIn("the disk is full", run.stderr)
                self.assertIn(os.path.join(out, "big" + EXTENSION[target]), run.stderr)
                self.assertEqual(run.stdout.strip().splitlines(), ["status 1"], "left behind")

    def test_read_only_folder_names_the_cause(self):
        source = os.path.join(self.src, "small.csv")
        write_source(source, rows=3)
        out = os.path.join(self.tmp, "ro")
        os.mkdir(out)
        for target in ("mdb", "csv", "xls"):
            with self.subTest(target=target):
                run = self._in_private_mount(
                    f"mount --bind {out} {out}; mount -o remount,bind,ro {out}\n"
                    f"set +e; {TABULOR} {source} {target} {out}; echo status $?")
                self.assertIn("status 1", run.stdout, run.stderr)
                self.assertIn("Read-only file system", run.stderr)
                self.assertIn(out, run.stderr)

    def test_missing_output_folder_is_named(self):
        source = os.path.join(self.src, "small.csv")
        write_source(source, rows=3)
        out = os.path.join(self.tmp, "missing")
        for target in ("csv", "mdb", "xlsx", "dbf"):
            with self.subTest(target=target):
                run = subprocess.run([TABULOR, source, target, out], capture_output=True,
                                     text=True, timeout=60)
                self.assertEqual(run.returncode, 1, run.stderr)
                self.assertIn(f"the folder {out} does not exist", run.stderr)
                self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    unittest.main()
