#include "xlsx/xlsxcelltext.h"

#include "xlsx/xlsxxmlscanner.h"

#include <QString>

#include <charconv>
#include <cmath>

namespace QXlsx {
namespace CellText {

namespace {

// Digits with at most one point and no exponent, 15 digits at most: the mantissa and the power of
// ten are exact doubles, so one division gives the correctly rounded value, as from_chars would.
bool shortDecimal(std::string_view text, double *value)
{
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        ++i;
    static const double powers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    qint64 mantissa = 0;
    int digits = 0, decimals = 0, before = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            mantissa = mantissa * 10 + (c - '0');
            if (++digits > 15)
                return false;
            if (point)
                ++decimals;
            else
                ++before;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (before == 0 || (point && decimals == 0))
        return false;
    const double v = double(mantissa) / powers[decimals];
    *value = negative ? -v : v;
    return true;
}

} // namespace

double toNumber(QStringView text, bool *ok)
{
    text = text.trimmed();
    char buffer[64];
    int n = 0;
    for (QChar ch : text) {
        const ushort u = ch.unicode();
        if (n == int(sizeof buffer) || !((u >= '0' && u <= '9') || u == '.' || u == '-' || u == '+' || u == 'e' || u == 'E')) {
            // Long or unusual forms (no infinities or NaN) take the general way.
            const double v = text.toString().toDouble(ok);
            *ok = *ok && std::isfinite(v);
            return *ok ? v : 0;
        }
        buffer[n++] = char(u);
    }
    const char *begin = buffer;
    if (n > 0 && buffer[0] == '+')
        ++begin;
    double v = 0;
    const std::from_chars_result r = std::from_chars(begin, buffer + n, v);
    *ok = r.ec == std::errc() && r.ptr == buffer + n && std::isfinite(v);
    return v;
}

double toNumber(std::string_view text, bool *ok)
{
    double quick = 0;
    if (shortDecimal(text, &quick)) {
        *ok = true;
        return quick;
    }
    return toNumber(fromUtf8(text), ok);
}

bool isSmallNumber(std::string_view text)
{
    if (text.empty() || text.size() > 9)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

int smallNumber(std::string_view text)
{
    int n = 0;
    for (const char c : text)
        n = n * 10 + (c - '0');
    return n;
}

int toInt(std::string_view text)
{
    return isSmallNumber(text) ? smallNumber(text) : fromUtf8(text).toInt();
}

int sharedIndex(std::string_view text)
{
    if (isSmallNumber(text))
        return smallNumber(text);
    bool ok = false;
    const int index = fromUtf8(text).trimmed().toInt(&ok);
    return ok ? index : -1;
}

} // namespace CellText
} // namespace QXlsx
