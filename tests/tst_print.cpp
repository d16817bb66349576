// Pages on paper: the page read from its HTML (the page file, and the viewer's content as the text
// area serialises it), tables laid out, and which rows go on which page.
#include "core/helpers.h"
#include "core/htmlpage.h"
#include "core/sourceworkbook.h"
#include "print/printdoc.h"
#include "print/printlayout.h"
#include "support/testutil.h"

#include <QGuiApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QtTest>

using namespace keli;

namespace {

// A two-table page: a heading of two rows (one cell spanning both), a section row, data rows, one
// of them joined to the next by a cell spanning two rows.
QString samplePage(int dataRows)
{
    QStringList rows1{QStringLiteral("<th rowspan=\"2\">№<br>пп</th><th colspan=\"2\">Класс</th>"
                                     "<tr><th>ТТ</th><th width= \"70\">ТН</th>"),
                      QStringLiteral("<tr><td> </td><td colspan=\"2\" > Поступление &amp; отпуск </td>")};
    for (int k = 1; k <= dataRows; ++k)
        rows1 << QStringLiteral("<tr><td>%1</td><td>Фидер %1 длинное название</td><td>0.5</td>").arg(k);
    rows1 << QStringLiteral("<tr><td rowspan=\"2\">99</td><td>верх</td><td>1</td><tr><td>низ</td><td>2</td>");
    return htmlBody2Lines({QStringLiteral("ОРГ"), QStringLiteral("Объект"), {}}, QStringLiteral("Заголовок"),
                          QStringLiteral("Вторая"), QStringLiteral("март 2024 года"), rows1,
                          {QStringLiteral("<tr><td>a</td><td>b</td>")})
        .join(QString());
}

QImage device()
{
    QImage image(1, 1, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(300 / 0.0254));
    image.setDotsPerMeterY(qRound(300 / 0.0254));
    return image;
}

// The rows [first, end) of table t placed on each page, and whether the page starts with a heading.
QList<QList<int>> rowsByPage(const PrintLayout &layout, const PrintPages &pages, int t)
{
    QList<QList<int>> result;
    for (const QVector<PlacedUnit> &page : pages) {
        QList<int> rows;
        for (const PlacedUnit &placed : page) {
            const PrintUnit &u = layout.units[placed.unit];
            if (layout.doc.blocks[u.block].table == t)
                for (int r = u.firstRow; r < u.endRow; ++r)
                    rows << r;
        }
        result << rows;
    }
    return result;
}

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

private slots:
    void pageReadAsPrinted();
    void rowsWholeHeadingsRepeated();
    void widthsAndFooter();
    void signedPdfs();
    void libreOfficePrintsTheWorkbooks();
    void batchPrints();
};

void TestPrint::pageReadAsPrinted()
{
    const QString html = samplePage(2);
    QTextDocument shown;
    shown.setHtml(html);
    // The page file and the text area's serialisation of it read the same.
    for (const QString &source : {html, shown.toHtml()}) {
        const PrintDoc doc = parsePrintDoc(source);
        QCOMPARE(doc.tables.size(), 2);
        const PrintTable &t = doc.tables[0];
        QCOMPARE(t.rows, 7);
        QCOMPARE(t.columns, 3);
        QCOMPARE(t.headingRows, 2);
        QCOMPARE(t.cells[0].lines, (QStringList{QStringLiteral("№"), QStringLiteral("пп")}));
        QCOMPARE(t.cells[0].rowSpan, 2);
        QVERIFY(t.cells[0].bold);
        // "ТТ" goes under "Класс", beside the cell spanning from the row above.
        QCOMPARE(t.cells[2].column, 1);
        QCOMPARE(t.cells[3].column, 2);
        QCOMPARE(t.cells[5].lines, QStringList{QStringLiteral("Поступление & отпуск")});
        QVERIFY(!t.cells[5].bold);
        QCOMPARE(t.cells.last().row, 6);
        QCOMPARE(t.cells.last().column, 2);
        QStringList headings;
        for (const PrintBlock &b : doc.blocks)
            if (b.kind == PrintBlock::Heading)
                headings << b.lines.join(QLatin1Char('|'));
        QCOMPARE(headings.last(), QStringLiteral("Вторая")); // the caption heads the second table
        QCOMPARE(doc.blocks.last().kind, PrintBlock::Table);
        QVERIFY(headings.contains(QStringLiteral("Расчетный период: март 2024 года")));
        QCOMPARE(doc.tables[0].widthPercent, 102);
    }
    // A one-table page closes its table before the lines to sign: they print under it, not in its
    // last cell.
    const QString errors = htmlBodyLines({QStringLiteral("ОРГ"), QStringLiteral("Объект"), {QStringLiteral("Составил: ___")}},
                                         QStringLiteral("Ошибки"), QStringLiteral("март 2024 года"),
                                         {QStringLiteral("<th>A</th><tr><td>1</td>")}, QDateTime())
                               .join(QString());
    QTextDocument viewer;
    viewer.setHtml(errors);
    QCOMPARE(viewer.lastBlock().text(), QStringLiteral("Составил: ___"));
    QVERIFY(!QTextCursor(viewer.lastBlock()).currentTable());
    const PrintDoc page = parsePrintDoc(viewer.toHtml());
    QCOMPARE(page.blocks.last().kind, PrintBlock::Paragraph);
    QCOMPARE(page.tables[0].cells.last().lines, QStringList{QStringLiteral("1")});
}

