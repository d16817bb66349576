#!/usr/bin/python3
"""Makes the three report templates of КЕЛИ in the folder of this script (or the folder given).

  otchet1Empty.xlsx    Report No. 1: sheet "Лист1" metering points, sheet "Лист2" groups
  otchet2Empty.xlsx    Report No. 2: sheet "Лист1" balance, permissible imbalances, voltage levels
  СтоплистОтчет.xlsx   the stop list: sheet "Лист1"
  svodkaEmpty.xlsx     the summary of many objects (keli-calc --out): sheet "Лист1"

The templates carry what the program does not write: titles, headings, labels, widths, borders,
number formats and the print setup. The program fills values into fixed cells; the comments name
the cells each writer fills, so headings stand exactly over them.

Run with Debian's python, which has openpyxl:  /usr/bin/python3 templates/make_templates.py
"""

import os
import sys

from openpyxl import Workbook
from openpyxl.styles import Alignment, Border, Font, Side
from openpyxl.utils import get_column_letter
from openpyxl.utils.indexed_list import IndexedList

# Print design: a font every Linux desktop has (Debian fonts-liberation, metric-compatible with
# Arial), nothing smaller than 9 pt, and sheets narrow enough that fit-to-width prints every text at
# 8 pt or more on A4: a column of width w prints 7*w px at 96 dpi (w counts digits of the default
# 10-pt font, padding included).
FONT_NAME = "Liberation Sans"
DEFAULT = Font(name=FONT_NAME, size=10)  # the workbook's own: column widths are counted in its digits
BASE = Font(name=FONT_NAME, size=9)
THIN = Side(style="thin")
BOX = Border(left=THIN, right=THIN, top=THIN, bottom=THIN)
CENTRE = Alignment(horizontal="center", vertical="center", wrap_text=True)
LEFT = Alignment(horizontal="left", vertical="center", wrap_text=True)
TOP_LEFT = Alignment(horizontal="left", vertical="top", wrap_text=True)
RIGHT = Alignment(horizontal="right", vertical="center")
BOLD = Font(name=FONT_NAME, size=10, bold=True)
TITLE = Font(name=FONT_NAME, size=13, bold=True)
CAPTION = Font(name=FONT_NAME, size=11, bold=True)
HEAD = Font(name=FONT_NAME, size=9, bold=True)

SIDE_MARGIN = 0.3  # inches
FILING_MARGIN = 0.79  # inches, 20 mm on the left to file the sheet
PAGE_NUMBER = "Страница &P из &N"


def new_workbook():
    """A workbook whose default font is DEFAULT instead of one Linux desktops lack."""
    wb = Workbook()
    wb._fonts = IndexedList([DEFAULT])
    wb._named_styles["Normal"].font = DEFAULT
    return wb


def widths(ws, values):
    for col, w in enumerate(values, start=1):
        ws.column_dimensions[get_column_letter(col)].width = w


def data_columns(ws, formats):
    """Font and number format of whole columns, {column: format or None}: the cells the program
    writes where the template has none take them."""
    for col, number_format in formats.items():
        dimension = ws.column_dimensions[get_column_letter(col)]
        dimension.font = BASE
        if number_format:
            dimension.number_format = number_format


def box(ws, first_row, last_row, first_col, last_col, alignment=CENTRE, font=BASE, number_format=None):
    """Thin borders on every cell of the rectangle (merged areas included)."""
    for r in range(first_row, last_row + 1):
        for c in range(first_col, last_col + 1):
            cell = ws.cell(row=r, column=c)
            cell.border = BOX
            cell.alignment = alignment
            cell.font = font
            if number_format is not None:
                cell.number_format = number_format


def head(ws, text, first_row, first_col, last_row=None, last_col=None):
    """A heading cell, merged over the rectangle when it spans more than one cell."""
    last_row = first_row if last_row is None else last_row
    last_col = first_col if last_col is None else last_col
    ws.cell(row=first_row, column=first_col, value=text)
    if (last_row, last_col) != (first_row, first_col):
        ws.merge_cells(start_row=first_row, start_column=first_col, end_row=last_row, end_column=last_col)
    box(ws, first_row, last_row, first_col, last_col, font=HEAD)


