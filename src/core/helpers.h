#pragma once
// Numeric and path helpers shared by the loader, the saver, the calculation and the reports.

#include <QString>

namespace keli {

// x rounded to n decimals, half away from zero, by the fixed floating-point steps:
// p = trunc(x); result = p + trunc((x - p) * 10^n + sign * 0.5) / 10^n.
// These steps decide the last digit (0.125 -> 0.13), so do not replace them by std::round.
double round(double x, int n);

// x rounded twice by round(), then fixed-point text with exactly n decimals, point, no grouping.
QString rounds(double x, int n);

// The text of a finite v as QString::number(v, 'g', 17) gives it, Latin-1 into out (32 bytes at
// least), without the detour through QString; the number of bytes written.
int fullPrecisionText(double v, char *out);

// |x|
double dabs(double x);

// Years (2 decimals) from a verification date month.yy to the period (month 1..12, 13 = whole year
// counted from its middle). yy >= 61 is read as 19yy, else 20yy.
double kol_y(double date, int month, int year);

// Table (1..3) and 1-based row within it of the 1-based running row k over the three tables,
// given the intake count c1 and the external release count c2.
void groupStr(int k, int c1, int c2, int &table, int &number);

// Current working directory (absolute, "/" separators) + "/" + name.
QString GetCrossFilePath(const QString &name);

// Days of the period: the month's days (1..12), 365/366 for 13 by the last two digits of the year,
// 0 for any other month.
int k_day(int month, int year);

// Locale-independent number text as users type it: QString::toDouble / toInt semantics,
// anything that does not convert gives 0.
double toReal(const QString &text);
int toWhole(const QString &text);

// A real as the user types it in a cell or field: as toReal, with a decimal comma taken as the
// decimal point ("142,9" is 142.9), as Russian users type it.
double typedReal(const QString &text);

// A number as users write it, in a cell or a field: blanks and no-break blanks anywhere are group
// separators, one decimal comma or point, an optional sign in front ("21 455,5" is 21455.5,
// "1,234" is 1.234). Anything else ("1.234,5", "1,2,3", "abc", "1e5") and empty text are not numbers:
// false, and *value is left as it was.
bool parseNumber(const QString &text, double *value);

// Name of a number column of the source workbook (column 2..16) as the table editor heads it.
QString numberColumnName(int column);

} // namespace keli
