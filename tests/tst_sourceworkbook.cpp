// Source workbooks: the cell rules of loading, the layout of saving, round trips, backups, and the
// refusal of workbooks that cannot be loaded safely.
#include "core/calculation.h"
#include "core/helpers.h"
#include "core/sourceworkbook.h"
#include "core/workbooklock.h"
#include "support/testutil.h"
#include "xlsx/xlsxdocument.h"
#include "xlsx/xlsxzipcomment.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

using namespace keli;

namespace {

using Cells = QVector<QVariantList>; // rows from row 1, cells from column A; invalid = empty

// Writes rows of cells into a new workbook at path with our own workbook layer.
void writeBook(const QString &path, const Cells &rows)
{
    QXlsx::Document doc;
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            if (rows[r][c].isValid())
                QVERIFY(doc.write(r + 1, c + 1, rows[r][c]));
    QVERIFY(doc.saveAs(path));
}

// Cells of one row from column A as our layer reads them back.
void compareRow(const QXlsx::Document &doc, int row, const QVariantList &expected)
{
    for (int c = 0; c < expected.size(); ++c)
        QCOMPARE(doc.read(row, c + 1), expected[c]);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// The hash of a file without the archive comment that marks a backup: a backup holds the same
// package as the workbook it was taken from.
QByteArray contentHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray bytes = f.readAll();
    QXlsx::setZipComment(&bytes, QByteArray());
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// A metering point row A..T as a spreadsheet program would hold it.
QVariantList pointRow(const QString &name, double energy, int s = 10, int t = 2024)
{
    return {name, 1.0, QStringLiteral("Э"), 0.5, 0.5, 0.5, 3.22, 300.0, 10.0, 10.0, 0.25,
            QString::number(energy, 'f', 3), 0.7, 0.0, QStringLiteral("Р"), 0.4, 0.0, 31.0,
            double(s), double(t)};
}

QVariantList header(const QVariant &b, const QVariant &c, const QVariant &d)
{
    return {QStringLiteral("Объект"), b, c, d, 0.0, 0.0, 0.0, 0.0, 0.0, QStringLiteral("1.000"),
            QStringLiteral("2.0"), QStringLiteral("3.0")};
}

Dataset loaded(const QString &path, WorkbookResult *result = nullptr, int month = 10, int year = 2024)
{
    Dataset ds;
    ds.calcMonth = month;
    ds.calcYear = year;
    ds.workbookPath = path;
    const WorkbookResult r = readXLSwriteDB(ds);
    if (result)
        *result = r;
    return ds;
}

// A row of table t with distinct values, appended to ds (counts are kept by the caller).
// A new dataset of January 2024, no rows.
Dataset newDataset()
{
    Dataset ds;
    ds.calcMonth = 1;
    ds.calcYear = 2024;
    readXLS(ds);
    return ds;
}

void addPoint(Dataset &ds, int table, const QString &name, double energy)
{
    const int i = ds.appendRow(table);
    ds.name[i] = name;
    ds.pointKind[i] = QStringLiteral("Р");
    ds.meterType[i] = QStringLiteral("Э");
    ds.meterCount[i] = 1;
    ds.ctClass[i] = 0.5;
    ds.vtClass[i] = 0.5;
    ds.vtVoltageLoss[i] = 0.25;
    ds.meterClass[i] = 0.5;
    ds.verificationDate[i] = 3.22;
    ds.ctRatedCurrent[i] = 300;
    ds.ctVoltage[i] = 10;
    ds.reportVoltage[i] = 10;
    ds.energy[i] = energy;
    ds.fillFactor[i] = 0.7;
    ds.tanPhi[i] = 0.4;
    ds.offDays[i] = table; // tells the rows apart
}

bool datasetIsEmpty(const Dataset &ds)
{
    return ds.rowCount() == 0 && ds.intakeCount == 0 && ds.externalCount == 0 && ds.ownCount == 0
           && ds.objectName.isEmpty() && ds.techLosses == 0 && ds.fileMonth == 0 && ds.fileYear == 0;
}

} // namespace

class TestSourceWorkbook : public QObject
{
    Q_OBJECT

private slots:
    void examplesRoundTrip_data()
    {
        QTest::addColumn<QString>("file");
        const QDir dir(testutil::sourcePath(QStringLiteral("examples")));
        const QStringList files = dir.entryList({QStringLiteral("*.xlsx")}, QDir::Files, QDir::Name);
        QVERIFY(files.size() >= 2);
        for (const QString &f : files)
            QTest::newRow(qPrintable(f)) << dir.filePath(f);
    }
    void examplesRoundTrip()
    {
        QFETCH(QString, file);
        QTemporaryDir tmp;
        const QString copy = tmp.filePath(QStringLiteral("source.xlsx"));
        QVERIFY(QFile::copy(file, copy));

        WorkbookResult r;
        Dataset first = loaded(copy, &r);
        QVERIFY2(r.ok, qPrintable(r.message));
        QVERIFY(!first.objectName.isEmpty());
        QVERIFY(first.intakeCount > 0 && first.externalCount > 0 && first.ownCount > 0);
        QCOMPARE(first.rowCount(), first.intakeCount + first.externalCount + first.ownCount);
        QVERIFY(first.fileMonth >= 1 && first.fileMonth <= 13 && first.fileYear >= 2000);
        for (int i = 0; i < first.rowCount(); ++i) {
            QVERIFY(!first.name[i].isEmpty());
            QVERIFY(first.energy[i] > 0);
            QVERIFY(first.meterType[i] == QStringLiteral("Э") || first.meterType[i] == QStringLiteral("И"));
        }

        // Saved for the period it was stored for, then loaded again: the same dataset.
        first.calcMonth = first.fileMonth;
        first.calcYear = first.fileYear;
        const QString saved = tmp.filePath(QStringLiteral("saved.xlsx"));
        r = saveSourceWorkbook(first, saved);
        QVERIFY2(r.ok, qPrintable(r.message));
        const Dataset second = loaded(saved, &r, first.calcMonth, first.calcYear);
        QVERIFY2(r.ok, qPrintable(r.message));
        QString difference;
        QVERIFY2(sameStoredContent(first, second, &difference), qPrintable(difference));
        QCOMPARE(second.fileMonth, first.fileMonth);
        QCOMPARE(second.fileYear, first.fileYear);
    }

