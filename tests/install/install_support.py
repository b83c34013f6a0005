"""Shared by the install tests: the build's folders, and values read by independent readers
brought to one comparable form (None, bool, float, datetime or str)."""
import csv
import datetime
import os
import re
import subprocess

BINARY_DIR = os.environ["TABULOR_BINARY_DIR"]
SOURCE_DIR = os.environ["TABULOR_SOURCE_DIR"]
SAMPLES = os.path.join(BINARY_DIR, "samples")
SAMPLE_SOURCES = os.path.join(BINARY_DIR, "sample-sources")

_DATE = re.compile(r"^\d{4}-\d{2}-\d{2}( \d{2}:\d{2}:\d{2})?$")
_NUMBER = re.compile(r"^-?\d+(\.\d+)?$")


def text_value(text):
    """The value a field of the samples' CSV files (or a reader's text output) stands for."""
    if text == "":
        return None
    if text in ("TRUE", "FALSE"):
        return text == "TRUE"
    if _NUMBER.match(text):
        return float(text)
    if _DATE.match(text):
        fmt = "%Y-%m-%d %H:%M:%S" if " " in text else "%Y-%m-%d"
        return datetime.datetime.strptime(text, fmt)
    return text


def read_csv(path):
    """Header and rows of a CSV file as text."""
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    return rows[0], rows[1:]


def expected_table(csv_name):
    """Header and typed rows of one of the CSV tables the samples were made from."""
    header, rows = read_csv(os.path.join(SAMPLE_SOURCES, csv_name))
    return header, [[text_value(v) for v in row] for row in rows]


def run(args, **kwargs):
    """Runs a command, failing with its output when it fails."""
    result = subprocess.run(args, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        raise AssertionError(
            f"{args} exited {result.returncode}\n{result.stdout}\n{result.stderr}")
    return result
