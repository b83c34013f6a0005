#!/usr/bin/python3
"""Reads a file the spreadsheet path wrote with an independent reader and prints its rows as
CSV (LF, minimal quoting) for the tests to compare:
  read_back.py csv|tsv FILE      Python's csv module, comma or tab
  read_back.py html FILE         html.parser: the number of <table>s, then the rows of each
                                 (<br> as a line break, merged cells spread over their span)
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


def text_rows(path, delimiter):
    with open(path, encoding="utf-8", newline="") as f:
        return [row for row in csv.reader(f, delimiter=delimiter)]


class Tables(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tables, self.cell, self.spans = [], None, []

    def handle_starttag(self, tag, attrs):
        if tag == "table":
            self.tables.append([])
            self.spans = []
        elif tag == "tr" and self.tables:
            self.tables[-1].append([])
        elif tag in ("td", "th"):
            self.cell = ""
            attrs = dict(attrs)
            self.span = (int(attrs.get("rowspan") or 1), int(attrs.get("colspan") or 1))
        elif tag == "br" and self.cell is not None:
            self.cell += "\n"

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None and self.tables and self.tables[-1]:
            rows = self.tables[-1]
            row = rows[-1]
            # Cells of rows above that span down into this row come first.
            while (len(rows) - 1, len(row)) in self.spans:
                row.append("")
            rowspan, colspan = self.span
            row.append(self.cell.strip())
            for extra in range(colspan - 1):
                row.append("")
            for down in range(1, rowspan):
                for across in range(colspan):
                    self.spans.append((len(rows) - 1 + down, len(row) - colspan + across))
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data.replace("\n", " ")


def html_tables(path):
    parser = Tables()
    with open(path, encoding="utf-8") as f:
        parser.feed(f.read())
    return parser.tables


def dbf_rows(path):
    import dbfread
    table = dbfread.DBF(path, load=True)
    rows = [list(table.field_names)]
    for record in table:
        rows.append(["" if v is None else "%g" % v if isinstance(v, (int, float)) else str(v)
                     for v in record.values()])
    return rows


def xls_sheets(path):
    """{sheet name: rows} in the workbook's order, as gnumeric reads them."""
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run(["ssconvert", "-S", path, os.path.join(tmp, "%n\t%s.csv")], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        files = sorted(glob.glob(os.path.join(tmp, "*.csv")),
                       key=lambda p: int(os.path.basename(p).split("\t")[0]))
        return {os.path.basename(p).split("\t", 1)[1][:-4]: text_rows(p, ",") for p in files}


def main():
    out = csv.writer(sys.stdout, lineterminator="\n")
    kind, path = sys.argv[1], sys.argv[2]
    if kind in ("csv", "tsv"):
        out.writerows(text_rows(path, "," if kind == "csv" else "\t"))
    elif kind == "html":
        tables = html_tables(path)
        out.writerow([str(len(tables))])
        for table in tables:
            out.writerows(table)
    elif kind == "dbf":
        out.writerows(dbf_rows(path))
    elif kind == "xls":
        sheets = xls_sheets(path)
        if len(sys.argv) > 3:
            out.writerows(sheets[sys.argv[3]])
        else:
            out.writerows([name] for name in sheets)


if __name__ == "__main__":
    main()
