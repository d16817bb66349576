#include "pagepdf.h"

#include "print/printdoc.h"
#include "print/reportprint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaType>

using namespace keli;

namespace {

PrintBlock textBlock(PrintBlock::Kind kind, int level, const QString &text)
{
    PrintBlock block;
    block.kind = kind;
    block.level = level;
    block.lines << text;
    return block;
}

// A summary cell as the workbook shows it: counts whole, energies to 3 decimals, percentages to 2.
QString cellText(const QVariant &value, int column)
{
    if (value.userType() != QMetaType::Double)
        return value.toString();
    const int percentColumn = 10;
    return QString::number(value.toDouble(), 'f', column == percentColumn ? 2 : 3);
}

} // namespace

bool writePagePdf(const QString &dir, const QString &name, const QString &objectName, QString *pdfPath,
                  QString *error)
{
    QFile file(QDir(dir).filePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    const PrintDoc page = parsePrintDoc(QString::fromUtf8(file.readAll()));
    const QString title = QFileInfo(name).completeBaseName();
    *pdfPath = QDir(dir).filePath(title + QStringLiteral(".pdf"));
    return writeReportPdf(page, *pdfPath, reportFooter(objectName, title), error);
}

bool writeSummaryPdf(const QString &path, const QVector<SummaryRow> &rows, const QString &organisation,
                     const QString &dateText, const QStringList &signOff, QString *error)
{
    const QString title = QStringLiteral("Сводка расчета небалансов электроэнергии по объектам");
    PrintDoc doc;
    doc.landscape = true;
    doc.blocks << textBlock(PrintBlock::Heading, 1, title) << textBlock(PrintBlock::Heading, 2, organisation);
    QStringList periods;
    for (const SummaryRow &row : rows)
        if (!row.period.isEmpty() && !periods.contains(row.period))
            periods << row.period;
    doc.blocks << textBlock(PrintBlock::Paragraph, 0,
                            QStringLiteral("Период: %1.   Объектов: %2.   Дата расчета: %3")
                                .arg(periods.join(QStringLiteral(", ")))
                                .arg(rows.size())
                                .arg(dateText));
    PrintTable table;
    table.headingRows = 1;
    const QStringList headings = summaryHeadings();
    table.columns = headings.size();
    table.rows = rows.size() + 1;
    for (int col = 0; col < headings.size(); ++col) {
        PrintCell cell;
        cell.column = col;
        cell.bold = true;
        cell.lines << headings[col];
        table.cells << cell;
    }
    for (int k = 0; k < rows.size(); ++k) {
        const QVector<QVariant> values = summaryCells(k + 1, rows[k]);
        for (int col = 0; col < values.size() && col < table.columns; ++col) {
            PrintCell cell;
            cell.row = k + 1;
            cell.column = col;
            cell.lines << cellText(values[col], col);
            table.cells << cell;
        }
    }
    doc.tables << table;
    PrintBlock tableBlock;
    tableBlock.kind = PrintBlock::Table;
    tableBlock.table = 0;
    doc.blocks << tableBlock;
    for (const QString &line : signOff)
        doc.blocks << textBlock(PrintBlock::Paragraph, 0, line);
    return writeReportPdf(doc, path, title, error);
}