void TestPrint::rowsWholeHeadingsRepeated()
{
    QImage image = device();
    const PrintDoc doc = parsePrintDoc(samplePage(40));
    const PrintLayout layout(doc, &image, 2000);
    const qreal rowHeight = layout.units.last().height / 2;
    // Page heights that break the table at different rows.
    for (const qreal rowsPerPage : {9.5, 11.5, 12.5, 13.5, 14.5, 16.5}) {
        const qreal pageHeight = rowHeight * rowsPerPage;
        const PrintPages pages = paginate(layout.units, pageHeight);
        const QList<QList<int>> rows = rowsByPage(layout, pages, 0);
        QVERIFY(rows.size() >= 4);
        QList<int> all;
        for (int p = 0; p < rows.size(); ++p) {
            if (rows[p].isEmpty())
                continue;
            // Every page the table continues on starts with its two heading rows.
            QCOMPARE(rows[p].mid(0, 2), (QList<int>{0, 1}));
            all << (all.isEmpty() ? rows[p] : rows[p].mid(2));
            QVERIFY2(rows[p].last() != 2, "the section row is never last on a page");
            // Rows 43 and 44 share a cell: never apart.
            QCOMPARE(rows[p].contains(43), rows[p].contains(44));
        }
        QList<int> expected;
        for (int r = 0; r < 45; ++r)
            expected << r;
        QCOMPARE(all, expected); // each row once, in order
        // A page holds what fits, no more.
        for (const QVector<PlacedUnit> &page : pages)
            QVERIFY(page.last().y + layout.units[page.last().unit].height <= pageHeight + 0.01);
    }

    // Headings keep with what they head; a unit taller than a page gets one of its own.
    QVector<PrintUnit> units(4);
    units[0].height = 3;
    units[1].height = 2;
    units[1].keepWithNext = true;
    units[2].height = 4;
    units[3].height = 20;
    const PrintPages kept = paginate(units, 8);
    QCOMPARE(kept.size(), 3);
    QCOMPARE(kept[0].size(), 1);
    QCOMPARE(kept[1][0].unit, 1);
    QCOMPARE(kept[1][1].y, 2.0);
    QCOMPARE(kept[2][0].unit, 3);
}

