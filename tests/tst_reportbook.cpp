// The report workbooks read back by an independent reader (openpyxl): the kind and value of every
// written cell, the clearing of leftover rows, the borders, failures, and the files of a whole
// calculation; and that LibreOffice opens every workbook the program writes.
#include "tst_report_fixture.h"

#include "core/calculation.h"
#include "core/report1.h"
#include "core/report2.h"
#include "core/reportbook.h"
#include "core/reporterror.h"
#include "core/reportfiles.h"
#include "core/sourceworkbook.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kDate = QStringLiteral("05.03.2024");

// Expected cells: "row,col" -> (kind "s"/"n", value).
using Cells = QMap<QString, QPair<QString, QVariant>>;

QString key(int row, int col)
{
    return QStringLiteral("%1,%2").arg(row).arg(col);
}

void text(Cells &c, int row, int col, const QString &value)
{
    c[key(row, col)] = {QStringLiteral("s"), value};
}

void number(Cells &c, int row, int col, double value)
{
    c[key(row, col)] = {QStringLiteral("n"), value};
}

// Compares the non-empty cells of rows firstRow..lastRow of a sheet with the expected ones.
void compareRows(const QJsonObject &sheet, const Cells &expected, int firstRow, int lastRow)
{
    QStringList problems;
    for (auto it = sheet.begin(); it != sheet.end(); ++it) {
        const int row = it.key().section(QLatin1Char(','), 0, 0).toInt();
        if (row < firstRow || row > lastRow)
            continue;
        const QJsonArray got = it.value().toArray();
        if (!expected.contains(it.key())) {
            problems << QStringLiteral("unexpected %1 = %2").arg(it.key(), got.at(1).toVariant().toString());
            continue;
        }
        const auto want = expected.value(it.key());
        const bool same = got.at(0).toString() == want.first
            && (want.first == QLatin1String("s") ? got.at(1).toString() == want.second.toString()
                                                 : qAbs(got.at(1).toDouble() - want.second.toDouble()) < 1e-12);
        if (!same)
            problems << QStringLiteral("%1: got %2 %3, want %4 %5")
                            .arg(it.key(), got.at(0).toString(), got.at(1).toVariant().toString(),
                                 want.first, want.second.toString());
    }
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const int row = it.key().section(QLatin1Char(','), 0, 0).toInt();
        if (row >= firstRow && row <= lastRow && !sheet.contains(it.key()))
            problems << QStringLiteral("missing %1").arg(it.key());
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

bool copyTemplates(const QString &dir)
{
    for (const QString &name : {keli::report1TemplateName, keli::report2TemplateName, keli::stopListBookName})
        if (!QFile::copy(testutil::binaryPath(QStringLiteral("templates/") + name), QDir(dir).filePath(name)))
            return false;
    return true;
}

// Puts the text "X" and the number format "0.0000" into the given cells of a workbook.
bool dirty(const QString &path, const QString &sheet, const QList<QPair<int, int>> &cells)
{
    QStringList args{path, sheet};
    for (const auto &c : cells)
        args << QString::number(c.first) << QString::number(c.second);
    bool ok = false;
    QString error;
    testutil::runPython(QStringLiteral(R"PY(
import sys
from openpyxl import load_workbook
wb = load_workbook(sys.argv[1])
ws = wb[sys.argv[2]]
a = sys.argv[3:]
for i in range(0, len(a), 2):
    c = ws.cell(row=int(a[i]), column=int(a[i + 1]))
    c.value = "X"
    c.number_format = "0.0000"
wb.save(sys.argv[1])
)PY"),
                        args, &ok, &error);
    if (!ok)
        qWarning("%s", qPrintable(error));
    return ok;
}

QJsonObject read(const QString &path)
{
    bool ok = false;
    QString error;
    const QJsonObject book = reportfixture::readBook(path, &ok, &error);
    if (!ok)
        qWarning("%s", qPrintable(error));
    return book;
}

QJsonObject sheetOf(const QJsonObject &book, const char *part, const QString &sheet)
{
    return book.value(QLatin1String(part)).toObject().value(sheet).toObject();
}

} // namespace

class TestReportBook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void report1Cells();
    void report1BordersAndEmptyTables();
    void report1Clearing();
    void report2Cells();
    void stopListWorkbook();
    void failuresReported();
    void spreadsheetCommandSplit();
    void filesOfCalculations();
    void templatesComeFromTheInstalledOnes();
    void libreOfficeOpensEveryWorkbook();
    void templateLabelsStandOverTheWrittenCells();
    void templatesPrintAtLeast8pt();
    void numberFormatsOfWrittenColumns();

private:
    QString sofficeDir;
};

void TestReportBook::initTestCase()
{
    if (!testutil::pythonHas(QStringLiteral("openpyxl")))
        QSKIP("python3-openpyxl is needed to read the workbooks back");
}

