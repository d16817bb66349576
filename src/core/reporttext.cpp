#include "core/reporttext.h"

#include "core/helpers.h"

#include <cmath>
#include <cstdint>

namespace keli {

namespace {

// The decimal digits of value with n decimals (0..6), rounded as QString::number(value, 'f', n)
// rounds (the exact binary value, halves away from zero), with a minus before a negative value;
// false when the value is too large for the fast way. Pages write some hundred thousand figures.
bool fastFixed(double value, int n, char *out, int *length)
{
#ifdef __SIZEOF_INT128__
    static const std::uint64_t pow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    static const std::uint64_t pow5[] = {1, 5, 25, 125, 625, 3125, 15625};
    if (n < 0 || n > 6)
        return false;
    const double magnitude = std::fabs(value);
    if (!(magnitude < 4503599627370496.0 / double(pow10[n]))) // 2^52: whole figures fit 64 bits
        return false;
    // magnitude = m / 2^shift exactly, m odd (or 0), so magnitude * 10^n = m * 5^n / 2^(shift - n).
    int exponent = 0;
    std::uint64_t m = std::uint64_t(std::ldexp(std::frexp(magnitude, &exponent), 53));
    int shift = 53 - exponent;
    while (m != 0 && (m & 1) == 0 && shift > 0) {
        m >>= 1;
        --shift;
    }
    const unsigned __int128 scaled = static_cast<unsigned __int128>(m) * pow5[n];
    const int drop = shift - n;
    std::uint64_t whole = 0;
    if (drop <= 0) {
        whole = std::uint64_t(scaled << -drop);
    } else if (drop < 127) {
        const unsigned __int128 kept = scaled >> drop;
        const unsigned __int128 rest = scaled - (kept << drop);
        whole = std::uint64_t(kept) + (rest >= (static_cast<unsigned __int128>(1) << (drop - 1)) ? 1 : 0);
    }
    char digits[24];
    int k = 0;
    do {
        digits[k++] = char('0' + whole % 10);
        whole /= 10;
    } while (whole != 0 || k <= n);
    int o = 0;
    if (value < 0)
        out[o++] = '-';
    for (int i = k - 1; i >= 0; --i) {
        out[o++] = digits[i];
        if (i == n && n > 0)
            out[o++] = '.';
    }
    *length = o;
    return true;
#else
    Q_UNUSED(value) Q_UNUSED(n) Q_UNUSED(out) Q_UNUSED(length)
    return false;
#endif
}

} // namespace

QString fixedText(double value, int n)
{
    value = finiteOr0(value);
    char text[40];
    int length = 0;
    if (fastFixed(value, n, text, &length))
        return QString::fromLatin1(text, length);
    return QString::number(value, 'f', n);
}

QString roundedText(double value, int r, int n)
{
    return fixedText(keli::round(finiteOr0(value), r), n);
}

QString pageText(const QString &userText)
{
    return userText.toHtmlEscaped();
}

QString pageCell(const QString &text)
{
    QString cell;
    cell.reserve(text.size() + 9);
    cell.append(QLatin1String("<td>")).append(text).append(QLatin1String("</td>"));
    return cell;
}

} // namespace keli
