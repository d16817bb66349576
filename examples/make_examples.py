#!/usr/bin/python3
"""Writes the example source workbooks of this folder.

Run with Debian's python, which has openpyxl:  /usr/bin/python3 examples/make_examples.py
The workbooks are laid out as the program saves them: row 1 the header values (the object name,
the three row counts, the metering kind of each table, two reserved values, the technical losses
and their error, the permissible commercial losses), then one row per metering point, the three
tables one after another. Energies are in thousand kWh with three decimals, also above 16,384
(17320.640 in the Южный example), where only an exact reading keeps the third decimal; verification
dates are month.yy.
The files come out byte for byte the same on every run (fixed dates in the package).
"""

import io
import os
import sys
import zipfile
from datetime import datetime

import openpyxl

HERE = os.path.dirname(os.path.abspath(__file__))
FIXED_TIME = datetime(2024, 1, 1, 0, 0, 0)

SETTLEMENT, TECHNICAL = 0, 1


def days_of(month, year):
    if month == 13:
        return 366 if (year % 100) % 4 == 0 else 365
    if month == 2:
        return 29 if year % 4 == 0 and (year % 100 != 0 or year % 400 == 0) else 28
    return 30 if month in (4, 6, 9, 11) else 31


def point(name, count, meter_type, ct, vt, meter, date, ct_current, ct_kv, report_kv,
          energy, fill, kind, tan_phi, off_days=0):
    """One metering point in the order of the workbook's columns A..P."""
    return dict(name=name, count=count, type=meter_type, ct=ct, vt=vt, meter=meter, date=date,
                current=ct_current, ct_kv=ct_kv, report_kv=report_kv, energy=energy, fill=fill,
                off=off_days, kind=kind, tan=tan_phi)


def write_sheet(ws, ex):
    tables = ex["tables"]
    ws.cell(1, 1, ex["object"])
    for t in range(3):
        ws.cell(1, 2 + t, len(tables[t]))
        ws.cell(1, 5 + t, ex["kinds"][t])
    ws.cell(1, 8, 0)
    ws.cell(1, 9, 0)
    ws.cell(1, 10, "%.3f" % ex["tech_losses"])
    ws.cell(1, 11, "%.1f" % ex["tech_loss_error"])
    ws.cell(1, 12, "%.1f" % ex["commercial_loss"])
    month, year = ex["period"]
    r = 2
    for rows in tables:
        for p in rows:
            values = [p["name"], p["count"], p["type"], p["ct"], p["vt"], p["meter"], p["date"],
                      float(p["current"]), p["ct_kv"], p["report_kv"], round(0.5 * p["vt"], 2),
                      "%.3f" % p["energy"], p["fill"], p["off"], p["kind"], p["tan"], 0,
                      days_of(month, year), month, year]
            for c, v in enumerate(values, start=1):
                ws.cell(r, c, v)
            r += 1


def save_reproducibly(wb, path):
    wb.properties.creator = "КЕЛИ"
    wb.properties.created = FIXED_TIME
    wb.properties.modified = FIXED_TIME
    raw = io.BytesIO()
    wb.save(raw)
    raw.seek(0)
    with zipfile.ZipFile(raw) as src, zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as dst:
        for info in src.infolist():
            data = src.read(info.filename)
            fixed = zipfile.ZipInfo(info.filename, date_time=FIXED_TIME.timetuple()[:6])
            fixed.compress_type = zipfile.ZIP_DEFLATED
            fixed.external_attr = 0o644 << 16
            dst.writestr(fixed, data)


def write_example(ex):
    wb = openpyxl.Workbook()
    ws = wb.active
    notes = ex.get("notes")
    if notes:
        # A sheet of notes first and the data on "Лист1", as users keep them.
        ws.title = "Примечания"
        for r, line in enumerate(notes, start=1):
            ws.cell(r, 1, line)
        ws.column_dimensions["A"].width = 90
        data = wb.create_sheet(ex["sheet"])
    else:
        ws.title = ex["sheet"]
        data = ws
    write_sheet(data, ex)
    data.column_dimensions["A"].width = 42
    path = os.path.join(HERE, ex["file"])
    save_reproducibly(wb, path)
    return path


