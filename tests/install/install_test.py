"""`cmake --install` into a temporary DESTDIR: the layout, the installed program converting
samples into every target from another working folder, and the desktop files checked by
Debian's validators (desktop-file-validate, appstreamcli, man --warnings)."""
import configparser
import csv
import os
import shutil
import struct
import subprocess
import tempfile
import unittest

import dbfread
import xlrd

from install_support import BINARY_DIR, SAMPLES, expected_table, read_csv, run, text_value

PREFIX = "/usr"
ICON_SIZES = [16, 24, 32, 48, 64, 128, 256]
TABLES = ["Customers", "Orders", "Products"]
# Every command-line keyword, and the files the three-table database becomes for it.
TARGETS = {
    "txt": [f"trade_{t}.txt" for t in TABLES],
    "htm": [f"trade_{t}.htm" for t in TABLES],
    "csv": [f"trade_{t}.csv" for t in TABLES],
    "xls": ["trade.xls"],
    "mdb": ["trade.mdb"],
    "dbf": [f"trade_{t}.dbf" for t in TABLES],
    "wk1": [f"trade_{t}.wk1" for t in TABLES],
    "xlsx": ["trade.xlsx"],
    "ods": ["trade.ods"],
}


def setUpModule():
    global ROOT, USR, WORK
    ROOT = tempfile.mkdtemp(prefix="tabulor-destdir-")
    WORK = tempfile.mkdtemp(prefix="tabulor-work-")
    USR = ROOT + PREFIX
    run(["cmake", "--install", BINARY_DIR, "--prefix", PREFIX],
        env=dict(os.environ, DESTDIR=ROOT))


def tearDownModule():
    shutil.rmtree(ROOT, ignore_errors=True)
    shutil.rmtree(WORK, ignore_errors=True)


def installed(path):
    return os.path.join(USR, path)


class Layout(unittest.TestCase):
    def test_program_folder_holds_executable_helpers_and_template(self):
        link = installed("bin/tabulor")
        self.assertTrue(os.path.islink(link))
        # Relative, so the tree works under any DESTDIR and prefix.
        self.assertEqual(os.readlink(link), "../lib/tabulor/tabulor")
        for name in ("tabulor", "tabulor-jet-reader", "Blank.mdb"):
            self.assertTrue(os.path.isfile(installed("lib/tabulor/" + name)), name)
        for name in ("tabulor", "tabulor-jet-reader"):
            self.assertTrue(os.access(installed("lib/tabulor/" + name), os.X_OK), name)
        self.assertEqual(sorted(os.listdir(installed("bin"))), ["tabulor"])

    def test_calc_helper_starts_from_the_program_folder(self):
        helper = installed("lib/tabulor/tabulor-calc-helper")
        if not os.path.exists(os.path.join(BINARY_DIR, "bin", "tabulor-calc-helper")):
            self.skipTest("tabulor-calc-helper is not built here (no LibreOffice SDK)")
        # With its input at end it ends at once; it fails here if its libraries are not found.
        run([helper], stdin=subprocess.DEVNULL)

    def test_version_through_the_link(self):
        self.assertIn("Tabulor 2.6", run([installed("bin/tabulor"), "--version"]).stdout)


