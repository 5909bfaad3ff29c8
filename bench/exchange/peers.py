# The peers of the engine's benchmark, as whole processes, doing what sheettool does:
#   peers.py read-xls FILE | read-xlsx FILE     print the first sheet as tab-separated text
#   peers.py write-xls FILE ROWS COLS [--dates] | write-xlsx ...   write the benchmark table
# Reading uses xlrd (.xls) and openpyxl in read-only mode (.xlsx); writing uses xlwt (.xls) and
# openpyxl in write-only mode (.xlsx): each library's fastest way.
import datetime
import sys


def table(rows, cols, dates):
    start = datetime.datetime(2024, 1, 1, 8, 0)
    yield ['Column %d' % (c + 1) for c in range(cols)]
    for r in range(1, rows):
        row = []
        for c in range(cols):
            if c == 0:
                row.append(float(r))
            elif c == 1:
                row.append('Comp%d' % r)
            elif c == cols - 1:
                row.append(start + datetime.timedelta(seconds=61 * r) if dates else ('PASS' if r % 3 else 'NG'))
            else:
                row.append(((r * 7919 + c * 104729) % 20000) / 100.0 - 50.0)
        yield row


def text(v):
    if v is None:
        return ''
    if isinstance(v, float):
        return repr(v)
    if hasattr(v, 'isoformat'):
        return v.isoformat()
    return str(v)


def main():
    mode, path = sys.argv[1], sys.argv[2]
    out = sys.stdout
    if mode == 'read-xls':
        import xlrd
        book = xlrd.open_workbook(path)
        sheet = book.sheet_by_index(0)
        for r in range(sheet.nrows):
            cells = []
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                v = cell.value
                if cell.ctype == xlrd.XL_CELL_DATE:
                    v = xlrd.xldate.xldate_as_datetime(v, book.datemode)
                cells.append(text(v))
            out.write('\t'.join(cells) + '\n')
    elif mode == 'read-xlsx':
        import openpyxl
        book = openpyxl.load_workbook(path, read_only=True)
        for row in book.worksheets[0].iter_rows(values_only=True):
            out.write('\t'.join(text(v) for v in row) + '\n')
    else:
        rows, cols = int(sys.argv[3]), int(sys.argv[4])
        dates = len(sys.argv) > 5 and sys.argv[5] == '--dates'
        if mode == 'write-xls':
            import xlwt
            book = xlwt.Workbook(encoding='utf-8')
            sheet = book.add_sheet('Sheet1')
            style = xlwt.easyxf(num_format_str='yyyy/mm/dd hh:mm:ss')
            for r, row in enumerate(table(rows, cols, dates)):
                for c, v in enumerate(row):
                    if isinstance(v, datetime.datetime):
                        sheet.write(r, c, v, style)
                    else:
                        sheet.write(r, c, v)
            book.save(path)
        else:
            import openpyxl
            book = openpyxl.Workbook(write_only=True)
            sheet = book.create_sheet('Sheet1')
            for row in table(rows, cols, dates):
                sheet.append(row)
            book.save(path)


main()
