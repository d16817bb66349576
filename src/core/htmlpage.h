#pragma once
// The frame of every report page (head, headings, period line, table openings and closings) and
// the writing of the page file. Both programs build pages here, so their page files are identical.

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace keli {

// The two names of the third heading line: the network object and the operating organisation.
struct PageHeading
{
    QString organisationName;
    QString objectName; // user data: escaped when put into the page
    // Paragraphs that end the page (the calculation and the lines to sign), user data; none when
    // empty. A one-table page closes its table before them.
    QStringList signOff;
};

// One-table page. The frame opens the table and its first row; rows supply the header cells and
// everything after, including whatever closes the table. The date line uses calculatedAt.
QStringList htmlBodyLines(const PageHeading &heading, const QString &title, const QString &period,
                          const QStringList &rows, const QDateTime &calculatedAt);

// Two-table page: rows1 complete the first table's opened row; rows2 are whole rows of the second
// table, which carries caption2.
QStringList htmlBody2Lines(const PageHeading &heading, const QString &title, const QString &caption2,
                           const QString &period, const QStringList &rows1, const QStringList &rows2);

// Three-table page, as the two-table page with a third table under caption3.
QStringList htmlBody3Lines(const PageHeading &heading, const QString &title, const QString &caption2,
                           const QString &caption3, const QString &period, const QStringList &rows1,
                           const QStringList &rows2, const QStringList &rows3);

// File name of a report page: title + ".html".
QString pageFileName(const QString &title);

// Writes the lines one after another as UTF-8 (no byte-order mark), atomically: the old file stays
// as it was when anything fails. On failure returns false and sets *error to a sentence for the user.
bool writePageFile(const QString &path, const QStringList &lines, QString *error = nullptr);

} // namespace keli

namespace keli {

// The content of one report page: what a report builder hands to the frame.
struct ReportPage
{
    int tables = 1;          // 1, 2 or 3: which frame
    QString title;
    QString caption2;        // tables 2 and 3
    QString caption3;        // table 3
    QString period;
    QStringList rows1, rows2, rows3;
};

// The whole page of the frame the page asks for.
QStringList framePage(const PageHeading &heading, const ReportPage &page, const QDateTime &calculatedAt);

} // namespace keli