void TestReportBook::report1Cells()
{
    QTemporaryDir dir;
    QVERIFY(copyTemplates(dir.path()));
    reportfixture::Object o = reportfixture::smallObject();
    // The organisation and who signs, as keli.ini names them.
    o.ds.organisation = QStringLiteral("РЭС «Северный»");
    o.ds.preparedBy = QStringLiteral("инженер Иванов И. И.");
    o.ds.workbookPath = QStringLiteral("/данные/ТП 5.xlsx");
    QVERIFY(keli::otchet1xls(dir.path(), o.ds, o.r, kDate).ok());
    const QJsonObject book = read(dir.filePath(QStringLiteral("Otchet1.xlsx")));
    QCOMPARE(book.value(QStringLiteral("active")).toString(), QStringLiteral("Лист1"));
    QCOMPARE(book.value(QStringLiteral("sheets")).toArray().size(), 2);

    const QString s1 = QStringLiteral("Лист1");
    const QJsonObject cells1 = sheetOf(book, "cells", s1);
    Cells heading;
    text(heading, 2, 2, o.ds.objectName);
    text(heading, 2, 5, QStringLiteral("РЭС «Северный»"));
    text(heading, 3, 3, QStringLiteral("Март"));
    number(heading, 3, 4, 2020);
    number(heading, 2, 21, 2);
    number(heading, 3, 21, 1);
    number(heading, 4, 21, 1);
    text(heading, 3, 13, QStringLiteral("Дата расчета: 05.03.2024"));
    for (auto it = heading.begin(); it != heading.end(); ++it) {
        const QJsonArray got = cells1.value(it.key()).toArray();
        QCOMPARE(got.at(0).toString(), it.value().first);
        QCOMPARE(got.at(1).toVariant().toString(), it.value().second.toString());
    }

    // Rows 9 and 10 intake, 11 title, 12 external, 13 title, 14 own; 15, 16 empty; 17..19 losses.
    Cells want;
    const struct { int row, i; QString name, kind; double meters; QString type; double ct, vt, meter, date,
                   current, voltage, report, load, du, energy, fill, tan, off, under, random; } rows[] = {
        {9, 1, QStringLiteral("Ввод-1 <b>&"), QStringLiteral("Р"), 2, QStringLiteral("Э"), 0.5, 0.5, 0.5, 3.1,
         100, 10, 10, 0.8, 0.25, 12.5, 0.5, 0.4, 0, -0.3, 0.1},
        {10, 2, QStringLiteral("Ввод-2"), QStringLiteral("Т"), 1, QStringLiteral("И"), 0.2, 0.2, 1.0, 11.19,
         600, 6.3, 6, 0.8, 0.1, 1234.568, 0.75, 0.33, 2, -3.1, 4.4},
        {12, 1, QStringLiteral("Фидер 5"), QStringLiteral("Р"), 3, QStringLiteral("Э"), 0, 0, 1.0, 5.21,
         0, 0, 0.4, 0, 0, 100, 0.6, 0.2, 0, 0.1, 1.3},
        {14, 1, QStringLiteral("СН-1"), QStringLiteral("СН"), 1, QStringLiteral("Э"), 0.5, 0, 1.0, 1.22,
         50, 0.4, 0.4, 0.8, 0, 7.25, 0.3, 0.5, 1, -0.0, 0.0},
    };
    for (const auto &r : rows) {
        number(want, r.row, 1, r.i);
        text(want, r.row, 2, r.name);
        text(want, r.row, 3, r.kind);
        number(want, r.row, 4, r.meters);
        text(want, r.row, 5, r.type);
        number(want, r.row, 6, r.ct);
        number(want, r.row, 7, r.vt);
        number(want, r.row, 8, r.meter);
        number(want, r.row, 9, r.date);
        number(want, r.row, 10, r.current);
        number(want, r.row, 11, r.voltage);
        number(want, r.row, 12, r.report);
        number(want, r.row, 13, r.load);
        number(want, r.row, 14, r.du);
        number(want, r.row, 15, r.energy);
        number(want, r.row, 16, r.fill);
        number(want, r.row, 17, r.tan);
        number(want, r.row, 18, r.off);
        number(want, r.row, 19, r.under);
        number(want, r.row, 20, r.random);
        number(want, r.row, 21, 1);
    }
    text(want, 11, 1, QStringLiteral(" "));
    text(want, 11, 2, QStringLiteral("Отпуск электроэнергии внешним потребителям"));
    text(want, 13, 1, QStringLiteral(" "));
    text(want, 13, 2, QStringLiteral("Отпуск электроэнергии собственным потребителям"));
    text(want, 17, 1, QStringLiteral("Расчетные технические потери"));
    number(want, 17, 4, 12.35); // the page's 2 decimals
    text(want, 17, 6, QStringLiteral("тыс.кВт.ч"));
    text(want, 18, 1, QStringLiteral("Погрешность расчета техн. потерь"));
    number(want, 18, 4, 5.55);
    text(want, 18, 6, QStringLiteral("%"));
    text(want, 19, 1, QStringLiteral("Допустимые коммерческие потери"));
    number(want, 19, 4, 3.3);
    text(want, 19, 6, QStringLiteral("тыс.кВт.ч"));
    text(want, 21, 1, QStringLiteral("Дата расчета: 05.03.2024.   Исходный файл: ТП 5.xlsx.   Программа КЕЛИ, версия V2.01.26."));
    text(want, 22, 1, QStringLiteral("Составил: инженер Иванов И. И.   ____________________"));
    text(want, 23, 1, QStringLiteral("Проверил: ") + QString(40, QLatin1Char('_')));
    compareRows(cells1, want, 9, 1000);

    const QJsonObject cells2 = sheetOf(book, "cells", QStringLiteral("Лист2"));
    Cells groups;
    const QString names[3] = {QStringLiteral("Первая"), QStringLiteral("Вторая"), QStringLiteral("Третья")};
    // Rounded once to the page's decimals: 0.513 -> 0.51, 3.46 years -> 3.5.
    const double values[3][8] = {{0.2, 0.2, 1.0, 0.71, 1.0, 0.25, 0.1, 3.5},
                                 {0, 0, 1.0, 1.0, 0.08, 0, 0, 4.8},
                                 {0.51, 0, 1.0, 1.12, 0.01, 0.19, 0, 8.1}};
    const double under[3] = {3.392, -0.05, 0.011};
    for (int t = 0; t < 3; ++t) {
        text(groups, 5 + t, 1, names[t]);
        for (int k = 0; k < 8; ++k)
            number(groups, 5 + t, 2 + k, values[t][k]);
        number(groups, 5 + t, 10, under[t]);
    }
    number(groups, 11, 7, 3.142);
    text(groups, 12, 7, QStringLiteral("Ввод-2"));
    number(groups, 13, 7, 0.05);
    text(groups, 14, 7, QStringLiteral("Фидер 5"));
    number(groups, 16, 7, 0.013);
    // Rows 5..7 and column 7 of rows 11..16 are the program's; the labels beside them the template's.
    compareRows(cells2, groups, 5, 7);
    for (int row = 11; row <= 16; ++row)
        QCOMPARE(cells2.contains(key(row, 7)), row != 15);
    compareRows(cells2, {}, 17, 1000);
    QCOMPARE(cells2.value(key(2, 1)).toArray().at(1).toString(), o.ds.objectName);
    QCOMPARE(cells2.value(key(2, 6)).toArray().at(1).toString(), QStringLiteral("Расчетный период: март 2020 года"));
}