    // Two examples calculate without findings; the 10/0.4 kV one warns once, about the induction
    // meters verified in 2007.
    void examplesCalculateAsDescribed()
    {
        const auto calculateExample = [](const char *file) {
            Dataset ds = loaded(testutil::sourcePath(QStringLiteral("examples/") + QString::fromUtf8(file)));
            ds.calcMonth = ds.fileMonth;
            ds.calcYear = ds.fileYear;
            ds.periodDays = k_day(ds.calcMonth, ds.calcYear);
            return evaluate(ds);
        };
        for (const char *clean : {"ПС_110_10_Заречная_октябрь_2024.xlsx", "РП_10_Южный_2023_год.xlsx"}) {
            const CalcOutcome o = calculateExample(clean);
            QCOMPARE(o.outcome, Outcome::Calculated);
            QCOMPARE(o.stopList.size(), 0);
        }
        // The stored intakes 21450.320 + 17320.640, not 38770.961 as in single precision.
        QCOMPARE(rounds(calculateExample("РП_10_Южный_2023_год.xlsx").results.intakeEnergy, 3),
                 QStringLiteral("38770.960"));
        const CalcOutcome o = calculateExample("ТП_10_0,4_№127_март_2024.xlsx");
        QCOMPARE(o.outcome, Outcome::Calculated);
        QCOMPARE(o.errorCount, 0);
        QCOMPARE(o.warningCount, 1);
        QCOMPARE(o.stopList[0].name, QStringLiteral("Частный сектор ул. Лесная (население)"));
    }

    void newDatasetSavesAndReloads()
    {
        QTemporaryDir tmp;
        Dataset ds;
        ds.calcMonth = 13;
        ds.calcYear = 2024;
        readXLS(ds);
        QCOMPARE(ds.objectName, QStringLiteral("Новый"));
        QCOMPARE(ds.workbookPath, QStringLiteral("Новый.xlsx"));
        QCOMPARE(ds.periodDays, 366);
        QCOMPARE(ds.fileMonth, 13);
        QCOMPARE(ds.fileYear, 2024);
        QVERIFY(ds.isSettlement(1) && ds.isSettlement(2) && ds.isSettlement(3));

        const QString path = tmp.filePath(QStringLiteral("new.xlsx"));
        WorkbookResult r = saveSourceWorkbook(ds, path);
        QVERIFY2(r.ok, qPrintable(r.message));
        QXlsx::Document doc(path);
        QVERIFY(doc.isLoadPackage());
        compareRow(doc, 1, {QStringLiteral("Новый"), 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0,
                            QStringLiteral("0.000"), QStringLiteral("0.0"), QStringLiteral("0.0")});
        for (int c = 1; c <= 20; ++c)
            QVERIFY(!doc.read(2, c).isValid());

        const Dataset back = loaded(path, &r);
        QVERIFY2(r.ok, qPrintable(r.message));
        QString difference;
        QVERIFY2(sameStoredContent(ds, back, &difference), qPrintable(difference));
        QCOMPARE(back.fileMonth, 0); // no row 2: no stored period
        QCOMPARE(back.fileYear, 0);
    }

