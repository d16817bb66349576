#pragma once
// A spin box refuses a digit that would take its value past its range, silently; with this notice
// it says so beside the field, naming the range ("Допустимые значения: от 0 до 9999").

class QAbstractSpinBox;
class QString;

namespace keli {

// The range of a spin box as the notice names it.
QString rangeNotice(const QAbstractSpinBox *box);

// From now on a key that would take box's text past its range shows the notice as a tool tip.
void noticeOutOfRange(QAbstractSpinBox *box);

} // namespace keli
