#pragma once
// Report No. 2 "Баланс электроэнергии по приборам учета": the balance, the permissible imbalances
// and losses, and the undermetering by voltage level, as a page and as a workbook.

#include "core/calculation.h"
#include "core/dataset.h"
#include "core/htmlpage.h"
#include "core/reportbook.h"

namespace keli {

extern const QString report2Title;    // "Баланс электроэнергии по приборам учета"
extern const QString report2Caption2; // permissible table (with a trailing blank)
extern const QString report2Caption3; // voltage table

// The whole page content: three tables, period of fileMonth and calcYear.
ReportPage report2Page(const Dataset &ds, const CalcResults &r);

// Makes dir/result.xlsx from dir/otchet2Empty.xlsx. dateText is today's short date.
BookResult otchet2xls(const QString &dir, const Dataset &ds, const CalcResults &r,
                      const QString &dateText, const ReportTemplates *templates = nullptr);

} // namespace keli