    void countsPlaceRows()
    {
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("b.xlsx"));
        // Counts 2, 0, 1: rows 2 and 3 are intake, row 4 own release, row 5 is beyond the counts.
        writeBook(path, {header(2.0, 0.0, 1.0), pointRow(QStringLiteral("П1"), 1), pointRow(QStringLiteral("П2"), 2),
                         pointRow(QStringLiteral("С1"), 3), pointRow(QStringLiteral("лишняя"), 4)});
        WorkbookResult r;
        Dataset ds = loaded(path, &r);
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(ds.name, (QVector<QString>{QStringLiteral("П1"), QStringLiteral("П2"), QStringLiteral("С1")}));
        QCOMPARE(ds.tableNo, (QVector<int>{1, 1, 3}));
        QCOMPARE(ds.energy, (QVector<double>{1, 2, 3}));
        QCOMPARE(ds.intakeCount, 2);
        QCOMPARE(ds.externalCount, 0);
        QCOMPARE(ds.ownCount, 1);
        QCOMPARE(ds.pointDays, (QVector<int>{0, 0, 0}));

        // Counts as text with blanks, and more rows counted than the sheet has: the missing rows
        // load empty.
        writeBook(path, {header(QStringLiteral(" 1 "), QStringLiteral("2"), 0.0), pointRow(QStringLiteral("П1"), 5)});
        ds = loaded(path, &r);
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(ds.rowCount(), 3);
        QCOMPARE(ds.tableNo, (QVector<int>{1, 2, 2}));
        QCOMPARE(ds.name[0], QStringLiteral("П1"));
        for (int i = 1; i < 3; ++i) {
            QVERIFY(ds.name[i].isEmpty() && ds.pointKind[i].isEmpty() && ds.meterType[i].isEmpty());
            QCOMPARE(ds.energy[i], 0.0);
            QCOMPARE(ds.ctRatedCurrent[i], 0);
            QCOMPARE(ds.vtVoltageLoss[i], 0.0);
        }
    }

