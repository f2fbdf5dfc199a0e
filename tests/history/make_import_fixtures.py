"""Writes import.xls with xlwt and import.xlsx with openpyxl into the folder given: a sheet
"清单" laid out as the history export (header in row 1, records from row 2, columns A … R)
with numbers, a 19-digit account kept as text and blanks around texts, and a sheet "空表".
values.xls and values.xlsx hold the same header and two rows of dates, booleans, accounts
stored as numbers and a text of 12,327 wide characters; encrypted.xls is import.xls marked as
saved with a password."""
import datetime
import os
import sys

import openpyxl
import xlwt

folder = sys.argv[1]

HEADER = ["序号", "年", "月", "日", "出票人", "出票账号", "出票银行", "收款人", "收款账号",
          "收款银行", "大写金额", "小写金额", "票据种类", "票所张数", "票据号码", "复核", "记账",
          "备注"]
ROWS = [
    [1, 2026, 3, 6, " 上海浦江贸易有限公司 ", "6222021234567890123", "中国工商银行上海分行",
     "北京华远建设集团", "6217000010001234567", "中国建设银行北京朝阳支行", "壹万贰仟叁佰肆拾伍元伍角整",
     12345.5, "转账支票", 2, "00012345", "王芳", "李强", "货款"],
    [2, 2026, 3, 7, "李四", "6222021234567890124", "招商银行", "张三", "", "交通银行",
     "壹佰元整", "￥100.00", "现金支票", 1, 12345678, "王芳", "", None],
]


def write_xls():
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("清单")
    for r, row in enumerate([HEADER] + ROWS):
        for c, value in enumerate(row):
            if value is not None:
                sheet.write(r, c, value)
    book.add_sheet("空表")
    book.save(os.path.join(folder, "import.xls"))


def write_xlsx():
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "清单"
    for r, row in enumerate([HEADER] + ROWS):
        for c, value in enumerate(row):
            if value is not None:
                sheet.cell(r + 1, c + 1, value)
    book.create_sheet("空表")
    book.save(os.path.join(folder, "import.xlsx"))


VALUES = [
    [1, datetime.datetime(2026, 12, 5), "x", None, "Ω" * 12327, 6222021234567890123, True],
    [2, datetime.datetime(2026, 12, 7, 15, 30), None, None, "李四", 6217000010001234567, False],
]


def write_values():
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("清单")
    date = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    for c, text in enumerate(HEADER):
        sheet.write(0, c, text)
    for r, row in enumerate(VALUES, start=1):
        for c, value in enumerate(row):
            if isinstance(value, datetime.datetime):
                sheet.write(r, c, value, date)
            elif value is not None:
                sheet.write(r, c, value)
    book.save(os.path.join(folder, "values.xls"))
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "清单"
    sheet.append(HEADER)
    for row in VALUES:
        sheet.append(row)
    book.save(os.path.join(folder, "values.xlsx"))


def write_encrypted():
    data = bytearray(open(os.path.join(folder, "import.xls"), "rb").read())
    at = data.find(b"\x42\x00\x02\x00")  # CODEPAGE becomes FILEPASS
    assert at > 0
    data[at:at + 2] = b"\x2f\x00"
    open(os.path.join(folder, "encrypted.xls"), "wb").write(data)


write_xls()
write_xlsx()
write_values()
write_encrypted()
