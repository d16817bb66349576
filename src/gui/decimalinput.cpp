#include "decimalinput.h"

#include <QAbstractSpinBox>
#include <QCoreApplication>
#include <QKeyEvent>

namespace keli {

namespace {

// Turns a "." or "," key press into a press of the watched spin box's decimal separator.
class DecimalSeparatorFilter : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString typed = key->text();
        if (typed != QLatin1String(".") && typed != QLatin1String(","))
            return false;
        const QChar separator = static_cast<QAbstractSpinBox *>(watched)->locale().decimalPoint();
        if (typed.at(0) == separator)
            return false;
        QKeyEvent replaced(QEvent::KeyPress, separator == QLatin1Char(',') ? Qt::Key_Comma : Qt::Key_Period,
                           key->modifiers(), QString(separator), key->isAutoRepeat(), key->count());
        QCoreApplication::sendEvent(watched, &replaced);
        return true;
    }
};

} // namespace

void acceptPointAndComma(QAbstractSpinBox *box)
{
    box->installEventFilter(new DecimalSeparatorFilter(box));
}

} // namespace keli