def label(ws, cell, text, font=BASE, alignment=None):
    ws[cell] = text
    ws[cell].font = font
    if alignment is not None:
        ws[cell].alignment = alignment


def print_setup(ws, landscape, title_rows=None, footer=None):
    """A4, fit to the width, repeated heading rows, the page number (and footer text) on every page."""
    ws.page_setup.orientation = "landscape" if landscape else "portrait"
    ws.page_setup.paperSize = ws.PAPERSIZE_A4
    ws.page_setup.fitToWidth = 1
    ws.page_setup.fitToHeight = 0
    ws.sheet_properties.pageSetUpPr.fitToPage = True
    ws.page_margins.left = FILING_MARGIN
    ws.page_margins.right = SIDE_MARGIN
    ws.page_margins.top = ws.page_margins.bottom = 0.5
    ws.page_margins.header = ws.page_margins.footer = 0.3
    if title_rows:
        # Absolute rows ($2:$7): spreadsheet programs that want them so ignore relative ones.
        first, last = title_rows.split(":")
        ws.print_title_rows = "$%s:$%s" % (first, last)
    parts = [(ws.oddFooter.right, PAGE_NUMBER)]
    if footer:
        parts.append((ws.oddFooter.left, footer))
    for part, text in parts:
        part.text = text
        part.font = FONT_NAME + ",Regular"
        part.size = 9  # 8 pt or more after fit-to-width


