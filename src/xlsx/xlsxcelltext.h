#pragma once
// The texts of cells and attributes as the byte scanner hands them out (UTF-8): numbers converted
// with correct rounding, and the small whole numbers of indexes, styles and row numbers.

#include <QStringView>

#include <string_view>

namespace QXlsx {
namespace CellText {

// A cell's number: the text as written by spreadsheet programs (plain decimal or exponent form,
// blanks around allowed), converted with correct rounding; false for anything else.
double toNumber(QStringView text, bool *ok);
// The same from UTF-8; short decimals without the detour through QString.
double toNumber(std::string_view text, bool *ok);

// Digits only, short enough for an int: the common form of indexes, styles and row numbers.
bool isSmallNumber(std::string_view text);
// The value of a text for which isSmallNumber() holds.
int smallNumber(std::string_view text);
// As QString::toInt: 0 for anything that is not a number.
int toInt(std::string_view text);
// The index a shared string cell's text names; -1 for one that names none.
int sharedIndex(std::string_view text);

} // namespace CellText
} // namespace QXlsx
