#include "core/reporttext.h"

#include "core/helpers.h"

#include <cmath>

namespace keli {

QString fixedText(double value, int n)
{
    return QString::number(finiteOr0(value), 'f', n);
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
    return QStringLiteral("<td>") + text + QStringLiteral("</td>");
}

} // namespace keli
