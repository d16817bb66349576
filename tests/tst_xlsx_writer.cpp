// The sheet writer: the same cells as the writer it replaced for the same edits, numbers in the
// same form, deflated alike with and without a thread, and what it writes read by others.
#include "support/testutil.h"
#include "xlsx/xlsxdocument.h"
#include "xlsx/xlsxpartdeflater.h"
#include "xlsx/xlsxworksheet.h"
#include "xlsx/xlsxxmlout.h"
#include "xlsx/xlsxzippackage.h"

#include "../fuzz/xlsx_write_check.h"

#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

using QXlsx::Document;

namespace {

QByteArray sheetOf(const QString &path)
{
    QXlsx::ZipPackage package;
    QString error;
    QByteArray xml;
    if (!package.open(path, &error) || !package.read(QStringLiteral("xl/worksheets/sheet1.xml"), &xml, &error))
        qWarning("%s", qPrintable(error));
    return xml;
}

// A sheet of prefixed rows, rows and cells without references, a shared formula, rows out of
// order and Cyrillic text, as a package.
void writeRealisticWorkbook(const QString &path)
{
    const QByteArray sheet =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<x:dimension ref=\"A1:C4\"/><x:sheetData>"
        "<x:row spans=\"1:3\"><x:c t=\"inlineStr\"><x:is><x:t>Точка</x:t></x:is></x:c><x:c><x:v>1</x:v></x:c>"
        "<x:c r=\"C1\"><x:f t=\"shared\" ref=\"C1:C3\" si=\"0\">B1*2</x:f><x:v>2</x:v></x:c></x:row>"
        "<x:row r=\"3\"><x:c r=\"B3\"><x:v>3</x:v></x:c><x:c r=\"C3\"><x:f t=\"shared\" si=\"0\"/><x:v>6</x:v></x:c></x:row>"
        "<x:row r=\"2\"><x:c r=\"B2\"><x:v>2</x:v></x:c><x:c r=\"C2\"><x:f t=\"shared\" si=\"0\"/><x:v>4</x:v></x:c></x:row>"
        "<x:row r=\"4\"><x:c><x:v>40</x:v></x:c><x:c t=\"inlineStr\"><x:is><x:t>без ссылки</x:t></x:is></x:c></x:row>"
        "</x:sheetData></x:worksheet>";
    Document doc;
    QVERIFY(doc.saveAs(path));
    QXlsx::ZipPackage package;
    QString error;
    QVERIFY(package.open(path, &error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(package.write(&file, {{QStringLiteral("xl/worksheets/sheet1.xml"), sheet}}, {}, &error));
}

} // namespace

class TestXlsxWriter : public QObject
{
    Q_OBJECT

private slots:
    void writersAgree_data();
    void writersAgree();
    void numbersAsTheyWereWritten();
    void deflatedAlikeOnThreadOrNot_data();
    void deflatedAlikeOnThreadOrNot();
    void othersReadWhatWeRewrite();
};

void TestXlsxWriter::writersAgree_data()
{
    // Realistic sheets with edit scripts, and the scanner's corpus with the fixed script.
    QTest::addColumn<QString>("path");
    for (const char *corpus : {"fuzz/corpus/write", "fuzz/corpus/scan"}) {
        QDirIterator it(testutil::sourcePath(corpus), QDir::Files);
        while (it.hasNext()) {
            const QString path = it.next();
            QTest::newRow(qPrintable(QString(corpus).section('/', -1) + '/' + it.fileName())) << path;
        }
    }
}

void TestXlsxWriter::writersAgree()
{
    QFETCH(QString, path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray data = f.readAll();
    QString difference;
    QVERIFY2(QXlsx::xlsxWritersAgree(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()), &difference),
             qPrintable(difference.left(4000)));
}

void TestXlsxWriter::numbersAsTheyWereWritten()
{
    // The same text as before for every number, so that files do not change for nothing.
    QVector<double> values = {0, -0.0, 1, -1, 0.1, 0.1 + 0.2, 1e-5, 1e-4, 0.00012345, 100000, 1e6, 123456789012345680.0,
                              1.7976931348623157e308, 5e-324, 2.5e-310, 1e21, 1e22, 12345678901234567890.0, 220, 1234.5};
    QRandomGenerator random(23);
    for (int i = 0; i < 20000; ++i) {
        quint64 bits = random.generate64();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (i % 2)
            v = double(random.bounded(100000000)) / double(1 << random.bounded(24)) * std::pow(10.0, random.bounded(30) - 15);
        if (std::isfinite(v))
            values << v;
    }
    for (double v : values) {
        QXlsx::CollectingSink sink;
        QXlsx::XmlOut out(sink);
        out.appendNumber(v);
        out.finish();
        const QString written = QString::fromLatin1(sink.bytes.data(), int(sink.bytes.size()));
        QCOMPARE(written, QXlsx::Worksheet::numberText(v));
    }
}

void TestXlsxWriter::deflatedAlikeOnThreadOrNot_data()
{
    QTest::addColumn<QByteArray>("thread");
    QTest::newRow("inflated and deflated on threads") << QByteArray("on");
    QTest::newRow("inflated whole, deflated as written") << QByteArray("off");
}

void TestXlsxWriter::deflatedAlikeOnThreadOrNot()
{
    // Large enough for many pieces in flight, and to be merged into as it is inflated; a
    // processing instruction makes the writer start over on a rewritten copy, with a fresh
    // deflater.
    QFETCH(QByteArray, thread);
    qputenv("KELI_DEFLATE_THREAD", thread);
    qputenv("KELI_INFLATE_THREAD", thread);
    QTemporaryDir dir;
    for (const bool instruction : {false, true}) {
        const QString path = dir.filePath(QStringLiteral("big%1.xlsx").arg(instruction));
        {
            Document doc;
            for (int r = 1; r <= 4000; ++r) {
                for (int c = 1; c <= 12; ++c)
                    QVERIFY(doc.write(r, c, c % 3 ? QVariant(r * 1.5 + c) : QVariant(QStringLiteral("Текст %1").arg(r))));
            }
            QVERIFY2(doc.saveAs(path), qPrintable(doc.errorString()));
        }
        if (instruction) {
            QXlsx::ZipPackage package;
            QString error;
            QVERIFY(package.open(path, &error));
            QByteArray xml = sheetOf(path);
            xml.replace("<sheetData>", "<sheetData><?pi here?>");
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(package.write(&file, {{QStringLiteral("xl/worksheets/sheet1.xml"), xml}}, {}, &error));
        }
        Document doc(path);
        QVERIFY(doc.isLoadPackage());
        QVERIFY(doc.write(4000, 13, QStringLiteral("конец")));
        QVERIFY2(doc.save(), qPrintable(doc.errorString()));
        Document back(path); // the checksum and size are checked on reading
        QVERIFY2(back.isLoadPackage(), qPrintable(back.errorString()));
        QCOMPARE(back.read(4000, 13), QVariant(QStringLiteral("конец")));
        QCOMPARE(back.read(3999, 3), QVariant(QStringLiteral("Текст 3999")));
        QCOMPARE(back.read(1, 2), QVariant(3.5));
        const QByteArray xml = sheetOf(path);
        QVERIFY(xml.size() > 8 * int(QXlsx::XmlOut::chunkBytes));
        QCOMPARE(xml.contains("<?pi"), false); // left out by the rewriting
    }
    qunsetenv("KELI_DEFLATE_THREAD");
    qunsetenv("KELI_INFLATE_THREAD");
}

void TestXlsxWriter::othersReadWhatWeRewrite()
{
    const QString soffice = testutil::soffice();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("edited.xlsx"));
    writeRealisticWorkbook(path);
    {
        Document doc(path);
        QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
        QVERIFY(doc.write(1, 3, 7.25)); // the shared formula's anchor: the others keep their values
        QVERIFY(doc.write(2, 1, QStringLiteral("вставка\x01 ")));
        QVERIFY(doc.write(4, 2, true));
        QVERIFY(doc.write(5, 1, 1e-7));
        QVERIFY(doc.save());
    }
    QStringList expected = {"Точка,1,7.25", "вставка\uFFFD ,2,4", ",3,6", "40,TRUE,", "0.0000001,,"};
    if (!soffice.isEmpty()) {
        QProcess p;
        p.start(soffice, {"-env:UserInstallation=file://" + dir.filePath("profile"), "--headless", "--convert-to",
                          "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", dir.filePath("csv"), path});
        QVERIFY(p.waitForFinished(240000));
        QFile csv(dir.filePath("csv/edited.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(csv.readAll()).trimmed().split('\n'), expected);
    }
    bool ok = false;
    QString error;
    const QString out = testutil::runPython(QStringLiteral(
        "import sys, openpyxl\n"
        "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
        "for row in ws.iter_rows(max_col=3):\n"
        "    print(','.join('' if c.value is None else str(c.value).upper() if isinstance(c.value, bool) else\n"
        "                   ('%g' % c.value).upper() if isinstance(c.value, float) else str(c.value) for c in row))\n"), {path}, &ok, &error);
    if (!ok && error.contains(QLatin1String("No module")))
        QSKIP("openpyxl is not installed");
    QVERIFY2(ok, qPrintable(error));
    expected.last() = QStringLiteral("1E-07,,");
    QCOMPARE(out.trimmed().split('\n'), expected);
}

QTEST_GUILESS_MAIN(TestXlsxWriter)
#include "tst_xlsx_writer.moc"
