#pragma once
// What the three report workbooks share: the cell formats, the clearing of leftover rows, and
// opening a template / saving the filled workbook with the outcome the caller reports.

#include "xlsx/xlsxdocument.h"
#include "xlsx/xlsxformat.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

namespace keli {

// The four formats of the metering-point table of Report No. 1 (thin borders).
struct ReportFormats
{
    QXlsx::Format leftBorderFormat;     // left border, centred
    QXlsx::Format sideBorderFormat;     // left and right borders, centred
    QXlsx::Format sideBorderLeftFormat; // left and right borders, left-aligned
    QXlsx::Format bottomBorderFormat;   // left, right and bottom borders, centred
};

// Gives the formats their properties; calling it again changes nothing.
void fmts(ReportFormats &formats);

// Clears the values of rows firstRow..lastRow, columns firstCol..lastCol of the current sheet,
// keeping each cell's style. Nothing when a range is empty.
void chistka(QXlsx::Document &book, int firstRow, int lastRow, int firstCol, int lastCol);

// How writing a report workbook ended; message is the text the user is shown when not written.
struct BookResult
{
    enum Status { Written, TemplateMissing, SaveFailed } status = Written;
    QString message;
    bool ok() const { return status == Written; }
};

// File names of the workbooks, relative to the working directory.
extern const QString report1BookName;     // "Otchet1.xlsx"
extern const QString report1TemplateName; // "otchet1Empty.xlsx"
extern const QString report2BookName;     // "result.xlsx"
extern const QString report2TemplateName; // "otchet2Empty.xlsx"
extern const QString stopListBookName;    // "СтоплистОтчет.xlsx"

// The installed templates of a program whose executable lies in programDir: share/keli/templates
// beside its bin/, so that an install under any prefix finds them.
QString installedTemplatesDir(const QString &programDir);

// Copies templateName from installedDir into workDir when workDir has no file of that name (a copy
// the user keeps there is never replaced). Nothing when installedDir is empty; false when the copy
// was needed and failed.
bool provideTemplate(const QString &workDir, const QString &installedDir, const QString &templateName);

// Opens dir/templateName with the sheet "Лист1" selected (when it has one); null when the template
// is missing or unreadable. The template itself is never written: the report is saved elsewhere.
std::unique_ptr<QXlsx::Document> openReportTemplate(const QString &dir, const QString &templateName);

// Template workbooks read and parsed once, so that many objects (a batch) only copy them.
// Read-only after load(): threads may open copies at the same time.
class ReportTemplates
{
public:
    // Loads the named templates of dir, as openReportTemplate finds them, or of installedDir when dir
    // has none of that name (nothing is copied); missing ones are left out.
    void load(const QString &dir, const QString &installedDir, const QStringList &templateNames);
    bool contains(const QString &templateName) const { return m_books.contains(templateName); }
    // A copy of the loaded template with "Лист1" selected; null when it was not loaded.
    std::unique_ptr<QXlsx::Document> open(const QString &templateName) const;
    // The folder the template was loaded from (empty when it was not loaded).
    QString folder(const QString &templateName) const { return m_folders.value(templateName); }

private:
    QHash<QString, std::shared_ptr<const QXlsx::Document>> m_books;
    QHash<QString, QString> m_folders;
};

// As above, a copy from templates when they hold templateName, else from dir.
std::unique_ptr<QXlsx::Document> openReportTemplate(const QString &dir, const QString &templateName,
                                                    const ReportTemplates *templates);

// A report whose template is missing: the earlier report of that name is removed, so that no
// workbook of an earlier calculation passes for this one; message is the user's text.
BookResult templateMissing(const QString &dir, const QString &bookName, const QString &message);

// Saves book atomically as path; a failure gives SaveFailed with a sentence naming the file.
BookResult saveBook(QXlsx::Document &book, const QString &path);

// Text of a failed save of the named file; `reason` is the system's text, used only when the cause
// cannot be named (see writeFailureReason).
QString saveFailedMessage(const QString &path, const QString &reason = QString());

// The period line of the workbooks: "Расчетный период: " and the period as the pages show it.
QString workbookPeriod(int fileMonth, int calcYear);

// A cell number that is never NaN or infinite.
QVariant bookNumber(double value);

} // namespace keli
