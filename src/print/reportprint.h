#pragma once
// Report pages on paper: the page is laid out as on the screen, with words never broken inside,
// and scaled down to the width of the paper when its tables are wider; table headings repeat on
// every page and every page carries its number. Used by the viewer's print and by keli-calc --pdf.

#include <QPageLayout>
#include <QString>

class QPagedPaintDevice;
class QTextDocument;

namespace keli {

// The orientation that prints the page larger: portrait unless its tables need more width than a
// portrait sheet gives and a landscape sheet prints them at a larger scale.
QPageLayout::Orientation reportOrientation(const QTextDocument &page);

// A4 in reportOrientation(page) with the margins of our printed pages.
QPageLayout reportPageLayout(const QTextDocument &page);

// The footer of a printed page: the object and the report's title.
QString reportFooter(const QString &objectName, const QString &title);

// Prints a copy of page on device with the device's page layout; footer names the page in the
// bottom margin beside "Страница N из M". Returns the number of pages printed (0 on failure).
int printReportPage(const QTextDocument &page, QPagedPaintDevice *device, const QString &footer);

// Writes the page as a PDF in reportPageLayout(), atomically. On failure returns false and
// sets *error to a sentence for the user.
bool writeReportPdf(const QTextDocument &page, const QString &path, const QString &footer,
                    QString *error = nullptr);

} // namespace keli