def report1(path):
    wb = new_workbook()
    ws = wb.active
    ws.title = "Лист1"
    # Landscape A4 holds these widths at about 0.97: 9-pt texts print at 8.7 pt.
    widths(ws, [4, 28, 5, 6, 5, 5, 5, 6, 8, 6, 5, 5, 6, 7, 11, 7, 5, 6, 6, 6, 5, 2])
    # The program writes rows from 9 on with its own borders; the columns give font and decimals.
    data_columns(ws, {1: "0", 2: None, 3: None, 4: "0.0", 5: None, 6: "0.0", 7: "0.0", 8: "0.0", 9: "0.00",
                      10: "0.0", 11: "0.00", 12: "0.0", 13: "0.00", 14: "0.00", 15: "0.000", 16: "0.00", 17: "0.00",
                      18: "0.0", 19: "0.0", 20: "0.0", 21: "0", 22: None})
    # A name too long for the column wraps: rows of no set height grow to hold it.
    ws.column_dimensions["B"].alignment = Alignment(horizontal="left", vertical="center", wrap_text=True)

    label(ws, "A1", "Параметры системы учета электроэнергии", TITLE, Alignment(horizontal="center"))
    # Ends at column P, so that the label of the row counts in T1 has room to its left.
    ws.merge_cells("A1:P1")
    ws.row_dimensions[1].height = 20
    # B2 object name, E2 organisation name (written).
    label(ws, "B2", None, BOLD)
    label(ws, "E2", None)
    # A3 label; C3 month name (right-aligned: it may be wider than C), D3 year, M3 "Дата расчета: ..."
    # (written).
    label(ws, "A3", "Расчетный период:")
    label(ws, "C3", None, BOLD, Alignment(horizontal="right"))
    label(ws, "D3", None, BOLD, Alignment(horizontal="left"))
    label(ws, "M3", None)
    # U2..U4 row counts of the three tables (written), labelled on their left.
    label(ws, "T1", "Число строк в таблицах:", alignment=RIGHT)
    for row, text in ((2, "поступление"), (3, "отпуск внешним"), (4, "отпуск собственным")):
        label(ws, "T%d" % row, text, alignment=RIGHT)
        label(ws, "U%d" % row, None, alignment=Alignment(horizontal="center"))

    # Column headings over the metering-point columns 1..21 written from row 9.
    head(ws, "№\nпп", 5, 1, 6, 1)
    head(ws, "Наименование ТУ", 5, 2, 6, 2)
    head(ws, "Вид\nучета", 5, 3, 6, 3)
    head(ws, "Число\nточек\nучета", 5, 4, 6, 4)
    head(ws, "Тип\nсчет-\nчика", 5, 5, 6, 5)
    head(ws, "Класс точности", 5, 6, 5, 8)
    head(ws, "ТТ", 6, 6)
    head(ws, "ТН", 6, 7)
    head(ws, "Счетч.", 6, 8)
    head(ws, "Дата\nповерки,\nмес.г", 5, 9, 6, 9)
    head(ws, "I ном\nТТ, А", 5, 10, 6, 10)
    head(ws, "U ном,\nкВ", 5, 11, 6, 11)
    head(ws, "U отч,\nкВ", 5, 12, 6, 12)
    # The workbook holds the normative load (the page shows the actual one).
    head(ws, "Норм.\nкоэф.\nзагр.\nТТ", 5, 13, 6, 13)
    head(ws, "dU\nвт.цепи\nТН, %", 5, 14, 6, 14)
    head(ws, "Пропуск\nэнергии,\nтыс.кВт.ч", 5, 15, 6, 15)
    head(ws, "Коэф.\nзаполн.\nграф", 5, 16, 6, 16)
    head(ws, "Тан-\nгенс\nфи", 5, 17, 6, 17)
    head(ws, "Число\nоткл.\nдней", 5, 18, 6, 18)
    head(ws, "Вклад в погрешн.", 5, 19, 5, 20)
    head(ws, "средн.", 6, 19)
    head(ws, "+/-", 6, 20)
    head(ws, "Код\nдос-\nтавки", 5, 21, 6, 21)
    for col in range(1, 22):
        head(ws, col, 7, col)
    ws.row_dimensions[5].height = 24
    ws.row_dimensions[6].height = 28
    # Row 8: the intake table's title row, bordered as the program borders the other two.
    label(ws, "A8", " ", alignment=Alignment(horizontal="center"))
    ws["A8"].border = Border(left=THIN, right=THIN)
    label(ws, "B8", "Поступление электроэнергии", alignment=Alignment(horizontal="left"))
    ws["B8"].border = Border(left=THIN, right=THIN)
    # Object, period and headings on every page; the title and page number in the footer.
    print_setup(ws, landscape=True, title_rows="2:7", footer="Параметры системы учета электроэнергии")

    ws2 = wb.create_sheet("Лист2")
    widths(ws2, [12, 7, 7, 7, 8, 8, 24, 9, 10, 11])
    label(ws2, "A1", "Обобщенные параметры системы учета электроэнергии по группам исходных данных", CAPTION,
          Alignment(horizontal="center", vertical="center", wrap_text=True))
    ws2.merge_cells("A1:J1")
    ws2.row_dimensions[1].height = 30
    # A2 object name, F2 the period (written).
    label(ws2, "A2", None, BOLD, Alignment(horizontal="left", vertical="top", wrap_text=True))
    ws2.merge_cells("A2:E2")
    label(ws2, "F2", None, BASE, Alignment(horizontal="right", vertical="top", wrap_text=True))
    ws2.merge_cells("F2:J2")
    ws2.row_dimensions[2].height = 26
    # Rows 5..7: one group per table, columns 1..10 (written).
    head(ws2, "Группа", 3, 1, 4, 1)
    head(ws2, "Класс точности", 3, 2, 3, 5)
    head(ws2, "ТТ", 4, 2)
    head(ws2, "ТН", 4, 3)
    head(ws2, "СЧ", 4, 4)
    head(ws2, "Экв. ИК", 4, 5)
    head(ws2, "Доля\nэнергии", 3, 6, 4, 6)
    head(ws2, "Загрузка ТТ", 3, 7, 4, 7)
    head(ws2, "Потери U\nво втор., %", 3, 8, 4, 8)
    head(ws2, "Срок после\nпов., лет", 3, 9, 4, 9)
    head(ws2, "Недоучет,\nтыс.кВт.ч", 3, 10, 4, 10)
    ws2.row_dimensions[4].height = 26
    box(ws2, 5, 7, 1, 1, alignment=LEFT)
    box(ws2, 5, 7, 2, 8, number_format="0.00")
    box(ws2, 5, 7, 9, 9, number_format="0.0")
    box(ws2, 5, 7, 10, 10, alignment=Alignment(horizontal="right"), number_format="0.000")
    # Rows 11..16, column 7 (written), with their labels in columns 1..6 and units in column 8;
    # the point names of rows 12 and 14 run on into the empty columns on their right.
    label(ws2, "A9", "Проверьте правильность данных по строкам с наибольшим вкладом в погрешность", BOLD)
    labels = {
        11: ("Наибольший вклад в погрешность на поступление энергии", "тыс.кВт.ч"),
        12: ("вносит строка:", None),
        13: ("Наибольший вклад в погрешность на отпуск энергии", "тыс.кВт.ч"),
        14: ("вносит строка:", None),
        16: ("Расчетные потери в трансформаторах тока", "тыс.кВт.ч"),
    }
    for row, (text, unit) in labels.items():
        label(ws2, "A%d" % row, text,
              alignment=RIGHT if text == "вносит строка:" else Alignment(horizontal="left"))
        ws2.merge_cells(start_row=row, start_column=1, end_row=row, end_column=6)
        label(ws2, "G%d" % row, None, alignment=Alignment(horizontal="left"))
        if unit:
            ws2["G%d" % row].number_format = "0.000"
        if unit:
            label(ws2, "H%d" % row, unit)
    print_setup(ws2, landscape=False, title_rows="1:4",
                footer="Обобщенные параметры системы учета электроэнергии по группам")

    wb.active = 0
    wb.save(path)


