# Makes the sheets tst_transfers uploads, with their check values computed here, independently
# of the program: this script lays out every block itself and computes its CRC-16/MODBUS.
# Run in this folder: /usr/bin/python3 make_transfer_sheets.py
# Then, for the LibreOffice copies (LibreOffice Calc, headless):
#   soffice --headless --convert-to xlsx --outdir lo openpyxl/StdColor.xlsx
#   soffice --headless --convert-to xls --outdir lo mycolor_xlwt.xls
#
# Card information records (instrument address 0x2000 + 48 j): name 1 and name 2 as UTF-8 bytes,
# each followed by zero bytes up to 16, colour count and value 2 as 16-bit little-endian, then the
# block CRC. openpyxl/cards_expected.txt lists, per sheet and card, the 38 bytes the instrument
# must hold afterwards (record and check value), in hex.
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


def card_field(name, encoding="utf-8"):
    """A card name's bytes, zero padded to 16: never cut (a longer name has no field)."""
    b = name.encode(encoding)
    assert len(b) <= 16, name
    return b + b"\0" * (16 - len(b))


def card_record(n1, n2, colours, value2, encoding="utf-8"):
    return card_field(n1, encoding) + card_field(n2, encoding) + struct.pack("<HH", colours, value2)


def field(name, size):
    """GBK bytes cut after the last whole character that fits, zero padded (colour names)."""
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


def std_color_book(cards=CARDS, colours=COLOURS, checks=None):
    """cards: (name 1, name 2, colour count, value 2); checks: the check value per card (default:
    the CRC of the UTF-8 record)."""
    wb = openpyxl.Workbook()
    ws = wb.active
    ws["A1"] = "  Bench   unit\t3001 "
    ws["A2"] = len(cards)
    ws["B2"] = crc16(struct.pack("<H", len(cards)))
    for j, (n1, n2, count, value2) in enumerate(cards):
        row = 3 + j
        ws.cell(row=row, column=1, value=n1)
        if n2:
            ws.cell(row=row, column=2, value=n2)
        ws.cell(row=row, column=3, value=count)
        ws.cell(row=row, column=4, value=value2)
        check = checks[j] if checks else crc16(card_record(n1, n2, count, value2))
        ws.cell(row=row, column=5, value=check)
    for i, (name, L, a, b) in enumerate(colours):
        row = 50 + i
        for column, value in enumerate((name, L, a, b), start=1):
            if value != "":
                ws.cell(row=row, column=column, value=value)
    # Beyond the colours: not sent.
    ws.cell(row=50 + len(colours), column=1, value="Not sent")
    ws.cell(row=50 + len(colours), column=2, value=11.11)
    return wb


def expected_line(sheet, j, record):
    return "%s %d %s" % (sheet, j, (record + struct.pack("<H", crc16(record))).hex())


os.makedirs("openpyxl", exist_ok=True)
os.makedirs("lower", exist_ok=True)
std_color_book().save("openpyxl/StdColor.xlsx")
std_color_book().save("lower/stdcolor.xlsx")
expected = [expected_line("StdColor.xlsx", j, card_record(*card)) for j, card in enumerate(CARDS)]

# Card names at the edges, each sheet with three colours. The test uploads each under the name
# StdColor.xlsx.
FEW = COLOURS[:3]
# Names of exactly 16 UTF-8 bytes (4 Chinese characters and 4 letters; 16 letters), and an empty
# second name.
EXACT = [("红色样品ABCD", "色卡", 2, 1), ("0123456789ABCDEF", "", 1, 0)]
std_color_book(EXACT, FEW).save("openpyxl/cards_exact16.xlsx")
expected += [expected_line("cards_exact16.xlsx", j, card_record(*c)) for j, c in enumerate(EXACT)]
# A sheet made for the instrument's own code page: its check values are over GBK names. The
# first name is 16 bytes in GBK and 24 in UTF-8.
GBK = [("标准色卡二号样本", "Set 2", 2, 0), ("Plain", "色", 1, 2)]
std_color_book(GBK, FEW, [crc16(card_record(*c, encoding="gbk")) for c in GBK]).save("openpyxl/cards_gbk.xlsx")
expected += [expected_line("cards_gbk.xlsx", j, card_record(*c, encoding="gbk")) for j, c in enumerate(GBK)]
# Names longer than 16 UTF-8 bytes, with the check value a tool that cuts them would compute
# (the bytes up to the last whole character within 16): refused, nothing written.
def cut_record(n1, n2, count, value2):
    def cut(name):
        out = b""
        for ch in name:
            if len(out) + len(ch.encode("utf-8")) > 16:
                break
            out += ch.encode("utf-8")
        return out + b"\0" * (16 - len(out))
    return cut(n1) + cut(n2) + struct.pack("<HH", count, value2)


LONG_CHINESE = [("Card A", "Set 1", 2, 0), ("Set 2", "标准色卡二号", 1, 0)]  # 18 bytes
LONG_ASCII = [("0123456789ABCDEFG", "Set 1", 3, 0)]  # 17 bytes
for sheet, cards in (("cards_long_chinese.xlsx", LONG_CHINESE), ("cards_long_ascii.xlsx", LONG_ASCII)):
    std_color_book(cards, FEW, [crc16(cut_record(*c)) for c in cards]).save("openpyxl/" + sheet)

with open("openpyxl/cards_expected.txt", "w") as f:
    f.write("\n".join(expected) + "\n")

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
