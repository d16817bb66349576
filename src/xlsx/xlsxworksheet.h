#pragma once
// A worksheet part: its cells read by streaming (no DOM), and writes kept as edits that are
// merged into the original XML on save, so that everything else in the sheet stays as it was.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace QXlsx {

class ByteSink;
struct DeflatedPart;
class PartStream;
class SharedStrings;
class XmlScanner;

class Worksheet
{
public:
    // Reads the part (its XML as stored), held whole or as it arrives.
    bool load(const QByteArray &xml, const SharedStrings &strings, const QString &part, QString *error);
    bool load(PartStream &xml, const SharedStrings &strings, const QString &part, QString *error);

    // The value of a cell: QString, double or bool; an invalid QVariant when it has none.
    QVariant read(int row, int column) const;
    // The last row with an entry, 0 when there is none.
    int lastRow() const { return m_rows.empty() ? 0 : m_rows.back().row; }
    // The style a cell has, or would get when written: its own, else its row's, else its column's.
    int styleOf(int row, int column) const;
    // Sets a cell (an invalid value clears it) with the given style. True when the cell held a
    // formula before.
    bool set(int row, int column, const QVariant &value, int style);
    // Whether a cell holds a value or a formula (what clearing would change).
    bool holdsValue(int row, int column) const;
    // Whether a cell holds exactly this value (a double, a text or a boolean) of its own, without a
    // formula: writing it there would change nothing.
    bool holdsExactly(int row, int column, const QVariant &value) const;
    // Clears the values of the cells in rows firstRow..lastRow and columns firstColumn..lastColumn
    // that hold one, keeping their styles; the others are not touched. True when one held a formula.
    bool clearValues(int firstRow, int firstColumn, int lastRow, int lastColumn);

    // The height of a row in points, written with the row's written cells (rows without written
    // cells keep theirs).
    void setRowHeight(int row, double points) { m_rowHeights[row] = points; }

    bool isChanged() const { return !m_edits.empty(); }
    // The original part (as it arrives) with the written cells merged in: deflated as it is
    // written (part's name is kept), or whole.
    bool write(PartStream &original, DeflatedPart *part, QString *error) const;
    bool write(const QByteArray &original, QByteArray *out, QString *error) const;

    // Every stored cell in order, then the row and column styles, as text: to compare readings.
    QString describe() const;

    // The text of a number as stored: the shortest form that reads back to the same double.
    static QString numberText(double value);

private:
    // A stored cell in 16 bytes (a large sheet holds hundreds of thousands): a number, a boolean
    // or the index of a text in m_texts.
    struct Cell
    {
        enum Kind : quint8 { Empty, Number, Boolean, Text };
        quint16 column = 0; // 1..16384
        Kind kind = Empty;
        bool formula = false;
        int style = 0;
        union {
            double number = 0;
            bool boolean;
            int text;
        };
    };
    struct Row
    {
        int row = 0;
        std::vector<Cell> cells;
    };
    struct Edit
    {
        QVariant value;
        int style = 0;
    };
    struct ColumnStyle
    {
        int first, last, style;
    };
    // The written cells of a row by column: a sorted vector, not a tree node per cell (a save
    // writes hundreds of thousands of cells, mostly in order).
    class RowEdits
    {
    public:
        using Entry = std::pair<int, Edit>;
        using const_iterator = std::vector<Entry>::const_iterator;
        Edit &operator[](int column);
        const_iterator begin() const { return m_cells.begin(); }
        const_iterator end() const { return m_cells.end(); }
        std::vector<Entry>::const_reverse_iterator rbegin() const { return m_cells.rbegin(); }
        size_t count(int column) const;

    private:
        std::vector<Entry> m_cells;
    };
    class Writer;
    class Scan;
    enum LoadResult { Loaded, BadReference, Unreadable };

    // Writes into the sink freshSink gives; it is asked again for one to start over in when the
    // part has to be read the general way.
    bool write(PartStream &original, const std::function<ByteSink *()> &freshSink, QString *error) const;
    LoadResult scan(XmlScanner &xml, const SharedStrings &strings, QString *badReference);
    const Cell *cell(int row, int column) const;
    Cell *findCell(int row, int column);
    void setValue(Cell *cell, const QVariant &value);
    QVariant value(const Cell &cell) const;
    void normalize(bool rowsSorted);

    std::vector<Row> m_rows; // by row number; cells by column
    std::vector<QString> m_texts; // of text cells; a text repeated down a column is held once
    std::vector<ColumnStyle> m_columnStyles;
    QHash<int, int> m_rowStyles;
    std::map<int, RowEdits> m_edits;
    std::map<int, double> m_rowHeights;
};

} // namespace QXlsx
