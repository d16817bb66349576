#include "print/printdoc.h"

#include <QHash>

namespace keli {

namespace {

const int maxHeadingRows = 3; // a table's heading never takes more rows than this

struct Tag
{
    QString name; // lower case, without the slash
    bool closing = false;
    QHash<QString, QString> attributes;
};

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char(':');
}

// Parses the inside of <...>; tolerant of blanks around '=' and of values without a blank after them.
Tag parseTag(const QStringRef &text)
{
    Tag tag;
    int i = 0;
    const int n = text.size();
    if (i < n && text.at(i) == QLatin1Char('/')) {
        tag.closing = true;
        ++i;
    }
    const int nameStart = i;
    while (i < n && isNameChar(text.at(i)))
        ++i;
    tag.name = text.mid(nameStart, i - nameStart).toString().toLower();
    while (i < n) {
        while (i < n && !isNameChar(text.at(i)))
            ++i;
        const int start = i;
        while (i < n && isNameChar(text.at(i)))
            ++i;
        const QString name = text.mid(start, i - start).toString().toLower();
        while (i < n && text.at(i).isSpace())
            ++i;
        QString value;
        if (i < n && text.at(i) == QLatin1Char('=')) {
            ++i;
            while (i < n && text.at(i).isSpace())
                ++i;
            if (i < n && (text.at(i) == QLatin1Char('\'') || text.at(i) == QLatin1Char('"'))) {
                const QChar quote = text.at(i++);
                const int v = i;
                while (i < n && text.at(i) != quote)
                    ++i;
                value = text.mid(v, i - v).toString();
                ++i;
            } else {
                const int v = i;
                while (i < n && !text.at(i).isSpace())
                    ++i;
                value = text.mid(v, i - v).toString();
            }
        }
        if (!name.isEmpty())
            tag.attributes.insert(name, value);
    }
    return tag;
}

QString decodeEntity(const QString &name)
{
    if (name.startsWith(QLatin1String("#x")) || name.startsWith(QLatin1String("#X")))
        return QString(QChar(name.midRef(2).toUInt(nullptr, 16)));
    if (name.startsWith(QLatin1Char('#')))
        return QString(QChar(name.midRef(1).toUInt()));
    static const QHash<QString, QString> named = {
        {QStringLiteral("amp"), QStringLiteral("&")},   {QStringLiteral("lt"), QStringLiteral("<")},
        {QStringLiteral("gt"), QStringLiteral(">")},    {QStringLiteral("quot"), QStringLiteral("\"")},
        {QStringLiteral("apos"), QStringLiteral("'")},  {QStringLiteral("nbsp"), QString(QChar(0xA0))},
    };
    return named.value(name, QLatin1Char('&') + name + QLatin1Char(';'));
}

bool boldStyle(const Tag &tag)
{
    QString style = tag.attributes.value(QStringLiteral("style"));
    style.remove(QLatin1Char(' '));
    return style.contains(QLatin1String("font-weight:6")) || style.contains(QLatin1String("font-weight:7"))
        || style.contains(QLatin1String("font-weight:8")) || style.contains(QLatin1String("font-weight:bold"));
}

// Builds the document as the tags go by.
class Reader
{
public:
    PrintDoc doc;

    void text(const QString &chunk)
    {
        for (const QChar c : chunk) {
            if (c.isSpace() && c != QChar(0xA0)) {
                if (!m_line.isEmpty() && !m_line.endsWith(QLatin1Char(' ')))
                    m_line += QLatin1Char(' ');
                continue;
            }
            if (m_cell < 0 && m_block < 0) {
                if (m_table >= 0)
                    continue; // stray text between a table's cells
                startBlock(PrintBlock::Paragraph, 0);
            }
            m_line += c;
            if (m_cell >= 0)
                (boldNow() ? m_cellBold : m_cellPlain) = true;
        }
    }

