#include "xlsx/xlsxworksheet.h"

#include "xlsx/xlsxpartstream.h"
#include "xlsx/xlsxxml.h"
#include "xlsx/xlsxxmlscanner.h"

#include <QLocale>

#include <algorithm>

namespace QXlsx {

QString Worksheet::numberText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

bool Worksheet::load(const QByteArray &xml, const SharedStrings &strings, const QString &part, QString *error)
{
    WholePart whole(xml);
    return load(whole, strings, part, error);
}

bool Worksheet::load(PartStream &stream, const SharedStrings &strings, const QString &part, QString *error)
{
    QString badReference;
    LoadResult result = Unreadable;
    {
        XmlScanner scanner(stream);
        result = scan(scanner, strings, &badReference);
    }
    if (result == Unreadable) {
        // Beyond the plain XML the scanner reads: read by the general reader, then scanned.
        const QByteArray xml = wholePart(stream);
        QByteArray copy;
        if (!Xml::plainCopy(xml, &copy, part, error)) {
            m_rows.clear();
            return false;
        }
        XmlScanner scanner(copy.constData(), size_t(copy.size()));
        result = scan(scanner, strings, &badReference);
        if (result == Unreadable) {
            *error = QStringLiteral("%1: unreadable XML").arg(part);
            m_rows.clear();
            return false;
        }
    }
    if (result == BadReference) {
        *error = QStringLiteral("%1: cell reference outside the sheet: %2").arg(part, badReference.left(40));
        m_rows.clear();
        return false;
    }
    return true;
}

QString Worksheet::describe() const
{
    QString out;
    for (const Row &row : m_rows) {
        out += QStringLiteral("row %1:").arg(row.row);
        for (const Cell &c : row.cells) {
            const QVariant v = value(c);
            out += QStringLiteral(" %1/%2%3=%4:%5").arg(c.column).arg(c.style).arg(c.formula ? "f" : "")
                       .arg(QLatin1String(v.typeName())).arg(v.userType() == QMetaType::Double
                           ? QString::number(v.toDouble(), 'g', 17) : v.toString());
        }
        out += QLatin1Char('\n');
    }
    QList<int> styled = m_rowStyles.keys();
    std::sort(styled.begin(), styled.end());
    for (int r : styled)
        out += QStringLiteral("row style %1=%2\n").arg(r).arg(m_rowStyles.value(r));
    for (const ColumnStyle &c : m_columnStyles)
        out += QStringLiteral("column style %1-%2=%3\n").arg(c.first).arg(c.last).arg(c.style);
    return out;
}

void Worksheet::normalize(bool rowsSorted)
{
    if (rowsSorted)
        return;
    // Rows or cells out of order (allowed by lax producers): sort them, the last of equal ones wins.
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const Row &a, const Row &b) { return a.row < b.row; });
    std::vector<Row> merged;
    for (Row &row : m_rows) {
        if (!merged.empty() && merged.back().row == row.row) {
            for (Cell &c : row.cells)
                merged.back().cells.push_back(std::move(c));
        } else {
            merged.push_back(std::move(row));
        }
    }
    for (Row &row : merged) {
        std::stable_sort(row.cells.begin(), row.cells.end(),
                         [](const Cell &a, const Cell &b) { return a.column < b.column; });
        std::vector<Cell> unique;
        for (Cell &c : row.cells) {
            if (!unique.empty() && unique.back().column == c.column)
                unique.back() = std::move(c);
            else
                unique.push_back(std::move(c));
        }
        row.cells = std::move(unique);
    }
    m_rows = std::move(merged);
}

const Worksheet::Cell *Worksheet::cell(int row, int column) const
{
    // Rows and cells are sorted and mostly without gaps: the place a number would have in a
    // gapless run is tried first, then a binary search.
    if (m_rows.empty())
        return nullptr;
    auto r = m_rows.end();
    const qint64 rowGuess = qint64(row) - m_rows.front().row;
    if (rowGuess >= 0 && rowGuess < qint64(m_rows.size()) && m_rows[size_t(rowGuess)].row == row)
        r = m_rows.begin() + rowGuess;
    else
        r = std::lower_bound(m_rows.begin(), m_rows.end(), row, [](const Row &a, int n) { return a.row < n; });
    if (r == m_rows.end() || r->row != row || r->cells.empty())
        return nullptr;
    const std::vector<Cell> &cells = r->cells;
    const qint64 columnGuess = qint64(column) - cells.front().column;
    if (columnGuess >= 0 && columnGuess < qint64(cells.size()) && cells[size_t(columnGuess)].column == column)
        return &cells[size_t(columnGuess)];
    auto c = std::lower_bound(cells.begin(), cells.end(), column, [](const Cell &a, int n) { return a.column < n; });
    return c != cells.end() && c->column == column ? &*c : nullptr;
}

QVariant Worksheet::value(const Cell &cell) const
{
    switch (cell.kind) {
    case Cell::Number: return QVariant(cell.number);
    case Cell::Boolean: return QVariant(cell.boolean);
    case Cell::Text: return QVariant(m_texts[size_t(cell.text)]);
    case Cell::Empty: break;
    }
    return QVariant();
}