def report2(path):
    wb = new_workbook()
    ws = wb.active
    ws.title = "Лист1"
    # Portrait A4 holds these widths whole.
    widths(ws, [22, 25, 10, 16, 10, 11, 11])

    # A1 object name, B1 organisation name, C1 the period (written).
    label(ws, "A1", None, BOLD, TOP_LEFT)
    label(ws, "B1", None, BASE, TOP_LEFT)
    label(ws, "C1", None, BASE, Alignment(horizontal="right", vertical="top", wrap_text=True))
    ws.merge_cells("C1:G1")
    ws.row_dimensions[1].height = 27
    # The title over A2:B2; C2 the date (written as text; its format puts the label before it).
    label(ws, "A2", "Баланс электроэнергии по приборам учета", CAPTION, Alignment(vertical="center"))
    ws.merge_cells("A2:B2")
    label(ws, "C2", None, BASE, Alignment(horizontal="left", vertical="center"))
    ws["C2"].number_format = '"Дата расчета: "@'
    ws.row_dimensions[2].height = 22

    # Balance: values in column 4, rows 4..16 (written).
    head(ws, "№ п/п", 3, 1)
    head(ws, "Наименование параметра", 3, 2, 3, 3)
    head(ws, "Значение", 3, 4)
    head(ws, "Единица измерения", 3, 5)
    ws.row_dimensions[3].height = 24
    balance = [
        ("1.", "Поступление электроэнергии", "тыс.кВт.ч", "0.000"),
        ("2.", "Отпуск внешним потребителям", "тыс.кВт.ч", "0.000"),
        ("3.", "Отпуск в сеть для собственных потребителей (п.1-п.2)", "тыс.кВт.ч", "0.000"),
        ("4.", "Полезный отпуск собст.потребителям (3 гр. -п.5-п.6)", "тыс.кВт.ч", "0.000"),
        ("5.", "Расход на собственные нужды подстанций", "тыс.кВт.ч", "0.000"),
        ("6.", "Расход на производственно-хозяйственные нужды", "тыс.кВт.ч", "0.000"),
        ("7.", "Фактические (отчетные) потери (п.3-п.4-п.6)", "тыс.кВт.ч", "0.000"),
        ("7.1", "% поступления энергии", "%", "0.00"),
        ("7.2", "% отпуска в сеть", "%", "0.00"),
        ("8.", "Технические потери электроэнергии", "тыс.кВт.ч", "0.000"),
        ("9.", "Фактический небаланс электроэнергии (п.7-п.8)", "тыс.кВт.ч", "0.000"),
        ("9.1", "% поступления энергии", "%", "0.00"),
        ("9.2", "% отпуска в сеть", "%", "0.00"),
    ]
    for i, (number, name, unit, fmt) in enumerate(balance):
        row = 4 + i
        ws.cell(row=row, column=1, value=number)
        ws.cell(row=row, column=2, value=name)
        ws.merge_cells(start_row=row, start_column=2, end_row=row, end_column=3)
        ws.cell(row=row, column=5, value=unit)
        box(ws, row, row, 1, 1)
        box(ws, row, row, 2, 3, alignment=LEFT)
        box(ws, row, row, 4, 4, alignment=Alignment(horizontal="right", vertical="center"), number_format=fmt)
        box(ws, row, row, 5, 5)
        ws.row_dimensions[row].height = 24 if len(name) > 44 else 13

    # Permissible imbalances: columns 5 (thousand kWh), 6 (% of intake), 7 (% of net supply),
    # rows 20..40 (written); four rows per figure: maximum, minimum, mean, range.
    label(ws, "A18", "Допустимые небалансы и потери, обусловленные погрешностями учета", CAPTION,
          Alignment(horizontal="center"))
    ws.merge_cells("A18:G18")
    ws.row_dimensions[18].height = 18
    head(ws, "№ п/п", 19, 1)
    head(ws, "Показатель", 19, 2, 19, 3)
    head(ws, "Характеристика диапазона", 19, 4)
    head(ws, "тыс.кВт.ч", 19, 5)
    head(ws, "% поступления", 19, 6)
    head(ws, "% отп. сеть", 19, 7)
    ws.row_dimensions[19].height = 30
    figures = [
        ("1.", "Потери, обусловленные фактическими погрешностями учета "
               "(разность недоучетов на отпуске и поступлении)"),
        ("2.", "То же, обусловленные нормативными погрешностями учета"),
        ("3.", "Резерв снижения потерь, обусловленных погрешностями учета (п.1-п.2)"),
        ("4.", "Небаланс, обусловленный фактическими погрешностями учета"),
        ("5.", "Нормативный небаланс"),
    ]
    characteristics = ["Макс. значение", "Мин. значение", "Среднее значение", "Размах"]
    for i, (number, name) in enumerate(figures):
        first = 20 + 4 * i
        ws.cell(row=first, column=1, value=number)
        ws.merge_cells(start_row=first, start_column=1, end_row=first + 3, end_column=1)
        ws.cell(row=first, column=2, value=name)
        ws.merge_cells(start_row=first, start_column=2, end_row=first + 3, end_column=3)
        box(ws, first, first + 3, 1, 1)
        box(ws, first, first + 3, 2, 3, alignment=LEFT)
        for k, text in enumerate(characteristics):
            ws.cell(row=first + k, column=4, value=text)
        box(ws, first, first + 3, 4, 4, alignment=Alignment(horizontal="left", vertical="center"))
        box(ws, first, first + 3, 5, 5, alignment=Alignment(horizontal="right"), number_format="0.000")
        box(ws, first, first + 3, 6, 7, alignment=Alignment(horizontal="right"), number_format="0.00")
    ws["A40"] = "6."
    ws["B40"] = "Потери по приказу № 326 и по РД 34.09.101-94"
    ws.merge_cells("B40:C40")
    ws["D40"] = "Размах"
    box(ws, 40, 40, 1, 1)
    box(ws, 40, 40, 2, 4, alignment=LEFT)
    # Line 6 shows its percentages with 3 decimals, as its page does.
    box(ws, 40, 40, 5, 7, alignment=Alignment(horizontal="right", vertical="center"), number_format="0.000")
    ws.row_dimensions[40].height = 24

    # Voltage levels: columns 2..7, rows 44..50 (written); column 6 of rows 49 and 50 stays empty.
    label(ws, "A42", "Недоучет электроэнергии в сетях различных напряжений, тыс.кВт.ч", CAPTION,
          Alignment(horizontal="center"))
    ws.merge_cells("A42:G42")
    ws.row_dimensions[42].height = 18
    for col, text in enumerate(["Напряжение", "0,4 кВ", "6-20 кВ", "35-60 кВ", "110 кВ", "220 кВ", "Сумма"],
                               start=1):
        head(ws, text, 43, col)
    for i, text in enumerate(["Недоучет на отп.", "Недоуч. на пост.", "Потери (разность)",
                              "Разнесенные потери", "Разнесен. макс. потери",
                              "Отпуск, млн.кВт.ч", "По пр. № 326"]):
        ws.cell(row=44 + i, column=1, value=text)
    box(ws, 44, 50, 1, 1, alignment=LEFT)
    box(ws, 44, 50, 2, 7, alignment=Alignment(horizontal="right"), number_format="0.000")
    print_setup(ws, landscape=False, title_rows="1:2", footer="Баланс электроэнергии по приборам учета")
    wb.save(path)