# A 110/10 kV substation, October 2024: two 110 kV intakes, 10 kV feeders to external consumers,
# own 10 kV feeders of the district network, own needs through the auxiliary transformers and
# household needs of the substation on directly connected meters. Calculates without findings.
ZARECHNAYA = dict(
    file="ПС_110_10_Заречная_октябрь_2024.xlsx",
    sheet="Лист1",
    object="ПС 110/10 кВ Заречная",
    period=(10, 2024),
    kinds=(SETTLEMENT, SETTLEMENT, TECHNICAL),
    tech_losses=205.410, tech_loss_error=5.0, commercial_loss=30.0,
    tables=[
        [
            point("ВЛ-110 кВ Заречная-1 (ввод Т-1)", 1, "Э", 0.2, 0.2, 0.2, 3.22, 300, 110, 110,
                  5124.360, 0.72, "Р", 0.35),
            point("ВЛ-110 кВ Заречная-2 (ввод Т-2)", 1, "Э", 0.2, 0.2, 0.2, 11.21, 300, 110, 110,
                  4387.915, 0.70, "Р", 0.38),
        ],
        [
            point("Ф-10 кВ №3 ООО «Промзона»", 1, "Э", 0.5, 0.5, 0.5, 6.20, 400, 10, 10,
                  2315.480, 0.65, "Р", 0.42),
            point("Ф-10 кВ №5 МУП «Водоканал»", 1, "Э", 0.5, 0.5, 0.5, 2.23, 200, 10, 10,
                  1436.204, 0.75, "Р", 0.33),
            point("Ф-10 кВ №8 АО «Сельхозтехника»", 1, "И", 0.5, 0.5, 2.0, 4.11, 150, 10, 10,
                  612.730, 0.60, "Р", 0.50),
            point("Ф-10 кВ №11 СНТ «Рассвет»", 1, "Э", 0.5, 0.5, 1.0, 8.19, 100, 10, 10,
                  287.115, 0.45, "Р", 0.30),
        ],
        [
            point("Ф-10 кВ №2 РЭС Заречный (ТП-1...ТП-14)", 1, "Э", 0.5, 0.5, 0.5, 5.21, 400, 10, 10,
                  2980.410, 0.78, "Т", 0.40),
            point("Ф-10 кВ №6 РЭС Заречный (ТП-15...ТП-22)", 1, "Э", 0.5, 0.5, 0.5, 5.21, 300, 10, 10,
                  1650.275, 0.74, "Т", 0.40),
            point("ТСН-1 0,4 кВ (собственные нужды)", 1, "Э", 0.5, 0, 1.0, 7.22, 100, 0.4, 0.4,
                  18.640, 0.55, "СН", 0.60),
            point("ТСН-2 0,4 кВ (собственные нужды)", 1, "Э", 0.5, 0, 1.0, 7.22, 100, 0.4, 0.4,
                  16.225, 0.55, "СН", 0.60),
            point("Хозяйственные нужды: здание ОПУ", 3, "Э", 0, 0, 1.0, 9.19, 0, 0.4, 0.4,
                  4.312, 0.50, "ПХН", 0),
            point("Освещение территории ПС", 2, "И", 0, 0, 2.0, 5.12, 0, 0.4, 0.4,
                  1.187, 0.40, "ПХН", 0),
        ],
    ],
    notes=[
        "ПС 110/10 кВ Заречная, два трансформатора 16 МВА.",
        "Данные для программы КЕЛИ - на листе «Лист1»: строка 1 - параметры объекта,",
        "далее точки учета: поступление, отпуск внешним потребителям, отпуск собственным потребителям.",
        "Энергия - тыс. кВт·ч за октябрь 2024 г.; дата поверки - месяц.год (3.22 - март 2022 г.).",
    ],
)

