#pragma once
// Lays a report page out on paper of a given width: column widths, wrapped texts, row heights, and
// then the pages, breaking only between table rows (a row, or rows joined by a cell spanning them,
// is never split), repeating a table's heading rows on every page it continues on, and keeping a
// heading with what follows it. Sizes are in the units of the paint device the layout measures on.

#include "print/printdoc.h"

#include <QFont>
#include <QFontMetricsF>
#include <QVector>

class QPaintDevice;

namespace keli {

// Something the pages take whole: a heading, a paragraph, a table's heading rows, or table rows
// that no page break may separate.
struct PrintUnit
{
    int block = 0;
    int firstRow = -1;         // table rows [firstRow, endRow); -1 for a heading or paragraph
    int endRow = -1;
    qreal height = 0;
    bool keepWithNext = false; // a heading, a table's heading rows: never last on a page
    int heading = -1;          // the unit of this table's heading rows, repeated on a new page
};

struct PlacedUnit
{
    int unit = 0;
    qreal y = 0;               // from the top of the page's printable area
};

using PrintPages = QVector<QVector<PlacedUnit>>;

// Places the units on pages of pageHeight, in order. A unit taller than a page gets a page of its own.
PrintPages paginate(const QVector<PrintUnit> &units, qreal pageHeight);

// A table as laid out: column edges and row edges at scale 1, drawn scaled by scale from x.
struct LaidTable
{
    QVector<qreal> columnX; // columns + 1 edges
    QVector<qreal> rowY;    // rows + 1 edges
    QVector<QStringList> cellLines; // each cell's lines, wrapped to its width
    qreal x = 0;
    qreal scale = 1;
};

struct PrintFonts
{
    QFont body, bold, heading1, heading2;
};

// The fonts of paper: a family Linux desktops have, 9-pt text, bold headings.
PrintFonts printFonts();

class PrintLayout
{
public:
    // Lays doc out for a printable width of pageWidth units of device.
    PrintLayout(const PrintDoc &doc, QPaintDevice *device, qreal pageWidth);

    const PrintDoc &doc;
    PrintFonts fonts;
    QVector<PrintUnit> units;
    QVector<LaidTable> tables;
    QVector<QStringList> blockLines; // headings and paragraphs wrapped to the page's width
    // The width the widest table needs with its texts wrapped as far as they go (at scale 1).
    qreal neededWidth = 0;
    qreal padding = 0;  // inside a cell, left and right
    qreal lineGap = 0;  // space above a heading or paragraph

private:
    void layOutTable(int block, const PrintTable &table, QPaintDevice *device, qreal pageWidth);
};

// Splits text into lines no wider than width at its blanks; a word wider than width keeps a line of
// its own, whole.
QStringList wrapText(const QString &text, const QFontMetricsF &metrics, qreal width);

// The footer's left text (footer, elided when long) so that it ends clear of pageLabel at the right
// of a line of width.
QString fitFooter(const QString &footer, const QString &pageLabel, const QFontMetricsF &metrics, qreal width);

} // namespace keli
