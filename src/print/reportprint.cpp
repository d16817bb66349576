#include "print/reportprint.h"

#include "io/checkedwrite.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <memory>

namespace keli {

namespace {

const QString printFontFamily = QStringLiteral("Liberation Sans");
const qreal marginMm = 10;
const qreal footerPt = 8;      // font size of the page footer
const int maxHeadingRows = 3;  // a table's heading never takes more rows than this
// Paper shows the page as the screen does, a little smaller: laid out this much wider than the
// paper, so that tables keep the proportions they have on the screen (11-pt text prints at 9.4 pt).
const qreal paperToScreen = 0.85;

// The first row of a table that is not a heading row (all of its own non-empty cells set in bold,
// as the page's <th> cells are); table headings repeat on every page up to that row.
int headingRowCount(QTextTable *table)
{
    const int rows = table->rows();
    int row = 0;
    for (; row < rows - 1 && row < maxHeadingRows; ++row) {
        bool heading = false;
        for (int col = 0; col < table->columns(); ++col) {
            const QTextTableCell cell = table->cellAt(row, col);
            if (!cell.isValid() || cell.row() != row || cell.column() != col)
                continue; // covered by a cell spanning from an earlier row or column
            if (cell.firstPosition() == cell.lastPosition())
                continue; // an empty cell that only fills the row up
            QTextCursor first = cell.firstCursorPosition();
            first.movePosition(QTextCursor::NextCharacter); // charFormat() is the character's before
            if (first.charFormat().fontWeight() < QFont::DemiBold) // <th>, also as serialised by toHtml()
                return row;
            heading = true;
        }
        if (!heading)
            return row;
    }
    return row;
}

// True when no line of the block (lines end at <br>) has a blank inside: a number, a code, a
// heading of one word per line.
bool oneWordPerLine(const QTextBlock &block)
{
    const QStringList lines = block.text().split(QChar::LineSeparator);
    for (const QString &line : lines)
        if (line.trimmed().contains(QLatin1Char(' ')))
            return false;
    return true;
}

// A cell of one word per line is never broken inside a word: the line breaker would split "0.17"
// after the point, or "п/п" after the slash, when the column is narrow. Other cells wrap at blanks.
void keepWordsWhole(QTextTable *table)
{
    for (int row = 0; row < table->rows(); ++row) {
        for (int col = 0; col < table->columns(); ++col) {
            const QTextTableCell cell = table->cellAt(row, col);
            if (cell.row() != row || cell.column() != col)
                continue;
            for (QTextFrame::iterator it = cell.begin(); !it.atEnd(); ++it) {
                const QTextBlock block = it.currentBlock();
                if (!block.isValid() || !oneWordPerLine(block))
                    continue;
                QTextBlockFormat format = block.blockFormat();
                format.setNonBreakableLines(true);
                QTextCursor(block).setBlockFormat(format);
            }
        }
    }
}

// Prepares every table for paper: whole words, headings repeated on every page.
void prepareTables(QTextDocument *doc)
{
    for (QTextFrame *frame : doc->rootFrame()->childFrames()) {
        auto *table = qobject_cast<QTextTable *>(frame);
        if (!table)
            continue;
        keepWordsWhole(table);
        QTextTableFormat format = table->format();
        format.setHeaderRowCount(headingRowCount(table));
        table->setFormat(format);
    }
}

// A copy of the page for paper, laid out for device: words are never
// broken inside (a cell too narrow for its number widens its column instead), headings repeat.
std::unique_ptr<QTextDocument> paperCopy(const QTextDocument &page, QPaintDevice *device)
{
    std::unique_ptr<QTextDocument> doc(page.clone());
    // One font on paper whatever the screen's: the viewer's page carries the desktop's family.
    QFont font = doc->defaultFont();
    font.setFamily(printFontFamily);
    doc->setDefaultFont(font);
    QTextCharFormat family;
    family.setFontFamily(printFontFamily);
    QTextCursor all(doc.get());
    all.select(QTextCursor::Document);
    all.mergeCharFormat(family);
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(QTextOption::WordWrap);
    doc->setDefaultTextOption(option);
    prepareTables(doc.get());
    doc->documentLayout()->setPaintDevice(device);
    return doc;
}

// The width the laid-out page takes: its text width, or more where a table is wider (text
// outside tables wraps within the text width).
qreal usedWidth(QTextDocument *doc)
{
    qreal width = doc->textWidth();
    QAbstractTextDocumentLayout *layout = doc->documentLayout();
    for (QTextFrame *frame : doc->rootFrame()->childFrames())
        width = qMax(width, layout->frameBoundingRect(frame).right());
    return width;
}

// Lays the page out for a paper width of width units; returns the scale from the layout to the
// paper (paperToScreen, or less where a table is wider than the layout).
qreal layOutForWidth(QTextDocument *doc, qreal width)
{
    const qreal layoutWidth = width / paperToScreen;
    doc->setPageSize(QSizeF(layoutWidth, 1e9));
    return paperToScreen * qMin<qreal>(1, layoutWidth / usedWidth(doc));
}

QPageLayout a4Layout(QPageLayout::Orientation orientation)
{
    return QPageLayout(QPageSize(QPageSize::A4), orientation,
                       QMarginsF(marginMm, marginMm, marginMm, marginMm), QPageLayout::Millimeter);
}

// Paint width of an A4 sheet with our margins, in pixels at dpi.
qreal a4PaintWidth(QPageLayout::Orientation orientation, qreal dpi)
{
    return a4Layout(orientation).paintRect(QPageLayout::Inch).width() * dpi;
}

} // namespace

QPageLayout::Orientation reportOrientation(const QTextDocument &page)
{
    // Laid out at a fixed resolution, so that the choice does not depend on the screen.
    const qreal dpi = 96;
    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(qRound(dpi / 0.0254));
    device.setDotsPerMeterY(qRound(dpi / 0.0254));
    const std::unique_ptr<QTextDocument> doc = paperCopy(page, &device);
    const qreal portrait = layOutForWidth(doc.get(), a4PaintWidth(QPageLayout::Portrait, dpi));
    if (portrait >= paperToScreen)
        return QPageLayout::Portrait;
    const qreal landscape = layOutForWidth(doc.get(), a4PaintWidth(QPageLayout::Landscape, dpi));
    return landscape > portrait ? QPageLayout::Landscape : QPageLayout::Portrait;
}

QPageLayout reportPageLayout(const QTextDocument &page)
{
    return a4Layout(reportOrientation(page));
}

QString reportFooter(const QString &objectName, const QString &title)
{
    return objectName.trimmed().isEmpty() ? title : objectName.trimmed() + QStringLiteral(" — ") + title;
}

int printReportPage(const QTextDocument &page, QPagedPaintDevice *device, const QString &footer)
{
    const std::unique_ptr<QTextDocument> doc = paperCopy(page, device);
    const QRectF paint = device->pageLayout().paintRectPixels(device->logicalDpiX());
    QFont footerFont(printFontFamily);
    footerFont.setPointSizeF(footerPt);
    const qreal footerHeight = QFontMetricsF(footerFont, device).height() * 2;
    const qreal width = paint.width();
    const qreal height = paint.height() - footerHeight;
    if (width <= 0 || height <= 0)
        return 0;

    // A page whose tables are wider than the layout is scaled down to the paper as a whole.
    const qreal scale = layOutForWidth(doc.get(), width);
    const qreal pageHeight = height / scale;
    doc->setPageSize(QSizeF(width / paperToScreen, pageHeight));
    const int pages = doc->pageCount();

    QPainter painter;
    if (!painter.begin(device))
        return 0;
    for (int n = 0; n < pages; ++n) {
        if (n > 0 && !device->newPage())
            return 0;
        painter.save();
        painter.scale(scale, scale);
        const QRectF view(0, n * pageHeight, width / scale, pageHeight);
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = view;
        doc->documentLayout()->draw(&painter, context);
        painter.restore();

        painter.setFont(footerFont);
        const QRectF line(0, paint.height() - footerHeight / 2, width, footerHeight / 2);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, footer);
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("Страница %1 из %2").arg(n + 1).arg(pages));
    }
    painter.end();
    return pages;
}

bool writeReportPdf(const QTextDocument &page, const QString &path, const QString &footer, QString *error)
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
        writer.setPageLayout(reportPageLayout(page));
        if (printReportPage(page, &writer, footer) == 0)
            return fail(QStringLiteral("Страницу не удалось напечатать."));
    }
    QString reason;
    if (!writeFileChecked(path, pdf, &reason))
        return fail(reason.left(1).toUpper() + reason.mid(1) + QLatin1Char('.'));
    return true;
}

} // namespace keli