    void tag(const Tag &t)
    {
        const QString &name = t.name;
        if (name == QLatin1String("br")) {
            endLine();
        } else if (name == QLatin1String("h1") || name == QLatin1String("h2") || name == QLatin1String("h3")) {
            if (t.closing)
                endBlock();
            else
                startBlock(PrintBlock::Heading, name.at(1).digitValue());
        } else if (name == QLatin1String("p") || name == QLatin1String("div")) {
            if (m_cell >= 0)
                endLine();
            else if (m_kind != PrintBlock::Heading)
                t.closing ? endBlock() : startBlock(PrintBlock::Paragraph, 0);
            pushStyle(t, name);
        } else if (name == QLatin1String("table")) {
            t.closing ? endTable() : startTable(t);
        } else if (name == QLatin1String("tr")) {
            if (!t.closing && m_table >= 0) {
                endCell();
                ++m_row;
                m_column = 0;
            }
        } else if (name == QLatin1String("td") || name == QLatin1String("th")) {
            t.closing ? endCell() : startCell(t, name == QLatin1String("th"));
        } else if (name == QLatin1String("span") || name == QLatin1String("b") || name == QLatin1String("strong")) {
            pushStyle(t, name);
        } else if (name == QLatin1String("body") && t.closing) {
            endBlock();
        }
    }

    void finish()
    {
        endTable();
        endBlock();
    }

private:
    void pushStyle(const Tag &t, const QString &name)
    {
        if (t.closing) {
            for (int k = m_styles.size() - 1; k >= 0; --k)
                if (m_styles[k].first == name) {
                    m_styles.remove(k, m_styles.size() - k);
                    break;
                }
            return;
        }
        m_styles.append({name, name == QLatin1String("b") || name == QLatin1String("strong") || boldStyle(t)});
    }

    bool boldNow() const
    {
        if (m_cellHeading)
            return true;
        for (const auto &s : m_styles)
            if (s.second)
                return true;
        return false;
    }

    void endLine()
    {
        const QString line = m_line.trimmed();
        m_line.clear();
        if (m_cell >= 0)
            currentTable().cells[m_cell].lines << line;
        else if (m_block >= 0)
            doc.blocks[m_block].lines << line;
    }

