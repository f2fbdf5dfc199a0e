"""Writes import.xls with xlwt and import.xlsx with openpyxl into the folder given: a sheet
"清单" laid out as the history export (header in row 1, records from row 2, columns A … R)
with numbers, a 19-digit account kept as text and blanks around texts, and a sheet "空表"."""
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


write_xls()
write_xlsx()