void TestReportBook::report1BordersAndEmptyTables()
{
    QTemporaryDir dir;
    QVERIFY(copyTemplates(dir.path()));
    const reportfixture::Object o = reportfixture::smallObject();
    QVERIFY(keli::otchet1xls(dir.path(), o.ds, o.r, kDate).ok());
    QJsonObject borders = sheetOf(read(dir.filePath(QStringLiteral("Otchet1.xlsx"))), "borders", QStringLiteral("Лист1"));
    for (int col = 1; col <= 21; ++col) {
        for (int row : {9, 10, 12})
            QCOMPARE(borders.value(key(row, col)).toString(), QStringLiteral("lr"));
        QCOMPARE(borders.value(key(14, col)).toString(), QStringLiteral("lrb")); // closes the table
    }
    QCOMPARE(borders.value(key(11, 1)).toString(), QStringLiteral("lr"));
    QCOMPARE(borders.value(key(11, 2)).toString(), QStringLiteral("lr"));
    QCOMPARE(borders.value(key(13, 1)).toString(), QStringLiteral("l"));
    QCOMPARE(borders.value(key(13, 2)).toString(), QStringLiteral("lr"));

    // No intake and no own rows: the external title in row 9, and no bottom border anywhere.
    keli::CalcResults r = o.r;
    r.intakeCount = 0;
    r.ownCount = 0;
    keli::Dataset ds = o.ds;
    ds.name = {QStringLiteral("Фидер 5")};
    QVERIFY(keli::otchet1xls(dir.path(), ds, r, kDate).ok());
    const QJsonObject book = read(dir.filePath(QStringLiteral("Otchet1.xlsx")));
    const QJsonObject cells = sheetOf(book, "cells", QStringLiteral("Лист1"));
    QCOMPARE(cells.value(key(9, 2)).toArray().at(1).toString(), QStringLiteral("Отпуск электроэнергии внешним потребителям"));
    QCOMPARE(cells.value(key(10, 2)).toArray().at(1).toString(), QStringLiteral("Фидер 5"));
    QCOMPARE(cells.value(key(11, 2)).toArray().at(1).toString(), QStringLiteral("Отпуск электроэнергии собственным потребителям"));
    QCOMPARE(cells.value(key(14, 1)).toArray().at(1).toString(), QStringLiteral("Расчетные технические потери"));
    borders = sheetOf(book, "borders", QStringLiteral("Лист1"));
    for (auto it = borders.begin(); it != borders.end(); ++it)
        if (it.key().section(QLatin1Char(','), 0, 0).toInt() >= 9)
            QVERIFY2(!it.value().toString().contains(QLatin1Char('b')), qPrintable(it.key()));
}

void TestReportBook::report1Clearing()
{
    QTemporaryDir dir;
    QVERIFY(copyTemplates(dir.path()));
    const QString tpl = dir.filePath(keli::report1TemplateName);
    // Leftovers in the template: inside the cleared ranges and just outside them.
    QVERIFY(dirty(tpl, QStringLiteral("Лист1"), {{20, 1}, {120, 22}, {60, 5}, {121, 1}, {20, 23}, {15, 3}}));
    QVERIFY(dirty(tpl, QStringLiteral("Лист2"), {{17, 1}, {117, 10}, {118, 1}, {17, 11}}));
    const reportfixture::Object o = reportfixture::smallObject();
    QVERIFY(keli::otchet1xls(dir.path(), o.ds, o.r, kDate).ok());
    const QJsonObject book = read(dir.filePath(QStringLiteral("Otchet1.xlsx")));
    const QJsonObject c1 = sheetOf(book, "cells", QStringLiteral("Лист1"));
    const QJsonObject f1 = sheetOf(book, "formats", QStringLiteral("Лист1"));
    // Losses in rows 17..19, cleared rows 20..120, columns 1..22: values go, styles stay.
    for (const QString &k : {key(20, 1), key(120, 22), key(60, 5)}) {
        QVERIFY2(!c1.contains(k), qPrintable(k));
        QCOMPARE(f1.value(k).toString(), QStringLiteral("0.0000"));
    }
    for (const QString &k : {key(121, 1), key(20, 23), key(15, 3)}) // outside the ranges
        QVERIFY2(c1.contains(k), qPrintable(k));
    const QJsonObject c2 = sheetOf(book, "cells", QStringLiteral("Лист2"));
    const QJsonObject f2 = sheetOf(book, "formats", QStringLiteral("Лист2"));
    QVERIFY(!c2.contains(key(17, 1)) && !c2.contains(key(117, 10)));
    QCOMPARE(f2.value(key(117, 10)).toString(), QStringLiteral("0.0000"));
    QVERIFY(c2.contains(key(118, 1)) && c2.contains(key(17, 11)));

    // A second run rebuilds from the template: nothing of the first run survives.
    keli::CalcResults r = o.r;
    r.ownCount = 0;
    QVERIFY(keli::otchet1xls(dir.path(), o.ds, r, kDate).ok());
    const QJsonObject again = sheetOf(read(dir.filePath(QStringLiteral("Otchet1.xlsx"))), "cells", QStringLiteral("Лист1"));
    QVERIFY(!again.contains(key(14, 2)) || again.value(key(14, 2)).toArray().at(1).toString() != QStringLiteral("СН-1"));
    QVERIFY(!again.contains(key(19, 1)));
}

