"""Prints what an independent reader sees in the first sheet of a workbook, as JSON:
texts, bold, fill colour and borders of every cell in the used range, and column widths.
.xls is read with xlrd (formatting_info=True), .xlsx with openpyxl."""
import json
import sys


def dump_xls(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    cells = {}
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            xf = book.xf_list[sheet.cell_xf_index(r, c)]
            font = book.font_list[xf.font_index]
            fill = ""
            if xf.background.fill_pattern == 1:
                rgb = book.colour_map.get(xf.background.pattern_colour_index)
                fill = "%02x%02x%02x" % rgb if rgb else "?"
            b = xf.border
            sides = [b.left_line_style, b.right_line_style, b.top_line_style, b.bottom_line_style]
            cells["%d,%d" % (r + 1, c + 1)] = {
                "text": sheet.cell_value(r, c), "type": sheet.cell_type(r, c),
                "bold": bool(font.bold), "fill": fill,
                "border": "thin" if all(s == 1 for s in sides) else ",".join(map(str, sides))}
    widths = {str(c + 1): (0 if info.hidden else info.width / 256.0)
              for c, info in sheet.colinfo_map.items()}
    return {"sheets": book.sheet_names(), "rows": sheet.nrows, "cols": sheet.ncols,
            "cells": cells, "widths": widths}


def dump_xlsx(path):
    import openpyxl
    from openpyxl.utils import column_index_from_string
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    cells = {}
    for row in sheet.iter_rows():
        for cell in row:
            fill = ""
            if cell.fill.fill_type == "solid":
                fill = cell.fill.fgColor.rgb[-6:].lower()
            b = cell.border
            sides = [b.left.style, b.right.style, b.top.style, b.bottom.style]
            value = cell.value
            cells["%d,%d" % (cell.row, cell.column)] = {
                "text": "" if value is None else value,
                "type": 0 if value is None else (1 if isinstance(value, str) else 2),
                "bold": bool(cell.font.b), "fill": fill,
                "border": "thin" if all(s == "thin" for s in sides) else ",".join(map(str, sides))}
    widths = {str(column_index_from_string(k)): (0 if d.hidden else d.width)
              for k, d in sheet.column_dimensions.items()}
    return {"sheets": book.sheetnames, "rows": sheet.max_row, "cols": sheet.max_column,
            "cells": cells, "widths": widths}


path = sys.argv[1]
result = dump_xlsx(path) if path.lower().endswith(".xlsx") else dump_xls(path)
json.dump(result, sys.stdout, ensure_ascii=False)
