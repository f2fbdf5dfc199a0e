"""Helper of reader_bench.

write FOLDER ROWS: writes rows.xlsx with openpyxl (write-only) and, up to 65,535 rows,
rows.xls with xlwt: one sheet "记录" laid out as the history export (header row 1, records
from row 2, columns A … R, texts repeated as a clerk's are, accounts and numbers unique).
Also extracts the sheet's part as sheet1.xml for xmllint.
read FOLDER ROWS KIND: reads the same cells with xlrd (xls) or openpyxl read-only (xlsx) and
prints seconds and peak memory in KiB."""
import os
import random
import sys
import time
import zipfile

HEADER = ["序号", "年", "月", "日", "出票人全称", "出票人账号", "出票人银行", "收款人全称",
          "收款人账号", "收款人银行", "大写金额", "小写金额", "票据种类", "票据张数",
          "票据号码", "复核", "记账", "备注"]
COMPANIES = ["上海浦江贸易有限公司", "北京华远建设集团", "广州南粤物流股份有限公司",
             "深圳市前海科技有限公司", "杭州西湖茶业合作社", "成都天府食品有限公司"]
BANKS = ["中国工商银行上海分行营业部", "中国建设银行北京朝阳支行", "中国农业银行广州天河支行",
         "招商银行深圳福田支行", "交通银行杭州分行", "中国银行成都高新支行"]


def rows(count):
    rnd = random.Random(7)
    for i in range(1, count + 1):
        amount = rnd.randint(100, 99999999)
        yield [i, 2026, rnd.randint(1, 12), rnd.randint(1, 28), rnd.choice(COMPANIES),
               "6222%015d" % rnd.randint(0, 10 ** 15), rnd.choice(BANKS), rnd.choice(COMPANIES),
               "6217%015d" % rnd.randint(0, 10 ** 15), rnd.choice(BANKS), "壹万贰仟元整",
               amount / 100, "转账支票", rnd.randint(1, 9), rnd.randint(0, 99999999), "王芳",
               "李强", "货款"]


def write(folder, count):
    import openpyxl
    book = openpyxl.Workbook(write_only=True)
    sheet = book.create_sheet("记录")
    sheet.append(HEADER)
    for row in rows(count):
        sheet.append(row)
    xlsx = os.path.join(folder, "rows.xlsx")
    book.save(xlsx)
    with zipfile.ZipFile(xlsx) as package:
        name = next(n for n in package.namelist() if n.startswith("xl/worksheets/sheet"))
        with open(os.path.join(folder, "sheet1.xml"), "wb") as out:
            out.write(package.read(name))
    if count < 65536:
        import xlwt
        book = xlwt.Workbook(encoding="utf-8")
        sheet = book.add_sheet("记录")
        for c, text in enumerate(HEADER):
            sheet.write(0, c, text)
        for r, row in enumerate(rows(count), start=1):
            for c, value in enumerate(row):
                sheet.write(r, c, value)
        book.save(os.path.join(folder, "rows.xls"))


def read(folder, count, kind):
    start = time.perf_counter()
    texts = 0
    if kind == "xls":
        import xlrd
        book = xlrd.open_workbook(os.path.join(folder, "rows.xls"))
        sheet = book.sheet_by_name("记录")
        for r in range(1, count + 1):
            for c in range(18):
                texts += len(str(sheet.cell_value(r, c)))
    else:
        import openpyxl
        book = openpyxl.load_workbook(os.path.join(folder, "rows.xlsx"), read_only=True)
        for row in book["记录"].iter_rows(min_row=2, max_row=count + 1, max_col=18,
                                          values_only=True):
            for value in row:
                texts += len(str(value))
        book.close()
    seconds = time.perf_counter() - start
    with open("/proc/self/status") as status:
        peak = next(line.split()[1] for line in status if line.startswith("VmHWM"))
    print("%.4f %s" % (seconds, peak))


if __name__ == "__main__":
    if sys.argv[1] == "write":
        write(sys.argv[2], int(sys.argv[3]))
    else:
        read(sys.argv[2], int(sys.argv[3]), sys.argv[4])