# A 10/0.4 kV transformer substation, March 2024: intakes on the 0.4 kV side through CTs, 0.4 kV
# lines and directly connected household groups. One group of induction meters was verified in
# March 2007, so the calculation warns about the verification interval.
TP127 = dict(
    file="ТП_10_0,4_№127_март_2024.xlsx",
    sheet="Sheet1",
    object="ТП-10/0,4 кВ №127 (РЭС Северный)",
    period=(3, 2024),
    kinds=(SETTLEMENT, SETTLEMENT, SETTLEMENT),
    tech_losses=19.840, tech_loss_error=10.0, commercial_loss=5.0,
    tables=[
        [
            point("Ввод 0,4 кВ Т-1 630 кВА", 1, "Э", 0.5, 0, 0.5, 10.21, 1000, 0.4, 0.4,
                  186.420, 0.45, "Р", 0.45),
            point("Ввод 0,4 кВ Т-2 630 кВА", 1, "Э", 0.5, 0, 0.5, 10.21, 1000, 0.4, 0.4,
                  142.865, 0.45, "Р", 0.45),
        ],
        [
            point("ВЛ-0,4 кВ ф.1 ИП Соколов (магазин)", 1, "Э", 0.5, 0, 1.0, 4.22, 150, 0.4, 0.4,
                  21.630, 0.50, "Р", 0.40),
            point("ВЛ-0,4 кВ ф.2 МБОУ СОШ №4", 1, "Э", 0.5, 0, 1.0, 9.20, 200, 0.4, 0.4,
                  17.905, 0.50, "Р", 0.40),
            point("Жилой дом ул. Садовая, 12 (население)", 48, "Э", 0, 0, 1.0, 2.19, 0, 0.4, 0.4,
                  62.480, 0.35, "Р", 0),
            point("Частный сектор ул. Лесная (население)", 36, "И", 0, 0, 2.5, 3.07, 0, 0.4, 0.4,
                  41.275, 0.35, "Р", 0),
        ],
        [
            point("ВЛ-0,4 кВ ф.4 РЭС (сеть 0,4 кВ)", 1, "Э", 0.5, 0, 1.0, 11.22, 600, 0.4, 0.4,
                  158.230, 0.55, "Т", 0.45),
            point("Собственные нужды ТП (обогрев, освещение)", 1, "Э", 0, 0, 1.0, 1.23, 0, 0.4, 0.4,
                  0.845, 0.40, "СН", 0),
        ],
    ],
)

# A 10 kV distribution point for the whole year 2023: two 10 kV intakes from the feeding
# substation, cable lines to external consumers and to the district network, own and household
# needs. Calculates without findings.
RP_YUZHNY = dict(
    file="РП_10_Южный_2023_год.xlsx",
    sheet="Лист1",
    object="РП-10 кВ Южный",
    period=(13, 2023),
    kinds=(SETTLEMENT, SETTLEMENT, SETTLEMENT),
    tech_losses=590.200, tech_loss_error=7.5, commercial_loss=60.0,
    tables=[
        [
            point("Яч.1 ввод от ПС Южная Ф-14", 1, "Э", 0.5, 0.5, 0.5, 4.21, 600, 10, 10,
                  21450.320, 0.70, "Р", 0.35),
            point("Яч.8 ввод от ПС Южная Ф-27", 1, "Э", 0.5, 0.5, 0.5, 4.21, 600, 10, 10,
                  17320.640, 0.70, "Р", 0.35),
        ],
        [
            point("Яч.3 КЛ-10 кВ ТП-51...ТП-55", 1, "Э", 0.5, 0.5, 0.5, 8.20, 300, 10, 10,
                  12874.110, 0.68, "Р", 0.40),
            point("Яч.5 КЛ-10 кВ ЗАО «Южный хлебозавод»", 1, "Э", 0.5, 0.5, 0.5, 6.22, 200, 10, 10,
                  9658.402, 0.70, "Р", 0.40),
            point("Яч.6 КЛ-10 кВ ТСЖ «Береговое»", 1, "И", 0.5, 0.5, 1.0, 12.16, 300, 10, 10,
                  7312.840, 0.62, "Р", 0.30),
        ],
        [
            point("Яч.7 КЛ-10 кВ РЭС Южный (ТП-60, ТП-61)", 1, "Э", 0.5, 0.5, 0.5, 3.23, 200, 10, 10,
                  8245.117, 0.72, "Т", 0.40),
            point("Собственные нужды РП", 1, "Э", 0, 0, 1.0, 2.21, 0, 0.4, 0.4,
                  21.345, 0.50, "СН", 0),
            point("Хозяйственные нужды РП (мастерская)", 1, "Э", 0, 0, 1.0, 2.21, 0, 0.4, 0.4,
                  6.874, 0.45, "ПХН", 0),
        ],
    ],
)

EXAMPLES = [ZARECHNAYA, TP127, RP_YUZHNY]

if __name__ == "__main__":
    for ex in EXAMPLES:
        print(write_example(ex))
    sys.exit(0)
