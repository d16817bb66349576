#pragma once
// Spin boxes that take a point and a comma alike as the decimal separator, typed or pasted, in any
// locale: under ru_RU "9.5" is 9,50 (Qt alone drops the point and gives 95,00), and under a locale
// with a decimal point "9,5" is 9.50.

class QDoubleSpinBox;

namespace keli {

// From now on a "." or "," entered in box is the box's own decimal separator.
void acceptPointAndComma(QDoubleSpinBox *box);

} // namespace keli