void TestReportBook::report2Cells()
{
    QTemporaryDir dir;
    QVERIFY(copyTemplates(dir.path()));
    const QString tpl = dir.filePath(keli::report2TemplateName);
    QVERIFY(dirty(tpl, QStringLiteral("Лист1"), {{51, 1}, {151, 6}, {49, 6}, {60, 7}, {152, 1}}));
    const reportfixture::Object o = reportfixture::smallObject();
    QVERIFY(keli::otchet2xls(dir.path(), o.ds, o.r, kDate).ok());
    const QJsonObject book = read(dir.filePath(QStringLiteral("result.xlsx")));
    const QJsonObject cells = sheetOf(book, "cells", QStringLiteral("Лист1"));

    QCOMPARE(cells.value(key(1, 1)).toArray().at(1).toString(), o.ds.objectName);
    QCOMPARE(cells.value(key(1, 2)).toArray().at(1).toString(), QStringLiteral("Служба учета электроэнергии сетевой компании"));
    QCOMPARE(cells.value(key(2, 3)).toArray().at(1).toString(), kDate);
    QCOMPARE(cells.value(key(1, 3)).toArray().at(1).toString(), QStringLiteral("Расчетный период: март 2020 года"));

    Cells want;
    // Balance: rows 4..16, column 4; row 6 subtracts the two rounded values.
    const double balance[] = {1247.068, 100, 1147.068, 0, 7.25, 0, 1139.817};
    for (int i = 0; i < 7; ++i)
        number(want, 4 + i, 4, balance[i]);
    number(want, 11, 4, 0.12); // rounded once to 2: 0.1249 -> 0.12
    number(want, 12, 4, 99.37);
    number(want, 13, 4, 12.3456); // as entered
    number(want, 14, 4, 1127.472);
    number(want, 15, 4, 90.41);
    number(want, 16, 4, 98.29);
    // Permissible: thousand kWh to 3 decimals, percentages to 2 (line 6 at row 40: 3, as its page).
    const double kwh[21] = {1.235, -2.5, -0.633, 1.867, 2, -1, 0.5, 1.5, 0.065, -2.331, -1.133, 1.198, 4.598,
                            0.637, 2.617, 1.981, 5.384, 2.117, 3.75, 1.633, 4.457};
    const double pctIn[21] = {0.1, -0.2, -0.05, 0.15, 0.16, -0.08, 0.04, 0.12, 0.01, -0.19, -0.09, 0.1,
                              0.37, 0.05, 0.21, 0.16, 0.43, 0.17, 0.3, 0.13, 0.36};
    // rows 20..22 three decimals; 24..26 rounded to 3 then to 2
    const double pctNet[21] = {0.11, -0.22, -0.06, 0.16, 0.17, -0.09, 0.04, 0.13, 0.01, -0.2, -0.1, 0.1,
                               0.4, 0.06, 0.23, 0.17, 0.47, 0.18, 0.33, 0.14, 0.39};
    for (int i = 0; i < 21; ++i) {
        number(want, 20 + i, 5, kwh[i]);
        number(want, 20 + i, 6, pctIn[i]);
        number(want, 20 + i, 7, pctNet[i]);
    }
    number(want, 40, 6, 0.357);
    number(want, 40, 7, 0.389);
    // Voltage levels: rows 44..50, columns 2..7; column 6 of rows 49 and 50 not written.
    const double levels[7][6] = {{0.011, -0.05, 0, 0, 0, -0.039},
                                 {0, 3.39, 0, 0, 0, 3.39},
                                 {0.011, -3.44, 0, 0, 0, -3.429},
                                 {0.967, -4.397, 0, 0, 0, -3.43},
                                 {-0.348, 1.583, 0, 0, 0, 1.235},
                                 {0.25, 0.75, 0, 1.5, 0, 2.5},
                                 {0.446, 1.337, 0, 2.674, 0, 4.457}};
    for (int i = 0; i < 7; ++i)
        for (int k = 0; k < 6; ++k)
            if (i < 5 || k != 4)
                number(want, 44 + i, 2 + k, levels[i][k]);
    text(want, 49, 6, QStringLiteral("X")); // the template's, kept
    text(want, 60, 7, QStringLiteral("X")); // column 7 is not cleared
    text(want, 152, 1, QStringLiteral("X")); // below the cleared rows
    text(want, 52, 1, QStringLiteral("Дата расчета: 05.03.2024.   Программа КЕЛИ, версия V2.01.26."));
    text(want, 53, 1, QStringLiteral("Составил: ") + QString(40, QLatin1Char('_')));
    text(want, 54, 1, QStringLiteral("Проверил: ") + QString(40, QLatin1Char('_')));
    // The value cells: column 4 of the balance, columns 5..7 of the permissible table, the voltage
    // table and everything below it; the labels beside them are the template's.
    QJsonObject valueCells;
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        const int row = it.key().section(QLatin1Char(','), 0, 0).toInt();
        const int col = it.key().section(QLatin1Char(','), 1, 1).toInt();
        if ((row >= 4 && row <= 16 && col == 4) || (row >= 20 && row <= 40 && col >= 5)
            || (row >= 44 && row <= 50 && col >= 2) || row > 50)
            valueCells.insert(it.key(), it.value());
    }
    compareRows(valueCells, want, 1, 1000);
    QCOMPARE(sheetOf(book, "formats", QStringLiteral("Лист1")).value(key(151, 6)).toString(), QStringLiteral("0.0000"));
}

void TestReportBook::stopListWorkbook()
{
    QTemporaryDir dir;
    QVERIFY(copyTemplates(dir.path()));
    const QString path = dir.filePath(keli::stopListBookName);
    QVERIFY(dirty(path, QStringLiteral("Лист1"), {{7, 1}, {107, 9}, {108, 1}, {7, 10}}));
    QVector<keli::StopListEntry> list;
    list.append({2, 1, 1, QStringLiteral("Ввод <b>&"), QStringLiteral("Кз"), 0.13,
                 QStringLiteral("Кз д.быть в пределах от 0.1 до 1.0"), QStringLiteral("Ошибка")});
    list.append({7, 3, 2, QStringLiteral("ТСН"), QStringLiteral("Iном не соответствует стандартной шкале"), 125,
                 QStringLiteral("Iном необходимо привести в соответствие"), QStringLiteral("Предупреждение")});
    // The cells of a list, and column 10 right of it, which is not the writer's.
    auto expected = [](const QVector<keli::StopListEntry> &entries) {
        Cells want;
        for (int k = 0; k < entries.size(); ++k) {
            const keli::StopListEntry &e = entries[k];
            number(want, 5 + k, 1, k + 1);
            number(want, 5 + k, 2, e.fileRow);
            number(want, 5 + k, 3, e.table);
            number(want, 5 + k, 4, e.rowInTable);
            text(want, 5 + k, 5, e.name);
            text(want, 5 + k, 6, e.parameter);
            number(want, 5 + k, 7, e.value);
            text(want, 5 + k, 8, e.message);
            text(want, 5 + k, 9, e.kind);
        }
        text(want, 7, 10, QStringLiteral("X"));
        return want;
    };
    QVERIFY(keli::otchet_errxls(path, list).ok());
    QJsonObject book = read(path);
    compareRows(sheetOf(book, "cells", QStringLiteral("Лист1")), expected(list), 5, 1000);
    QCOMPARE(sheetOf(book, "formats", QStringLiteral("Лист1")).value(key(107, 9)).toString(), QStringLiteral("0.0000"));

    // The workbook is its own template: after a list of 300 a list of 4 leaves exactly 4 entries,
    // an empty list none; the headings stay.
    const QVector<keli::StopListEntry> many(300, list[1]);
    for (const QVector<keli::StopListEntry> &entries : {many, many.mid(0, 4), QVector<keli::StopListEntry>()}) {
        QVERIFY(keli::otchet_errxls(path, entries).ok());
        book = read(path);
        compareRows(sheetOf(book, "cells", QStringLiteral("Лист1")), expected(entries), 5, 1000);
    }
    QVERIFY(sheetOf(book, "cells", QStringLiteral("Лист1")).contains(key(4, 1)));

    // Missing: a new workbook with the entries.
    const QString fresh = dir.filePath(QStringLiteral("new/") + keli::stopListBookName);
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("new")));
    QVERIFY(keli::otchet_errxls(fresh, list).ok());
    book = read(fresh);
    const QString sheet = book.value(QStringLiteral("active")).toString();
    QCOMPARE(sheetOf(book, "cells", sheet).value(key(6, 5)).toArray().at(1).toString(), QStringLiteral("ТСН"));
    QCOMPARE(sheetOf(book, "cells", sheet).value(key(6, 7)).toArray().at(1).toDouble(), 125.0);
}

