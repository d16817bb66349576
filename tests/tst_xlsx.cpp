// The workbook layer: reading what other producers wrote, writing what they read back,
// lossless editing, styles, atomic saves.
#include "support/testutil.h"
#include "xlsx/xlsxdocument.h"
#include "xlsx/xlsxzippackage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using QXlsx::Document;
using QXlsx::Format;

namespace {

// Builds a package from (part, content) pairs.
bool writePackage(const QString &path, const QVector<QPair<QString, QByteArray>> &parts)
{
    QXlsx::ZipPackage package;
    for (const auto &p : parts)
        package.add(p.first, p.second);
    QFile file(path);
    QString error;
    return file.open(QIODevice::WriteOnly) && package.write(&file, {}, {}, &error);
}

const QByteArray xmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

QByteArray contentTypes()
{
    return xmlHead
           + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
             "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
             "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>";
}

QByteArray rootRels(const QByteArray &workbook = "xl/workbook.xml")
{
    return xmlHead
           + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
             "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\""
           + workbook + "\"/></Relationships>";
}

// A package with one sheet whose part is given (its sheetData content), a shared string table
// and the sheet file under an unusual name, reached only through the relationships.
QVector<QPair<QString, QByteArray>> oneSheetPackage(const QByteArray &sheetData,
                                                    const QByteArray &strings = QByteArray())
{
    QVector<QPair<QString, QByteArray>> parts;
    parts.append({"[Content_Types].xml", contentTypes()});
    parts.append({"_rels/.rels", rootRels()});
    parts.append({"xl/workbook.xml",
                  xmlHead
                      + "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                        "<sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId7\"/></sheets></workbook>"});
    QByteArray rels = xmlHead
                      + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"rId7\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"/xl/sheets/data.xml\"/>";
    if (!strings.isEmpty())
        rels += "<Relationship Id=\"rId8\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" Target=\"strings.xml\"/>";
    rels += "</Relationships>";
    parts.append({"xl/_rels/workbook.xml.rels", rels});
    parts.append({"xl/sheets/data.xml",
                  xmlHead
                      + "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
                      + sheetData + "</sheetData></worksheet>"});
    if (!strings.isEmpty())
        parts.append({"xl/strings.xml",
                      xmlHead + "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + strings
                          + "</sst>"});
    return parts;
}

} // namespace

class TestXlsx : public QObject
{
    Q_OBJECT

private slots:
    void newDocumentRoundTrip();
    void readsHandMadePackage();
    void failedLoadNeverOverwrites();
};

void TestXlsx::newDocumentRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("new.xlsx");
    {
        Document doc;
        QCOMPARE(doc.sheetNames(), QStringList{"Sheet1"});
        QCOMPARE(doc.currentSheetName(), QString("Sheet1"));
        QVERIFY(doc.write(1, 1, QString("Текст")));
        QVERIFY(doc.write(1, 2, 0.1));
        QVERIFY(doc.write(2, 1, QString("007")));
        QVERIFY(doc.write(2, 2, true));
        QVERIFY(doc.write(3, 3, 1.0 / 3.0));
        QVERIFY(doc.write(4, 1, QString("  spaced  ")));
        QVERIFY(!doc.write(0, 1, 1));
        QVERIFY(!doc.write(1, 16385, 1));
        QVERIFY(!doc.write(1, 1, std::nan("")));
        QVERIFY(doc.saveAs(path));
    }
    Document doc(path);
    QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
    QCOMPARE(doc.read(1, 1), QVariant(QString("Текст")));
    QCOMPARE(doc.read(1, 2), QVariant(0.1));
    QCOMPARE(doc.read(2, 1), QVariant(QString("007")));
    QCOMPARE(doc.read(2, 2), QVariant(true));
    QCOMPARE(doc.read(3, 3).toDouble(), 1.0 / 3.0);
    QCOMPARE(doc.read(4, 1), QVariant(QString("  spaced  ")));
    QVERIFY(!doc.read(5, 5).isValid());
}

void TestXlsx::readsHandMadePackage()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("hand.xlsx");
    const QByteArray cells =
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
        "<c r=\"C1\" t=\"inlineStr\"><is><t>inline</t></is></c></row>"
        "<row><c><v>2.5</v></c><c t=\"b\"><v>1</v></c><c t=\"e\"><v>#DIV/0!</v></c>"
        "<c r=\"E2\" t=\"str\"><f>\"a\"&amp;\"b\"</f><v>ab</v></c></row>";
    const QByteArray strings = "<si><t>plain</t></si>"
                               "<si><r><rPr><b/></rPr><t>rich </t></r><r><t>text</t></r><rPh><t>x</t></rPh></si>";
    QVERIFY(writePackage(path, oneSheetPackage(cells, strings)));
    Document doc(path);
    QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
    QCOMPARE(doc.sheetNames(), QStringList{"Data"});
    QCOMPARE(doc.read(1, 1), QVariant(QString("plain")));
    QCOMPARE(doc.read(1, 2), QVariant(QString("rich text")));
    QCOMPARE(doc.read(1, 3), QVariant(QString("inline")));
    QCOMPARE(doc.read(2, 1), QVariant(2.5));
    QCOMPARE(doc.read(2, 2), QVariant(true));
    QCOMPARE(doc.read(2, 3), QVariant(QString("#DIV/0!")));
    QCOMPARE(doc.read(2, 5), QVariant(QString("ab")));
}

void TestXlsx::failedLoadNeverOverwrites()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.xlsx");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("this is not a zip file");
    f.close();
    Document doc(path);
    QVERIFY(!doc.isLoadPackage());
    QVERIFY(!doc.errorString().isEmpty());
    QVERIFY(!doc.save());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("this is not a zip file"));
}

QTEST_GUILESS_MAIN(TestXlsx)
#include "tst_xlsx.moc"
