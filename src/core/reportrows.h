#pragma once
// Safe reads of the row columns for the reports: a position past a column's end reads as empty / 0,
// so a report never reads outside what the calculation produced.

#include <QString>
#include <QVector>

namespace keli {

template <typename T>
T columnAt(const QVector<T> &column, int position)
{
    return position >= 0 && position < column.size() ? column.at(position) : T();
}

} // namespace keli