void TestReportBook::failuresReported()
{
    QTemporaryDir dir;
    const reportfixture::Object o = reportfixture::smallObject();
    // No templates: the copy messages, and no output file.
    keli::BookResult r = keli::otchet1xls(dir.path(), o.ds, o.r, kDate);
    QCOMPARE(r.status, keli::BookResult::TemplateMissing);
    QCOMPARE(r.message, QStringLiteral("Ошибка копирования отчета1"));
    r = keli::otchet2xls(dir.path(), o.ds, o.r, kDate);
    QCOMPARE(r.message, QStringLiteral("Ошибка копирования отчета2"));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Otchet1.xlsx"))));
    // An earlier report of that name does not outlive a missing template.
    QFile earlier(dir.filePath(QStringLiteral("result.xlsx")));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.close();
    QCOMPARE(keli::otchet2xls(dir.path(), o.ds, o.r, kDate).status, keli::BookResult::TemplateMissing);
    QVERIFY(!earlier.exists());
    // A template that is no workbook is as good as missing: no report is filled into a bare one.
    QFile damaged(dir.filePath(keli::report2TemplateName));
    QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("not a workbook") > 0);
    damaged.close();
    QCOMPARE(keli::otchet2xls(dir.path(), o.ds, o.r, kDate).status, keli::BookResult::TemplateMissing);
    QVERIFY(!earlier.exists());
    QVERIFY(damaged.remove());

    // A save that fails is reported.
    QVERIFY(copyTemplates(dir.path()));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Otchet1.xlsx"))); // a folder where the report goes
    r = keli::otchet1xls(dir.path(), o.ds, o.r, kDate);
    QCOMPARE(r.status, keli::BookResult::SaveFailed);
    QVERIFY(r.message.contains(QStringLiteral("Otchet1.xlsx")));
    QVERIFY(r.message.endsWith(QStringLiteral("На месте файла находится папка с тем же именем.")));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("Otchet1.xlsx"))).isDir());
}

void TestReportBook::spreadsheetCommandSplit()
{
    const QString book = QStringLiteral("СтоплистОтчет.xlsx");
    QCOMPARE(keli::spreadsheetCommandLine(QStringLiteral("EXCEL"), book), QStringList({QStringLiteral("EXCEL"), book}));
    QCOMPARE(keli::spreadsheetCommandLine(QStringLiteral("libreoffice --calc"), book),
             QStringList({QStringLiteral("libreoffice"), QStringLiteral("--calc"), book}));
    // No shell: metacharacters are plain arguments.
    QCOMPARE(keli::spreadsheetCommandLine(QStringLiteral("soffice; rm -rf x"), book),
             QStringList({QStringLiteral("soffice;"), QStringLiteral("rm"), QStringLiteral("-rf"), QStringLiteral("x"), book}));
    QVERIFY(keli::spreadsheetCommandLine(QStringLiteral("   "), book).isEmpty());
}

void TestReportBook::filesOfCalculations()
{
    // A real calculation of an example object, as keli-calc writes it.
    const QDir examples(testutil::sourcePath(QStringLiteral("examples")));
    const QStringList sources = examples.entryList({QStringLiteral("*.xlsx")}, QDir::Files, QDir::Name);
    QVERIFY(!sources.isEmpty());
    for (const QString &source : sources) {
        QTemporaryDir dir;
        QVERIFY(copyTemplates(dir.path()));
        keli::Dataset ds;
        ds.workbookPath = examples.filePath(source);
        ds.calcMonth = 3;
        ds.calcYear = 2024;
        ds.periodDays = 31;
        QVERIFY(keli::readXLSwriteDB(ds).ok);
        const keli::CalcOutcome outcome = keli::calculate(ds);
        // A stale error page goes when the calculation succeeds.
        QFile stale(dir.filePath(QStringLiteral("Ошибки и предупреждения программы.html")));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        keli::ReportFilesOptions options;
        options.errorPageAfterWarnings = false;
        const keli::ReportFilesResult files = keli::writeReportFiles(dir.path(), ds, outcome, options);
        QVERIFY2(files.failures.isEmpty(), qPrintable(files.failures.join(QLatin1Char('\n'))));
        if (outcome.outcome == keli::Outcome::Calculated) {
            QCOMPARE(files.written, QStringList({QStringLiteral("Параметры системы учета электроэнергии.html"),
                                                 QStringLiteral("Otchet1.xlsx"),
                                                 QStringLiteral("Баланс электроэнергии по приборам учета.html"),
                                                 QStringLiteral("result.xlsx")}));
            QVERIFY(!stale.exists());
        } else {
            QCOMPARE(outcome.outcome, keli::Outcome::Blocked);
            QCOMPARE(files.written, QStringList({QStringLiteral("Ошибки и предупреждения программы.html"),
                                                 QStringLiteral("СтоплистОтчет.xlsx")}));
        }
        for (const QString &name : files.written) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            if (name.endsWith(QLatin1String(".html")))
                QVERIFY2(!bytes.contains("nan") && !bytes.contains("inf"), qPrintable(source + name));
            else
                QVERIFY2(!read(dir.filePath(name)).isEmpty(), qPrintable(source + name));
        }
    }

    // A blocked calculation: the error page and the stop-list workbook only; warnings add the page.
    QTemporaryDir dir;
    QVERIFY(copyTemplates(dir.path()));
    const reportfixture::Object o = reportfixture::smallObject();
    keli::CalcOutcome blocked;
    blocked.outcome = keli::Outcome::Blocked;
    blocked.stopList.append({2, 1, 1, QStringLiteral("Ввод"), QStringLiteral("Кз"), 0.05,
                             QStringLiteral("Кз д.быть в пределах от 0.1 до 1.0"), QStringLiteral("Ошибка")});
    QCOMPARE(keli::writeReportFiles(dir.path(), o.ds, blocked).written,
             QStringList({QStringLiteral("Ошибки и предупреждения программы.html"), QStringLiteral("СтоплистОтчет.xlsx")}));
    keli::CalcOutcome warned;
    warned.outcome = keli::Outcome::Calculated;
    warned.results = o.r;
    warned.warningCount = 1;
    warned.stopList = blocked.stopList;
    keli::ReportFilesOptions options;
    options.report1 = false;
    QCOMPARE(keli::writeReportFiles(dir.path(), o.ds, warned, options).written,
             QStringList({QStringLiteral("Баланс электроэнергии по приборам учета.html"), QStringLiteral("result.xlsx"),
                          QStringLiteral("Ошибки и предупреждения программы.html")}));
    keli::CalcOutcome ended;
    ended.outcome = keli::Outcome::FillFactorZero;
    QVERIFY(keli::writeReportFiles(dir.path(), o.ds, ended).written.isEmpty());
}

