#include "focusedbuttonenter.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>

namespace keli {

namespace {

class FocusedButtonEnter : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        auto *button = qobject_cast<QPushButton *>(watched);
        if (!button || button->autoDefault() || button->isDefault() // key events go to the focused widget
            || (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            || (key->modifiers() & ~Qt::KeypadModifier))
            return false;
        button->click();
        return true;
    }
};

} // namespace

void installEnterOnFocusedButton(QCoreApplication &app)
{
    app.installEventFilter(new FocusedButtonEnter(&app));
}

} // namespace keli
