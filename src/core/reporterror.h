#pragma once
// The error report: the stop list as a page and as the stop-list workbook.

#include "core/calculation.h"
#include "core/htmlpage.h"
#include "core/reportbook.h"

#include <QStringList>
#include <QVector>

namespace keli {

// Title of the error page (and, with ".html", its file name).
extern const QString errorReportTitle; // "Ошибки и предупреждения программы"

// The rows of the error page: the head line, then one line per entry.
QStringList errorReportRows(const QVector<StopListEntry> &stopList);

// The whole error page content: one table, period of fileMonth and calcYear.
ReportPage errorReportPage(const QVector<StopListEntry> &stopList, int fileMonth, int calcYear);

// Fills the stop-list workbook at path in place (a new workbook when it is missing or unreadable):
// the subject line (object and period) into A3 when given, the entries from row 5 on, then clears
// every row below them that the sheet holds (at least 101), writes the signOff lines below the
// entries after a blank row, and saves it atomically.
BookResult otchet_errxls(const QString &path, const QVector<StopListEntry> &stopList,
                         const QString &subject = QString(), const QStringList &signOff = QStringList());

// The subject line of the stop-list workbook: the object and the period.
QString stopListSubject(const QString &objectName, int fileMonth, int calcYear);

// Program and arguments of the spreadsheet command with the workbook as the last argument: the
// command split at blanks (quotes group), never run through a shell. Empty when there is no program.
QStringList spreadsheetCommandLine(const QString &command, const QString &workbook);

// What the user is told when neither the spreadsheet command nor the desktop's application for
// .xlsx opened the workbook at path: its full path and the key of keli.ini that names the program.
QString spreadsheetNotStartedMessage(const QString &command, const QString &path);

// What the user is told when the program that was to open the workbook at path started but ended
// at once with an error status (exitCode, or -1 for a crash).
QString spreadsheetFailedMessage(const QString &program, int exitCode, const QString &path);

} // namespace keli
