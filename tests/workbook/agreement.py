"""Agreement of our workbook readers with xlrd and openpyxl.

Usage: agreement.py DUMP_TOOL FOLDER

Writes a corpus of workbooks with python3-xlwt, openpyxl and xlsxwriter into FOLDER (and,
where LibreOffice's soffice is installed, copies of them re-saved by it), then compares every
cell that DUMP_TOOL (our readers) returns with what xlrd (.xls) or openpyxl (.xlsx) returns,
after the agreed conversions: numbers in plain decimal form, dates as yyyy-MM-dd[ hh:mm:ss]
(a time of day alone below one day), booleans TRUE/FALSE, errors by their text. Numbers of
more than 15 significant digits must be flagged as inexact. Prints one line per workbook and
exits 1 when any cell differs."""
import datetime
import decimal
import json
import os
import re
import shutil
import subprocess
import sys

import openpyxl
import xlrd
import xlsxwriter
import xlwt

DUMP, FOLDER = sys.argv[1], sys.argv[2]


def path(name):
    return os.path.join(FOLDER, name)


# ---- the corpus -------------------------------------------------------------------------

LONG = [8224, 16437, 32767]
CJK = "上海浦江贸易有限公司中国工商银行"


def long_text(length, cjk):
    base = CJK if cjk else "abcdefghijklmnopqrstuvwxyz0123456789"
    return (base * (length // len(base) + 1))[:length - 1] + "末"


def rows_of_values(n):
    """Clerk-like rows: sequence, date, name, account as text, amount, a long number."""
    for i in range(n):
        yield [i + 1, datetime.datetime(2026, 1, 1) + datetime.timedelta(days=i % 400, hours=i % 24),
               CJK[i % 10:i % 10 + 6], "62220212345%08d" % i, round(i * 1.37, 2),
               6222021234567890123 + i if i % 7 == 0 else i * 0.001]


def xlwt_corpus():
    date = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    stamp = xlwt.easyxf(num_format_str="yyyy/m/d h:mm:ss")
    time = xlwt.easyxf(num_format_str="h:mm")

    def book():
        return xlwt.Workbook(encoding="utf-8")

    def put(sheet, r, c, value):
        if isinstance(value, datetime.datetime):
            sheet.write(r, c, value, stamp if value.hour or value.minute else date)
        elif isinstance(value, datetime.time):
            sheet.write(r, c, value, time)
        else:
            sheet.write(r, c, value)

    b = book()
    s = b.add_sheet("宽")
    s.write(0, 1, "Ω" * 12327)
    s.write(0, 2, "x")
    b.save(path("wide.xls"))

    b = book()
    s = b.add_sheet("长")
    for c, n in enumerate(LONG):
        s.write(0, c, long_text(n, False))
        s.write(1, c, long_text(n, True))
    b.save(path("long.xls"))

    b = book()
    s = b.add_sheet("远")
    s.write(0, 0, "A1")
    s.write(65535, 255, "IV65536")
    s.write(65535, 0, 1.5)
    b.save(path("far.xls"))

    b = book()
    s = b.add_sheet("满")
    for r in range(65536):
        s.write(r, 0, r + 1)
        s.write(r, 1, "行%d" % (r + 1))
    b.save(path("rows65536.xls"))

    b = book()
    for k in range(250):
        b.add_sheet("表%d" % k).write(k % 7, k % 5, "第%d表" % k)
    b.save(path("sheets250.xls"))

    b = book()
    s = b.add_sheet("记录")
    for r, row in enumerate(rows_of_values(300)):
        for c, value in enumerate(row):
            put(s, r, c, value)
    s.write(0, 7, True)
    s.write(1, 7, False)
    s.write(2, 7, xlwt.Formula("A1+A2"))
    s.write(3, 7, xlwt.Formula('"账"&"号"'))
    s.write_merge(4, 6, 7, 8, "合并单元格")
    s.write(7, 7, datetime.time(15, 30))
    s.write_rich_text(8, 7, ("中国", ("工商", xlwt.easyfont("bold true")), "银行"))
    hidden = b.add_sheet("隐藏")
    hidden.write(0, 0, "藏")
    hidden.visibility = 1
    b.add_sheet("空表")
    b.save(path("mixed.xls"))

    b = book()
    b.dates_1904 = True
    s = b.add_sheet("1904")
    for r, row in enumerate(rows_of_values(50)):
        for c, value in enumerate(row):
            put(s, r, c, value)
    b.save(path("dates1904.xls"))


def openpyxl_corpus():
    from openpyxl.cell.text import InlineFont
    from openpyxl.utils.datetime import MAC_EPOCH

    b = openpyxl.Workbook()
    s = b.active
    s.title = "宽"
    s["B1"] = "Ω" * 12327
    s["C1"] = "x"
    b.save(path("wide.xlsx"))

    b = openpyxl.Workbook()
    s = b.active
    s.title = "长"
    for c, n in enumerate(LONG):
        s.cell(1, c + 1, long_text(n, False))
        s.cell(2, c + 1, long_text(n, True))
    b.save(path("long.xlsx"))

    b = openpyxl.Workbook()
    s = b.active
    s.title = "远"
    s["A1"] = "A1"
    s["IV65536"] = "IV65536"
    b.save(path("far.xlsx"))

    b = openpyxl.Workbook(write_only=True)
    s = b.create_sheet("满")
    for r in range(65536):
        s.append([r + 1, "行%d" % (r + 1)])
    b.save(path("rows65536.xlsx"))

    b = openpyxl.Workbook()
    b.remove(b.active)
    for k in range(250):
        b.create_sheet("表%d" % k).cell(k % 7 + 1, k % 5 + 1, "第%d表" % k)
    b.save(path("sheets250.xlsx"))

    b = openpyxl.Workbook()
    s = b.active
    s.title = "记录"
    for row in rows_of_values(300):
        s.append(row)
    s["H1"] = True
    s["H2"] = False
    s["H3"] = "=A1+A2"  # no stored result
    s.merge_cells("H5:I7")
    s["H5"] = "合并单元格"
    s["H8"] = datetime.time(15, 30)
    s["H9"] = datetime.date(2026, 12, 5)
    hidden = b.create_sheet("隐藏")
    hidden["A1"] = "藏"
    hidden.sheet_state = "hidden"
    b.create_sheet("空表")
    b.save(path("mixed.xlsx"))

    b = openpyxl.Workbook()
    b.epoch = MAC_EPOCH
    s = b.active
    s.title = "1904"
    for row in rows_of_values(50):
        s.append(row)
    b.save(path("dates1904.xlsx"))
    del InlineFont


def xlsxwriter_corpus():
    for name, options in [("xlsxwriter.xlsx", {}),
                          ("xlsxwriter_inline.xlsx", {"constant_memory": True}),
                          ("xlsxwriter1904.xlsx", {"date_1904": True})]:
        b = xlsxwriter.Workbook(path(name), options)
        s = b.add_worksheet("结果")
        bold = b.add_format({"bold": True})
        date = b.add_format({"num_format": "yyyy\"年\"m\"月\"d\"日\""})
        stamp = b.add_format({"num_format": "[$-409]yyyy-mm-dd hh:mm;@"})
        time = b.add_format({"num_format": "hh:mm:ss"})
        money = b.add_format({"num_format": "#,##0.00_);[Red](#,##0.00)"})
        s.write_formula("A1", "=1+1", None, 2)
        s.write_formula("B1", '="账"&"号"', None, "账号")
        s.write_formula("C1", "=1=1", None, True)
        s.write_formula("D1", "=1/0", None, "#DIV/0!")
        s.write_rich_string("A2", "中国", bold, "工商", "银行")
        s.write_boolean("B2", False)
        s.write_number("C2", 1e20)
        s.write_number("D2", 6222021234567890123)
        s.write_datetime("A3", datetime.datetime(2026, 12, 5), date)
        s.write_datetime("B3", datetime.datetime(2026, 12, 7, 15, 30), stamp)
        s.write_datetime("C3", datetime.time(9, 45, 30), time)
        s.write_number("D3", -1234.5, money)
        s.write_string("A4", "a\x01b")
        s.write_string("B4", "_x0041_")
        s.write_string("C4", " 前后空格 ")
        s.merge_range("A5:C6", "合并", bold)
        hidden = b.add_worksheet("隐藏")
        hidden.write("A1", "藏")
        hidden.hide()
        b.add_worksheet("空表")
        b.close()


# ---- the reference reading --------------------------------------------------------------

def plain(value):
    text = format(decimal.Decimal(repr(float(value))), "f")
    if "." in text:
        text = text.rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


def too_long(text):
    """More than 15 significant digits; the zeros ending a whole number count."""
    return len(text.lstrip("-").replace(".", "").lstrip("0")) > 15


def stamp_text(y, mo, d, h, mi, s):
    date = "%04d-%02d-%02d" % (y, mo, d)
    return date if (h, mi, s) == (0, 0, 0) else date + " %02d:%02d:%02d" % (h, mi, s)


def xls_cells(file):
    book = xlrd.open_workbook(file)
    sheets = []
    for sheet in book.sheets():
        cells = {}
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                kind, value = sheet.cell_type(r, c), sheet.cell_value(r, c)
                if kind in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                if kind == xlrd.XL_CELL_TEXT:
                    text, inexact = value, False
                elif kind == xlrd.XL_CELL_NUMBER:
                    text = plain(value)
                    inexact = too_long(text)
                elif kind == xlrd.XL_CELL_DATE:
                    y, mo, d, h, mi, s = xlrd.xldate_as_tuple(value, book.datemode)
                    text = ("%02d:%02d:%02d" % (h, mi, s) if value < 1
                            else stamp_text(y, mo, d, h, mi, s))
                    inexact = False
                elif kind == xlrd.XL_CELL_BOOLEAN:
                    text, inexact = ("TRUE" if value else "FALSE"), False
                else:
                    text, inexact = xlrd.error_text_from_code[value], False
                if text:
                    cells[(r + 1, c + 1)] = (text, inexact)
        sheets.append((sheet.name, sheet.nrows, sheet.ncols, cells))
    return book.sheet_names(), sheets


# openpyxl 3.0 undoes only the escaped underscore _x005F_ of shared strings: the escapes of
# control characters, and in inline strings the escaped underscore too, are left as written.
LEFT_ESCAPES = re.compile("_x(00[01][0-9A-Fa-f]|005[Ff])_")


def xlsx_cells(file):
    book = openpyxl.load_workbook(file, data_only=True)
    sheets = []
    for sheet in book.worksheets:
        cells = {}
        for cell in sheet._cells.values():  # the cells the file holds, not the whole extent
            value, inexact = cell.value, False
            if value is None:
                continue
            if isinstance(value, bool):
                text = "TRUE" if value else "FALSE"
            elif isinstance(value, (int, float)):
                text = plain(value)
                inexact = too_long(text)
            elif isinstance(value, datetime.datetime):
                t = value + datetime.timedelta(microseconds=500000)
                text = stamp_text(t.year, t.month, t.day, t.hour, t.minute, t.second)
            elif isinstance(value, datetime.date):
                text = value.strftime("%Y-%m-%d")
            elif isinstance(value, datetime.time):
                text = value.strftime("%H:%M:%S")
            else:
                text = LEFT_ESCAPES.sub(lambda m: chr(int(m.group(1), 16)), str(value))
            if text:
                cells[(cell.row, cell.column)] = (text, inexact)
        sheets.append((sheet.title, sheet.max_row, sheet.max_column, cells))
    return book.sheetnames, sheets


# ---- comparison -------------------------------------------------------------------------

def ours(file, sheets):
    args = [DUMP, file]
    for index, (_, rows, cols, _) in enumerate(sheets):
        args += [str(index), str(rows), str(cols)]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    lines = [json.loads(line) for line in out.splitlines()]
    if "error" in lines[0]:
        return None, {}
    cells = {}
    for line in lines[1:]:
        cells[(line["s"], line["r"], line["c"])] = (line["t"], line["x"])
    return lines[0]["sheets"], cells


def compare(file):
    names, sheets = (xls_cells if file.endswith(".xls") else xlsx_cells)(file)
    our_names, our_cells = ours(file, sheets)
    faults = []
    if our_names != names:
        faults.append("sheet names %r, reference %r" % (our_names, names))
    expected = {(index, r, c): cell for index, (_, _, _, cells) in enumerate(sheets)
                for (r, c), cell in cells.items()}
    for key in sorted(set(expected) | set(our_cells)):
        want, got = expected.get(key), our_cells.get(key)
        if want != got:
            faults.append("sheet %d R%dC%d: ours %r, reference %r" % (key + (got, want)))
    count = len(expected)
    print("%-28s %6d cells %s" % (os.path.basename(file), count,
                                  "agree" if not faults else "%d differ" % len(faults)))
    for fault in faults[:10]:
        print("    " + fault[:300])
    return not faults


def resaved(files):
    """Copies re-saved by LibreOffice: .xls as .xlsx and .xlsx as .xls."""
    soffice = shutil.which("soffice")
    if not soffice:
        print("soffice not installed: no re-saved copies")
        return []
    out = path("resaved")
    os.makedirs(out, exist_ok=True)
    made = []
    for file in files:
        target = "xlsx" if file.endswith(".xls") else "xls"
        if os.path.basename(file).startswith(("rows65536", "sheets250")):
            continue  # slow to convert, and nothing a shorter file does not show
        subprocess.run([soffice, "--headless", "--convert-to", target, "--outdir", out, file],
                       check=True, capture_output=True, timeout=300)
        made.append(os.path.join(out, os.path.splitext(os.path.basename(file))[0] + "." + target))
    return made


def main():
    shutil.rmtree(FOLDER, ignore_errors=True)
    os.makedirs(FOLDER)
    xlwt_corpus()
    openpyxl_corpus()
    xlsxwriter_corpus()
    files = sorted(path(f) for f in os.listdir(FOLDER) if f.endswith((".xls", ".xlsx")))
    ok = all([compare(f) for f in files + resaved(files)])
    sys.exit(0 if ok else 1)


main()