void TestPrint::widthsAndFooter()
{
    QImage image = device();
    const PrintFonts fonts = printFonts();
    const QFontMetricsF metrics(fonts.body, &image);
    // Text wraps at blanks; a word wider than the line stays whole.
    const QStringList wrapped = wrapText(QStringLiteral("Отпуск в сеть 12345.678"), metrics,
                                         metrics.horizontalAdvance(QStringLiteral("Отпуск в")));
    QCOMPARE(wrapped, (QStringList{QStringLiteral("Отпуск в"), QStringLiteral("сеть"), QStringLiteral("12345.678")}));

    // A table wider than the paper is scaled down whole; one that fits is not, and fills its share.
    const QString wide = QStringLiteral("<table width='50%'><tr>") + QStringLiteral("<td>12345.678</td>").repeated(30)
                         + QStringLiteral("</table><table width='50%'><tr><td>1</td><td>2 3</td></table>");
    const PrintDoc doc = parsePrintDoc(wide);
    const PrintLayout layout(doc, &image, 1000);
    QVERIFY(layout.neededWidth > 1000);
    QVERIFY(layout.tables[0].scale < 1);
    QVERIFY(qAbs(layout.tables[0].columnX.last() * layout.tables[0].scale - 1000) < 0.5);
    QCOMPARE(layout.tables[1].scale, 1.0);
    QVERIFY(qAbs(layout.tables[1].columnX.last() - 500) < 0.5);
    QVERIFY(qAbs(layout.tables[1].x - 250) < 0.5);

    // A long object name is elided clear of the page number; a short one is printed whole.
    const QString label = QStringLiteral("Страница 12 из 12");
    const qreal width = metrics.horizontalAdvance(QLatin1Char('x')) * 120;
    const QString name = QStringLiteral("ПС 110/10 кВ ") + QStringLiteral("Очень длинное название ").repeated(4)
                         + QStringLiteral("— Параметры системы учета электроэнергии");
    const QString left = fitFooter(name, label, metrics, width);
    QVERIFY(left != name && left.startsWith(QStringLiteral("ПС 110/10")));
    QVERIFY(metrics.horizontalAdvance(left) + metrics.horizontalAdvance(label) < width);
    QCOMPARE(fitFooter(QStringLiteral("ПС 1"), label, metrics, width), QStringLiteral("ПС 1"));
}

