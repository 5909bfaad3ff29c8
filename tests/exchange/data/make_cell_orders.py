# Makes the fixtures whose cells come in an order or a shape that a reader handing out rows as
# it reads must get right (rows out of order, a cell written twice, values that turn out empty
# at the edges of the used range, a range that starts right of column A and below row 1):
#   /usr/bin/python3 make_cell_orders.py
import struct

from make_biff import (compound, dimension, eof, labelsst, number, rec, save, sst, ustr,
                       workbook)
from make_xlsx_hostile import sheet, write

MAIN = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'


def label(r, c, text):
    return rec(0x0204, struct.pack('<HHH', r, c, 15) + ustr(text))


def boolerr(r, c, value):
    return rec(0x0205, struct.pack('<HHHBB', r, c, 15, value, 0))


if __name__ == '__main__':
    shared = (f'<sst xmlns="{MAIN}"><si><t>a</t></si><si><t></t></si><si><t>far</t></si></sst>').encode()
    write('xlsx_cell_orders.xlsx', [
        # 1: rows out of order: row 3 comes first.
        sheet('<row r="3"><c r="A3"><v>3</v></c></row>'
              '<row r="1"><c r="A1"><v>1</v></c><c r="B1" t="s"><v>0</v></c></row>'
              '<row r="2"><c r="B2"><v>2</v></c></row>'),
        # 2: B1 written twice, the second time empty: the range is A1:A2.
        sheet('<row r="1"><c r="A1"><v>1</v></c><c r="B1"><v>5</v></c><c r="B1"/></row>'
              '<row r="2"><c r="A2"><v>2</v></c></row>'),
        # 3: the used range is C4:E8. Around it only cells without a value: an empty cell in A1,
        # an empty shared string in F4, an empty cached text in C5, an empty value in C9. Rows 6
        # and 7 hold nothing; D5 holds blanks (a text), E8 a boolean, D8 a number in an
        # exponent.
        sheet('<row r="1"><c r="A1" s="0"/></row>'
              '<row r="4"><c r="C4" t="s"><v>0</v></c><c r="D4"><v>4.5</v></c><c r="F4" t="s"><v>1</v></c></row>'
              '<row r="5"><c r="C5" t="str"><v></v></c><c r="D5"><v>  </v></c></row>'
              '<row r="8"><c r="D8"><v>1E3</v></c><c r="E8" t="b"><v>1</v></c></row>'
              '<row r="9"><c r="C9"><v></v></c></row>'),
        # 4: within a row, C1 before A1.
        sheet('<row r="1"><c r="C1"><v>3</v></c><c r="A1"><v>1</v></c></row><row r="2"><c r="B2" t="s"><v>2</v></c></row>'),
        # 5: an inline string, which only the XML reader reads, between plain cells.
        sheet('<row r="1"><c r="A1"><v>1</v></c><c r="B1" t="inlineStr"><is><t>inline</t></is></c></row>'
              '<row r="2"><c r="A2"><v>2</v></c></row>'),
    ], shared=shared)

    strings = sst([ustr('a') + ustr('') + ustr('far')], 3, 3)
    save('biff_cell_orders.xls', compound(workbook([
        # 1: rows out of order: row 3 first.
        ('S1', dimension(0, 3, 0, 2) + number(2, 0, 3) + number(0, 0, 1) + labelsst(0, 1, 0) + number(1, 1, 2)),
        # 2: B1 written twice, the second time as an empty text: the range is A1:A2.
        ('S2', dimension(0, 2, 0, 2) + number(0, 0, 1) + number(0, 1, 5) + label(0, 1, '') + number(1, 0, 2)),
        # 3: the used range is C4:E8; an empty shared string in F4 and an empty text in C9.
        ('S3', dimension(3, 9, 2, 6) + labelsst(3, 2, 0) + number(3, 3, 4.5) + labelsst(3, 5, 1)
         + label(4, 3, '  ') + number(7, 3, 1000) + boolerr(7, 4, 1) + label(8, 2, '')),
        # 4: within a row, C1 before A1.
        ('S4', dimension(0, 2, 0, 3) + number(0, 2, 3) + number(0, 0, 1) + labelsst(1, 1, 2)),
    ], strings)))
