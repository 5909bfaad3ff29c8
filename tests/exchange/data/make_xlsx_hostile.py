# Makes the hand-built .xlsx fixtures: small archives that inflate to far
# more than they hold, or escape characters in their texts:
#   /usr/bin/python3 make_xlsx_hostile.py
import zipfile

MAIN = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
PKG = 'http://schemas.openxmlformats.org/package/2006/relationships'


def write(path, sheets, shared=None, sheet_refs=None):
    """sheets: list of sheet part bodies (bytes); sheet_refs: sheet part numbers the workbook
    lists, in order (default: each sheet once)."""
    if sheet_refs is None:
        sheet_refs = list(range(1, len(sheets) + 1))
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr('[Content_Types].xml',
                   '<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/></Types>')
        z.writestr('_rels/.rels', f'<Relationships xmlns="{PKG}"><Relationship Id="rId1" '
                   f'Type="{REL}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
        entries = ''.join(f'<sheet name="S{i + 1}" sheetId="{i + 1}" r:id="rId{n}"/>' for i, n in enumerate(sheet_refs))
        z.writestr('xl/workbook.xml', f'<workbook xmlns="{MAIN}" xmlns:r="{REL}"><sheets>{entries}</sheets></workbook>')
        rels = ''.join(f'<Relationship Id="rId{n}" Type="{REL}/worksheet" Target="worksheets/sheet{n}.xml"/>'
                       for n in range(1, len(sheets) + 1))
        if shared is not None:
            rels += f'<Relationship Id="rIdS" Type="{REL}/sharedStrings" Target="sharedStrings.xml"/>'
        z.writestr('xl/_rels/workbook.xml.rels', f'<Relationships xmlns="{PKG}">{rels}</Relationships>')
        for n, body in enumerate(sheets, 1):
            z.writestr(f'xl/worksheets/sheet{n}.xml', body)
        if shared is not None:
            z.writestr('xl/sharedStrings.xml', shared)


def sheet(cells):
    return f'<worksheet xmlns="{MAIN}"><sheetData>{cells}</sheetData></worksheet>'.encode()


if __name__ == '__main__':
    # Two cells at opposite corners of the largest sheet: a used range of 17 billion cells.
    write('xlsx_far_corner.xlsx', [sheet('<row r="1"><c r="A1"><v>1</v></c></row>'
                                         '<row r="1048576"><c r="XFD1048576"><v>2</v></c></row>')])
    # 300 MB of spaces between two cells.
    write('xlsx_whitespace.xlsx', [b'<worksheet xmlns="' + MAIN.encode() + b'"><sheetData><row r="1"><c r="A1"><v>1</v></c></row>'
                                   + b' ' * (300 << 20) + b'</sheetData></worksheet>'])
    # One shared string of 300 million characters.
    write('xlsx_huge_string.xlsx', [sheet('<row r="1"><c r="A1" t="s"><v>0</v></c></row>')],
          shared=b'<sst xmlns="' + MAIN.encode() + b'"><si><t>' + b'a' * (300 << 20) + b'</t></si></sst>')
    # 16 million empty shared strings.
    write('xlsx_many_strings.xlsx', [sheet('<row r="1"><c r="A1" t="s"><v>0</v></c></row>')],
          shared=b'<sst xmlns="' + MAIN.encode() + b'">' + b'<si><t/></si>' * (16 << 20) + b'</sst>')
    # One sheet part, listed 200 times by the workbook, with one cell in the last row.
    write('xlsx_sheet_listed_200_times.xlsx', [sheet('<row r="1048576"><c r="A1048576"><v>5</v></c></row>')],
          sheet_refs=[1] * 200)
    # Characters stored as _xHHHH_ escapes: a carriage return, a literal "_x000D_" (its
    # underscore escaped as _x005F_), a tab in an inline string and a line feed in a formula's
    # cached text; "_x00zz_" is no escape.
    write('xlsx_escapes.xlsx', [sheet('<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c>'
                                      '<c r="C1" t="inlineStr"><is><t>a_x0009_b</t></is></c>'
                                      '<c r="D1" t="str"><f>"x"</f><v>line_x000A_two</v></c>'
                                      '<c r="E1" t="s"><v>2</v></c></row>')],
          shared=f'<sst xmlns="{MAIN}"><si><t>one_x000D_two</t></si><si><t>_x005F_x000D_</t></si>'
                 f'<si><t>_x00zz_ _x0041_</t></si></sst>')
    # Valid markup in less common forms: single quotes, spaces around "=", attributes in any
    # order, rows and cells without references, empty cells, shared formulas, padded and
    # exponent numbers. Sheet 2 holds the same cells with a character reference ("&#65;").
    odd = ("<row r='1' spans=\"1:4\"><c r='A1' t='s'><v>0</v></c><c t=\"n\" r=\"B1\"  s = \"0\" ><v> 2.5 </v></c>"
           '<c r="C1"/><c r="D1"><f>1+1</f><v>2</v></c></row>'
           '<row><c><v>7</v></c><c t="b"><v>1</v></c><c t="str"><f>"x"</f><v>{text}</v></c></row>'
           '<row r="5"><c r="B5" t="e"><v>#N/A</v></c><c r="C5"><f t="shared" si="0" ref="C5:C6"/><v>1E3</v></c></row>')
    write('xlsx_odd_markup.xlsx', [sheet(odd.format(text='ab')), sheet(odd.format(text='&#97;b'))],
          shared=f'<sst xmlns="{MAIN}"><si><t>x</t></si></sst>')