// keli-calc --pdf with a keli.ini naming the organisation and one signatory: every PDF names them,
// dates the calculation, names the source and the version, and prints nothing in the filing margin.
void TestPrint::signedPdfs()
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("poppler-utils is needed to read the PDF pages");
    QTemporaryDir dir;
    const QDir templates(testutil::binaryPath(QStringLiteral("templates")));
    for (const QString &name : templates.entryList({QStringLiteral("*.xlsx")}, QDir::Files))
        QVERIFY(QFile::copy(templates.filePath(name), dir.filePath(name)));
    QFile ini(dir.filePath(QStringLiteral("keli.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[General]\norg=РЭС «Северный»\npreparedBy=инженер Иванов И. И.\n").toUtf8());
    ini.close();
    const QString source = testutil::sourcePath(QStringLiteral("examples/ТП_10_0,4_№127_март_2024.xlsx"));
    QProcess calc;
    calc.start(qEnvironmentVariable("KELI_CALC", testutil::binaryPath(QStringLiteral("src/cli/keli-calc"))),
               {QStringLiteral("--pdf"), QStringLiteral("--workdir"), dir.path(), source});
    QVERIFY(calc.waitForFinished(120000));
    QCOMPARE(calc.exitCode(), 0);
    const QStringList pdfs = QDir(dir.path()).entryList({QStringLiteral("*.pdf")}, QDir::Files);
    QCOMPARE(pdfs.size(), 3); // the two reports and the warnings
    const auto tool = [&](const QStringList &args) {
        QProcess p;
        p.start(pdftotext, args);
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    for (const QString &pdf : pdfs) {
        const QString path = dir.filePath(pdf);
        const QString text = tool({path, QStringLiteral("-")}).simplified();
        for (const QString &wanted : {QStringLiteral("РЭС «Северный»"), QStringLiteral("Дата расчета: "),
                                      QStringLiteral("Исходный файл: ТП_10_0,4_№127_март_2024.xlsx"),
                                      QStringLiteral("версия V2.01.26"),
                                      QStringLiteral("Составил: инженер Иванов И. И. ____"),
                                      QStringLiteral("Проверил: ________________________________________")})
            QVERIFY2(text.contains(wanted), qPrintable(pdf + QStringLiteral(": no ") + wanted));
        // Nothing left of 20 mm (56.7 pt).
        const QString boxes = tool({QStringLiteral("-bbox"), path, QStringLiteral("-")});
        QRegularExpressionMatchIterator x = QRegularExpression(QStringLiteral("xMin=\"([\\d.]+)\"")).globalMatch(boxes);
        int words = 0;
        while (x.hasNext()) {
            const double xMin = x.next().captured(1).toDouble();
            QVERIFY2(xMin >= 56.5, qPrintable(pdf + QStringLiteral(": a word at x = ") + QString::number(xMin)));
            ++words;
        }
        QVERIFY(words > 50);
    }
}

namespace {

// An object of many metering points with a long name, to fill several printed pages.
Dataset longObject(int points)
{
    Dataset ds;
    ds.calcMonth = ds.fileMonth = 10;
    ds.calcYear = ds.fileYear = 2024;
    ds.periodDays = k_day(10, 2024);
    ds.objectName = QStringLiteral("ПС 110/35/10 кВ Заводская");
    ds.intakeCount = 2;
    ds.externalCount = 0;
    ds.ownCount = points - 2;
    ds.techLosses = 100;
    ds.techLossErrorPct = 10;
    ds.permissibleCommercialLoss = 50;
    for (int i = 0; i < points; ++i) {
        const int t = i < 2 ? 1 : 3;
        ds.appendRow(t);
        ds.name[i] = i == 5 ? QStringLiteral("Фидер 10 кВ № 5 ремонтно-механических мастерских и гаража спецтехники")
                            : QStringLiteral("Фидер %1").arg(i + 1);
        ds.pointKind[i] = QStringLiteral("Р");
        ds.meterType[i] = QStringLiteral("Э");
        ds.meterCount[i] = 1;
        ds.fillFactor[i] = 0.7;
        ds.tanPhi[i] = 0.3;
        ds.ctClass[i] = ds.vtClass[i] = ds.meterClass[i] = 0.5;
        ds.vtVoltageLoss[i] = 0.25;
        ds.verificationDate[i] = 3.2;
        ds.ctVoltage[i] = ds.reportVoltage[i] = 10;
        ds.ctRatedCurrent[i] = t == 1 ? 3000 : 300;
        ds.energy[i] = t == 1 ? 0.0 : 400;
    }
    ds.energy[0] = ds.energy[1] = round(400.0 * (points - 2) * 1.03 / 2, 3);
    return ds;
}

} // namespace

// LibreOffice prints the report workbooks with their headings on every page, the 20-mm filing
// margin, and no text smaller than 8 pt.
void TestPrint::libreOfficePrintsTheWorkbooks()
{
    const QString soffice = testutil::soffice();
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (soffice.isEmpty() || pdftotext.isEmpty())
        QSKIP("soffice and pdftotext are needed to print the workbooks");
    QTemporaryDir dir, profile;
    const QDir templates(testutil::binaryPath(QStringLiteral("templates")));
    for (const QString &name : templates.entryList({QStringLiteral("*.xlsx")}, QDir::Files))
        QVERIFY(QFile::copy(templates.filePath(name), dir.filePath(name)));
    const QString source = dir.filePath(QStringLiteral("source.xlsx"));
    QVERIFY(saveSourceWorkbook(longObject(120), source).ok);
    QProcess calc;
    calc.start(qEnvironmentVariable("KELI_CALC", testutil::binaryPath(QStringLiteral("src/cli/keli-calc"))),
               {QStringLiteral("--no-stoplist"), QStringLiteral("--workdir"), dir.path(), source});
    QVERIFY(calc.waitForFinished(120000));
    QCOMPARE(calc.exitCode(), 0);
    QProcess lo;
    lo.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + profile.path(), QStringLiteral("--headless"),
                       QStringLiteral("--convert-to"), QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.path(),
                       dir.filePath(QStringLiteral("Otchet1.xlsx")), dir.filePath(QStringLiteral("result.xlsx"))});
    QVERIFY(lo.waitForFinished(300000));
    for (const QString &pdf : {QStringLiteral("Otchet1.pdf"), QStringLiteral("result.pdf")}) {
        QProcess p;
        p.start(pdftotext, {QStringLiteral("-bbox"), dir.filePath(pdf), QStringLiteral("-")});
        QVERIFY(p.waitForFinished(60000));
        const QString boxes = QString::fromUtf8(p.readAllStandardOutput());
        const QStringList pages = boxes.split(QStringLiteral("<page "));
        QVERIFY2(pages.size() > 2 || pdf == QLatin1String("result.pdf"), qPrintable(pdf));
        for (int n = 1; n < pages.size(); ++n) {
            // Report No. 1's metering points: object and column headings on every page of them.
            if (pdf == QLatin1String("Otchet1.pdf") && n < pages.size() - 1)
                QVERIFY2(pages[n].contains(QStringLiteral(">Заводская<")) && pages[n].contains(QStringLiteral(">Наименование<")),
                         qPrintable(pdf + QStringLiteral(", page ") + QString::number(n)));
            QRegularExpressionMatchIterator words = QRegularExpression(
                QStringLiteral("xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)\">([^<]*)<")).globalMatch(pages[n]);
            while (words.hasNext()) {
                const QRegularExpressionMatch w = words.next();
                const QString what = pdf + QStringLiteral(", page %1: ").arg(n) + w.captured(4);
                QVERIFY2(w.captured(1).toDouble() >= 56.5, qPrintable(what + QStringLiteral(" in the filing margin")));
                // A word's box is 1.17 times its size: 9.36 pt for 8-pt text.
                QVERIFY2(w.captured(3).toDouble() - w.captured(2).toDouble() >= 9.3, qPrintable(what + QStringLiteral(" under 8 pt")));
            }
        }
    }
}

