#include "rangenotice.h"

#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolTip>

namespace keli {

namespace {

struct Range
{
    double minimum = 0;
    double maximum = 0;
};

Range rangeOf(const QAbstractSpinBox *box)
{
    if (const auto *real = qobject_cast<const QDoubleSpinBox *>(box))
        return {real->minimum(), real->maximum()};
    if (const auto *whole = qobject_cast<const QSpinBox *>(box))
        return {double(whole->minimum()), double(whole->maximum())};
    return {};
}

// A bound as it is typed: "9999", "0.5", never with a group separator or trailing zeros.
QString boundText(double value)
{
    return QString::number(value, 'g', 15);
}

// The text the line edit would hold after the key, with a point as the separator.
QString afterKey(const QLineEdit *edit, const QString &typed)
{
    QString text = edit->text();
    int at = edit->cursorPosition();
    if (edit->hasSelectedText()) {
        at = edit->selectionStart();
        text.remove(at, edit->selectedText().size());
    }
    text.insert(at, typed);
    text.remove(QLatin1Char(' ')).remove(QChar(0xA0));
    return text.replace(QLatin1Char(','), QLatin1Char('.'));
}

class OutOfRangeNotice : public QObject
{
public:
    OutOfRangeNotice(QAbstractSpinBox *box, QLineEdit *edit) : QObject(box), box(box), edit(edit) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == edit && event->type() == QEvent::KeyPress) {
            const QString typed = static_cast<QKeyEvent *>(event)->text();
            if (!typed.isEmpty() && typed.at(0).isDigit() && pastRange(afterKey(edit, typed)))
                QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), rangeNotice(box), box);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool pastRange(const QString &text) const
    {
        bool ok = false;
        const double value = text.toDouble(&ok);
        const Range range = rangeOf(box);
        return ok && (value > range.maximum || value < range.minimum);
    }

    QAbstractSpinBox *box;
    QLineEdit *edit;
};

} // namespace

QString rangeNotice(const QAbstractSpinBox *box)
{
    const Range range = rangeOf(box);
    return QStringLiteral("Допустимые значения: от %1 до %2").arg(boundText(range.minimum), boundText(range.maximum));
}

void noticeOutOfRange(QAbstractSpinBox *box)
{
    if (auto *edit = box->findChild<QLineEdit *>())
        edit->installEventFilter(new OutOfRangeNotice(box, edit));
}

} // namespace keli
