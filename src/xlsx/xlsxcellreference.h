#pragma once
// Cell references in A1 notation ("B12"): parsing and formatting, within the sheet limits
// of 1,048,576 rows and 16,384 columns (XFD).

#include <QString>
#include <QStringView>

#include <string_view>

namespace QXlsx {
namespace CellReference {

constexpr int maxRows = 1048576;
constexpr int maxColumns = 16384;

inline bool isValid(int row, int column)
{
    return row >= 1 && row <= maxRows && column >= 1 && column <= maxColumns;
}

// Parses "AB12" (an optional "$" before each part is accepted). False when it is not a cell
// reference or lies outside the sheet.
bool parse(QStringView text, int *row, int *column);
// The same from UTF-8 as the byte scanner hands it out; the common form ("B12") without a QString.
bool parse(std::string_view text, int *row, int *column);
// Parses a column name alone ("AB" -> 28); 0 when invalid.
int parseColumn(QStringView text);

QString columnName(int column);
QString format(int row, int column);

} // namespace CellReference
} // namespace QXlsx