    static void dropTrailingEmpty(QStringList &lines)
    {
        while (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        while (!lines.isEmpty() && lines.first().isEmpty())
            lines.removeFirst();
    }

    void startBlock(PrintBlock::Kind kind, int level)
    {
        endBlock();
        endCell();
        m_line.clear();
        PrintBlock block;
        block.kind = kind;
        block.level = level;
        // A caption inside a table goes before the table.
        int at = doc.blocks.size();
        if (m_table >= 0 && kind == PrintBlock::Heading)
            at = m_tableBlock++;
        doc.blocks.insert(at, block);
        m_block = at;
        m_kind = kind;
    }

    void endBlock()
    {
        if (m_block < 0)
            return;
        endLine();
        PrintBlock &block = doc.blocks[m_block];
        dropTrailingEmpty(block.lines);
        if (block.lines.isEmpty())
            doc.blocks.remove(m_block);
        m_block = -1;
        m_kind = PrintBlock::Paragraph;
    }

    PrintTable &currentTable() { return doc.tables[m_table]; }

    void startTable(const Tag &t)
    {
        endTable();
        endBlock();
        m_line.clear();
        PrintTable table;
        const QString width = t.attributes.value(QStringLiteral("width"));
        if (width.endsWith(QLatin1Char('%')))
            table.widthPercent = width.leftRef(width.size() - 1).toInt();
        doc.tables.append(table);
        m_table = doc.tables.size() - 1;
        PrintBlock block;
        block.kind = PrintBlock::Table;
        block.table = m_table;
        doc.blocks.append(block);
        m_tableBlock = doc.blocks.size() - 1;
        m_row = -1;
        m_column = 0;
        m_taken.clear();
    }

    bool taken(int row, int column) const
    {
        return row < m_taken.size() && column < m_taken[row].size() && m_taken[row][column];
    }

    void take(int row, int column)
    {
        if (m_taken.size() <= row)
            m_taken.resize(row + 1);
        if (m_taken[row].size() <= column)
            m_taken[row].resize(column + 1);
        m_taken[row][column] = true;
    }

    void startCell(const Tag &t, bool heading)
    {
        if (m_table < 0)
            return;
        endBlock();
        endCell();
        if (m_row < 0)
            m_row = 0;
        PrintCell cell;
        cell.row = m_row;
        while (taken(m_row, m_column))
            ++m_column;
        cell.column = m_column;
        cell.rowSpan = qMax(1, t.attributes.value(QStringLiteral("rowspan"), QStringLiteral("1")).toInt());
        cell.columnSpan = qMax(1, t.attributes.value(QStringLiteral("colspan"), QStringLiteral("1")).toInt());
        for (int r = 0; r < cell.rowSpan; ++r)
            for (int c = 0; c < cell.columnSpan; ++c)
                take(cell.row + r, cell.column + c);
        m_column += cell.columnSpan;
        PrintTable &table = currentTable();
        table.rows = qMax(table.rows, cell.row + cell.rowSpan);
        table.columns = qMax(table.columns, cell.column + cell.columnSpan);
        table.cells.append(cell);
        m_cell = table.cells.size() - 1;
        m_cellHeading = heading;
        m_cellBold = m_cellPlain = false;
        m_line.clear();
    }

    void endCell()
    {
        if (m_cell < 0)
            return;
        endLine();
        PrintCell &cell = currentTable().cells[m_cell];
        dropTrailingEmpty(cell.lines);
        cell.bold = m_cellHeading || (m_cellBold && !m_cellPlain);
        m_cell = -1;
        m_cellHeading = false;
    }

    void endTable()
    {
        if (m_table < 0)
            return;
        endCell();
        endBlock();
        PrintTable &table = currentTable();
        table.headingRows = headingRows(table);
        m_table = -1;
        m_line.clear();
    }

    // Leading rows whose every non-empty cell is bold; never the whole table.
    static int headingRows(const PrintTable &table)
    {
        int row = 0;
        for (; row < table.rows - 1 && row < maxHeadingRows; ++row) {
            bool bold = false;
            for (const PrintCell &cell : table.cells) {
                if (cell.row != row || cell.lines.isEmpty())
                    continue;
                if (!cell.bold)
                    return row;
                bold = true;
            }
            if (!bold)
                return row;
        }
        // A heading cell spanning further down takes the rows it spans into the heading.
        for (const PrintCell &cell : table.cells)
            if (cell.row < row)
                row = qMax(row, qMin(cell.row + cell.rowSpan, table.rows - 1));
        return row;
    }

    QString m_line;
    int m_block = -1;
    PrintBlock::Kind m_kind = PrintBlock::Paragraph;
    int m_table = -1;
    int m_tableBlock = -1;
    int m_row = -1;
    int m_column = 0;
    int m_cell = -1;
    bool m_cellHeading = false;
    bool m_cellBold = false;
    bool m_cellPlain = false;
    QVector<QPair<QString, bool>> m_styles; // open inline elements and whether they set bold
    QVector<QVector<bool>> m_taken;         // cells of the table covered so far, by row and column
};

bool skippedElement(const QString &name)
{
    return name == QLatin1String("title") || name == QLatin1String("style")
        || name == QLatin1String("script");
}

} // namespace

PrintDoc parsePrintDoc(const QString &html)
{
    Reader reader;
    const int n = html.size();
    int i = 0;
    QString chunk;
    while (i < n) {
        const QChar c = html.at(i);
        if (c == QLatin1Char('&')) {
            const int end = html.indexOf(QLatin1Char(';'), i);
            if (end > i && end - i <= 10) {
                chunk += decodeEntity(html.mid(i + 1, end - i - 1));
                i = end + 1;
                continue;
            }
        }
        if (c != QLatin1Char('<')) {
            chunk += c;
            ++i;
            continue;
        }
        reader.text(chunk);
        chunk.clear();
        if (html.midRef(i, 4) == QLatin1String("<!--")) {
            const int end = html.indexOf(QLatin1String("-->"), i);
            i = end < 0 ? n : end + 3;
            continue;
        }
        const int end = html.indexOf(QLatin1Char('>'), i);
        if (end < 0)
            break;
        const Tag tag = parseTag(html.midRef(i + 1, end - i - 1));
        i = end + 1;
        if (!tag.closing && skippedElement(tag.name)) {
            const int close = html.indexOf(QLatin1String("</") + tag.name, i, Qt::CaseInsensitive);
            i = close < 0 ? n : html.indexOf(QLatin1Char('>'), close) + 1;
            if (i <= 0)
                i = n;
            continue;
        }
        reader.tag(tag);
    }
    reader.text(chunk);
    reader.finish();
    return reader.doc;
}

} // namespace keli
