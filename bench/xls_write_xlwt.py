#!/usr/bin/python3
"""Writes the rows of a tab-separated file (the client's batch output of the
XLS benchmark table) into a workbook with python3-xlwt, with the number formats
velmora gives the same columns, and prints the wall time and the processor time
of the writing alone (reading and converting the values is not timed).

    xls_write_xlwt.py VALUES_TSV OUTPUT_XLS
"""
import datetime
import sys
import time

import xlwt

CAPTIONS = ["id", "quantity", "amount", "ratio", "ordered", "changed", "customer", "city", "flag", "note"]


def unescape(text):
    return text.replace("\\t", "\t").replace("\\n", "\n").replace("\\\\", "\\")


def convert(fields):
    values = []
    for column, text in enumerate(fields):
        if text == "NULL":
            values.append(None)
        elif column in (0, 1, 8):
            values.append(int(text))
        elif column in (2, 3):
            values.append(float(text))
        elif column == 4:
            values.append(datetime.datetime.strptime(text, "%Y-%m-%d"))
        elif column == 5:
            values.append(datetime.datetime.strptime(text, "%Y-%m-%d %H:%M:%S"))
        else:
            values.append(unescape(text))
    return values


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as lines:
        rows = [convert(line.rstrip("\n").split("\t")) for line in lines]
    integer = xlwt.easyxf(num_format_str="#,###,##0")
    decimal = xlwt.easyxf(num_format_str="#,###,##0.00")
    styles = [integer, integer, decimal, decimal, xlwt.easyxf(num_format_str="yyyy-mm-dd"),
              xlwt.easyxf(num_format_str="yyyy-mm-dd hh:mm:ss"), None, None, integer, None]
    bold = xlwt.easyxf("font: bold on")

    start = time.monotonic()
    cpu_start = time.process_time()
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet 1")
    for column, caption in enumerate(CAPTIONS):
        sheet.write(0, column, caption, bold)
    for row_number, values in enumerate(rows, start=1):
        row = sheet.row(row_number)
        for column, value in enumerate(values):
            style = styles[column]
            if value is None:
                if style is not None:
                    row.set_cell_blank(column, style)
            elif style is None:
                row.write(column, value)
            else:
                row.write(column, value, style)
    book.save(target)
    print(f"{time.monotonic() - start:.3f} {time.process_time() - cpu_start:.3f}")


if __name__ == "__main__":
    main()
