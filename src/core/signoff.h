#pragma once
// What makes a report a document to sign and file: the organisation, the date of calculation, the
// source file, the program's version and the lines "Составил" and "Проверил". Every report page
// and workbook ends with these lines.

#include "core/dataset.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace QXlsx { class Document; }

namespace keli {

class Settings;

// The organisation the reports name: the dataset's, else the program's fixed one.
QString reportOrganisation(const Dataset &ds);

// Takes the organisation and the signatories from keli.ini.
void takeSignatories(const Settings &settings, Dataset *ds);

// The lines of text that end a report: the calculation (dated dateText, the source file, the
// version), then "Составил: …" and "Проверил: …", each a name and a line to sign on, or a blank
// line to fill by hand.
QStringList signOffLines(const Dataset &ds, const QString &dateText);

// The date and time of calculation as the pages give it: 08.12.2026 14:05.
QString signOffDate(const QDateTime &calculatedAt);

// Writes lines one per row into column, from row + 1 on. Returns the last row written.

int writeSignOff(QXlsx::Document &book, int row, int column, const QStringList &lines);

} // namespace keli
