# Makes openpyxl_types.xlsx: /usr/bin/python3 make_openpyxl.py
import datetime
import openpyxl

wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Data"
ws.append(["Name", "Value", "When", "Flag", "Note"])
ws.append(["alpha", 1, datetime.datetime(2024, 3, 5, 14, 30, 15), True, "中文"])
ws.append(["beta", 2.5, datetime.date(2023, 12, 31), False, None])
ws.append(["γ", -3.25, datetime.time(6, 7, 8), None, "x"])
ws.append([None, 1234567, None, None, None])
ws["C2"].number_format = "dd.mm.yyyy hh:mm:ss"   # custom date format
ws["C3"].number_format = "mm-dd-yy"              # built-in format 14
other = wb.create_sheet("Other")
other["A1"] = "second"
other["B2"] = 42
wb.save("openpyxl_types.xlsx")
