"""Writes the reader fixtures into the folder given: fixture.xls with xlwt, fixture.xlsx with
openpyxl, cached.xlsx with xlsxwriter (a formula with its stored result, rich text), values.xls
and values.xlsx (dates, times, booleans, long numbers; values1904.* in the 1904 date system),
wide.xls (a shared string continued over many records), long.xls/long.xlsx (texts of up to
32,767 characters), far.xls (a cell at IV65536), and damaged or encrypted copies."""
import datetime
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


VALUES = [
    ("date", datetime.datetime(2026, 12, 5)),
    ("date and time", datetime.datetime(2026, 12, 7, 15, 30, 0)),
    ("time", datetime.time(9, 45, 30)),
    ("boolean", True),
    ("account as number", 6222021234567890123),
    ("sixteen digits", 1234567890123456),
    ("fifteen digits", 123456789012345),
    ("sum of tenths", 0.1 + 0.2),
    ("small", 0.000125),
    ("large", 1e20),
]


def write_values(folder, name, dates_1904):
    """Row k holds the k-th value of VALUES in column A (and its name in column B)."""
    book = xlwt.Workbook(encoding="utf-8")
    book.dates_1904 = dates_1904
    sheet = book.add_sheet("值")
    styles = {datetime.datetime: xlwt.easyxf(num_format_str="yyyy-mm-dd hh:mm:ss"),
              datetime.time: xlwt.easyxf(num_format_str="hh:mm:ss")}
    for r, (label, value) in enumerate(VALUES):
        style = styles.get(type(value))
        sheet.write(r, 0, value, style) if style else sheet.write(r, 0, value)
        sheet.write(r, 1, label)
    book.save(os.path.join(folder, name + ".xls"))

    book = openpyxl.Workbook()
    if dates_1904:
        from openpyxl.utils.datetime import MAC_EPOCH
        book.epoch = MAC_EPOCH
    sheet = book.active
    sheet.title = "值"
    for r, (label, value) in enumerate(VALUES):
        sheet.cell(r + 1, 1, value)
        sheet.cell(r + 1, 2, label)
    book.save(os.path.join(folder, name + ".xlsx"))


def write_wide():
    """xlwt writes B1's 12,327 wide characters as a shared string over several CONTINUE
    records."""
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("宽")
    sheet.write(0, 1, "Ω" * 12327)
    sheet.write(0, 2, "x")
    book.save(os.path.join(folder, "wide.xls"))


LENGTHS = [8224, 16437, 32767]


def long_text(length, cjk):
    return ("账" if cjk else "a") * (length - 1) + "末"


def write_long():
    """Row 1: ASCII texts of LENGTHS characters in A … C, row 2 the same in CJK; each ends in
    "末" so that a text cut short shows."""
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("长")
    for c, length in enumerate(LENGTHS):
        sheet.write(0, c, long_text(length, False))
        sheet.write(1, c, long_text(length, True))
    book.save(os.path.join(folder, "long.xls"))
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "长"
    for c, length in enumerate(LENGTHS):
        sheet.cell(1, c + 1, long_text(length, False))
        sheet.cell(2, c + 1, long_text(length, True))
    book.save(os.path.join(folder, "long.xlsx"))


def write_far():
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("远")
    sheet.write(0, 0, "A1")
    sheet.write(65535, 255, "IV65536")
    book.save(os.path.join(folder, "far.xls"))


def write_damaged():
    """encrypted.xls: fixture.xls whose CODEPAGE record is turned into a FILEPASS record, the
    mark of a workbook saved with a password; truncated.xlsx: half of fixture.xlsx."""
    data = bytearray(open(os.path.join(folder, "fixture.xls"), "rb").read())
    at = data.find(b"\x42\x00\x02\x00")  # CODEPAGE, 2 bytes
    assert at > 0
    data[at:at + 2] = b"\x2f\x00"
    open(os.path.join(folder, "encrypted.xls"), "wb").write(data)
    data = open(os.path.join(folder, "fixture.xlsx"), "rb").read()
    open(os.path.join(folder, "truncated.xlsx"), "wb").write(data[:len(data) // 2])


def write_damaged_tail():
    """200 rows whose sheet part ends in the middle of row 41, as a package cut short while
    it was written."""
    import zipfile
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "尾"
    for r in range(1, 201):
        sheet.cell(r, 1, "行%d" % r)
    whole = os.path.join(folder, "whole.xlsx")
    book.save(whole)
    with zipfile.ZipFile(whole) as src, zipfile.ZipFile(
            os.path.join(folder, "damaged_tail.xlsx"), "w", zipfile.ZIP_DEFLATED) as dst:
        for item in src.infolist():
            data = src.read(item.filename)
            if item.filename == "xl/worksheets/sheet1.xml":
                data = data[:data.index(b'<row r="41"') + 30]
            dst.writestr(item.filename, data)
    os.remove(whole)


write_xls()
write_oversized()
write_xlsx()
write_cached()
write_values(folder, "values", False)
write_values(folder, "values1904", True)
write_wide()
write_long()
write_far()
write_damaged()
write_damaged_tail()
