"""Writes the reader fixtures into the folder given: fixture.xls with xlwt, fixture.xlsx with
openpyxl, cached.xlsx with xlsxwriter (a formula with its stored result, rich text) and
oversized.xls, a damaged copy of fixture.xls."""
import os
import sys

import openpyxl
import xlsxwriter
import xlwt

folder = sys.argv[1]

# Sheet "清单": what a clerk's workbook holds. Sheet "空表" is empty, "Data 2" has one cell.
ROWS = [
    ["序号", "收款人", "账号", "金额", "备注"],
    [1, "上海某某贸易有限公司", "6222021234567890123", 12345.5, None],
    [2, "李四", 6222021234567890123, 1234567890.25, "货款"],
    [123456789012345, "", None, 0.1, -3],
]


def write_xls():
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("清单")
    for r, row in enumerate(ROWS):
        for c, value in enumerate(row):
            if value is not None:
                sheet.write(r, c, value)
    sheet.write(4, 0, xlwt.Formula("A2*2"))
    book.add_sheet("空表")
    book.add_sheet("Data 2").write(9, 25, "Z10")
    book.save(os.path.join(folder, "fixture.xls"))


def write_xlsx():
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "清单"
    for r, row in enumerate(ROWS):
        for c, value in enumerate(row):
            if value is not None:
                sheet.cell(r + 1, c + 1, value)
    sheet.cell(5, 1, "=A2*2")
    book.create_sheet("空表")
    book.create_sheet("Data 2").cell(10, 26, "Z10")
    book.save(os.path.join(folder, "fixture.xlsx"))


def write_cached():
    book = xlsxwriter.Workbook(os.path.join(folder, "cached.xlsx"))
    sheet = book.add_worksheet("结果")
    bold = book.add_format({"bold": True})
    sheet.write_formula("A1", "=1+1", None, 2)
    sheet.write_formula("B1", '="账"&"号"', None, "账号")
    sheet.write_rich_string("C1", "中国", bold, "工商", "银行")
    sheet.write_boolean("D1", True)
    sheet.write_number("E1", 1e20)
    sheet.write_string("A2", "a\x01b")
    sheet.write_string("B2", "_x0041_")
    book.close()


def write_oversized():
    """fixture.xls whose first sheet claims 200,000 rows, more than an .xls sheet has."""
    data = bytearray(open(os.path.join(folder, "fixture.xls"), "rb").read())
    at = data.find(b"\x00\x02\x0e\x00")  # DIMENSIONS, 14 bytes
    assert at > 0
    data[at + 8:at + 12] = (200000).to_bytes(4, "little")
    open(os.path.join(folder, "oversized.xls"), "wb").write(data)


write_xls()
write_oversized()
write_xlsx()
write_cached()
