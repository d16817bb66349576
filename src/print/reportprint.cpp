#include "print/reportprint.h"

#include "io/checkedwrite.h"
#include "print/printlayout.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace keli {

namespace {

const qreal leftMarginMm = 20; // room to file the sheet
const qreal marginMm = 10;
const qreal footerPt = 8;
const qreal rulePt = 0.5;      // table lines

QPageLayout a4Layout(QPageLayout::Orientation orientation)
{
    return QPageLayout(QPageSize(QPageSize::A4), orientation,
                       QMarginsF(leftMarginMm, marginMm, marginMm, marginMm), QPageLayout::Millimeter);
}

QFont footerFont()
{
    QFont f = printFonts().body;
    f.setPointSizeF(footerPt);
    return f;
}

class PagePainter
{
public:
    PagePainter(QPainter &painter, const PrintLayout &layout, qreal width)
        : m_painter(painter), m_layout(layout), m_width(width)
    {
    }

    void draw(const PlacedUnit &placed)
    {
        const PrintUnit &unit = m_layout.units[placed.unit];
        const PrintBlock &block = m_layout.doc.blocks[unit.block];
        if (block.kind == PrintBlock::Table)
            drawRows(block.table, unit.firstRow, unit.endRow, placed.y);
        else
            drawBlock(unit.block, placed.y);
    }

private:
    void drawBlock(int b, qreal y)
    {
        const PrintBlock &block = m_layout.doc.blocks[b];
        const QFont &font = block.kind == PrintBlock::Paragraph ? m_layout.fonts.body
                            : block.level == 1                  ? m_layout.fonts.heading1
                                                                : m_layout.fonts.heading2;
        m_painter.setFont(font);
        const QFontMetricsF metrics(font, m_painter.device());
        y += (b > 0 ? m_layout.lineGap : 0) + metrics.ascent();
        for (const QString &line : m_layout.blockLines[b]) {
            const qreal x = block.kind == PrintBlock::Heading ? (m_width - metrics.horizontalAdvance(line)) / 2 : 0;
            m_painter.drawText(QPointF(x, y), line);
            y += metrics.lineSpacing();
        }
    }

    void drawRows(int t, int firstRow, int endRow, qreal y)
    {
        const PrintTable &table = m_layout.doc.tables[t];
        const LaidTable &laid = m_layout.tables[t];
        m_painter.save();
        m_painter.translate(laid.x, y);
        m_painter.scale(laid.scale, laid.scale);
        m_painter.translate(0, -laid.rowY[firstRow]);
        QPen pen(Qt::black);
        pen.setWidthF(rulePt * m_painter.device()->logicalDpiY() / 72.0);
        m_painter.setPen(pen);
        // Cells are in the order of their rows.
        const auto from = std::lower_bound(table.cells.begin(), table.cells.end(), firstRow,
                                           [](const PrintCell &c, int row) { return c.row < row; });
        for (auto it = from; it != table.cells.end() && it->row < endRow; ++it) {
            const PrintCell &cell = *it;
            const int last = qMin(cell.row + cell.rowSpan, table.rows);
            const QRectF rect(laid.columnX[cell.column], laid.rowY[cell.row],
                              laid.columnX[cell.column + cell.columnSpan] - laid.columnX[cell.column],
                              laid.rowY[last] - laid.rowY[cell.row]);
            m_painter.drawRect(rect);
            drawCellText(cell, laid.cellLines[int(it - table.cells.begin())], rect);
        }
        m_painter.restore();
    }

    void drawCellText(const PrintCell &cell, const QStringList &lines, const QRectF &rect)
    {
        if (lines.isEmpty())
            return;
        const QFont &font = cell.bold ? m_layout.fonts.bold : m_layout.fonts.body;
        m_painter.setFont(font);
        const QFontMetricsF metrics(font, m_painter.device());
        qreal y = rect.top() + (rect.height() - lines.size() * metrics.lineSpacing()) / 2 + metrics.ascent();
        for (const QString &line : lines) {
            // Heading cells centred, the others from the left as on the screen.
            const qreal x = cell.bold ? rect.left() + (rect.width() - metrics.horizontalAdvance(line)) / 2
                                      : rect.left() + m_layout.padding;
            m_painter.drawText(QPointF(x, y), line);
            y += metrics.lineSpacing();
        }
    }

    QPainter &m_painter;
    const PrintLayout &m_layout;
    qreal m_width;
};

void drawFooter(QPainter &painter, const QRectF &paint, qreal footerHeight, const QString &footer, int page,
                int pages)
{
    const QFont font = footerFont();
    painter.setFont(font);
    const QFontMetricsF metrics(font, painter.device());
    const QString label = QStringLiteral("Страница %1 из %2").arg(page).arg(pages);
    const qreal baseline = paint.height() - footerHeight / 2 + metrics.ascent() / 2;
    painter.drawText(QPointF(0, baseline), fitFooter(footer, label, metrics, paint.width()));
    painter.drawText(QPointF(paint.width() - metrics.horizontalAdvance(label), baseline), label);
}

} // namespace

QPageLayout reportPageLayout(const PrintDoc &page, QPaintDevice *device)
{
    const qreal portraitWidth = a4Layout(QPageLayout::Portrait).paintRect(QPageLayout::Inch).width()
                                * device->logicalDpiX();
    if (page.landscape)
        return a4Layout(QPageLayout::Landscape);
    const PrintLayout layout(page, device, portraitWidth);
    return a4Layout(layout.neededWidth > portraitWidth ? QPageLayout::Landscape : QPageLayout::Portrait);
}

QString reportFooter(const QString &objectName, const QString &title)
{
    return objectName.trimmed().isEmpty() ? title : objectName.trimmed() + QStringLiteral(" — ") + title;
}

int printReportPage(const PrintDoc &page, QPagedPaintDevice *device, const QString &footer)
{
    const QRectF paint = device->pageLayout().paintRectPixels(device->logicalDpiX());
    const qreal footerHeight = QFontMetricsF(footerFont(), device).height() * 2;
    if (paint.width() <= 0 || paint.height() <= footerHeight)
        return 0;
    const PrintLayout layout(page, device, paint.width());
    const PrintPages pages = paginate(layout.units, paint.height() - footerHeight);

    QPainter painter;
    if (!painter.begin(device))
        return 0;
    PagePainter pagePainter(painter, layout, paint.width());
    for (int n = 0; n < pages.size(); ++n) {
        if (n > 0 && !device->newPage())
            return 0;
        for (const PlacedUnit &placed : pages[n])
            pagePainter.draw(placed);
        drawFooter(painter, paint, footerHeight, footer, n + 1, pages.size());
    }
    painter.end();
    return pages.size();
}

bool writeReportPdf(const PrintDoc &page, const QString &path, const QString &footer, QString *error)
{
    auto fail = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("Не удалось записать файл \"%1\". %2")
                         .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), reason);
        return false;
    };
    // Printed into memory first: the file is then written whole or not at all.
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("КЕЛИ"));
        writer.setTitle(footer);
        writer.setPageLayout(reportPageLayout(page, &writer));
        if (printReportPage(page, &writer, footer) == 0)
            return fail(QStringLiteral("Страницу не удалось напечатать."));
    }
    QString reason;
    if (!writeFileChecked(path, pdf, &reason))
        return fail(reason.left(1).toUpper() + reason.mid(1) + QLatin1Char('.'));
    return true;
}

} // namespace keli
