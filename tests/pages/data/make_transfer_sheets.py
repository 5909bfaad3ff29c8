# Makes the sheets tst_transfers uploads, with their check values computed here, independently
# of the program. Run in this folder: /usr/bin/python3 make_transfer_sheets.py
# Then, for the LibreOffice copies (LibreOffice Calc, headless):
#   soffice --headless --convert-to xlsx --outdir lo openpyxl/StdColor.xlsx
#   soffice --headless --convert-to xls --outdir lo mycolor_xlwt.xls
import os
import struct

import openpyxl
import xlwt


def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def field(name, size):
    """GBK bytes cut after the last whole character that fits, zero padded."""
    out = b""
    for ch in name:
        b = ch.encode("gbk")
        if len(out) + len(b) > size:
            break
        out += b
    return out + b"\0" * (size - len(out))


# Standard colour cards: A1 has blanks around and inside the model name "Bench unit 3001".
CARDS = [("Card A", "Set 1", 6, 7), ("标准色卡", "二", 4, 0)]
COLOURS = [
    ("White tile", 95.5, -0.25, 1.75),
    ("Red sample", "50.1234", "-3.5", 12),
    ("红色样品", 0.05, -0.5, "12.999"),
    ("A name far longer than twenty bytes", -0.05, "  45.5 ", 100),
    ("A中文名字中文名字中文名", "1.2.3", "abc", ""),
    ("Slate", 40.19, -2.1, -9.8),
    ("Teal", 52.33, -30.5, -12.34),
    ("Brick", 45.07, 33.11, 28.76),
    ("Ivory", 91.2, -1.05, 12.4),
    ("Last", 0, 0, 0),
]


def std_color_book():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws["A1"] = "  Bench   unit\t3001 "
    ws["A2"] = len(CARDS)
    ws["B2"] = crc16(struct.pack("<H", len(CARDS)))
    for j, (n1, n2, colours, value2) in enumerate(CARDS):
        record = field(n1, 16) + field(n2, 16) + struct.pack("<HH", colours, value2)
        row = 3 + j
        ws.cell(row=row, column=1, value=n1)
        ws.cell(row=row, column=2, value=n2)
        ws.cell(row=row, column=3, value=colours)
        ws.cell(row=row, column=4, value=value2)
        ws.cell(row=row, column=5, value=crc16(record))
    for i, (name, L, a, b) in enumerate(COLOURS):
        row = 50 + i
        for column, value in enumerate((name, L, a, b), start=1):
            if value != "":
                ws.cell(row=row, column=column, value=value)
    # Beyond the colours: not sent.
    ws.cell(row=50 + len(COLOURS), column=1, value="Not sent")
    ws.cell(row=50 + len(COLOURS), column=2, value=11.11)
    return wb


os.makedirs("openpyxl", exist_ok=True)
os.makedirs("lower", exist_ok=True)
std_color_book().save("openpyxl/StdColor.xlsx")
std_color_book().save("lower/stdcolor.xlsx")

# My-colours (xlwt): the layout the download writes, values as texts and as numbers.
MY = [
    ("Ivory", "91.20", "-1.05", "12.40"),
    ("蓝色", 25.5, "-12.34", -1.0),
    ("Fourteen bytes", "0.05", "-0.05", "100"),
    ("A longer name than fits", "12.999", -0.5, 0),
]
value0, value2 = 7, 3
header = struct.pack("<IHH", value0, len(MY), value2)
book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("Sheet1")
for column, value in enumerate(["Bench unit 3001", "", "", ""]):
    sheet.write(0, column, value)
for column, value in enumerate([value0, len(MY), value2, crc16(header)]):
    sheet.write(1, column, value)
for column, value in enumerate(["name", "L*", "a*", "b*"]):
    sheet.write(3, column, value)
for i, row in enumerate(MY):
    for column, value in enumerate(row):
        sheet.write(4 + i, column, value)
book.save("mycolor_xlwt.xls")