class InstalledConversion(unittest.TestCase):
    """The installed program, started through bin/tabulor from an unrelated working folder
    with relative paths, finds its reading helper and Blank.mdb in its program folder."""

    @classmethod
    def setUpClass(cls):
        shutil.copy(os.path.join(SAMPLES, "trade.mdb"), WORK)
        for fmt in TARGETS:
            os.makedirs(os.path.join(WORK, "out", fmt))
            run([installed("bin/tabulor"), "trade.mdb", fmt, "out/" + fmt + "/"], cwd=WORK)

    def out(self, fmt, name=""):
        return os.path.join(WORK, "out", fmt, name)

    def test_every_target_writes_its_files(self):
        for fmt, names in TARGETS.items():
            with self.subTest(format=fmt):
                self.assertEqual(sorted(os.listdir(self.out(fmt))), sorted(names))
                for name in names:
                    self.assertGreater(os.path.getsize(self.out(fmt, name)), 0, name)

    def test_values_read_back(self):
        header, rows = expected_table("db_orders.csv")
        got_header, got = read_csv(self.out("csv", "trade_Orders.csv"))
        self.assertEqual(got_header, header)
        self.assertEqual([[text_value(v) for v in row] for row in got], rows)
        self.assertEqual(run(["mdb-tables", "-1", self.out("mdb", "trade.mdb")]).stdout.split(),
                         TABLES)
        self.assertEqual(xlrd.open_workbook(self.out("xls", "trade.xls")).sheet_names(), TABLES)
        import openpyxl
        self.assertEqual(openpyxl.load_workbook(self.out("xlsx", "trade.xlsx"),
                                                read_only=True).sheetnames, TABLES)
        customers = list(dbfread.DBF(self.out("dbf", "trade_Customers.dbf")))
        _, want = expected_table("customers.csv")
        self.assertEqual([r["REMARKS"] or None for r in customers], [row[5] for row in want])


class DesktopFiles(unittest.TestCase):
    def test_desktop_entry(self):
        path = installed("share/applications/tabulor.desktop")
        result = run(["desktop-file-validate", path])
        # Hints are advice (Office and Utility are both main categories, as intended).
        problems = [line for line in (result.stdout + result.stderr).splitlines()
                    if "hint:" not in line]
        self.assertEqual(problems, [])
        entry = configparser.ConfigParser(interpolation=None)
        entry.optionxform = str
        entry.read(path, encoding="utf-8")
        group = entry["Desktop Entry"]
        self.assertEqual(group["Exec"], "tabulor")
        self.assertEqual(group["Categories"], "Office;Utility;")
        self.assertEqual(set(filter(None, group["MimeType"].split(";"))),
                         {"application/vnd.ms-excel", "application/vnd.ms-access",
                          "application/x-dbf", "text/csv",
                          "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
                          "application/vnd.oasis.opendocument.spreadsheet"})
        self.assertEqual(group["Icon"], "tabulor")

    def test_icons(self):
        icons = installed("share/icons/hicolor")
        self.assertTrue(os.path.isfile(os.path.join(icons, "scalable/apps/tabulor.svg")))
        for size in ICON_SIZES:
            with self.subTest(size=size):
                with open(os.path.join(icons, f"{size}x{size}/apps/tabulor.png"), "rb") as f:
                    head = f.read(24)
                self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
                self.assertEqual(struct.unpack(">II", head[16:24]), (size, size))

    def test_metainfo(self):
        folder = installed("share/metainfo")
        (name,) = os.listdir(folder)
        result = run(["appstreamcli", "validate", "--no-net", os.path.join(folder, name)])
        self.assertNotIn("E:", result.stdout)
        self.assertNotIn("W:", result.stdout)
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            text = f.read()
        self.assertIn('<launchable type="desktop-id">tabulor.desktop</launchable>', text)
        self.assertIn("<screenshot", text)

    def test_man_page_renders_without_warnings(self):
        page = installed("share/man/man1/tabulor.1.gz")
        result = subprocess.run(["man", "--warnings", "-l", page], capture_output=True,
                                text=True, env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        for needed in ("SYNOPSIS", "EXIT STATUS", "EXAMPLES", "--no-office", "--quiet",
                       "~/.config/Orvendi/Tabulor.conf", "txt", "htm", "html", "csv", "xls",
                       "mdb", "dbf", "wk1", "xlsx", "ods"):
            self.assertIn(needed, result.stdout)

    def test_samples_of_every_kind(self):
        examples = os.listdir(installed("share/doc/tabulor/examples"))
        for name in ("orders.csv", "products.txt", "overview.xls", "trade.mdb", "notes.dbf",
                     "notes.dbt", "notes.cpg"):
            self.assertIn(name, examples)


if __name__ == "__main__":
    unittest.main()