def stop_list(path):
    wb = new_workbook()
    ws = wb.active
    ws.title = "Лист1"
    # Landscape A4 holds these widths whole.
    widths(ws, [5, 10, 7, 7, 25, 28, 9, 39, 14])
    label(ws, "A1", "Ошибки и предупреждения программы", TITLE, Alignment(horizontal="center"))
    ws.merge_cells("A1:I1")
    ws.row_dimensions[1].height = 20
    label(ws, "A2", "Строки с ошибками блокируют расчет; предупреждения его не блокируют.")
    ws.merge_cells("A2:I2")
    ws.row_dimensions[2].height = 14
    # A3: the object and period (written).
    label(ws, "A3", None, BOLD)
    ws.merge_cells("A3:I3")
    ws.row_dimensions[3].height = 16
    # Entries from row 5, columns 1..9 (written). Every row is tall enough for the two lines that
    # the longest names, parameters and messages wrap into.
    for col, text in enumerate(["№ п/п", "Номер в файле исходных данных", "Номер группы", "Номер в группе",
                                "Название ПС", "Параметр", "Значение параметра",
                                "Описание ошибки или предупреждения", "Статус ошибки"], start=1):
        head(ws, text, 4, col)
    ws.row_dimensions[4].height = 50
    ws.sheet_format.defaultRowHeight = 26
    ws.sheet_format.customHeight = True
    data_columns(ws, {1: "0", 2: "0", 3: "0", 4: "0", 5: None, 6: None, 7: "0.00", 8: None, 9: None})
    for col in range(1, 10):
        ws.column_dimensions[get_column_letter(col)].alignment = (
            TOP_LEFT if col in (5, 6, 8) else Alignment(horizontal="center", vertical="top"))
    ws.freeze_panes = "A5"
    print_setup(ws, landscape=True, title_rows="1:4", footer="Ошибки и предупреждения программы")
    wb.save(path)


