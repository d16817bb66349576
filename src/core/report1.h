#pragma once
// Report No. 1 "Параметры системы учета электроэнергии": the metering points of the three tables
// with their contribution to the error, and the group table, as a page and as a workbook.

#include "core/calculation.h"
#include "core/dataset.h"
#include "core/htmlpage.h"
#include "core/reportbook.h"

#include <QStringList>

namespace keli {

extern const QString report1Title;    // "Параметры системы учета электроэнергии"
extern const QString report1Caption2; // the group table's caption

// Appends the block of one table to rows: the title line, then 21 cells per metering point.
// table 1 intake, 2 external release, anything else own release; index is the running position
// in the row columns, shared by the three calls and advanced per row. The fifth argument is unused.
void html_otchet1html(int table, QStringList &rows, int count, int &index, int unused,
                      const Dataset &ds, const CalcResults &r);

// The whole page content: metering-point table and group table, period of fileMonth and calcYear.
ReportPage report1Page(const Dataset &ds, const CalcResults &r);

// Writes the rows of one table from sheet row `row` on, advancing row and index per row; with last
// set, the table's final row gets the bottom border.
void xlsx_otchet1xls(QXlsx::Document &book, int count, int &index, int &row, int last,
                     const ReportFormats &formats, const Dataset &ds, const CalcResults &r);

// Makes dir/Otchet1.xlsx from dir/otchet1Empty.xlsx. dateText is today's short date.
BookResult otchet1xls(const QString &dir, const Dataset &ds, const CalcResults &r,
                      const QString &dateText, const ReportTemplates *templates = nullptr);

} // namespace keli
