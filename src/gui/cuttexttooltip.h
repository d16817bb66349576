#pragma once
// Tool tips with the whole text of the cells that a grid's column width cuts.

#include <QObject>

class QAbstractItemView;
class QModelIndex;

namespace keli {

// True when the cell's text is wider than its cell, so the grid shows it cut.
bool cellTextIsCut(const QAbstractItemView *view, const QModelIndex &index);

// Watches the view's tool tip requests: a cut text is shown whole; a cell that shows its whole
// text has no tool tip.
class CutTextToolTip : public QObject
{
public:
    explicit CutTextToolTip(QAbstractItemView *view);
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAbstractItemView *view;
};

} // namespace keli