void TestReportBook::templatesComeFromTheInstalledOnes()
{
    // An install under any prefix: PREFIX/bin/keli-calc finds PREFIX/share/keli/templates.
    QTemporaryDir prefix;
    const QString installed = keli::installedTemplatesDir(prefix.filePath(QStringLiteral("bin")));
    QCOMPARE(installed, prefix.filePath(QStringLiteral("share/keli/templates")));
    QVERIFY(QDir().mkpath(installed) && copyTemplates(installed));

    // An empty working folder gets every template it needs; a template the user keeps there stays.
    QTemporaryDir work;
    const QString own = testutil::sourcePath(QStringLiteral("tests/data/xlsx/template.xlsx"));
    QVERIFY(QFile::copy(own, work.filePath(keli::report2TemplateName)));
    const reportfixture::Object o = reportfixture::smallObject();
    keli::CalcOutcome calculated;
    calculated.outcome = keli::Outcome::Calculated;
    calculated.results = o.r;
    keli::CalcOutcome blocked;
    blocked.outcome = keli::Outcome::Blocked;
    keli::ReportFilesOptions options;
    options.installedTemplates = installed;
    for (const keli::CalcOutcome &outcome : {calculated, blocked}) {
        const keli::ReportFilesResult files = keli::writeReportFiles(work.path(), o.ds, outcome, options);
        QVERIFY2(files.failures.isEmpty(), qPrintable(files.failures.join(QLatin1Char('\n'))));
    }
    auto bytes = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    QCOMPARE(bytes(work.filePath(keli::report1TemplateName)), bytes(QDir(installed).filePath(keli::report1TemplateName)));
    QCOMPARE(bytes(work.filePath(keli::report2TemplateName)), bytes(own));
    // The stop-list workbook was filled in the installed template's copy, not in a bare workbook.
    QCOMPARE(QXlsx::Document(work.filePath(keli::stopListBookName)).sheetNames(),
             QXlsx::Document(QDir(installed).filePath(keli::stopListBookName)).sheetNames());
    QCOMPARE(keli::reportDateText(QDate(2026, 12, 8)), QStringLiteral("08.12.2026"));

    // Templates loaded once (a batch): the working folder's own wins over the installed one, the
    // installed one stands in for a missing one, one found nowhere is left out.
    QTemporaryDir batchWork;
    QVERIFY(QFile::copy(own, batchWork.filePath(keli::report2TemplateName)));
    keli::ReportTemplates templates;
    templates.load(batchWork.path(), installed, {keli::report1TemplateName, keli::report2TemplateName, "none.xlsx"});
    QCOMPARE(templates.folder(keli::report2TemplateName), batchWork.path());
    QCOMPARE(templates.folder(keli::report1TemplateName), installed);
    QVERIFY(!templates.contains("none.xlsx") && !templates.open("none.xlsx"));
    QCOMPARE(templates.open(keli::report2TemplateName)->read(1, 1), QVariant(QStringLiteral("Баланс по объекту")));
    QCOMPARE(templates.open(keli::report1TemplateName)->read(1, 1),
             QVariant(QStringLiteral("Параметры системы учета электроэнергии")));
}

void TestReportBook::libreOfficeOpensEveryWorkbook()
{
    const QString soffice = testutil::soffice();
    if (soffice.isEmpty())
        QSKIP("soffice is not installed");
    QTemporaryDir dir, out, profile;
    QVERIFY(copyTemplates(dir.path()));
    const reportfixture::Object o = reportfixture::smallObject();
    QVERIFY(keli::otchet1xls(dir.path(), o.ds, o.r, kDate).ok());
    QVERIFY(keli::otchet2xls(dir.path(), o.ds, o.r, kDate).ok());
    QVector<keli::StopListEntry> list{{2, 1, 1, QStringLiteral("Ввод"), QStringLiteral("Кз"), 0.05,
                                       QStringLiteral("Кз д.быть в пределах от 0.1 до 1.0"), QStringLiteral("Ошибка")}};
    QVERIFY(keli::otchet_errxls(dir.filePath(keli::stopListBookName), list).ok());
    const QStringList books{QStringLiteral("Otchet1.xlsx"), QStringLiteral("result.xlsx"), keli::stopListBookName};

    QStringList args{QStringLiteral("-env:UserInstallation=file://") + profile.path(), QStringLiteral("--headless"),
                     QStringLiteral("--convert-to"), QStringLiteral("csv"), QStringLiteral("--outdir"), out.path()};
    for (const QString &b : books)
        args << dir.filePath(b);
    QProcess p;
    p.start(soffice, args);
    QVERIFY(p.waitForFinished(300000));
    const QString log = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, qPrintable(log));
    QVERIFY2(!log.contains(QStringLiteral("Error"), Qt::CaseInsensitive), qPrintable(log));
    for (const QString &b : books) {
        QFile csv(QDir(out.path()).filePath(QFileInfo(b).completeBaseName() + QStringLiteral(".csv")));
        QVERIFY2(csv.open(QIODevice::ReadOnly), qPrintable(csv.fileName() + log));
        const QByteArray content = csv.readAll();
        QVERIFY2(content.size() > 10, qPrintable(b));
    }
    QFile report1(QDir(out.path()).filePath(QStringLiteral("Otchet1.csv")));
    QVERIFY(report1.open(QIODevice::ReadOnly));
    QVERIFY(report1.readAll().contains("1234.568"));
}

// Labels of a template sheet that name the cells a writer fills: "row,col" -> text.
using Labels = QMap<QString, QString>;

