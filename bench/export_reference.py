#!/usr/bin/python3
"""Writes the cells of a tab-separated file as the export lays them out, with python3-xlsxwriter
(constant_memory) or python3-xlwt, and prints the seconds the writing took and the peak memory.

usage: export_reference.py xlsx|xls cells.tsv out-file

The first line of the file holds the column widths in characters; the next lines are the
worksheet rows, the first of them the header. Reading the file is not timed."""
import json
import resource
import sys
import time


def main():
    kind, source, target = sys.argv[1:4]
    with open(source, encoding="utf-8") as f:
        lines = f.read().split("\n")
    widths = [float(w) for w in lines[0].split("\t")]
    rows = [line.split("\t") for line in lines[1:] if line != ""]
    cols = len(widths)

    start = time.perf_counter()
    if kind == "xlsx":
        import xlsxwriter

        book = xlsxwriter.Workbook(target, {"constant_memory": True})
        sheet = book.add_worksheet()
        header = book.add_format({"bold": True, "bg_color": "#D0D0D0", "border": 1})
        body = book.add_format({"border": 1})
        for c, w in enumerate(widths):
            sheet.set_column(c, c, w)
        for r, row in enumerate(rows):
            fmt = header if r == 0 else body
            for c in range(cols):
                text = row[c] if c < len(row) else ""
                if text:
                    sheet.write_string(r, c, text, fmt)
                else:
                    sheet.write_blank(r, c, None, fmt)
        book.close()
    else:
        import xlwt

        book = xlwt.Workbook(encoding="utf-8")
        sheet = book.add_sheet("Sheet1")
        header = xlwt.easyxf(
            "font: bold on; pattern: pattern solid, fore_colour gray25; "
            "borders: left thin, right thin, top thin, bottom thin")
        body = xlwt.easyxf("borders: left thin, right thin, top thin, bottom thin")
        for c, w in enumerate(widths):
            sheet.col(c).width = int(w * 256)
        for r, row in enumerate(rows):
            fmt = header if r == 0 else body
            for c in range(cols):
                text = row[c] if c < len(row) else ""
                sheet.write(r, c, text, fmt)
        book.save(target)
    seconds = time.perf_counter() - start
    peak_kb = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    print(json.dumps({"seconds": seconds, "peak_kb": peak_kb}))


if __name__ == "__main__":
    main()
