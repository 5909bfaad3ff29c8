# Makes xlwt_types.xls: /usr/bin/python3 make_xlwt.py
import datetime
import xlwt

wb = xlwt.Workbook(encoding="utf-8")
ws = wb.add_sheet("Data")
dt = xlwt.easyxf(num_format_str="yyyy-mm-dd hh:mm:ss")
d = xlwt.easyxf(num_format_str="yyyy-mm-dd")
t = xlwt.easyxf(num_format_str="hh:mm:ss")
for c, h in enumerate(["Name", "Value", "When", "Flag", "Note"]):
    ws.write(0, c, h)
ws.write(1, 0, "alpha"); ws.write(1, 1, 1); ws.write(1, 2, datetime.datetime(2024, 3, 5, 14, 30, 15), dt)
ws.write(1, 3, True); ws.write(1, 4, "中文")
ws.write(2, 0, "beta"); ws.write(2, 1, 2.5); ws.write(2, 2, datetime.date(2023, 12, 31), d); ws.write(2, 3, False)
ws.write(3, 0, "γ"); ws.write(3, 1, -3.25); ws.write(3, 2, datetime.time(6, 7, 8), t); ws.write(3, 4, "x")
ws.write(4, 1, 1234567)
other = wb.add_sheet("Other")
other.write(0, 0, "second"); other.write(1, 1, 42)
wb.save("xlwt_types.xls")
