#include "core/helpers.h"

#include <QDate>
#include <QDir>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cmath>

namespace keli {

namespace {

// 10^n: exact for 0 <= n <= 22, where pow gives the same exact value; pow elsewhere.
double powerOfTen(int n)
{
    static const double exact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    return n >= 0 && n <= 22 ? exact[n] : std::pow(10.0, n);
}

} // namespace

double round(double x, int n)
{
    const double p = std::trunc(x);
    const double s = x < 0 ? -1.0 : 1.0;
    const double scale = powerOfTen(n);
    return p + std::trunc((x - p) * scale + s * 0.5) / scale;
}

QString rounds(double x, int n)
{
    const double v = round(round(x, n), n);
    return QString::number(v, 'f', n);
}

int fullPrecisionText(double v, char *out)
{
    if (v == 0) {
        out[0] = '0'; // a negative zero too
        return 1;
    }
    // 18 correctly rounded significant digits, rounded once more to 17: right unless the 18th is
    // a 5, the rounding of a value just below, at or above the half. 31 digits tell those apart;
    // an exact tie (QString::number rounds it away from zero, to_chars to even) or a value too
    // close to tell takes the general way.
    char sci[32];
    const char *sciEnd = std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific, 17).ptr;
    const bool negative = sci[0] == '-';
    const char *mantissa = sci + (negative ? 1 : 0); // d.ddddddddddddddddde±x
    bool roundUp = mantissa[18] > '5';
    if (mantissa[18] == '5') {
        char wide[48];
        std::to_chars(wide, wide + sizeof wide, v, std::chars_format::scientific, 30);
        const char *digits = wide + (negative ? 1 : 0); // the same 17 digits, then 14 more
        roundUp = digits[18] == '5' && std::any_of(digits + 19, digits + 32, [](char c) { return c != '0'; });
        if (digits[18] == '5' && !roundUp) {
            const QByteArray text = QString::number(v, 'g', 17).toLatin1();
            std::memcpy(out, text.constData(), size_t(text.size()));
            return text.size();
        }
    }
    char digits[18];
    digits[0] = '0'; // room for a carry out of the first digit
    digits[1] = mantissa[0];
    std::memcpy(digits + 2, mantissa + 2, 16);
    int exponent = 0;
    std::from_chars(mantissa + 20 + (mantissa[20] == '+' ? 1 : 0), sciEnd, exponent);
    if (roundUp) {
        int i = 17;
        while (digits[i] == '9')
            digits[i--] = '0';
        ++digits[i];
    }
    const char *first = digits + 1;
    if (digits[0] != '0') {
        first = digits; // 9.99...9x rounded up to 10.00...0
        ++exponent;
    }
    int count = 17; // significant digits without the trailing zeros
    while (count > 1 && first[count - 1] == '0')
        --count;

    char *p = out;
    if (negative)
        *p++ = '-';
    if (exponent < -4 || exponent >= 17) {
        *p++ = first[0];
        if (count > 1) {
            *p++ = '.';
            std::memcpy(p, first + 1, size_t(count - 1));
            p += count - 1;
        }
        *p++ = 'e';
        *p++ = exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10)
            *p++ = '0';
        p = std::to_chars(p, p + 4, magnitude).ptr;
    } else if (exponent < 0) {
        *p++ = '0';
        *p++ = '.';
        for (int k = -1; k > exponent; --k)
            *p++ = '0';
        std::memcpy(p, first, size_t(count));
        p += count;
    } else {
        const int whole = exponent + 1;
        for (int k = 0; k < whole; ++k)
            *p++ = k < count ? first[k] : '0';
        if (count > whole) {
            *p++ = '.';
            std::memcpy(p, first + whole, size_t(count - whole));
            p += count - whole;
        }
    }
    return int(p - out);
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
    // The common form, "-123.456" with at most 15 digits, directly: the digits and the power of ten
    // are exact doubles, so one division rounds as QString::toDouble does.
    const QChar *c = text.constData();
    const QChar *const end = c + text.size();
    const bool negative = c != end && *c == QLatin1Char('-');
    if (negative)
        ++c;
    qint64 mantissa = 0;
    int digits = 0, decimals = -1;
    for (; c != end && digits <= 15; ++c) {
        const ushort u = c->unicode();
        if (u >= '0' && u <= '9') {
            mantissa = mantissa * 10 + (u - '0');
            ++digits;
            if (decimals >= 0)
                ++decimals;
        } else if (u == '.' && decimals < 0 && digits > 0) {
            decimals = 0;
        } else {
            break;
        }
    }
    if (c == end && digits > 0 && digits <= 15 && decimals != 0) {
        const double v = double(mantissa) / powerOfTen(decimals < 0 ? 0 : decimals);
        return negative ? -v : v;
    }
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

bool parseNumber(const QString &text, double *value)
{
    QByteArray plain;
    plain.reserve(text.size());
    bool separatorSeen = false;
    int digits = 0;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u >= '0' && u <= '9') {
            plain.append(char(u));
            ++digits;
        } else if (u == ' ' || u == 0x00A0 || u == 0x202F || u == 0x2009 || u == '\t') {
            continue; // group separators, and blanks around the number
        } else if ((u == ',' || u == '.') && !separatorSeen) {
            separatorSeen = true;
            plain.append('.');
        } else if ((u == '-' || u == '+') && plain.isEmpty()) {
            plain.append(char(u));
        } else {
            return false;
        }
    }
    if (digits == 0)
        return false;
    *value = toReal(QString::fromLatin1(plain));
    return true;
}

QString numberColumnName(int column)
{
    static const char *const names[] = {"", "", "Кол. счетчиков", "", "Кл.ТТ", "Кл.ТН", "Кл.Сч.",
                                        "Дата поверки", "Iном.ТТ", "Uтт", "Uотч", "dUтн",
                                        "W, тыс.кВт.ч", "КЗ", "Откл. дн.", "", "tg фи"};
    return column >= 0 && column <= 16 ? QString::fromUtf8(names[column]) : QString();
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