    void meteringKind_data()
    {
        QTest::addColumn<QVariant>("cell");
        QTest::addColumn<bool>("settlement");
        QTest::newRow("text ' 0 '") << QVariant(QStringLiteral(" 0 ")) << true;
        QTest::newRow("number 0") << QVariant(0.0) << true;
        QTest::newRow("empty") << QVariant() << false;
        QTest::newRow("number 1") << QVariant(1.0) << false;
        QTest::newRow("text '0.0'") << QVariant(QStringLiteral("0.0")) << false;
        QTest::newRow("text 'нет'") << QVariant(QStringLiteral("нет")) << false;
    }
    void meteringKind()
    {
        QFETCH(QVariant, cell);
        QFETCH(bool, settlement);
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("k.xlsx"));
        QVariantList head = header(0.0, 0.0, 0.0);
        head[4] = cell; // E1
        head[6] = cell; // G1
        writeBook(path, {head});
        WorkbookResult r;
        const Dataset ds = loaded(path, &r);
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(ds.isSettlement(1), settlement);
        QCOMPARE(ds.isSettlement(2), true); // F1 = 0
        QCOMPARE(ds.isSettlement(3), settlement);
    }

    void cellRules()
    {
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("rules.xlsx"));
        QVariantList row = pointRow(QStringLiteral("  Ф-10 №1  "), 0);
        row[1] = QStringLiteral(" 3 ");              // meterCount as text
        row[2] = QStringLiteral(" э ");              // meterType
        row[3] = 0.55;                               // ctClass -> 0.6
        row[4] = QStringLiteral("0.5");              // vtClass as text
        row[5] = QStringLiteral("0,5");              // decimal comma: 0.5
        row[6] = 5.19;                               // verification date
        row[7] = 299.6;                              // ctRatedCurrent -> 300
        row[8] = 0.38;                               // ctVoltage -> 0.4
        row[9] = 6.0;                                // reportVoltage stays 6
        row[10] = 0.15;                              // K typed: kept
        row[11] = QStringLiteral("1\u00a0234,567");   // energy as text, grouped, decimal comma
        row[12] = 0.7;
        row[13] = QStringLiteral("2");               // offDays as text
        row[14] = QStringLiteral(" пхн ");           // pointKind
        row[15] = 0.33;
        row[16] = 4.0;                               // spare
        row[17] = 99.0;                              // R2 is not used
        row[18] = 5.0;                               // S2
        row[19] = QStringLiteral("2024");            // T2 as text
        QVariantList head = header(1.0, 0.0, 0.0);
        head[0] = QStringLiteral("  ПС Тестовая ");
        head[7] = QStringLiteral("17");               // H1 carried as text
        head[8] = 2000000.0;                          // I1 as a number, in full
        head[9] = 12.3456;                            // J1 as a number
        writeBook(path, {head, row});

        WorkbookResult r;
        const Dataset ds = loaded(path, &r, 6, 2024);
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(ds.objectName, QStringLiteral("ПС Тестовая"));
        QCOMPARE(ds.reserved1, QStringLiteral("17"));
        QCOMPARE(ds.reserved2, QStringLiteral("2000000"));
        QCOMPARE(ds.techLosses, 12.3456);
        QCOMPARE(ds.techLossErrorPct, 2.0);
        QCOMPARE(ds.permissibleCommercialLoss, 3.0);
        QCOMPARE(ds.name[0], QStringLiteral("Ф-10 №1"));
        QCOMPARE(ds.meterCount[0], 3.0);
        QCOMPARE(ds.meterType[0], QStringLiteral("Э"));
        QCOMPARE(ds.ctClass[0], 0.6);
        QCOMPARE(ds.vtClass[0], 0.5);
        QCOMPARE(ds.meterClass[0], 0.5);
        QCOMPARE(ds.verificationDate[0], 5.19);
        QCOMPARE(ds.ctRatedCurrent[0], 300);
        QCOMPARE(ds.ctVoltage[0], 0.4);
        QCOMPARE(ds.reportVoltage[0], 6.0);
        QCOMPARE(ds.vtVoltageLoss[0], 0.15);
        QCOMPARE(ds.energy[0], 1234.567); // as stored, never through single precision
        QVERIFY(ds.nonNumericText.value(0).isEmpty());
        QCOMPARE(ds.fillFactor[0], 0.7);
        QCOMPARE(ds.tanPhi[0], 0.33);
        QCOMPARE(ds.offDays[0], 2);
        QCOMPARE(ds.pointKind[0], QStringLiteral("ПХН"));
        QCOMPARE(ds.spare[0], 4);
        QCOMPARE(ds.fileMonth, 5);
        QCOMPARE(ds.fileYear, 2024);
        QCOMPARE(ds.periodDays, 30); // June 2024, whatever R2 held
        QCOMPARE(ds.calcMonth, 6);
    }

    // Text that is not a number in a number cell reads 0, keeps its text through save and reload,
    // and blocks the calculation with an error naming the row and the column; so in the header's
    // J1..L1. An empty K is half the VT class.
    void nonNumbersKept()
    {
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("text.xlsx"));
        QVariantList first = pointRow(QStringLiteral("Ввод 1"), 0);
        first[11] = QStringLiteral("abc");
        first[15] = QStringLiteral("1.234,5");
        first[10] = QVariant();
        QVariantList second = pointRow(QStringLiteral("Ввод 2"), 0);
        second[11] = QStringLiteral("21 455,5");
        QVariantList head = header(2.0, 0.0, 0.0);
        head[9] = QStringLiteral("12 кВт");
        head[10] = QStringLiteral("2,5");
        writeBook(path, {head, first, second});

        Dataset ds = loaded(path);
        QCOMPARE(ds.techLosses, 0.0);
        QCOMPARE(ds.headerNonNumericText, (QMap<int, QString>{{10, QStringLiteral("12 кВт")}}));
        QCOMPARE(ds.techLossErrorPct, 2.5);
        QCOMPARE(ds.energy[0], 0.0);
        QCOMPARE(ds.energy[1], 21455.5);
        QCOMPARE(ds.vtVoltageLoss[0], 0.25);
        QCOMPARE(ds.nonNumeric(0, 12), QStringLiteral("abc"));
        QCOMPARE(ds.nonNumeric(0, 16), QStringLiteral("1.234,5"));
        QVERIFY(ds.nonNumericText.value(1).isEmpty());

        const CalcOutcome o = evaluate(ds);
        QCOMPARE(o.outcome, Outcome::Blocked);
        QCOMPARE(std::count_if(o.stopList.cbegin(), o.stopList.cend(),
                               [](const StopListEntry &e) { return e.message.contains(QStringLiteral("не число")); }),
                 3);
        QCOMPARE(o.stopList[0].fileRow, 1);
        QVERIFY2(o.stopList[0].message.contains(QStringLiteral("«12 кВт» не число (ячейка J1")),
                 qPrintable(o.stopList[0].message));
        QCOMPARE(o.stopList[1].fileRow, 2);
        QVERIFY2(o.stopList[1].message.contains(QStringLiteral("«abc»"))
                     && o.stopList[1].message.contains(QStringLiteral("строка 2, столбец L")),
                 qPrintable(o.stopList[1].message));

        const QString again = tmp.filePath(QStringLiteral("again.xlsx"));
        QVERIFY(saveSourceWorkbook(ds, again).ok);
        QXlsx::Document doc(again);
        QCOMPARE(doc.read(2, 12), QVariant(QStringLiteral("abc")));
        QCOMPARE(doc.read(1, 10), QVariant(QStringLiteral("12 кВт")));
        QCOMPARE(doc.read(2, 16), QVariant(QStringLiteral("1.234,5")));
        QString difference;
        QVERIFY2(sameStoredContent(ds, loaded(again), &difference), qPrintable(difference));

        // The next workbook opened into the same dataset brings none of these texts along.
        const QString plain = tmp.filePath(QStringLiteral("plain.xlsx"));
        writeBook(plain, {header(1.0, 0.0, 0.0), pointRow(QStringLiteral("Ввод 1"), 0)});
        ds.workbookPath = plain;
        QVERIFY(readXLSwriteDB(ds).ok);
        QVERIFY(ds.headerNonNumericText.isEmpty() && ds.nonNumericText.value(0).isEmpty());
    }

    void refusedCounts_data()
    {
        QTest::addColumn<QVariant>("b");
        QTest::addColumn<QVariant>("c");
        QTest::addColumn<QVariant>("d");
        QTest::newRow("negative") << QVariant(2.0) << QVariant(-1.0) << QVariant(0.0);
        QTest::newRow("negative text") << QVariant(QStringLiteral("-5")) << QVariant(0.0) << QVariant(0.0);
        QTest::newRow("total 100001") << QVariant(50000.0) << QVariant(50000.0) << QVariant(1.0);
        QTest::newRow("huge") << QVariant(2e9) << QVariant(2e9) << QVariant(0.0);
    }
    void refusedCounts()
    {
        QFETCH(QVariant, b);
        QFETCH(QVariant, c);
        QFETCH(QVariant, d);
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("bad.xlsx"));
        writeBook(path, {header(b, c, d), pointRow(QStringLiteral("П1"), 1)});
        const QByteArray before = fileHash(path);

        Dataset ds;
        ds.calcMonth = 3;
        ds.calcYear = 2024;
        ds.workbookPath = path;
        addPoint(ds, 1, QStringLiteral("old"), 1); // what was there must not survive
        ds.objectName = QStringLiteral("old");
        const WorkbookResult r = readXLSwriteDB(ds);
        QVERIFY(!r.ok);
        QVERIFY(r.message.contains(QStringLiteral("B1")));
        QVERIFY(r.message.contains(QStringLiteral("100000")));
        QVERIFY(datasetIsEmpty(ds));
        QCOMPARE(ds.periodDays, 31);
        QCOMPARE(fileHash(path), before);
    }

    void countsAtTheLimitLoad()
    {
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("limit.xlsx"));
        writeBook(path, {header(60000.0, 0.0, 40000.0), pointRow(QStringLiteral("П1"), 1)});
        WorkbookResult r;
        const Dataset ds = loaded(path, &r);
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(ds.rowCount(), 100000);
        QCOMPARE(ds.tableNo.last(), 3);
        QCOMPARE(ds.name.first(), QStringLiteral("П1"));
    }

    void unreadableWorkbook_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("exists");
        QTest::newRow("not a zip") << QByteArray("Наименование;Кол\n1;2\n") << true;
        QTest::newRow("empty file") << QByteArray() << true;
        QTest::newRow("truncated zip") << QByteArray("PK\x03\x04\x14\x00\x00\x00\x08\x00", 10) << true;
        QTest::newRow("missing") << QByteArray() << false;
    }
    void unreadableWorkbook()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, exists);
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("book.xlsx"));
        if (exists)
            writeFile(path, content);
        Dataset ds;
        ds.calcMonth = 2;
        ds.calcYear = 2024;
        ds.workbookPath = path;
        const WorkbookResult r = readXLSwriteDB(ds);
        QVERIFY(!r.ok);
        QVERIFY(r.message.contains(path));
        QVERIFY(!QString(r.message).remove(path).contains(QRegularExpression(QStringLiteral("[A-Za-z]{5}"))));
        QVERIFY(datasetIsEmpty(ds));
        QCOMPARE(ds.periodDays, 29);
        QCOMPARE(QFileInfo::exists(path), exists);
        if (exists) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), content);
        }
    }

    void openingNeverWritesTheWorkbook()
    {
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("ro.xlsx"));
        QVERIFY(QFile::copy(testutil::sourcePath(QStringLiteral("examples/ТП_10_0,4_№127_март_2024.xlsx")), path));
        // An old date: a rewrite, even of the same bytes, would show as a new one.
        const QDateTime old = QDateTime::currentDateTime().addDays(-3);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(old, QFileDevice::FileModificationTime));
        }
        const QByteArray before = fileHash(path);
        WorkbookResult r;
        loaded(path, &r);
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(fileHash(path), before);
        QCOMPARE(QFileInfo(path).lastModified().toSecsSinceEpoch(), old.toSecsSinceEpoch());
    }

    void saveLayoutTableByTable()
    {
        QTemporaryDir tmp;
        Dataset ds;
        ds.calcMonth = 2;
        ds.calcYear = 2024;
        ds.objectName = QStringLiteral("ПС Порядок");
        ds.meteringKind[1] = MeteringKind::Settlement;
        ds.reserved1 = QStringLiteral("7");
        ds.reserved2 = QStringLiteral("x");
        ds.techLosses = 12.5;
        ds.techLossErrorPct = 5;
        ds.permissibleCommercialLoss = 0.25;
        // Counts 1, 0, 2 with the rows in memory in the order 3, 1, 3.
        addPoint(ds, 3, QStringLiteral("С1"), 12.3);
        addPoint(ds, 1, QStringLiteral("П1"), 100);
        addPoint(ds, 3, QStringLiteral("С2"), -0.0001);
        ds.intakeCount = 1;
        ds.ownCount = 2;
        ds.ctClass[1] = 0.55;
        ds.energy[1] = 0.0005; // 3 decimals, half away from zero

        const QString path = tmp.filePath(QStringLiteral("layout.xlsx"));
        const WorkbookResult r = saveSourceWorkbook(ds, path);
        QVERIFY2(r.ok, qPrintable(r.message));
        QXlsx::Document doc(path);
        QVERIFY(doc.isLoadPackage());
        QCOMPARE(doc.sheetNames(), QStringList{QStringLiteral("Лист1")});
        compareRow(doc, 1, {QStringLiteral("ПС Порядок"), 1.0, 0.0, 2.0, 1.0, 0.0, 1.0, 7.0, 0.0,
                            QStringLiteral("12.500"), QStringLiteral("5.0"), QStringLiteral("0.3")});
        for (int c = 13; c <= 20; ++c)
            QVERIFY(!doc.read(1, c).isValid());

        QCOMPARE(doc.read(2, 1), QVariant(QStringLiteral("П1")));
        QCOMPARE(doc.read(3, 1), QVariant(QStringLiteral("С1")));
        QCOMPARE(doc.read(4, 1), QVariant(QStringLiteral("С2")));
        QCOMPARE(doc.read(2, 4), QVariant(0.6));
        QCOMPARE(doc.read(2, 12), QVariant(QStringLiteral("0.001")));
        QCOMPARE(doc.read(3, 12), QVariant(QStringLiteral("12.300")));
        QCOMPARE(doc.read(4, 12), QVariant(QStringLiteral("0.000")));
        for (int row = 2; row <= 4; ++row) {
            QCOMPARE(doc.read(row, 3).userType(), int(QMetaType::QString));
            QCOMPARE(doc.read(row, 15).userType(), int(QMetaType::QString));
            for (int c : {2, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 16})
                QCOMPARE(doc.read(row, c).userType(), int(QMetaType::Double));
            QCOMPARE(doc.read(row, 8), QVariant(300.0));
            QCOMPARE(doc.read(row, 17), QVariant(0.0));
            QCOMPARE(doc.read(row, 18), QVariant(29.0));
            QCOMPARE(doc.read(row, 19), QVariant(2.0));
            QCOMPARE(doc.read(row, 20), QVariant(2024.0));
        }
        QVERIFY(!doc.read(5, 1).isValid());

        // A table whose count is 0 is not written even if rows claim it.
        Dataset stale = ds;
        stale.ownCount = 0;
        QVERIFY(saveSourceWorkbook(stale, path).ok);
        QXlsx::Document again(path);
        QCOMPARE(again.read(1, 4), QVariant(0.0));
        QVERIFY(!again.read(3, 1).isValid());
    }

    void saveOverClearsOnlyWhatHoldsData()
    {
        // A note far down the data sheet: the rows between are not written, the note stays.
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("far.xlsx"));
        {
            QXlsx::Document doc;
            const Cells rows = {header(2.0, 0.0, 0.0), pointRow(QStringLiteral("П1"), 1), pointRow(QStringLiteral("П2"), 2)};
            for (int r = 0; r < rows.size(); ++r)
                for (int c = 0; c < rows[r].size(); ++c)
                    QVERIFY(doc.write(r + 1, c + 1, rows[r][c]));
            QVERIFY(doc.write(1048576, 22, QStringLiteral("примечание")));
            QVERIFY(doc.saveAs(path));
        }
        Dataset ds = loaded(path);
        QCOMPARE(ds.rowCount(), 2);
        ds.intakeCount = 1;
        ds.tableNo[1] = 2; // a table whose count is 0: the row is not written
        QVERIFY(saveSourceWorkbook(ds, path).ok);
        QVERIFY2(QFileInfo(path).size() < 64 * 1024, qPrintable(QString::number(QFileInfo(path).size())));
        QXlsx::Document doc(path);
        QVERIFY(doc.isLoadPackage());
        QCOMPARE(doc.read(2, 1), QVariant(QStringLiteral("П1")));
        for (int c = 1; c <= 20; ++c)
            QVERIFY2(!doc.read(3, c).isValid(), qPrintable(QString::number(c) + doc.read(3, c).toString()));
        QCOMPARE(doc.read(1048576, 22), QVariant(QStringLiteral("примечание")));
    }

    void saveKeepsBackupOfTheOldFile()
    {
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("book.xlsx"));
        const QString backup = tmp.filePath(QStringLiteral("bookB.xlsx"));
        Dataset ds = newDataset();

        QVERIFY(saveSourceWorkbook(ds, path).ok);
        QVERIFY(!QFileInfo::exists(backup)); // nothing to keep for a new file
        const QByteArray first = fileHash(path);

        ds.objectName = QStringLiteral("Второе");
        QVERIFY(saveSourceWorkbook(ds, path).ok);
        QCOMPARE(contentHash(backup), first);
        const QByteArray second = fileHash(path);
        QVERIFY(second != first);

        ds.objectName = QStringLiteral("Третье");
        QVERIFY(saveSourceWorkbook(ds, path).ok);
        QCOMPARE(contentHash(backup), second); // the older backup was replaced
        QCOMPARE(loaded(path).objectName, QStringLiteral("Третье"));
    }

    void failedSaveLeavesTheOldFile()
    {
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("book.xlsx"));
        Dataset ds = newDataset();
        addPoint(ds, 1, QStringLiteral("П1"), 10);
        ds.intakeCount = 1;
        QVERIFY(saveSourceWorkbook(ds, path).ok);
        const QByteArray before = fileHash(path);

        // A value that no cell can hold: the save fails, says so, and the old file stays.
        ds.fillFactor[0] = std::numeric_limits<double>::quiet_NaN();
        WorkbookResult r = saveSourceWorkbook(ds, path);
        QVERIFY(!r.ok);
        QVERIFY(r.message.contains(QStringLiteral("M2")));
        QCOMPARE(fileHash(path), before);
        QCOMPARE(contentHash(tmp.filePath(QStringLiteral("bookB.xlsx"))), before);

        // A folder that does not exist.
        ds.fillFactor[0] = 0.5;
        r = saveSourceWorkbook(ds, tmp.filePath(QStringLiteral("нет/book.xlsx")));
        QVERIFY(!r.ok);
        QVERIFY(!r.message.isEmpty());

        // Columns of different lengths are refused, never read past their end.
        ds.energy.removeLast();
        r = saveSourceWorkbook(ds, path);
        QVERIFY(!r.ok);
        QCOMPARE(fileHash(path), before);
    }

    // The read-back of a save finds a cell that came back otherwise than it was put, whatever the
    // kind of change, and names it; a workbook that holds everything as put passes.
    void savedDataChecked_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QVariant>("changed"); // invalid: the cell emptied
        QTest::addColumn<QString>("cell");
        QTest::newRow("as saved") << 0 << 0 << QVariant() << QString();
        QTest::newRow("count in the header") << 1 << 2 << QVariant(3.0) << QStringLiteral("B1");
        QTest::newRow("another number") << 3 << 5 << QVariant(0.2) << QStringLiteral("E3");
        QTest::newRow("number as text") << 2 << 2 << QVariant(QStringLiteral("1")) << QStringLiteral("B2");
        QTest::newRow("number emptied") << 3 << 20 << QVariant() << QStringLiteral("T3");
        QTest::newRow("another text") << 3 << 1 << QVariant(QStringLiteral("П3")) << QStringLiteral("A3");
        QTest::newRow("text as number") << 2 << 12 << QVariant(10.0) << QStringLiteral("L2");
        QTest::newRow("empty text filled") << 3 << 3 << QVariant(QStringLiteral("Э")) << QStringLiteral("C3");
        QTest::newRow("kept text as number") << 2 << 16 << QVariant(1.5) << QStringLiteral("P2");
    }
    void savedDataChecked()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QVariant, changed);
        QFETCH(QString, cell);
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("book.xlsx"));
        Dataset ds = newDataset();
        addPoint(ds, 1, QStringLiteral("П1"), 10);
        addPoint(ds, 1, QStringLiteral("П2"), 20);
        ds.intakeCount = 2;
        ds.meterType[1].clear();
        ds.nonNumericText.resize(2);
        ds.nonNumericText[0].insert(16, QStringLiteral("1.234,5"));
        QVERIFY(saveSourceWorkbook(ds, path).ok);
        if (row > 0) {
            QXlsx::Document doc(path);
            QVERIFY(doc.write(row, column, changed));
            QVERIFY(doc.saveAs(path));
        }
        const QString difference = savedDataDifference(path, ds);
        if (cell.isEmpty())
            QVERIFY2(difference.isEmpty(), qPrintable(difference));
        else
            QVERIFY2(difference.contains(QStringLiteral("ячейка %1 ").arg(cell)), qPrintable(difference));
        if (row == 0) {
            writeFile(path, "no workbook");
            QVERIFY(savedDataDifference(path, ds).contains(QStringLiteral("не читается")));
        }
    }

    // A save starts from the workbook as it was read only while its file is unchanged: what another
    // program wrote into it since (a cell right of the data layout) is kept, whether the file was
    // replaced or rewritten in place with its old time.
    void keptWorkbookOnlyWhileUnchanged_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("replaced") << false;
        QTest::newRow("rewritten in place") << true;
    }
    void keptWorkbookOnlyWhileUnchanged()
    {
        QFETCH(bool, inPlace);
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("book.xlsx"));
        Dataset ds = newDataset();
        addPoint(ds, 1, QStringLiteral("П1"), 10);
        ds.intakeCount = 1;
        QVERIFY(saveSourceWorkbook(ds, path).ok);

        Dataset opened;
        opened.calcMonth = 1;
        opened.calcYear = 2024;
        opened.workbookPath = path;
        opened.keepOpenedBook = true;
        QVERIFY(readXLSwriteDB(opened).ok);
        QVERIFY(opened.openedBook);

        const QDateTime time = QFileInfo(path).lastModified();
        QXlsx::Document other(path);
        QVERIFY(other.write(2, 21, QStringLiteral("заметка")));
        if (inPlace) {
            const QString copy = tmp.filePath(QStringLiteral("copy.xlsx"));
            QVERIFY(other.saveAs(copy));
            QFile source(copy);
            QFile target(path);
            QVERIFY(source.open(QIODevice::ReadOnly) && target.open(QIODevice::ReadWrite | QIODevice::Truncate));
            QVERIFY(target.write(source.readAll()) > 0);
            QVERIFY(target.setFileTime(time, QFileDevice::FileModificationTime));
        } else {
            QVERIFY(other.saveAs(path));
        }

        opened.energy[0] = 42;
        QVERIFY(saveSourceWorkbook(opened, path).ok);
        QXlsx::Document back(path);
        QCOMPARE(back.read(2, 21), QVariant(QStringLiteral("заметка")));
        QCOMPARE(back.read(2, 12), QVariant(QStringLiteral("42.000")));
    }

    // Saving over the workbook that was opened asks when it changed on disk since: another size at
    // the same time, or another time at the same size, is noticed.
    void changedOnDiskAsked_data()
    {
        QTest::addColumn<QByteArray>("rewritten");
        QTest::addColumn<int>("shiftSeconds"); // of the modification time, from the one opened
        QTest::addColumn<bool>("asked");
        QTest::newRow("as opened") << QByteArray("12345") << 0 << false;
        QTest::newRow("longer, same time") << QByteArray("123456") << 0 << true;
        QTest::newRow("shorter, same time") << QByteArray("1234") << 0 << true;
        QTest::newRow("same size, later") << QByteArray("54321") << 60 << true;
        QTest::newRow("same size, earlier") << QByteArray("54321") << -60 << true;
    }
    void changedOnDiskAsked()
    {
        QFETCH(QByteArray, rewritten);
        QFETCH(int, shiftSeconds);
        QFETCH(bool, asked);
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("book.xlsx"));
        writeFile(path, "12345");
        const FileStamp opened = fileStamp(path);
        QCOMPARE(opened.size, qint64(5));
        writeFile(path, rewritten);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite)
                && f.setFileTime(opened.modified.addSecs(shiftSeconds), QFileDevice::FileModificationTime));
        f.close();

        const QString question = saveOverQuestion(path, path, opened);
        QCOMPARE(question.contains(QStringLiteral("изменен на диске")), asked);
        QCOMPARE(question.contains(QStringLiteral("\"bookB.xlsx\"")), asked);
        // Another file under the backup's usual name: the question names the one the backup takes.
        writeFile(tmp.filePath(QStringLiteral("bookB.xlsx")), "another object's workbook");
        QCOMPARE(saveOverQuestion(path, path, opened).contains(QStringLiteral("\"bookB (2).xlsx\"")), asked);
        // Saving as another existing file is no change of the one opened.
        QVERIFY(saveOverQuestion(path, tmp.filePath(QStringLiteral("other.xlsx")), opened).isEmpty());
    }

    void namesOfFiles()
    {
        QCOMPARE(withXlsxSuffix(QStringLiteral("/d/book")), QStringLiteral("/d/book.xlsx"));
        QCOMPARE(withXlsxSuffix(QStringLiteral("/d/book.xlsx")), QStringLiteral("/d/book.xlsx"));
        QCOMPARE(withXlsxSuffix(QStringLiteral("/d/book.XLSX")), QStringLiteral("/d/book.XLSX.xlsx"));

        const QString dir = QStringLiteral("/work/dir");
        for (const char *name : {"Otchet1.xlsx", "result.xlsx", "otchet1Empty.xlsx", "otchet2Empty.xlsx",
                                 "СтоплистОтчет.xlsx"})
            QVERIFY(isReservedReportPath(dir + QLatin1Char('/') + QString::fromUtf8(name), dir));
        QVERIFY(!isReservedReportPath(QStringLiteral("/other/result.xlsx"), dir));
        QVERIFY(!isReservedReportPath(QStringLiteral("/work/dir/Result.xlsx"), dir));
    }
};

QTEST_GUILESS_MAIN(TestSourceWorkbook)
#include "tst_sourceworkbook.moc"
