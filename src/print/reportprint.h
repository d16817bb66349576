#pragma once
// Report pages on paper: A4 in the orientation the page's tables need, a 20-mm left margin for
// filing, table rows never split across pages, table headings repeated on every page, no
// background tint, and a footer naming the page beside "Страница N из M". Used by the viewer's print
// and by keli-calc --pdf.

#include "print/printdoc.h"

#include <QPageLayout>
#include <QString>

class QPaintDevice;
class QPagedPaintDevice;

namespace keli {

// A4 with the margins of our printed pages: landscape when a table of the page needs more width than
// a portrait sheet gives (measured with the fonts of device), portrait otherwise.
QPageLayout reportPageLayout(const PrintDoc &page, QPaintDevice *device);

// The footer of a printed page: the object and the report's title.
QString reportFooter(const QString &objectName, const QString &title);

// Prints page on device with the device's page layout; footer names the page in the bottom margin
// beside "Страница N из M". Returns the number of pages printed (0 on failure).
int printReportPage(const PrintDoc &page, QPagedPaintDevice *device, const QString &footer);

// Writes the page as a PDF in reportPageLayout(), atomically. On failure returns false and
// sets *error to a sentence for the user.
bool writeReportPdf(const PrintDoc &page, const QString &path, const QString &footer,
                    QString *error = nullptr);

} // namespace keli