void Worksheet::setValue(Cell *cell, const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::Double:
        cell->kind = Cell::Number;
        cell->number = value.toDouble();
        break;
    case QMetaType::Bool:
        cell->kind = Cell::Boolean;
        cell->boolean = value.toBool();
        break;
    case QMetaType::QString:
        cell->kind = Cell::Text;
        m_texts.push_back(value.toString());
        cell->text = int(m_texts.size() - 1);
        break;
    default:
        cell->kind = Cell::Empty; // what Document::write stores is one of the three or nothing
        break;
    }
}

QVariant Worksheet::read(int row, int column) const
{
    const Cell *c = cell(row, column);
    return c ? value(*c) : QVariant();
}

Worksheet::Cell *Worksheet::findCell(int row, int column)
{
    auto r = std::lower_bound(m_rows.begin(), m_rows.end(), row, [](const Row &a, int n) { return a.row < n; });
    if (r == m_rows.end() || r->row != row)
        r = m_rows.insert(r, Row{row, {}});
    auto c = std::lower_bound(r->cells.begin(), r->cells.end(), column,
                              [](const Cell &a, int n) { return a.column < n; });
    if (c == r->cells.end() || c->column != column) {
        Cell fresh;
        fresh.column = quint16(column);
        fresh.style = styleOf(row, column);
        c = r->cells.insert(c, fresh);
    }
    return &*c;
}

int Worksheet::styleOf(int row, int column) const
{
    if (const Cell *c = cell(row, column))
        return c->style;
    auto rs = m_rowStyles.constFind(row);
    if (rs != m_rowStyles.constEnd())
        return rs.value();
    for (const ColumnStyle &cs : m_columnStyles) {
        if (column >= cs.first && column <= cs.last)
            return cs.style;
    }
    return 0;
}

Worksheet::Edit &Worksheet::RowEdits::operator[](int column)
{
    if (m_cells.empty() || m_cells.back().first < column) {
        m_cells.emplace_back(column, Edit());
        return m_cells.back().second;
    }
    auto at = std::lower_bound(m_cells.begin(), m_cells.end(), column,
                               [](const Entry &e, int n) { return e.first < n; });
    if (at == m_cells.end() || at->first != column)
        at = m_cells.insert(at, Entry(column, Edit()));
    return at->second;
}

size_t Worksheet::RowEdits::count(int column) const
{
    const auto at = std::lower_bound(m_cells.begin(), m_cells.end(), column,
                                     [](const Entry &e, int n) { return e.first < n; });
    return at != m_cells.end() && at->first == column ? 1 : 0;
}

bool Worksheet::set(int row, int column, const QVariant &value, int style)
{
    const Cell *held = cell(row, column);
    Cell *c = held ? const_cast<Cell *>(held) : findCell(row, column);
    const bool hadFormula = c->formula;
    c->formula = false;
    setValue(c, value);
    c->style = style;
    // Rows are mostly written in order: the last row's edits are found without a search.
    auto edits = m_edits.empty() || m_edits.rbegin()->first != row ? m_edits.try_emplace(m_edits.end(), row)
                                                                   : std::prev(m_edits.end());
    edits->second[column] = Edit{value, style};
    return hadFormula;
}

bool Worksheet::holdsValue(int row, int column) const
{
    const Cell *c = cell(row, column);
    return c && (c->kind != Cell::Empty || c->formula);
}

bool Worksheet::holdsExactly(int row, int column, const QVariant &value) const
{
    const Cell *c = cell(row, column);
    if (!c || c->formula)
        return false;
    switch (c->kind) {
    case Cell::Number:
        return value.userType() == QMetaType::Double && *static_cast<const double *>(value.constData()) == c->number;
    case Cell::Boolean:
        return value.userType() == QMetaType::Bool && *static_cast<const bool *>(value.constData()) == c->boolean;
    case Cell::Text:
        return value.userType() == QMetaType::QString
               && *static_cast<const QString *>(value.constData()) == m_texts[size_t(c->text)];
    case Cell::Empty:
        break;
    }
    return false;
}

bool Worksheet::clearValues(int firstRow, int firstColumn, int lastRow, int lastColumn)
{
    std::vector<std::pair<int, int>> held; // row, column
    auto r = std::lower_bound(m_rows.begin(), m_rows.end(), firstRow, [](const Row &a, int n) { return a.row < n; });
    for (; r != m_rows.end() && r->row <= lastRow; ++r) {
        for (const Cell &c : r->cells) {
            if (c.column >= firstColumn && c.column <= lastColumn && (c.kind != Cell::Empty || c.formula))
                held.emplace_back(r->row, c.column);
        }
    }
    bool hadFormula = false;
    for (const auto &place : held)
        hadFormula = set(place.first, place.second, QVariant(), styleOf(place.first, place.second)) || hadFormula;
    return hadFormula;
}

} // namespace QXlsx
