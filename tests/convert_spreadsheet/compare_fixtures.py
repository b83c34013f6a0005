#!/usr/bin/python3
"""Compares what the spreadsheet path wrote for every workbook of the shared fixtures with
the fixtures' expected CSVs, reading each output with an independent reader (read_back.py).
Prints one line per difference and nothing when all agree.

  compare_fixtures.py csv|tsv|html|xls OUTDIR FIXTURES

Outputs are named as the path names them: OUTDIR/<book>_<sheet>.<ext> per sheet (csv, txt,
htm), OUTDIR/<book>.xls for the workbook target.

A workbook target is read back by gnumeric and compared with the expected values exactly
(numbers as doubles). The other targets hold the values as the office shows them, so a
written cell agrees when it is the expected display text, the expected value, the same
number, the same date and time, or the same text apart from spacing and the minus sign.
The CSVs of the text targets start at A1; the expected ones and the web pages start at the
first used cell.

Named exception: namesdemo.xls Sheet3 A26 holds =TODAY(); the file stores 2006-12-07,
which is what must come out, while the expected CSV holds the day it was made.
"""
import csv
import datetime
import io
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import read_back  # noqa: E402

STORED = {("namesdemo.xls", "Sheet3", 25, 0): "2006-12-07"}
EXT = {"csv": "csv", "tsv": "txt", "html": "htm"}


def read_csv(path):
    with open(path, encoding="utf-8", newline="") as f:
        return [row for row in csv.reader(f)]


def trimmed(rows):
    rows = [list(r) for r in rows]
    for row in rows:
        while row and row[-1] == "":
            row.pop()
    while rows and not rows[-1]:
        rows.pop()
    return rows


def cell_position(ref):
    letters, digits = re.match(r"([A-Z]+)(\d+)$", ref).groups()
    col = 0
    for ch in letters:
        col = col * 26 + ord(ch) - 64
    return int(digits) - 1, col - 1


def number(text):
    try:
        return float(text.replace("\u2212", "-").replace(",", ""))
    except ValueError:
        return None


DATE_FORMS = ["%Y/%m/%d", "%Y/%m/%d %H:%M:%S", "%Y-%m-%d", "%m/%d/%Y", "%m/%d/%y",
              "%m/%d/%Y %I:%M:%S %p", "%m/%d/%y %I:%M:%S %p", "%d/%m/%Y", "%A, %B %d, %Y",
              "%H:%M:%S", "%H:%M", "%I:%M:%S %p"]


def moments(text):
    """Every date and time `text` can be read as (day-first and month-first alike)."""
    found = set()
    for form in DATE_FORMS:
        try:
            found.add(datetime.datetime.strptime(text.strip(), form))
        except ValueError:
            pass
    return found


def squeezed(text):
    return re.sub(r"[\s\u200a]+", "", text.replace("\u2212", "-"))


def agrees(got, raw, shown):
    if got in (raw, shown):
        return True
    a, b = number(got), number(raw)
    if a is not None and b is not None and abs(a - b) <= 1e-12 * max(abs(a), abs(b), 1):
        return True
    if moments(got) & (moments(raw) | moments(shown)):
        return True
    return squeezed(got) == squeezed(shown) and got != ""


def main():
    kind, outdir, fixtures = sys.argv[1], sys.argv[2], sys.argv[3]
    xls = os.path.join(fixtures, "xls")
    expected = os.path.join(fixtures, "expected")
    problems = []
    for book in sorted(os.listdir(xls)):
        base = book[:-4]
        with open(os.path.join(expected, book + ".tables.txt"), encoding="utf-8") as f:
            tables = [line.rstrip("\n").split("\t") for line in f if line.strip()]
        workbook = None
        if kind == "xls":
            path = os.path.join(outdir, base + ".xls")
            if not os.path.exists(path):
                problems.append(f"{book}: {path} was not written")
                continue
            workbook = read_back.xls_sheets(path)
            if list(workbook) != [t[0] for t in tables]:
                problems.append(f"{book}: sheets {list(workbook)}, expected "
                                f"{[t[0] for t in tables]}")
        for sheet, first, _last, _visibility in tables:
            raw_path = os.path.join(expected, f"{book}.{sheet}.csv")
            if not os.path.exists(raw_path):
                continue
            raw = trimmed(read_csv(raw_path))
            shown_path = os.path.join(expected, "display", f"{book}.{sheet}.csv")
            shown = trimmed(read_csv(shown_path)) if os.path.exists(shown_path) else raw
            if kind == "xls":
                got = trimmed(workbook.get(sheet, []))
                shown = raw
            else:
                path = os.path.join(outdir, f"{base}_{sheet}.{EXT[kind]}")
                if not os.path.exists(path):
                    problems.append(f"{book} [{sheet}]: {path} was not written")
                    continue
                if kind == "html":
                    tables_found = read_back.html_tables(path)
                    if len(tables_found) > 1:
                        problems.append(f"{book} [{sheet}]: {len(tables_found)} tables in one page")
                    got = trimmed(tables_found[0] if tables_found else [])
                else:
                    got = read_back.text_rows(path, "," if kind == "csv" else "\t")
                    row0, col0 = cell_position(first) if first != "-" else (0, 0)
                    got = trimmed([row[col0:] for row in got[row0:]])
            height = max(len(got), len(raw))
            for r in range(height):
                width = max(len(got[r]) if r < len(got) else 0, len(raw[r]) if r < len(raw) else 0)
                for c in range(width):
                    g = got[r][c] if r < len(got) and c < len(got[r]) else ""
                    w = raw[r][c] if r < len(raw) and c < len(raw[r]) else ""
                    s = shown[r][c] if r < len(shown) and c < len(shown[r]) else w
                    w, s = (STORED[(book, sheet, r, c)],) * 2 if (book, sheet, r, c) in STORED \
                        else (w, s)
                    if not agrees(g, w, s):
                        problems.append(f"{book} [{sheet}] row {r + 1} column {c + 1}: "
                                        f"wrote {g!r}, the file holds {w!r} (shown {s!r})")
    for line in problems:
        print(line)


if __name__ == "__main__":
    main()