// keli-calc --pdf --out: every page of every object beside it as a PDF, and the summary on
// landscape sheets with its headings on each page, the organisation and the lines to sign.
void TestPrint::batchPrints()
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("poppler-utils is needed to read the PDF pages");
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("keli.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[General]\norg=РЭС «Северный»\ncheckedBy=начальник службы Петров П. П.\n").toUtf8());
    ini.close();
    const QDir templates(testutil::binaryPath(QStringLiteral("templates")));
    for (const QString &name : templates.entryList({QStringLiteral("*.xlsx")}, QDir::Files))
        QVERIFY(QFile::copy(templates.filePath(name), dir.filePath(name)));
    // The examples under many names, for a summary of several pages.
    const QDir examples(testutil::sourcePath(QStringLiteral("examples")));
    const QStringList books = examples.entryList({QStringLiteral("*.xlsx")}, QDir::Files);
    QStringList args{QStringLiteral("--pdf"), QStringLiteral("--workdir"), dir.path(), QStringLiteral("--out"),
                     dir.filePath(QStringLiteral("out"))};
    for (int k = 0; k < 30; ++k) {
        const QString copy = dir.filePath(QStringLiteral("%1_%2").arg(k, 2, 10, QLatin1Char('0')).arg(books[k % books.size()]));
        QVERIFY(QFile::copy(examples.filePath(books[k % books.size()]), copy));
        args << copy;
    }
    QProcess calc;
    calc.start(qEnvironmentVariable("KELI_CALC", testutil::binaryPath(QStringLiteral("src/cli/keli-calc"))), args);
    QVERIFY(calc.waitForFinished(300000));
    const QByteArray said = calc.readAllStandardError();
    QVERIFY2(calc.exitCode() == 0, said.right(2000).constData());
    const QDir out(dir.filePath(QStringLiteral("out")));
    const QStringList folders = out.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(folders.size(), 30);
    for (const QString &folder : folders) {
        const QDir d(out.filePath(folder));
        QStringList pages = d.entryList({QStringLiteral("*.html")}, QDir::Files);
        QVERIFY(pages.size() >= 2);
        pages.replaceInStrings(QStringLiteral(".html"), QStringLiteral(".pdf"));
        QCOMPARE(d.entryList({QStringLiteral("*.pdf")}, QDir::Files), pages);
    }
    QProcess text;
    text.start(pdftotext, {QStringLiteral("-layout"), out.filePath(QStringLiteral("Сводка.pdf")), QStringLiteral("-")});
    QVERIFY(text.waitForFinished(60000));
    const QStringList sheets = QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QVERIFY2(sheets.size() >= 2, qPrintable(QString::number(sheets.size())));
    int rows = 0;
    for (const QString &sheet : sheets) {
        QVERIFY(sheet.contains(QStringLiteral("Предупреждений"))); // the headings on every sheet
        rows += sheet.count(QStringLiteral(".xlsx"));
    }
    QCOMPARE(rows, 30);
    QVERIFY(sheets.first().contains(QStringLiteral("РЭС «Северный»")));
    QVERIFY(sheets.last().contains(QStringLiteral("Проверил: начальник службы Петров П. П.")));
    QVERIFY(sheets.last().contains(QStringLiteral("Составил: ________")));
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
