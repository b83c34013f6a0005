"""The samples the build writes (build/samples), read back by independent readers: xlrd for
the workbook, mdbtools for the Jet database, dbfread for the dBase table and its memo. Each
table must hold exactly the values of the CSV table it was made from, with its types."""
import csv
import datetime
import io
import os
import unittest

import dbfread
import xlrd

from install_support import SAMPLES, expected_table, run, text_value

WORKBOOK_SHEETS = [("Commandes été", "orders.csv"), ("Städte", "cities.csv"),
                   ("商品", "products.csv")]
DATABASE_TABLES = [("Customers", "customers.csv"), ("Orders", "db_orders.csv"),
                   ("Products", "db_products.csv")]


def xls_value(cell, datemode):
    if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
        return None
    if cell.ctype == xlrd.XL_CELL_DATE:
        return xlrd.xldate.xldate_as_datetime(cell.value, datemode)
    if cell.ctype == xlrd.XL_CELL_BOOLEAN:
        return bool(cell.value)
    if cell.ctype == xlrd.XL_CELL_NUMBER:
        return float(cell.value)
    return cell.value


class WorkbookSample(unittest.TestCase):
    def test_sheets_hold_the_source_tables_with_their_types(self):
        book = xlrd.open_workbook(os.path.join(SAMPLES, "overview.xls"))
        self.assertEqual(book.sheet_names(), [name for name, _ in WORKBOOK_SHEETS])
        for name, source in WORKBOOK_SHEETS:
            with self.subTest(sheet=name):
                header, rows = expected_table(source)
                sheet = book.sheet_by_name(name)
                self.assertEqual(sheet.row_values(0), header)
                got = [[xls_value(sheet.cell(r, c), book.datemode) for c in range(sheet.ncols)]
                       for r in range(1, sheet.nrows)]
                self.assertEqual(got, rows)

    def test_kinds_of_value(self):
        # The comparison above holds only if the sample has every kind the tests promise.
        book = xlrd.open_workbook(os.path.join(SAMPLES, "overview.xls"))
        kinds = {sheet.cell(r, c).ctype for sheet in book.sheets()
                 for r in range(1, sheet.nrows) for c in range(sheet.ncols)}
        self.assertTrue({xlrd.XL_CELL_DATE, xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_BOOLEAN,
                         xlrd.XL_CELL_TEXT} <= kinds)
        longest = max(len(str(v)) for sheet in book.sheets() for r in range(sheet.nrows)
                      for v in sheet.row_values(r))
        self.assertGreater(longest, 200)


class DatabaseSample(unittest.TestCase):
    path = os.path.join(SAMPLES, "trade.mdb")

    def test_tables(self):
        listed = run(["mdb-tables", "-1", self.path]).stdout.split()
        self.assertEqual(sorted(listed), sorted(name for name, _ in DATABASE_TABLES))

    def test_tables_hold_the_source_tables(self):
        for name, source in DATABASE_TABLES:
            with self.subTest(table=name):
                header, rows = expected_table(source)
                out = run(["mdb-export", "-D", "%Y-%m-%d", "-T", "%Y-%m-%d %H:%M:%S", self.path,
                           name]).stdout
                got = list(csv.reader(io.StringIO(out)))
                self.assertEqual(got[0], header)
                # mdb-export writes Yes/No fields as 1 and 0.
                want = [[float(v) if isinstance(v, bool) else v for v in row] for row in rows]
                self.assertEqual([[text_value(v) for v in row] for row in got[1:]], want)


class DbaseSample(unittest.TestCase):
    def test_table_and_memo_hold_the_source_table(self):
        # The table holds Cyrillic text, so it is written in UTF-8, as notes.cpg declares.
        with open(os.path.join(SAMPLES, "notes.cpg"), encoding="ascii") as f:
            self.assertEqual(f.read().strip(), "UTF-8")
        table = dbfread.DBF(os.path.join(SAMPLES, "notes.dbf"), encoding="utf-8",
                            char_decode_errors="strict")
        header, rows = expected_table("notes.csv")
        self.assertEqual([f.lower() for f in table.field_names], [h.lower() for h in header])
        self.assertIn("M", [f.type for f in table.fields], "the long text is a memo field")
        got = []
        for record in table:
            row = []
            for v in record.values():
                if isinstance(v, datetime.date):
                    v = datetime.datetime(v.year, v.month, v.day)
                elif isinstance(v, (int, float)) and not isinstance(v, bool):
                    v = float(v)
                elif v == "":
                    v = None
                row.append(v)
            got.append(row)
        self.assertEqual(got, rows)
        self.assertTrue(any(isinstance(v, str) and len(v.encode()) > 254
                            for row in got for v in row))


if __name__ == "__main__":
    unittest.main()