// The labels must be where the writer's cells are, and the cells the writer fills must be empty in
// the template (rows firstRow..lastRow, columns firstCol..lastCol of each block).
void checkTemplate(const QJsonObject &cells, const Labels &labels, const QVector<QVector<int>> &written)
{
    QStringList problems;
    for (auto it = labels.begin(); it != labels.end(); ++it) {
        const QString got = cells.value(it.key()).toArray().at(1).toVariant().toString();
        if (got != it.value())
            problems << QStringLiteral("%1: got \"%2\", want \"%3\"").arg(it.key(), got, it.value());
    }
    for (const QVector<int> &b : written)
        for (int row = b[0]; row <= b[1]; ++row)
            for (int col = b[2]; col <= b[3]; ++col)
                if (cells.contains(key(row, col)))
                    problems << QStringLiteral("%1 is written by the program but holds \"%2\"")
                                    .arg(key(row, col), cells.value(key(row, col)).toArray().at(1).toVariant().toString());
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

void TestReportBook::templateLabelsStandOverTheWrittenCells()
{
    const auto cellsOf = [](const QString &name, const QString &sheet) {
        return sheetOf(read(testutil::binaryPath(QStringLiteral("templates/") + name)), "cells", sheet);
    };
    // Report No. 1, metering points: the column numbers of row 7 stand over the columns written
    // from row 9; the counts in U2..U4 have their labels on the left.
    Labels l1{{key(3, 1), QStringLiteral("Расчетный период:")},
              {key(2, 20), QStringLiteral("поступление")},
              {key(3, 20), QStringLiteral("отпуск внешним")},
              {key(4, 20), QStringLiteral("отпуск собственным")},
              {key(5, 2), QStringLiteral("Наименование ТУ")},
              {key(5, 6), QStringLiteral("Класс точности")},
              {key(6, 6), QStringLiteral("ТТ")}, {key(6, 7), QStringLiteral("ТН")}, {key(6, 8), QStringLiteral("Счетч.")},
              {key(5, 13), QStringLiteral("Норм.\nкоэф.\nзагр.\nТТ")},
              {key(5, 15), QStringLiteral("Пропуск\nэнергии,\nтыс.кВт.ч")},
              {key(6, 19), QStringLiteral("средн.")}, {key(6, 20), QStringLiteral("+/-")},
              {key(5, 21), QStringLiteral("Код\nдос-\nтавки")},
              {key(8, 2), QStringLiteral("Поступление электроэнергии")}};
    for (int col = 1; col <= 21; ++col)
        l1[key(7, col)] = QString::number(col);
    checkTemplate(cellsOf(keli::report1TemplateName, QStringLiteral("Лист1")), l1,
                  {{2, 2, 2, 2}, {2, 2, 5, 5}, {3, 3, 3, 4}, {3, 3, 13, 13}, {2, 4, 21, 21}, {9, 130, 1, 22}});
    // Report No. 1, groups: rows 5..7 under the headings of columns 1..10; column 7 of rows 11..16.
    checkTemplate(cellsOf(keli::report1TemplateName, QStringLiteral("Лист2")),
                  {{key(3, 1), QStringLiteral("Группа")}, {key(4, 2), QStringLiteral("ТТ")},
                   {key(4, 3), QStringLiteral("ТН")}, {key(4, 4), QStringLiteral("СЧ")},
                   {key(4, 5), QStringLiteral("Экв. ИК")}, {key(3, 6), QStringLiteral("Доля\nэнергии")},
                   {key(3, 7), QStringLiteral("Загрузка ТТ")}, {key(3, 8), QStringLiteral("Потери U\nво втор., %")},
                   {key(3, 9), QStringLiteral("Срок после\nпов., лет")},
                   {key(3, 10), QStringLiteral("Недоучет,\nтыс.кВт.ч")},
                   {key(11, 1), QStringLiteral("Наибольший вклад в погрешность на поступление энергии")},
                   {key(12, 1), QStringLiteral("вносит строка:")},
                   {key(13, 1), QStringLiteral("Наибольший вклад в погрешность на отпуск энергии")},
                   {key(14, 1), QStringLiteral("вносит строка:")},
                   {key(16, 1), QStringLiteral("Расчетные потери в трансформаторах тока")}},
                  {{2, 2, 1, 1}, {2, 2, 6, 6}, {5, 7, 1, 10}, {11, 16, 7, 7}, {17, 117, 1, 10}});
    // Report No. 2: the balance values in column 4, the ranges in columns 5..7 (four rows per
    // figure), the voltage levels in columns 2..7.
    Labels l2{{key(2, 1), QStringLiteral("Баланс электроэнергии по приборам учета")},
              {key(3, 4), QStringLiteral("Значение")},
              {key(4, 1), QStringLiteral("1.")}, {key(10, 1), QStringLiteral("7.")}, {key(11, 1), QStringLiteral("7.1")},
              {key(12, 1), QStringLiteral("7.2")}, {key(13, 1), QStringLiteral("8.")}, {key(16, 1), QStringLiteral("9.2")},
              {key(13, 2), QStringLiteral("Технические потери электроэнергии")},
              {key(19, 5), QStringLiteral("тыс.кВт.ч")}, {key(19, 6), QStringLiteral("% поступления")},
              {key(19, 7), QStringLiteral("% отп. сеть")}, {key(40, 1), QStringLiteral("6.")},
              {key(40, 4), QStringLiteral("Размах")}};
    const QString characteristics[4] = {QStringLiteral("Макс. значение"), QStringLiteral("Мин. значение"),
                                        QStringLiteral("Среднее значение"), QStringLiteral("Размах")};
    for (int figure = 0; figure < 5; ++figure) {
        l2[key(20 + 4 * figure, 1)] = QString::number(figure + 1) + QLatin1Char('.');
        for (int k = 0; k < 4; ++k)
            l2[key(20 + 4 * figure + k, 4)] = characteristics[k];
    }
    const QString levels[6] = {QStringLiteral("0,4 кВ"), QStringLiteral("6-20 кВ"), QStringLiteral("35-60 кВ"),
                               QStringLiteral("110 кВ"), QStringLiteral("220 кВ"), QStringLiteral("Сумма")};
    for (int k = 0; k < 6; ++k)
        l2[key(43, 2 + k)] = levels[k];
    const QString levelRows[7] = {QStringLiteral("Недоучет на отп."), QStringLiteral("Недоуч. на пост."),
                                  QStringLiteral("Потери (разность)"), QStringLiteral("Разнесенные потери"),
                                  QStringLiteral("Разнесен. макс. потери"), QStringLiteral("Отпуск, млн.кВт.ч"),
                                  QStringLiteral("По пр. № 326")};
    for (int i = 0; i < 7; ++i)
        l2[key(44 + i, 1)] = levelRows[i];
    checkTemplate(cellsOf(keli::report2TemplateName, QStringLiteral("Лист1")), l2,
                  {{1, 1, 1, 3}, {2, 2, 3, 3}, {4, 16, 4, 4}, {20, 40, 5, 7}, {44, 50, 2, 7}, {51, 151, 1, 6}});
    // The stop list: entries from row 5 under the headings of row 4.
    checkTemplate(cellsOf(keli::stopListBookName, QStringLiteral("Лист1")),
                  {{key(4, 1), QStringLiteral("№ п/п")}, {key(4, 2), QStringLiteral("Номер в файле исходных данных")},
                   {key(4, 5), QStringLiteral("Название ПС")}, {key(4, 7), QStringLiteral("Значение параметра")},
                   {key(4, 9), QStringLiteral("Статус ошибки")}},
                  {{3, 3, 1, 1}, {5, 400, 1, 9}});
}

void TestReportBook::templatesPrintAtLeast8pt()
{
    // Every sheet is set up for A4, fit to the width, with repeated heading rows and the page number
    // in the footer; every text (labels and the columns the program writes) is in Liberation Sans
    // and, shrunk by the fit-to-width scale of its columns, prints at 8 pt or more.
    static const char *code = R"PY(
import sys
from openpyxl import load_workbook
from openpyxl.utils import get_column_letter
paper = {"portrait": 595.3, "landscape": 841.9}  # A4 width, pt
problems = []
for arg in sys.argv[1:]:
    path, sheet = arg.split("|")
    ws = load_workbook(path)[sheet]
    where = "%s %s: " % (path.split("/")[-1], sheet)
    setup = ws.page_setup
    if int(setup.paperSize) != 9 or int(setup.fitToWidth) != 1 or not ws.sheet_properties.pageSetUpPr.fitToPage:
        problems.append(where + "not A4 fitted to the width")
    if not ws.print_title_rows:
        problems.append(where + "no repeated heading rows")
    if not any("&P" in (part.text or "") for part in (ws.oddFooter.left, ws.oddFooter.center, ws.oddFooter.right)):
        problems.append(where + "no page number in the footer")
    last = max(c.column for row in ws.iter_rows() for c in row if c.value is not None)
    used = sum(7 * (ws.column_dimensions[get_column_letter(c)].width or 8.43) for c in range(1, last + 1)) * 0.75
    scale = min(1.0, (paper[setup.orientation] - 72 * (ws.page_margins.left + ws.page_margins.right)) / used)
    fonts = [(c.coordinate, c.font) for row in ws.iter_rows() for c in row if c.value is not None]
    fonts += [("column " + get_column_letter(c), ws.column_dimensions[get_column_letter(c)].font)
              for c in range(1, last + 1)]
    for name, font in fonts:
        size = font.sz or 11
        if font.name != "Liberation Sans" or size * scale < 8:
            problems.append(where + "%s: %s %s pt prints at %.2f pt" % (name, font.name, size, size * scale))
print("\n".join(problems))
)PY";
    QStringList sheets;
    for (const auto &s : {std::pair<QString, const char *>{keli::report1TemplateName, "Лист1"},
                          {keli::report1TemplateName, "Лист2"}, {keli::report2TemplateName, "Лист1"},
                          {keli::stopListBookName, "Лист1"}})
        sheets << testutil::binaryPath(QStringLiteral("templates/") + s.first) + QLatin1Char('|') + QString::fromUtf8(s.second);
    bool ok = false;
    QString error;
    const QString problems = testutil::runPython(QString::fromUtf8(code), sheets, &ok, &error);
    QVERIFY2(ok, qPrintable(error));
    QVERIFY2(problems.trimmed().isEmpty(), qPrintable(problems));
}

