#include "cuttexttooltip.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

namespace keli {

bool cellTextIsCut(const QAbstractItemView *view, const QModelIndex &index)
{
    if (!index.isValid())
        return false;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return false;
    // The item delegate keeps this margin on either side of the text.
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const int room = view->visualRect(index).width() - 2 * margin;
    return view->fontMetrics().horizontalAdvance(text) > room;
}

CutTextToolTip::CutTextToolTip(QAbstractItemView *view) : QObject(view), view(view)
{
    view->viewport()->installEventFilter(this);
}

bool CutTextToolTip::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != view->viewport() || event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex index = view->indexAt(help->pos());
    if (cellTextIsCut(view, index))
        QToolTip::showText(help->globalPos(), index.data(Qt::DisplayRole).toString(), view->viewport(),
                           view->visualRect(index));
    else
        QToolTip::hideText();
    return true;
}

} // namespace keli