def summary(path):
    """The summary of a batch (keli-calc --out): one row per object from row 6, columns 1..17."""
    from openpyxl.formatting.rule import FormulaRule
    from openpyxl.styles import PatternFill

    plain = Font(name="Liberation Sans", size=10)
    wb = Workbook()
    ws = wb.active
    ws.title = "Лист1"
    # 140 characters in all: fit-to-width on A4 landscape keeps the 10 pt text at 8 pt or more.
    widths(ws, [3, 15, 12, 8, 16, 5, 5, 9, 9, 8, 5, 8, 8, 5, 7, 10, 7])

    ws["A1"] = "Сводка расчета небалансов электроэнергии по объектам"
    ws["A1"].font = Font(name="Liberation Sans", bold=True, size=14)
    ws.merge_cells("A1:Q1")
    # A2: the organisation, A3: periods, number of objects and date (written).
    for row in (2, 3):
        ws.cell(row=row, column=1).font = plain
        ws.merge_cells(start_row=row, start_column=1, end_row=row, end_column=17)

    heading = Font(name="Liberation Sans", bold=True, size=10)
    def cap(text, first_row, first_col, last_row=None, last_col=None):
        head(ws, text, first_row, first_col, last_row, last_col)
        last_row = first_row if last_row is None else last_row
        last_col = first_col if last_col is None else last_col
        for r in range(first_row, last_row + 1):
            for c in range(first_col, last_col + 1):
                ws.cell(row=r, column=c).font = heading

    for col, text in [(1, "№\nп/п"), (2, "Исходный файл"), (3, "Объект"), (4, "Период"),
                      (5, "Результат расчета"), (6, "Оши-\nбок"), (7, "Пред-\nупр."),
                      (8, "Поступ-\nление,\nтыс.\nкВт.ч"), (9, "Отпуск\nв сеть,\nтыс.\nкВт.ч"),
                      (14, "В\nпреде-\nлах"), (15, "Потери по\nприказу\n№ 326,\nтыс.кВт.ч")]:
        cap(text, 4, col, 5, col)
    cap("Фактический небаланс", 4, 10, 4, 11)
    cap("тыс.кВт.ч", 5, 10)
    cap("% пост.", 5, 11)
    cap("Допустимый небаланс, тыс.кВт.ч", 4, 12, 4, 13)
    cap("от", 5, 12)
    cap("до", 5, 13)
    cap("Наибольший недоучет", 4, 16, 4, 17)
    cap("точка учета", 5, 16)
    cap("тыс.\nкВт.ч", 5, 17)
    ws.row_dimensions[4].height = 28
    ws.row_dimensions[5].height = 56
    ws["Q3"].alignment = RIGHT

    # Data cells take their font, alignment and number format from the columns; the program
    # draws the borders. Energies with three decimals, percentages with two.
    for col in range(1, 18):
        dim = ws.column_dimensions[get_column_letter(col)]
        dim.font = plain
        if col in (2, 3, 5, 16):
            dim.alignment = Alignment(horizontal="left", vertical="center", wrap_text=True)
        else:
            dim.alignment = Alignment(horizontal="center", vertical="center", wrap_text=True)
        if col in (8, 9, 10, 12, 13, 15, 17):
            dim.number_format = "0.000"
            dim.alignment = Alignment(horizontal="right", vertical="center")
        elif col == 11:
            dim.number_format = "0.00"
            dim.alignment = Alignment(horizontal="right", vertical="center")
        elif col in (1, 6, 7):  # counts: whole numbers, never "1.0"
            dim.number_format = "0"

    # An actual imbalance outside the permissible range: the whole row stands out.
    ws.conditional_formatting.add(
        "A6:Q20005",
        FormulaRule(formula=['$N6="нет"'], fill=PatternFill(fill_type="solid", start_color="FFF4B6B6",
                                                            end_color="FFF4B6B6"),
                    font=Font(bold=True, color="FF9C0006")))

    ws.freeze_panes = "A6"
    print_setup(ws, landscape=True, title_rows="1:5")
    ws.page_margins.right = SIDE_MARGIN
    ws.oddFooter.center.text = "Страница &P из &N"
    ws.oddFooter.center.font = "Liberation Sans"
    ws.oddFooter.center.size = 9
    wb.save(path)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    report1(os.path.join(folder, "otchet1Empty.xlsx"))
    report2(os.path.join(folder, "otchet2Empty.xlsx"))
    stop_list(os.path.join(folder, "СтоплистОтчет.xlsx"))
    summary(os.path.join(folder, "svodkaEmpty.xlsx"))


if __name__ == "__main__":
    main()
