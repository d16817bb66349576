#pragma once
// Spin boxes that take a typed point and a typed comma alike as the decimal separator, in any
// locale: under ru_RU a typed "9.5" is 9,50 (Qt alone reads the point as nothing and gives 95,00),
// and under a locale with a decimal point a typed "9,5" is 9.50.

class QAbstractSpinBox;

namespace keli {

// From now on a "." or "," key pressed in box types the box's own decimal separator.
void acceptPointAndComma(QAbstractSpinBox *box);

} // namespace keli
