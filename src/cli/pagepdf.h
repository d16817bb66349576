#pragma once
// PDFs of what keli-calc writes: each report page beside it, and the batch summary.

#include "summary.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Prints the page file dir/name (a ".html") as dir/<same base name>.pdf; *pdfPath names it.
// False with a sentence in *error on failure.
bool writePagePdf(const QString &dir, const QString &name, const QString &objectName, QString *pdfPath,
                  QString *error);

// Prints the summary rows at path on landscape A4: the organisation, period line and headings as
// the workbook has them, then signOff (the calculation and the lines to sign).
bool writeSummaryPdf(const QString &path, const QVector<SummaryRow> &rows, const QString &organisation,
                     const QString &dateText, const QStringList &signOff, QString *error);
