#include "print/printlayout.h"

#include <QFontMetricsF>
#include <QPaintDevice>

namespace keli {

namespace {

const QString printFontFamily = QStringLiteral("Liberation Sans");
const qreal bodyPt = 9;
const qreal heading1Pt = 13;
const qreal heading2Pt = 10.5;
const qreal paddingPt = 2.5;   // inside a cell, left and right
const qreal paddingTopPt = 1;  // inside a cell, above and below its lines
const qreal gapPt = 4;         // above a heading or paragraph
const int footerGapChars = 4;  // between the footer's text and the page number

QFont font(qreal pt, bool bold)
{
    QFont f(printFontFamily);
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(pt);
    f.setBold(bold);
    return f;
}

qreal widestWord(const QStringList &lines, const QFontMetricsF &metrics)
{
    qreal width = 0;
    for (const QString &line : lines)
        for (const QString &word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            width = qMax(width, metrics.horizontalAdvance(word));
    return width;
}

qreal widestLine(const QStringList &lines, const QFontMetricsF &metrics)
{
    qreal width = 0;
    for (const QString &line : lines)
        width = qMax(width, metrics.horizontalAdvance(line));
    return width;
}

// Widens the columns [first, first + span) evenly until together they are at least width.
void widenSpan(QVector<qreal> &columns, int first, int span, qreal width)
{
    qreal sum = 0;
    for (int c = first; c < first + span; ++c)
        sum += columns[c];
    if (sum >= width)
        return;
    for (int c = first; c < first + span; ++c)
        columns[c] += (width - sum) / span;
}

qreal sum(const QVector<qreal> &values)
{
    qreal s = 0;
    for (qreal v : values)
        s += v;
    return s;
}

// Rows before which no page may break: a cell spanning from an earlier row across them.
QVector<bool> joinedRows(const PrintTable &table)
{
    QVector<bool> joined(table.rows + 1, false);
    for (const PrintCell &cell : table.cells)
        for (int r = cell.row + 1; r < cell.row + cell.rowSpan && r < table.rows; ++r)
            joined[r] = true;
    return joined;
}

// A row of one cell across the table (or all but its first column): the name of a section.
bool sectionRow(const PrintTable &table, int row)
{
    for (const PrintCell &cell : table.cells)
        if (cell.row == row && cell.columnSpan >= table.columns - 1 && table.columns > 2)
            return true;
    return false;
}

} // namespace

PrintFonts printFonts()
{
    return {font(bodyPt, false), font(bodyPt, true), font(heading1Pt, true), font(heading2Pt, true)};
}

QStringList wrapText(const QString &text, const QFontMetricsF &metrics, qreal width)
{
    QStringList lines;
    QString line;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (line.isEmpty() || metrics.horizontalAdvance(longer) <= width) {
            line = longer;
        } else {
            lines << line;
            line = word;
        }
    }
    if (!line.isEmpty() || lines.isEmpty())
        lines << line;
    return lines;
}

QString fitFooter(const QString &footer, const QString &pageLabel, const QFontMetricsF &metrics, qreal width)
{
    const qreal room = width - metrics.horizontalAdvance(pageLabel) - metrics.averageCharWidth() * footerGapChars;
    return metrics.elidedText(footer, Qt::ElideMiddle, qMax<qreal>(0, room));
}

PrintLayout::PrintLayout(const PrintDoc &printed, QPaintDevice *device, qreal pageWidth)
    : doc(printed), fonts(printFonts())
{
    const qreal dotsPerPt = device->logicalDpiY() / 72.0;
    padding = paddingPt * dotsPerPt;
    lineGap = gapPt * dotsPerPt;
    blockLines.resize(doc.blocks.size());
    tables.resize(doc.tables.size());
    for (int b = 0; b < doc.blocks.size(); ++b) {
        const PrintBlock &block = doc.blocks[b];
        if (block.kind == PrintBlock::Table) {
            layOutTable(b, doc.tables[block.table], device, pageWidth);
            continue;
        }
        const QFont &f = block.kind == PrintBlock::Paragraph ? fonts.body
                         : block.level == 1                  ? fonts.heading1
                                                             : fonts.heading2;
        const QFontMetricsF metrics(f, device);
        for (const QString &line : block.lines)
            blockLines[b] << wrapText(line, metrics, pageWidth);
        PrintUnit unit;
        unit.block = b;
        unit.height = (b > 0 ? lineGap : 0) + blockLines[b].size() * metrics.lineSpacing();
        // A heading stays with what it heads; paragraphs in a row (the lines to sign) stay together.
        const bool nextIsParagraph = b + 1 < doc.blocks.size() && doc.blocks[b + 1].kind == PrintBlock::Paragraph;
        unit.keepWithNext = block.kind == PrintBlock::Heading || nextIsParagraph;
        units << unit;
    }
}

void PrintLayout::layOutTable(int block, const PrintTable &table, QPaintDevice *device, qreal pageWidth)
{
    LaidTable &laid = tables[doc.blocks[block].table];
    const QFontMetricsF plain(fonts.body, device);
    const QFontMetricsF bold(fonts.bold, device);
    const qreal padTop = paddingTopPt * device->logicalDpiY() / 72.0;

    // Each column between the width of its widest word and of its widest unwrapped line.
    QVector<qreal> least(table.columns, 2 * padding), most(table.columns, 2 * padding);
    for (int pass = 0; pass < 2; ++pass) { // cells of one column first, then those spanning more
        for (const PrintCell &cell : table.cells) {
            if ((cell.columnSpan > 1) != (pass == 1))
                continue;
            const QFontMetricsF &m = cell.bold ? bold : plain;
            widenSpan(least, cell.column, cell.columnSpan, widestWord(cell.lines, m) + 2 * padding);
            widenSpan(most, cell.column, cell.columnSpan, widestLine(cell.lines, m) + 2 * padding);
        }
    }
    for (int c = 0; c < table.columns; ++c)
        most[c] = qMax(most[c], least[c]);
    const qreal leastWidth = sum(least), mostWidth = sum(most);
    neededWidth = qMax(neededWidth, leastWidth);
    qreal target = table.widthPercent > 0 ? pageWidth * qMin(100, table.widthPercent) / 100.0 : mostWidth;
    target = qMin(pageWidth, qMax(target, leastWidth)); // a narrow share never squeezes a table that fits
    QVector<qreal> widths(table.columns);
    laid.scale = 1;
    if (mostWidth <= target) {
        for (int c = 0; c < table.columns; ++c)
            widths[c] = most[c] * target / qMax<qreal>(mostWidth, 1);
    } else if (leastWidth <= target) {
        const qreal share = (target - leastWidth) / qMax<qreal>(mostWidth - leastWidth, 1);
        for (int c = 0; c < table.columns; ++c)
            widths[c] = least[c] + (most[c] - least[c]) * share;
    } else {
        widths = least;
        laid.scale = pageWidth / leastWidth;
    }
    laid.columnX.resize(table.columns + 1);
    laid.columnX[0] = 0;
    for (int c = 0; c < table.columns; ++c)
        laid.columnX[c + 1] = laid.columnX[c] + widths[c];
    laid.x = (pageWidth - laid.columnX.last() * laid.scale) / 2;

    // Rows as tall as their wrapped cells; a cell spanning rows adds what it lacks to its last row.
    QVector<qreal> heights(table.rows, plain.lineSpacing() + 2 * padTop);
    laid.cellLines.resize(table.cells.size());
    QVector<qreal> cellHeight(table.cells.size());
    for (int k = 0; k < table.cells.size(); ++k) {
        const PrintCell &cell = table.cells[k];
        const QFontMetricsF &m = cell.bold ? bold : plain;
        const qreal inner = laid.columnX[cell.column + cell.columnSpan] - laid.columnX[cell.column] - 2 * padding;
        for (const QString &line : cell.lines)
            laid.cellLines[k] << wrapText(line, m, inner + 0.01);
        cellHeight[k] = laid.cellLines[k].size() * m.lineSpacing() + 2 * padTop;
        if (cell.rowSpan == 1)
            heights[cell.row] = qMax(heights[cell.row], cellHeight[k]);
    }
    for (int k = 0; k < table.cells.size(); ++k) {
        const PrintCell &cell = table.cells[k];
        if (cell.rowSpan == 1)
            continue;
        const int last = qMin(cell.row + cell.rowSpan, table.rows) - 1;
        qreal spanned = 0;
        for (int r = cell.row; r <= last; ++r)
            spanned += heights[r];
        heights[last] += qMax<qreal>(0, cellHeight[k] - spanned);
    }
    laid.rowY.resize(table.rows + 1);
    laid.rowY[0] = 0;
    for (int r = 0; r < table.rows; ++r)
        laid.rowY[r + 1] = laid.rowY[r] + heights[r];

    // The units of the table: its heading rows, then groups of rows no break may separate.
    const QVector<bool> joined = joinedRows(table);
    int heading = -1;
    int first = 0;
    for (int r = 1; r <= table.rows; ++r) {
        const bool headingEnds = r == table.headingRows;
        if (r < table.rows && joined[r] && !headingEnds)
            continue;
        PrintUnit unit;
        unit.block = block;
        unit.firstRow = first;
        unit.endRow = r;
        unit.height = (laid.rowY[r] - laid.rowY[first]) * laid.scale;
        const bool headingRows = first < table.headingRows;
        // Heading rows, and a row that only names the section below it, stay with the next row.
        unit.keepWithNext = headingRows || (r == first + 1 && sectionRow(table, first));
        unit.heading = headingRows ? -1 : heading;
        if (headingRows)
            heading = units.size();
        units << unit;
        first = r;
    }
}

PrintPages paginate(const QVector<PrintUnit> &units, qreal pageHeight)
{
    PrintPages pages(1);
    qreal y = 0;
    for (int i = 0; i < units.size(); ++i) {
        // What must go on the same page as this unit: it and what it keeps with.
        qreal together = units[i].height;
        for (int j = i; j + 1 < units.size() && units[j].keepWithNext; ++j)
            together += units[j + 1].height;
        const bool fits = y + units[i].height <= pageHeight;
        const bool keeps = y + together <= pageHeight || together > pageHeight;
        if (!pages.last().isEmpty() && (!fits || !keeps)) {
            pages.append(QVector<PlacedUnit>());
            y = 0;
            const int heading = units[i].heading;
            if (heading >= 0) {
                pages.last().append({heading, y});
                y += units[heading].height;
            }
        }
        pages.last().append({i, y});
        y += units[i].height;
    }
    return pages;
}

} // namespace keli
