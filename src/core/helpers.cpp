#include "core/helpers.h"

#include <QDate>
#include <QDir>

#include <cmath>

namespace keli {

double round(double x, int n)
{
    const double p = std::trunc(x);
    const double s = x < 0 ? -1.0 : 1.0;
    const double scale = std::pow(10.0, n);
    return p + std::trunc((x - p) * scale + s * 0.5) / scale;
}

QString rounds(double x, int n)
{
    const double v = round(round(x, n), n);
    return QString::number(v, 'f', n);
}

double dabs(double x)
{
    return std::fabs(x);
}

double kol_y(double date, int month, int year)
{
    const double d = round(date, 2);
    const int m = static_cast<int>(std::trunc(d));
    const int yy = static_cast<int>(std::trunc(round((d - m) * 100.0, 2)));
    const int verificationYear = yy >= 61 ? 1900 + yy : 2000 + yy;
    const int verificationIndex = verificationYear * 12 + m;
    const int periodIndex = month == 13 ? year * 12 + 6 : year * 12 + month;
    return round(static_cast<double>(periodIndex - verificationIndex) / 12.0, 2);
}

void groupStr(int k, int c1, int c2, int &table, int &number)
{
    if (k <= c1) {
        table = 1;
        number = k;
    } else if (k > c1 + c2) {
        table = 3;
        number = k - c1 - c2;
    } else {
        table = 2;
        number = k - c1;
    }
}

QString GetCrossFilePath(const QString &name)
{
    return QStringLiteral("%1/%2").arg(QDir::currentPath(), name);
}

int k_day(int month, int year)
{
    if (month >= 1 && month <= 12)
        return QDate(year, month, 1).daysInMonth();
    if (month == 13)
        return (year % 100) % 4 == 0 ? 366 : 365;
    return 0;
}

double toReal(const QString &text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

double typedReal(const QString &text)
{
    if (text.contains(QLatin1Char('.')))
        return toReal(text);
    return toReal(QString(text).replace(QLatin1Char(','), QLatin1Char('.')));
}

int toWhole(const QString &text)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok ? v : 0;
}

} // namespace keli
