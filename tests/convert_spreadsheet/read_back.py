#!/usr/bin/python3
"""Reads a file the spreadsheet path wrote with an independent reader and prints its rows as
CSV (LF, minimal quoting) for the tests to compare:
  read_back.py csv|tsv FILE      Python's csv module, comma or tab
  read_back.py html FILE         html.parser: the number of <table>s, then the rows of each
  read_back.py dbf FILE          dbfread: the field names, then the records (numbers as %g)
  read_back.py xls FILE [SHEET]  gnumeric's ssconvert: the sheet names, or one sheet's rows
"""
import csv
import glob
import html.parser
import os
import subprocess
import sys
import tempfile

out = csv.writer(sys.stdout, lineterminator="\n")


def text_rows(path, delimiter):
    with open(path, encoding="utf-8", newline="") as f:
        out.writerows(csv.reader(f, delimiter=delimiter))


class Tables(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tables, self.cell = [], None

    def handle_starttag(self, tag, attrs):
        if tag == "table":
            self.tables.append([])
        elif tag == "tr" and self.tables:
            self.tables[-1].append([])
        elif tag in ("td", "th"):
            self.cell = ""

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None and self.tables and self.tables[-1]:
            self.tables[-1][-1].append(self.cell.strip())
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def html_rows(path):
    parser = Tables()
    with open(path, encoding="utf-8") as f:
        parser.feed(f.read())
    out.writerow([str(len(parser.tables))])
    for table in parser.tables:
        out.writerows(table)


def dbf_rows(path):
    import dbfread
    table = dbfread.DBF(path, load=True)
    out.writerow(table.field_names)
    for record in table:
        out.writerow(["" if v is None else "%g" % v if isinstance(v, (int, float)) else str(v)
                      for v in record.values()])


def xls_rows(path, sheet):
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run(["ssconvert", "-S", path, os.path.join(tmp, "%n\t%s.csv")], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        files = sorted(glob.glob(os.path.join(tmp, "*.csv")),
                       key=lambda p: int(os.path.basename(p).split("\t")[0]))
        names = [os.path.basename(p).split("\t", 1)[1][:-4] for p in files]
        if sheet is None:
            out.writerows([n] for n in names)
        else:
            text_rows(files[names.index(sheet)], ",")


kind, path = sys.argv[1], sys.argv[2]
if kind in ("csv", "tsv"):
    text_rows(path, "," if kind == "csv" else "\t")
elif kind == "html":
    html_rows(path)
elif kind == "dbf":
    dbf_rows(path)
elif kind == "xls":
    xls_rows(path, sys.argv[3] if len(sys.argv) > 3 else None)