void TestReportBook::numberFormatsOfWrittenColumns()
{
    // The numbers the program writes keep the decimals the pages show (9.20, not 9.2), also in rows
    // the template has no cells for.
    QTemporaryDir dir;
    QVERIFY(copyTemplates(dir.path()));
    const reportfixture::Object o = reportfixture::smallObject();
    QVERIFY(keli::otchet1xls(dir.path(), o.ds, o.r, kDate).ok());
    QVERIFY(keli::otchet2xls(dir.path(), o.ds, o.r, kDate).ok());
    const keli::StopListEntry entry{2, 1, 1, QStringLiteral("Ввод"), QStringLiteral("Кз"), 0.5,
                                    QStringLiteral("Кз д.быть в пределах от 0.1 до 1.0"), QStringLiteral("Ошибка")};
    QVERIFY(keli::otchet_errxls(dir.filePath(keli::stopListBookName), QVector<keli::StopListEntry>(400, entry)).ok());
    const QJsonObject report1 = read(dir.filePath(QStringLiteral("Otchet1.xlsx")));
    const QJsonObject report2 = read(dir.filePath(QStringLiteral("result.xlsx")));
    const QJsonObject stop = read(dir.filePath(keli::stopListBookName));

    const struct { const QJsonObject &book; const char *sheet; QVector<int> rows; QVector<int> cols; const char *format; } columns[] = {
        {report1, "Лист1", {9, 10, 12, 14}, {1, 21}, "0"},
        {report1, "Лист1", {9, 10, 12, 14}, {4, 6, 7, 8, 10, 12, 18, 19, 20}, "0.0"},
        {report1, "Лист1", {9, 10, 12, 14}, {9, 11, 13, 14, 16, 17}, "0.00"},
        {report1, "Лист1", {9, 10, 12, 14}, {15}, "0.000"},
        {report1, "Лист1", {17, 18}, {4}, "0.00"}, // technical losses and their error, as the page
        {report1, "Лист1", {19}, {4}, "0.0"},
        {report1, "Лист2", {5, 6, 7}, {2, 3, 4, 5, 6, 7, 8}, "0.00"},
        {report1, "Лист2", {5, 6, 7}, {9}, "0.0"},
        {report1, "Лист2", {5, 6, 7}, {10}, "0.000"},
        {report1, "Лист2", {11, 13, 16}, {7}, "0.000"},
        {report2, "Лист1", {4, 5, 6, 7, 8, 9, 10, 13, 14}, {4}, "0.000"},
        {report2, "Лист1", {11, 12, 15, 16}, {4}, "0.00"},
        {report2, "Лист1", {20, 29, 39, 40}, {5}, "0.000"},
        {report2, "Лист1", {20, 30, 39}, {6}, "0.00"},
        {report2, "Лист1", {20, 21, 22, 23, 39}, {7}, "0.00"},
        {report2, "Лист1", {40}, {6, 7}, "0.000"},
        {report2, "Лист1", {44, 47, 50}, {2, 3, 4, 5, 7}, "0.000"},
        {stop, "Лист1", {5, 404}, {1, 2, 3, 4}, "0"},
        {stop, "Лист1", {5, 404}, {7}, "0.00"},
    };
    QStringList problems;
    for (const auto &c : columns) {
        const QJsonObject formats = sheetOf(c.book, "formats", QString::fromUtf8(c.sheet));
        for (int row : c.rows)
            for (int col : c.cols)
                if (formats.value(key(row, col)).toString() != QLatin1String(c.format))
                    problems << QStringLiteral("%1 %2: %3, want %4").arg(QString::fromUtf8(c.sheet), key(row, col),
                                                                         formats.value(key(row, col)).toString(),
                                                                         QLatin1String(c.format));
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    // The date of Report No. 2 is written as text; its cell's format puts the label before it.
    QVERIFY(sheetOf(report2, "formats", QStringLiteral("Лист1")).value(key(2, 3)).toString().contains(QStringLiteral("Дата расчета")));
}

QTEST_GUILESS_MAIN(TestReportBook)
#include "tst_reportbook.moc"
