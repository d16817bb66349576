#pragma once
// Shared constants of the program: period names and the organisation name.

#include <QString>
#include <QStringList>

namespace com {

// Month names of the period choice; position + 1 is the month number, 13 ("год") the whole year.
extern const QStringList ls_mes;

// Name of the organisation operating the program, shown in every report heading.
extern const QString organisationName;

// Program line of the about dialog and the main window title.
extern const QString programTitle;     // "Программа КЕЛИ"
extern const QString programVersion;   // " (Версия V2.01.26)"

// Month name for 1..13 from ls_mes, empty outside that range.
QString monthName(int month);
// monthName() in lower case (empty outside 1..13), as the report pages show it.
QString monthNameLower(int month);
// Report period text: lower-case month name, a blank, the year and " года" ("октябрь 2024 года");
// for the whole year (13) the year and " год" ("2023 год").
QString periodText(int month, int year);

} // namespace com

// The class of shared constants; it only groups the namespace for callers that expect a type.
class Com
{
public:
    static const QStringList &months() { return com::ls_mes; }
};
