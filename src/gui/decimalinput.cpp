#include "decimalinput.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QValidator>

namespace keli {

namespace {

// The validator of the spin box's line edit: turns the separator the locale does not use into the
// one it does, then validates as the spin box does. (The spin box's own validator does no more
// than that last step for a box without prefix, suffix or special text.)
class DecimalSeparatorValidator : public QValidator
{
public:
    explicit DecimalSeparatorValidator(QDoubleSpinBox *box) : QValidator(box), m_box(box) {}

    State validate(QString &input, int &pos) const override
    {
        const QChar separator = m_box->locale().decimalPoint();
        input.replace(separator == QLatin1Char(',') ? QLatin1Char('.') : QLatin1Char(','), separator);
        return m_box->validate(input, pos);
    }

    void fixup(QString &input) const override { m_box->fixup(input); }

private:
    QDoubleSpinBox *m_box;
};

} // namespace

void acceptPointAndComma(QDoubleSpinBox *box)
{
    if (QLineEdit *edit = box->findChild<QLineEdit *>())
        edit->setValidator(new DecimalSeparatorValidator(box));
}

} // namespace keli
