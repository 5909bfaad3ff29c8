#!/usr/bin/env python3
"""Reads an export of the history back with Python's own readers (csv, openpyxl, xlrd) and
compares it, row by row, with the history read by Python's sqlite3 (psycopg2 for a server): the table's 19 columns
formatted as the table shows them (two decimals, one for the hue angles, exact ties away from zero, up to six significant
digits for the number, "-----" for a missing ΔE), then for CSV the time stored, origin and file.

    check_export.py csv|xlsx|xls EXPORT HISTORY 'WHERE ...'

Prints "ok N" (N rows) or the first difference. The header row is checked too.
"""
import csv
import math
import sys

from historydb import connect
from decimal import ROUND_HALF_UP, Decimal

HEADER = ["NO", "Model", "SN", "Name", "Time", "Standard L*", "Standard a*", "Standard b*", "Standard C*",
          "Standard h", "Sample L*", "Sample a*", "Sample b*", "Sample C*", "Sample h", "\u25b3E Formula",
          "\u25b3E Thresholds", "\u25b3E", "Result"]


def num(value, decimals):
    if value is None or (isinstance(value, float) and not math.isfinite(value)):
        return "-----"
    # The table's texts round an exact tie away from zero (347.25 shows as 347.3), where
    # Python's "%.1f" would go to the even digit: the exact binary value, rounded half up.
    return str(Decimal(value).quantize(Decimal(1).scaleb(-decimals), rounding=ROUND_HALF_UP))


def sequence(value):
    text = "%.6g" % value
    return text


def guarded(text):
    # what a spreadsheet would take for a formula starts with an apostrophe in the CSV
    if text and (text[0] in "=+@\t\r" or (text[0] == "-" and len(text) > 1 and not text[1].isdigit()
                                          and text[1] != ".")):
        return "'" + text
    return text


def expected_rows(db, where, with_extra):
    query = ("SELECT sequence_no, device_name, serial_number, test_name, time_text, std_l, std_a, std_b, std_c, "
             "std_h, smp_l, smp_a, smp_b, smp_c, smp_h, formula_text, threshold_text, delta_e, verdict, stored_at, "
             "origin, origin_file FROM measurements m " + where + " ORDER BY stored_at, id")
    for r in db.rows(query):
        row = [sequence(r[0]), r[1] or "", r[2] or "", r[3] or "", r[4] or ""]
        row += [num(r[5 + i], 1 if i == 4 else 2) for i in range(5)]
        row += [num(r[10 + i], 1 if i == 4 else 2) for i in range(5)]
        row += [r[15] or "", r[16] or "", num(r[17], 2), r[18] or ""]
        if with_extra:
            row += [r[19], r[20], r[21] or ""]
        yield row


def main(kind, export, history, where):
    db = connect(history)
    if kind == "csv":
        with open(export, newline="", encoding="utf-8") as f:
            data = f.read()
        lines = list(csv.reader(data.splitlines(keepends=True)))
        expected = [HEADER + ["Stored (UTC)", "Origin", "Origin file"]]
        expected += [[guarded(t) for t in row] for row in expected_rows(db, where, True)]
        if not data.endswith("\r\n"):
            print("the last line does not end in CRLF")
            return
    elif kind == "xlsx":
        import openpyxl
        sheet = openpyxl.load_workbook(export, read_only=True).worksheets[0]
        lines = [["" if c is None else str(c) for c in row] for row in sheet.iter_rows(values_only=True)]
        # A sheet written as it streams carries no dimension, and openpyxl's read-only mode then
        # gives each row as far as its last cell: empty cells at a row's end are still cells.
        lines = [row + [""] * (len(HEADER) - len(row)) for row in lines]
        expected = [HEADER] + list(expected_rows(db, where, False))
    else:
        import xlrd
        sheet = xlrd.open_workbook(export).sheet_by_index(0)
        lines = [[str(sheet.cell_value(r, c)) for c in range(sheet.ncols)] for r in range(sheet.nrows)]
        expected = [HEADER] + list(expected_rows(db, where, False))
    for i, (got, want) in enumerate(zip(lines, expected)):
        if got != want:
            fields = [(c, g, w) for c, (g, w) in enumerate(zip(got, want)) if g != w]
            print("line %d differs in (column, read, expected) %r, %d fields read, %d expected"
                  % (i, fields, len(got), len(want)))
            return
    if len(lines) != len(expected):
        print("%d lines, %d expected" % (len(lines), len(expected)))
        return
    print("ok %d" % (len(lines) - 1))


if __name__ == "__main__":
    main(*sys.argv[1:5])
