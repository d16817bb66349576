#include "screenfit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace keli {

namespace {

// Resizes stretch by as much as the window's size changes; moves the children below it with the
// bottom edge, and the children over the right edge inside.
class StretchFollower : public QObject
{
public:
    StretchFollower(QWidget *window, QWidget *stretch)
        : QObject(window), window(window), stretch(stretch), last(window->size())
    {
    }

    // The size the children were laid out for is kept here: a hidden window's first resize event
    // carries no old size.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == window && event->type() == QEvent::Resize && window->size() != last) {
            follow(window->size() - last);
            last = window->size();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void follow(const QSize &delta)
    {
        const int stretchBottom = stretch->geometry().bottom();
        stretch->resize((stretch->size() + delta).expandedTo(QSize(0, 0)));
        for (QObject *child : window->children()) {
            auto *w = qobject_cast<QWidget *>(child);
            if (!w || w == stretch || w->isWindow())
                continue;
            if (w->y() > stretchBottom)
                w->move(w->x(), w->y() + delta.height());
            if (w->geometry().right() >= window->width()) { // over the right edge: moved in, then narrowed
                w->move(std::max(0, window->width() - w->width()), w->y());
                w->resize(std::min(w->width(), window->width()), w->height());
            }
        }
    }

    QWidget *window;
    QWidget *stretch;
    QSize last;
};

} // namespace

void fitToScreen(QWidget *window, QWidget *stretch)
{
    if (stretch)
        window->installEventFilter(new StretchFollower(window, stretch));
    QScreen *screen = QGuiApplication::screenAt(window->geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    if (window->width() <= area.width() && window->height() <= area.height()) {
        // It fits; a window placed by its code is moved inside when it would stand over the edge.
        if (window->testAttribute(Qt::WA_Moved) && !area.contains(window->geometry()))
            window->move(std::clamp(window->x(), area.left(), area.right() + 1 - window->width()),
                         std::clamp(window->y(), area.top(), area.bottom() + 1 - window->height()));
        return;
    }
    window->setGeometry(area);
    window->setWindowState(window->windowState() | Qt::WindowMaximized);
}

} // namespace keli
