#pragma once
// The report files of one calculation, written without windows (keli-calc), from the same
// builders the windows use, so both programs write the same files.

#include "core/calculation.h"
#include "core/dataset.h"
#include "core/htmlpage.h"
#include "core/reportbook.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace keli {

// A date as the report workbooks show it: the Russian short date, 08.12.2026, whatever the locale.
QString reportDateText(const QDate &date = QDate::currentDate());

// The headings of every page (the organisation and the dataset's object name) and the lines that
// end it (the calculation at calculatedAt, the lines to sign).
PageHeading pageHeading(const Dataset &ds, const QDateTime &calculatedAt);

// Writes dir/<title>.html of one page. On failure returns false and sets *error.
bool writeReportPage(const QString &dir, const Dataset &ds, const ReportPage &page,
                     const QDateTime &calculatedAt, QString *error = nullptr);

// The names of every file a calculation may leave in its folder: the three pages, their PDFs and the
// three workbooks. No other file of a folder is ever removed.
QStringList reportFileNames();

// Before a calculation with this outcome writes its files into dir: removes the pages, PDFs and
// report workbooks an earlier calculation left there, so that none passes for this one's, and after
// a calculation that was not blocked empties the stop-list workbook of its entries (it is filled in
// place, so never removed); also for the outcomes that write no files, whose folder then holds no
// report at all. Returns one sentence per stop-list workbook that could not be emptied.
QStringList clearEarlierReports(const QString &dir, const Dataset &ds, Outcome outcome);

struct ReportFilesOptions
{
    bool report1 = true;
    bool report2 = true;
    bool errorPageAfterWarnings = true; // the error page after a calculation with warnings
    QDateTime calculatedAt = QDateTime::currentDateTime();
    QString dateText = reportDateText();
    QString installedTemplates; // templates missing from the working folder are copied from here
    const ReportTemplates *templates = nullptr; // templates loaded once (a batch): used as they are
};

struct ReportFilesResult
{
    QStringList written;  // file names written, in order
    QStringList failures; // one sentence per file that could not be written
};

// What one press of "РАСЧЕТ" writes, in its order: after a calculation the selected reports (page,
// then workbook), then the error page when there were warnings; after a blocked calculation the
// error page and the stop-list workbook. Nothing for the other outcomes. No program is started.
ReportFilesResult writeReportFiles(const QString &dir, const Dataset &ds, const CalcOutcome &outcome,
                                   const ReportFilesOptions &options = ReportFilesOptions());

} // namespace keli
