#include "xlsx/xlsxcellreference.h"

#include "xlsx/xlsxcelltext.h"
#include "xlsx/xlsxxmlscanner.h"

namespace QXlsx {
namespace CellReference {

int parseColumn(QStringView text)
{
    if (text.isEmpty() || text.size() > 3)
        return 0;
    int column = 0;
    for (QChar ch : text) {
        ushort u = ch.unicode();
        if (u >= 'a' && u <= 'z')
            u -= 'a' - 'A';
        else if (u > 127)
            u = ch.toUpper().unicode();
        if (u < 'A' || u > 'Z')
            return 0;
        column = column * 26 + (u - 'A' + 1);
    }
    return column <= maxColumns ? column : 0;
}

bool parse(QStringView text, int *row, int *column)
{
    int i = 0;
    const int n = text.size();
    if (i < n && text[i] == QLatin1Char('$'))
        ++i;
    const int letters = i;
    while (i < n && text[i].isLetter() && text[i].unicode() < 128)
        ++i;
    const int col = parseColumn(text.mid(letters, i - letters));
    if (col == 0)
        return false;
    if (i < n && text[i] == QLatin1Char('$'))
        ++i;
    if (i >= n || n - i > 7)
        return false;
    qint64 r = 0;
    for (; i < n; ++i) {
        const ushort u = text[i].unicode();
        if (u < '0' || u > '9')
            return false;
        r = r * 10 + (u - '0');
    }
    if (r < 1 || r > maxRows)
        return false;
    *row = int(r);
    *column = col;
    return true;
}

QString columnName(int column)
{
    QString name;
    while (column > 0) {
        const int rem = (column - 1) % 26;
        name.prepend(QChar('A' + rem));
        column = (column - 1) / 26;
    }
    return name;
}

QString format(int row, int column)
{
    return columnName(column) + QString::number(row);
}

bool parse(std::string_view text, int *row, int *column)
{
    // The common form: one to three capitals and the row's digits.
    size_t letters = 0;
    int c = 0;
    while (letters < text.size() && letters < 4 && text[letters] >= 'A' && text[letters] <= 'Z')
        c = c * 26 + (text[letters++] - 'A' + 1);
    const size_t digits = text.size() - letters;
    if (letters >= 1 && letters <= 3 && digits >= 1 && digits <= 7 && CellText::isSmallNumber(text.substr(letters))) {
        const int r = CellText::smallNumber(text.substr(letters));
        if (c > maxColumns || r < 1 || r > maxRows)
            return false;
        *row = r;
        *column = c;
        return true;
    }
    return parse(QStringView(fromUtf8(text)), row, column);
}

} // namespace CellReference
} // namespace QXlsx
