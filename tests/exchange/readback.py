# Prints every sheet of a spreadsheet as JSON, read by an independent
# reader: xlrd for .xls, openpyxl for .xlsx. Exit code 3 when the module is
# missing, so that the calling test can skip instead of failing.
#   readback.py xls|xlsx FILE
import json
import sys

kind, path = sys.argv[1], sys.argv[2]


def tag(value):
    if value is None or value == "":
        return None
    if isinstance(value, bool):
        return {"b": value}
    if isinstance(value, (int, float)):
        return {"n": float(value)}
    if hasattr(value, "isoformat"):
        return {"d": value.isoformat()}
    return {"s": str(value)}


sheets = []
if kind == "xls":
    try:
        import xlrd
    except ImportError:
        sys.exit(3)
    book = xlrd.open_workbook(path)
    for sheet in book.sheets():
        rows = []
        for r in range(sheet.nrows):
            row = []
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_DATE:
                    row.append(tag(xlrd.xldate.xldate_as_datetime(cell.value, book.datemode)))
                elif cell.ctype == xlrd.XL_CELL_BOOLEAN:
                    row.append(tag(bool(cell.value)))
                else:
                    row.append(tag(cell.value))
            rows.append(row)
        sheets.append({"name": sheet.name, "rows": rows})
else:
    try:
        import openpyxl
    except ImportError:
        sys.exit(3)
    book = openpyxl.load_workbook(path)
    for sheet in book.worksheets:
        rows = [[tag(v) for v in row] for row in sheet.iter_rows(values_only=True)]
        sheets.append({"name": sheet.title, "rows": rows})
json.dump(sheets, sys.stdout, ensure_ascii=False)
