#!/usr/bin/python3
# Makes the table sheets the import is tested with, as other programs write them. Run in this
# folder with Debian's Python (/usr/bin/python3 make_tables.py); LibreOffice (soffice) is used
# when installed, to make the two LibreOffice files from the openpyxl one.
#
# Every table file holds the export's 19 columns under an English header and five rows:
#   1  numbers as numbers, the time as a date-time cell, "PASS"
#   2  numbers as texts, the time as the table's own text (two blanks), serial as a number, "不合格"
#   3  "nan" and "inf" texts in number columns, "合格"
#   4  a short row: its first six cells only (no verdict)
#   5  a time that is no time, "NG"
import datetime
import os
import shutil
import subprocess
import tempfile

import openpyxl
import xlwt

HEADER = ["NO", "Model", "SN", "Name", "Time",
          "Standard L*", "Standard a*", "Standard b*", "Standard C*", "Standard h",
          "Sample L*", "Sample a*", "Sample b*", "Sample C*", "Sample h",
          "△E Formula", "△E Thresholds", "△E", "Result"]

ROWS = [
    [1, "CM-200", "SN0001", "Comp1", datetime.datetime(2026, 12, 7, 2, 56, 30),
     50.12, -1.5, 2.25, 2.7, 123.4, 51, -1.25, 2.5, 2.79, 116.6, "△E*ab", "1.00", 0.95, "PASS"],
    [2, "CM-200", 12345678, "Comp2", "2026/12/08  10:05",
     "40.5", "3", "-4.75", "5.6", "302.1", "41", "2.5", "-5", "5.59", "296.6", "△E*00", "0.50", "1.37", "不合格"],
    [3, "CM-300", "SN0003", "Comp3", "2026/12/09 11:15",
     "nan", 1, 2, 3, 4, 5, 6, 7, 8, 9, "△E*94", "2.00", "inf", "合格"],
    [4, "CM-300", "SN0004", "short", "2026/12/10 12:00", 66.6],
    [5, "CM-300", "SN0005", "Comp5", "yesterday",
     10, 20, 30, 40, 50, 60, 70, 80, 90, 100, "△E*ab", "1.00", 3.5, "NG"],
]


def make_openpyxl(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Table"
    ws.append(HEADER)
    for row in ROWS:
        ws.append(row)
    ws.cell(row=2, column=5).number_format = "yyyy-mm-dd hh:mm:ss"
    wb.save(path)


def make_xlwt(path):
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("Table")
    when = xlwt.easyxf(num_format_str="yyyy-mm-dd hh:mm:ss")
    for c, text in enumerate(HEADER):
        ws.write(0, c, text)
    for r, row in enumerate(ROWS, start=1):
        for c, value in enumerate(row):
            if isinstance(value, datetime.datetime):
                ws.write(r, c, value, when)
            else:
                ws.write(r, c, value)
    wb.save(path)


def make_two_sheets(path):
    # An older file of the same name, with a second sheet the export must not keep.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Old"
    ws.append(["old header"])
    for i in range(30):
        ws.append(["old row %d" % i, i])
    other = wb.create_sheet("Notes")
    other.append(["a note on a second sheet"])
    wb.save(path)


def convert_with_libreoffice(source, fmt, target):
    soffice = shutil.which("soffice")
    if not soffice:
        print("soffice not found: %s not made" % target)
        return
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([soffice, "--headless", "--convert-to", fmt, "--outdir", out, source],
                       check=True, stdout=subprocess.DEVNULL)
        made = os.path.join(out, os.path.splitext(os.path.basename(source))[0] + "." + fmt)
        shutil.copyfile(made, target)


if __name__ == "__main__":
    make_openpyxl("table_openpyxl.xlsx")
    make_xlwt("table_xlwt.xls")
    make_two_sheets("two_sheets.xlsx")
    convert_with_libreoffice("table_openpyxl.xlsx", "xls", "table_lo.xls")
    convert_with_libreoffice("table_openpyxl.xlsx", "xlsx", "table_lo.xlsx")
