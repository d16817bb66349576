// The workbook layer: reading what other producers wrote, writing what they read back,
// lossless editing, styles, atomic saves and hostile input.
#include "support/testutil.h"
#include "xlsx/xlsxdocument.h"
#include "xlsx/xlsxpartinflater.h"
#include "xlsx/xlsxxmlscanner.h"
#include "xlsx/xlsxzippackage.h"

#include "../fuzz/xlsx_exercise.h"
#include "../fuzz/xlsx_reference_reader.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>

#ifdef __linux__
#include <sched.h>
#endif

using QXlsx::Document;
using QXlsx::Format;
using Parts = QVector<QPair<QString, QByteArray>>;

namespace {

bool writePackage(const QString &path, const Parts &parts)
{
    QXlsx::ZipPackage package;
    for (const auto &p : parts)
        package.add(p.first, p.second);
    QFile file(path);
    QString error;
    return file.open(QIODevice::WriteOnly) && package.write(&file, {}, {}, &error);
}

// Every entry of a package, inflated.
QMap<QString, QByteArray> entries(const QString &path)
{
    QMap<QString, QByteArray> map;
    QXlsx::ZipPackage package;
    QString error;
    if (!package.open(path, &error))
        return map;
    for (const QString &name : package.names()) {
        QByteArray data;
        if (package.read(name, &data, &error))
            map.insert(name, data);
    }
    return map;
}

// The XML of a sheet as a list of tokens, without the named cells, the used range and row spans:
// what must stay the same when only those cells were written. A row left with no cells and no
// attributes but its number is left out too (a row made for written cells only).
QStringList sheetTokens(const QByteArray &xml, const QSet<QString> &without)
{
    QStringList tokens;
    QStringList row;
    bool inRow = false;
    bool rowMatters = false;
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        r.readNext();
        QStringList &out = inRow ? row : tokens;
        if (r.isStartElement()) {
            if ((r.name() == QLatin1String("c") && without.contains(r.attributes().value("r").toString()))
                || r.name() == QLatin1String("dimension")) {
                r.skipCurrentElement();
                continue;
            }
            QStringList attrs;
            for (const QXmlStreamAttribute &a : r.attributes()) {
                if (a.name() != QLatin1String("spans"))
                    attrs << a.qualifiedName() + "=" + a.value();
            }
            attrs.sort();
            if (r.name() == QLatin1String("row")) {
                inRow = true;
                rowMatters = attrs.size() > 1;
                row.clear();
            } else if (inRow) {
                rowMatters = true;
            }
            (inRow ? row : tokens) << "<" + r.qualifiedName() + " " + attrs.join(' ');
        } else if (r.isEndElement()) {
            out << ">";
            if (r.name() == QLatin1String("row")) {
                inRow = false;
                if (rowMatters)
                    tokens += row;
            }
        } else if (r.isCharacters() && !r.isWhitespace()) {
            out << r.text().toString();
        }
    }
    return tokens;
}

const QByteArray xmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const QByteArray mainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray relNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// A package with one sheet "Data" whose part lies under an unusual name, reached only through
// the relationships; optional shared strings and calculation chain.
Parts oneSheetPackage(const QByteArray &sheetData, const QByteArray &strings = QByteArray(),
                      const QByteArray &calcChain = QByteArray())
{
    Parts parts;
    QByteArray types = xmlHead
                       + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                         "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>";
    if (!calcChain.isEmpty())
        types += "<Override PartName=\"/xl/calcChain.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml\"/>";
    parts.append({"[Content_Types].xml", types + "</Types>"});
    parts.append({"_rels/.rels",
                  xmlHead
                      + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"rId1\" Type=\"" + relNs + "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                        "</Relationships>"});
    parts.append({"xl/workbook.xml", xmlHead + "<workbook xmlns=\"" + mainNs + "\" xmlns:r=\"" + relNs
                                         + "\"><sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId7\"/></sheets></workbook>"});
    QByteArray rels = xmlHead
                      + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"rId7\" Type=\"" + relNs + "/worksheet\" Target=\"/xl/sheets/data.xml\"/>";
    if (!strings.isEmpty())
        rels += "<Relationship Id=\"rId8\" Type=\"" + relNs + "/sharedStrings\" Target=\"strings.xml\"/>";
    if (!calcChain.isEmpty())
        rels += "<Relationship Id=\"rId9\" Type=\"" + relNs + "/calcChain\" Target=\"calcChain.xml\"/>";
    parts.append({"xl/_rels/workbook.xml.rels", rels + "</Relationships>"});
    parts.append({"xl/sheets/data.xml", xmlHead + "<worksheet xmlns=\"" + mainNs + "\"><sheetData>" + sheetData
                                            + "</sheetData></worksheet>"});
    if (!strings.isEmpty())
        parts.append({"xl/strings.xml", xmlHead + "<sst xmlns=\"" + mainNs + "\">" + strings + "</sst>"});
    if (!calcChain.isEmpty())
        parts.append({"xl/calcChain.xml", xmlHead + "<calcChain xmlns=\"" + mainNs + "\">" + calcChain + "</calcChain>"});
    return parts;
}

// Runs python code that prints JSON; skips the test when openpyxl is not there.
#define REQUIRE_PYTHON(module)                                                                     \
    if (!testutil::pythonHas(module))                                                              \
        QSKIP("Debian's python3 with " module " is not installed");

// Makes a workbook at path with python code that takes the path as its argument.
#define MAKE_WITH_PYTHON(code, path)                                                               \
    do {                                                                                           \
        bool made = false;                                                                         \
        QString why;                                                                               \
        testutil::runPython(code, {path}, &made, &why);                                            \
        QVERIFY2(made, qPrintable(why));                                                           \
    } while (false)

QJsonDocument pythonJson(const QString &code, const QStringList &args)
{
    bool ok = false;
    QString error;
    const QString out = testutil::runPython(code, args, &ok, &error);
    if (!ok)
        qWarning() << "python failed:" << error;
    return QJsonDocument::fromJson(out.toUtf8());
}

} // namespace

// Large parts are inflated on a thread, or not, as the test row says, whatever the machine: the
// test runs on one CPU, where only the switch makes the thread.
class InflateThread
{
public:
    explicit InflateThread(const QByteArray &mode)
    {
        qputenv("KELI_INFLATE_THREAD", mode);
#ifdef __linux__
        m_pinned = sched_getaffinity(0, sizeof m_cpus, &m_cpus) == 0;
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; m_pinned && cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &m_cpus)) {
                CPU_SET(cpu, &one);
                break;
            }
        }
        m_pinned = m_pinned && sched_setaffinity(0, sizeof one, &one) == 0;
#endif
    }
    ~InflateThread()
    {
        qunsetenv("KELI_INFLATE_THREAD");
#ifdef __linux__
        if (m_pinned)
            sched_setaffinity(0, sizeof m_cpus, &m_cpus);
#endif
    }
    InflateThread(const InflateThread &) = delete;
    InflateThread &operator=(const InflateThread &) = delete;

private:
#ifdef __linux__
    cpu_set_t m_cpus;
    bool m_pinned = false;
#endif
};

// What the scanner makes of an element <e a="value">text</e>: the attribute's value and the text
// as read, or "unsure" where it leaves the element to the general reader.
QString scanned(const QByteArray &value, const QByteArray &text)
{
    const QByteArray xml = "<e a=\"" + value + "\">" + text + "</e>";
    QXlsx::XmlScanner scanner(xml.constData(), size_t(xml.size()));
    if (scanner.next() != QXlsx::XmlScanner::StartElement)
        return "unsure";
    std::string buffer;
    const QString attribute = QXlsx::fromUtf8(QXlsx::XmlScanner::value(scanner.attribute("a"), &buffer));
    std::string out;
    for (QXlsx::XmlScanner::Token t = scanner.next(); t != QXlsx::XmlScanner::EndElement; t = scanner.next()) {
        if (t != QXlsx::XmlScanner::Characters)
            return "unsure";
        scanner.appendText(&out);
    }
    return attribute + "|" + QXlsx::fromUtf8(out);
}

// Whether the named part of the package at path is read on a thread.
bool readOnThread(const QString &path, const QString &part)
{
    QXlsx::ZipPackage package;
    QString error;
    return package.open(path, &error) && package.inflating(part) != nullptr;
}

class TestXlsx : public QObject
{
    Q_OBJECT

    void inflateThread_data()
    {
        QTest::addColumn<QByteArray>("thread");
        QTest::newRow("inflated on a thread") << QByteArray("on");
        QTest::newRow("inflated whole") << QByteArray("off");
    }

private slots:
    void newDocumentRoundTrip();
    void numbersRoundTripExactly();
    void readsHandMadePackage();
    void readsPrefixedNamespacesAndWritesThem();
    void writesIntoUnorderedSheet();
    void saveOverKeepsEveryCell_data();
    void saveOverKeepsEveryCell();
    void readsOpenpyxlWorkbook();
    void readsXlsxwriterWorkbook();
    void openpyxlReadsWhatWeWrite();
    void templateKeepsEverythingElse();
    void formulaOverwriteDropsCalcChain();
    void writeOfHeldValueChangesNothing();
    void stylesAreReused();
    void badInput_data();
    void badInput();
    void damagedDeflatedSheetIsRefused_data() { inflateThread_data(); }
    void damagedDeflatedSheetIsRefused();
    void millionEmptyRowsReadQuickly();
    void largePartsReadWhileInflated_data() { inflateThread_data(); }
    void largePartsReadWhileInflated();
    void manyLargeSheetsWithinBudget();
    void failedSaveKeepsOldFile();
    void libreOfficeOpensWhatWeWrite();
    void sheetXmlReadsAsBefore_data();
    void sheetXmlReadsAsBefore();
    void fuzzCorpusReplays();
    void scannerReadsReferences_data();
    void scannerReadsReferences();
};

void TestXlsx::newDocumentRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("new.xlsx");
    {
        Document doc;
        QCOMPARE(doc.sheetNames(), QStringList{"Лист1"});
        QCOMPARE(doc.currentSheetName(), QString("Лист1"));
        QVERIFY(!doc.selectSheet("Sheet2"));
        QVERIFY(doc.write(1, 1, QString("Текст")));
        QVERIFY(doc.write(1, 2, 0.1));
        QVERIFY(doc.write(2, 1, QString("007")));
        QVERIFY(doc.write(2, 2, true));
        QVERIFY(doc.write(3, 3, 42));
        QVERIFY(doc.write(4, 1, QString("  spaced <&> ")));
        QVERIFY(doc.write(6, 1, QString("bell\x07 tab\t") + QChar(0xD800))); // not storable in XML as they are
        QVERIFY(doc.write(5, 1, QString("gone")));
        QVERIFY(doc.write(5, 1, QString()));
        QVERIFY(!doc.write(0, 1, 1));
        QVERIFY(!doc.write(1048577, 1, 1));
        QVERIFY(!doc.write(1, 16385, 1));
        QVERIFY(doc.write(1048576, 16384, QString("corner")));
        QVERIFY(!doc.write(1, 1, std::nan("")));
        QVERIFY(!doc.write(1, 1, HUGE_VAL));
        QCOMPARE(doc.read(1, 2), QVariant(0.1)); // a write reads back before saving
        QCOMPARE(doc.lastRow(), 1048576);
        QVERIFY(doc.saveAs(path));
    }
    Document doc(path);
    QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
    QCOMPARE(doc.read(1, 1), QVariant(QString("Текст")));
    QCOMPARE(doc.read(1, 2), QVariant(0.1));
    QCOMPARE(doc.read(2, 1), QVariant(QString("007")));
    QCOMPARE(doc.read(2, 2), QVariant(true));
    QCOMPARE(doc.read(3, 3), QVariant(42.0));
    QCOMPARE(doc.read(4, 1), QVariant(QString("  spaced <&> ")));
    QVERIFY(!doc.read(5, 1).isValid());
    QCOMPARE(doc.read(6, 1), QVariant(QString("bell\uFFFD tab\t\uFFFD")));
    QCOMPARE(doc.read(1048576, 16384), QVariant(QString("corner")));
    QVERIFY(!doc.read(6, 6).isValid());
    QVERIFY(!doc.read(0, 0).isValid());

    // A name that does not exist yet: a new workbook that saves there.
    const QString fresh = dir.filePath("fresh.xlsx");
    Document later(fresh);
    QVERIFY(!later.isLoadPackage());
    QVERIFY(later.write(1, 1, 5));
    QVERIFY(later.save());
    QCOMPARE(Document(fresh).read(1, 1), QVariant(5.0));
}

void TestXlsx::numbersRoundTripExactly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("numbers.xlsx");
    QVector<double> values = {0.1 + 0.2, 1e-300, 4.9406564584124654e-324, 1.7976931348623157e308, -0.0,
                              123456789012345678.0, 1.0 / 3.0, -2.5, 5.61};
    QRandomGenerator gen(7);
    while (values.size() < 500) {
        quint64 bits = gen.generate64();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (std::isfinite(d))
            values << d;
    }
    {
        Document doc;
        for (int i = 0; i < values.size(); ++i)
            QVERIFY(doc.write(i + 1, 1, values[i]));
        QVERIFY(doc.saveAs(path));
    }
    Document doc(path);
    for (int i = 0; i < values.size(); ++i) {
        const double back = doc.read(i + 1, 1).toDouble();
        QVERIFY2(std::memcmp(&back, &values[i], sizeof back) == 0 || (back == 0 && values[i] == 0),
                 qPrintable(QString::number(values[i], 'g', 17)));
    }
}

void TestXlsx::readsHandMadePackage()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("hand.xlsx");
    // Shared and inline strings, rich text, rows and cells without r, out-of-range string index.
    const QByteArray cells =
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
        "<c r=\"C1\" t=\"inlineStr\"><is><r><t xml:space=\"preserve\">in </t></r><r><t>line</t></r></is></c>"
        "<c r=\"D1\" t=\"s\"><v>99</v></c><c r=\"E1\" t=\"s\"><v>2</v></c></row>"
        "<row><c><v>2.5</v></c><c t=\"b\"><v>1</v></c><c t=\"e\"><v>#DIV/0!</v></c>"
        "<c r=\"E2\" t=\"str\"><f>\"a\"&amp;\"b\"</f><v>ab</v></c><c><f>E2</f></c><c><v>-1E-3</v></c></row>"
        "<row r=\"5\"><c r=\"B5\" s=\"0\"><v> 7 </v></c></row>";
    const QByteArray strings = "<si><t>plain</t></si>"
                               "<si><r><rPr><b/></rPr><t>rich </t></r><r><t>text</t></r><rPh><t>x</t></rPh></si>"
                               "<si><t/></si>";
    QVERIFY(writePackage(path, oneSheetPackage(cells, strings)));
    Document doc(path);
    QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
    QCOMPARE(doc.sheetNames(), QStringList{"Data"});
    QCOMPARE(doc.read(1, 1), QVariant(QString("plain")));
    QCOMPARE(doc.read(1, 2), QVariant(QString("rich text")));
    QCOMPARE(doc.read(1, 3), QVariant(QString("in line")));
    QVERIFY(!doc.read(1, 4).isValid());
    QCOMPARE(doc.read(1, 5), QVariant(QString("")));
    QCOMPARE(doc.read(2, 1), QVariant(2.5));
    QCOMPARE(doc.read(2, 2), QVariant(true));
    QCOMPARE(doc.read(2, 3), QVariant(QString("#DIV/0!")));
    QCOMPARE(doc.read(2, 5), QVariant(QString("ab")));
    QVERIFY(!doc.read(2, 6).isValid()); // a formula without a cached value
    QCOMPARE(doc.read(2, 7), QVariant(-0.001));
    QCOMPARE(doc.read(5, 2), QVariant(7.0));

    // Writing into the rows without r keeps every other cell in its place.
    QVERIFY(doc.write(2, 4, QString("new")));
    QVERIFY(doc.write(2, 3, 1));
    QVERIFY(doc.write(3, 1, 3));
    QVERIFY(doc.save());
    Document back(path);
    QVERIFY2(back.isLoadPackage(), qPrintable(back.errorString()));
    QCOMPARE(back.read(2, 1), QVariant(2.5));
    QCOMPARE(back.read(2, 2), QVariant(true));
    QCOMPARE(back.read(2, 3), QVariant(1.0));
    QCOMPARE(back.read(2, 4), QVariant(QString("new")));
    QCOMPARE(back.read(2, 5), QVariant(QString("ab")));
    QCOMPARE(back.read(2, 7), QVariant(-0.001));
    QCOMPARE(back.read(3, 1), QVariant(3.0));
    QCOMPARE(back.read(5, 2), QVariant(7.0));
    QCOMPARE(back.read(1, 2), QVariant(QString("rich text")));
}

void TestXlsx::readsPrefixedNamespacesAndWritesThem()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("prefixed.xlsx");
    Parts parts = oneSheetPackage("");
    for (auto &p : parts) {
        if (p.first == "xl/workbook.xml")
            p.second = xmlHead + "<x:workbook xmlns:x=\"" + mainNs + "\" xmlns:rel=\"" + relNs
                       + "\"><x:bookViews><x:workbookView activeTab=\"1\"/></x:bookViews><x:sheets>"
                         "<x:sheet name=\"Chart\" sheetId=\"2\" rel:id=\"rId3\"/>"
                         "<x:sheet name=\"Data\" sheetId=\"1\" rel:id=\"rId7\"/></x:sheets></x:workbook>";
        if (p.first == "xl/_rels/workbook.xml.rels")
            p.second.replace("</Relationships>", "<Relationship Id=\"rId3\" Type=\"" + relNs
                                                     + "/chartsheet\" Target=\"chartsheets/sheet1.xml\"/></Relationships>");
        if (p.first == "xl/sheets/data.xml")
            p.second = xmlHead + "<x:worksheet xmlns:x=\"" + mainNs + "\"><x:dimension ref=\"B2\"/><x:sheetData>"
                       "<x:row r=\"2\"><x:c r=\"B2\" t=\"inlineStr\"><x:is><x:t>prefixed</x:t></x:is></x:c></x:row>"
                       "</x:sheetData></x:worksheet>";
    }
    QVERIFY(writePackage(path, parts));
    Document doc(path);
    QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
    QCOMPARE(doc.sheetNames(), QStringList({"Chart", "Data"}));
    QCOMPARE(doc.currentSheetName(), QString("Data"));
    QCOMPARE(doc.read(2, 2), QVariant(QString("prefixed")));
    Format f;
    f.setBorderStyle(Format::BorderThin); // no style sheet in this package: one is added
    QVERIFY(doc.write(3, 3, 9.5, f));
    QVERIFY(doc.write(2, 1, QString("left")));
    QVERIFY(doc.save());

    const QMap<QString, QByteArray> saved = entries(path);
    QVERIFY(saved.value("xl/sheets/data.xml").contains("<x:c r=\"C3\""));
    QVERIFY(!saved.value("xl/sheets/data.xml").contains("xmlns=")); // no second namespace made up
    QVERIFY(saved.contains("xl/styles.xml"));
    Document back(path);
    QVERIFY2(back.isLoadPackage(), qPrintable(back.errorString()));
    QVERIFY(back.selectSheet("Data"));
    QCOMPARE(back.read(2, 1), QVariant(QString("left")));
    QCOMPARE(back.read(2, 2), QVariant(QString("prefixed")));
    QCOMPARE(back.read(3, 3), QVariant(9.5));
    QVERIFY(back.selectSheet("Chart"));
    QVERIFY(!back.read(1, 1).isValid());
    QVERIFY(!back.write(1, 1, 1)); // a chart sheet has no cells
}

void TestXlsx::writesIntoUnorderedSheet()
{
    // Lax producers may put rows and cells out of order: a written cell must still appear once.
    QTemporaryDir dir;
    const QString path = dir.filePath("unordered.xlsx");
    QVERIFY(writePackage(path, oneSheetPackage("<row r=\"3\"><c r=\"B3\"><v>3</v></c></row>"
                                               "<row r=\"1\"><c r=\"C1\"><v>2</v></c><c r=\"A1\"><v>1</v></c></row>")));
    {
        Document doc(path);
        QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
        QVERIFY(doc.write(1, 1, 10));
        QVERIFY(doc.write(1, 2, 20));
        QVERIFY(doc.write(3, 2, 30));
        QVERIFY(doc.save());
    }
    const QByteArray sheet = entries(path).value("xl/sheets/data.xml");
    QCOMPARE(sheet.count("r=\"A1\""), 1);
    QCOMPARE(sheet.count("r=\"B3\""), 1);
    Document doc(path);
    QCOMPARE(doc.lastRow(), 3);
    QCOMPARE(doc.read(1, 1), QVariant(10.0));
    QCOMPARE(doc.read(1, 2), QVariant(20.0));
    QCOMPARE(doc.read(1, 3), QVariant(2.0));
    QCOMPARE(doc.read(3, 2), QVariant(30.0));
}

void TestXlsx::saveOverKeepsEveryCell_data()
{
    QTest::addColumn<QByteArray>("rows");
    QTest::newRow("a note far down") << QByteArray(
        "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"3\"><c r=\"A3\"><v>3</v></c><c r=\"T3\" s=\"1\"/></row>"
        "<row r=\"1048576\"><c r=\"V1048576\" t=\"inlineStr\"><is><t>note</t></is></c></row>");
    QTest::newRow("cells and rows without references") << QByteArray(
        "<row><c><v>1</v></c></row><row><c r=\"T2\"><v>2</v></c><c t=\"inlineStr\"><is><t>note</t></is></c><c><v>9</v></c></row>"
        "<row><c r=\"C3\"><v>4</v></c><c><v>5</v></c></row><row><c r=\"U4\"><v>6</v></c></row>");
    QTest::newRow("out of order") << QByteArray(
        "<row r=\"3\"><c r=\"D3\"><v>7</v></c><c r=\"B3\"><v>6</v></c><c><v>8</v></c></row>"
        "<row r=\"2\"><c r=\"U2\"><v>1</v></c><c><v>2</v></c><c r=\"A2\"><v>3</v></c><c><v>4</v></c></row><row><c r=\"Z3\"><v>5</v></c></row>");
}

// Saving over a sheet as the source workbook does (cells of A..T written, the rows below cleared)
// changes those cells only: every other cell keeps its value and its place, and a cell far down
// the sheet does not make the save write the rows between.
void TestXlsx::saveOverKeepsEveryCell()
{
    QFETCH(QByteArray, rows);
    QTemporaryDir dir;
    const QString path = dir.filePath("over.xlsx");
    QVERIFY(writePackage(path, oneSheetPackage(rows)));
    const QVector<int> rowNumbers = {1, 2, 3, 4, 5, 1048576};
    QMap<QPair<int, int>, QVariant> expected;
    {
        Document doc(path);
        QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
        for (int r : rowNumbers)
            for (int c = 1; c <= 26; ++c)
                expected[{r, c}] = doc.read(r, c);
        const QVector<QPair<int, int>> written = {{1, 1}, {1, 3}, {2, 3}, {2, 19}, {2, 20}};
        for (const auto &cell : written) {
            QVERIFY(doc.write(cell.first, cell.second, cell.first * 100 + cell.second));
            expected[cell] = double(cell.first * 100 + cell.second);
        }
        QVERIFY(doc.write(5, 1, QVariant())); // holds nothing: no cell is made
        doc.clearValues(3, 1, doc.lastRow(), 20);
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            if (it.key().first >= 3 && it.key().second <= 20)
                it.value() = QVariant();
        }
        QVERIFY(doc.save());
    }
    const QByteArray sheet = entries(path).value("xl/sheets/data.xml");
    QVERIFY2(sheet.size() < 4000, sheet.left(400).constData());
    QVERIFY(!sheet.contains("r=\"A5\""));
    Document doc(path);
    QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QVERIFY2(doc.read(it.key().first, it.key().second) == it.value(),
                 qPrintable(QStringLiteral("row %1, column %2: ").arg(it.key().first).arg(it.key().second)
                            + doc.read(it.key().first, it.key().second).toString() + " != " + it.value().toString()));
}

void TestXlsx::readsOpenpyxlWorkbook()
{
    REQUIRE_PYTHON("openpyxl");
    QTemporaryDir dir;
    const QString path = dir.filePath("openpyxl.xlsx");
    MAKE_WITH_PYTHON(R"(
import sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = 'Первый'
ws['A1'] = 'текст'; ws['B1'] = 42; ws['C1'] = 0.1; ws['D1'] = True; ws['E1'] = '  пробелы '
ws['F1'] = '=1+2'; ws['G1'] = '12.50'; ws['A3'] = -1.5e-10
ws2 = wb.create_sheet('Второй')
ws2['B2'] = 'второй лист'
wb.active = 1
wb.save(sys.argv[1])
)", path);
    Document doc(path);
    QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
    QCOMPARE(doc.sheetNames(), QStringList({"Первый", "Второй"}));
    QCOMPARE(doc.currentSheetName(), QString("Второй"));
    QCOMPARE(doc.read(2, 2), QVariant(QString("второй лист")));
    QVERIFY(doc.selectSheet("Первый"));
    QCOMPARE(doc.read(1, 1), QVariant(QString("текст")));
    QCOMPARE(doc.read(1, 2), QVariant(42.0));
    QCOMPARE(doc.read(1, 3), QVariant(0.1));
    QCOMPARE(doc.read(1, 4), QVariant(true));
    QCOMPARE(doc.read(1, 5), QVariant(QString("  пробелы ")));
    QVERIFY(!doc.read(1, 6).isValid()); // openpyxl stores no cached value
    QCOMPARE(doc.read(1, 7), QVariant(QString("12.50")));
    QCOMPARE(doc.read(3, 1), QVariant(-1.5e-10));
}

void TestXlsx::readsXlsxwriterWorkbook()
{
    REQUIRE_PYTHON("xlsxwriter");
    QTemporaryDir dir;
    const QString path = dir.filePath("xlsxwriter.xlsx");
    MAKE_WITH_PYTHON(R"(
import sys, xlsxwriter
wb = xlsxwriter.Workbook(sys.argv[1])
a = wb.add_worksheet('A')
b = wb.add_worksheet('Б')
bold = wb.add_format({'bold': True})
a.write_rich_string('A1', 'обычный ', bold, 'жирный')
a.write_number('A2', 1234567.891)
a.write_boolean('A3', False)
a.write_formula('A4', '=A2*2', None, 2469135.782)
a.write_string('A5', '12.5')
a.write_blank('A6', None, bold)
a.write_formula('A7', '=1/0', None, '#DIV/0!')
b.write('C7', 'второй')
b.activate()
wb.close()
)", path);
    Document doc(path);
    QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
    QCOMPARE(doc.currentSheetName(), QString("Б"));
    QCOMPARE(doc.read(7, 3), QVariant(QString("второй")));
    QVERIFY(doc.selectSheet("A"));
    QCOMPARE(doc.read(1, 1), QVariant(QString("обычный жирный")));
    QCOMPARE(doc.read(2, 1), QVariant(1234567.891));
    QCOMPARE(doc.read(3, 1), QVariant(false));
    QCOMPARE(doc.read(4, 1), QVariant(2469135.782));
    QCOMPARE(doc.read(5, 1), QVariant(QString("12.5")));
    QVERIFY(!doc.read(6, 1).isValid());
    QCOMPARE(doc.read(7, 1), QVariant(QString("#DIV/0!")));
}

void TestXlsx::openpyxlReadsWhatWeWrite()
{
    REQUIRE_PYTHON("openpyxl");
    QTemporaryDir dir;
    const QString path = dir.filePath("ours.xlsx");
    Format all;
    all.setBorderStyle(Format::BorderThin);
    all.setHorizontalAlignment(Format::AlignHCenter);
    Format bottomRight;
    bottomRight.setBottomBorderStyle(Format::BorderThin);
    bottomRight.setRightBorderStyle(Format::BorderMedium);
    bottomRight.setHorizontalAlignment(Format::AlignRight);
    Format allTwoDecimals = all;
    allTwoDecimals.setNumberFormatIndex(2);
    {
        Document doc;
        QVERIFY(doc.write(1, 1, QString("Привет")));
        QVERIFY(doc.write(2, 1, QString("12.5")));
        QVERIFY(doc.write(3, 1, 0.1 + 0.2));
        QVERIFY(doc.write(4, 1, false));
        QVERIFY(doc.write(1, 2, 5.61, all));
        QVERIFY(doc.write(2, 2, QString("справа"), bottomRight));
        QVERIFY(doc.write(3, 2, QString(), all)); // a styled empty cell
        QVERIFY(doc.write(4, 2, 5.61, allTwoDecimals)); // the same borders, another number format
        QVERIFY(doc.saveAs(path));
    }
    const QJsonDocument json = pythonJson(R"(
import sys, json, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.active
out = {'title': ws.title}
for row in ws.iter_rows(min_row=1, max_row=4, max_col=2):
    for c in row:
        b = c.border
        out[c.coordinate] = [repr(c.value), b.left.style, b.right.style, b.top.style, b.bottom.style,
                             c.alignment.horizontal, c.number_format]
print(json.dumps(out))
)", {path});
    const QJsonObject o = json.object();
    QCOMPARE(o.value("title").toString(), QString("Лист1"));
    auto cell = [&](const char *ref) {
        QStringList list;
        for (const QJsonValue &v : o.value(ref).toArray())
            list << (v.isNull() ? QString("-") : v.toString());
        return list.join('|');
    };
    QCOMPARE(cell("A1"), QString("'Привет'|-|-|-|-|-|General"));
    QCOMPARE(cell("A2"), QString("'12.5'|-|-|-|-|-|General"));
    QCOMPARE(cell("A3"), QString("0.30000000000000004|-|-|-|-|-|General"));
    QCOMPARE(cell("A4"), QString("False|-|-|-|-|-|General"));
    QCOMPARE(cell("B1"), QString("5.61|thin|thin|thin|thin|center|General"));
    QCOMPARE(cell("B2"), QString("'справа'|-|medium|-|thin|right|General"));
    QCOMPARE(cell("B3"), QString("None|thin|thin|thin|thin|center|General"));
    QCOMPARE(cell("B4"), QString("5.61|thin|thin|thin|thin|center|0.00"));
}

void TestXlsx::templateKeepsEverythingElse()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("template.xlsx");
    QVERIFY(QFile::copy(testutil::sourcePath("tests/data/xlsx/template.xlsx"), path));
    const QMap<QString, QByteArray> before = entries(path);
    QVERIFY(before.contains("xl/charts/chart1.xml"));
    Format boxed;
    boxed.setBorderStyle(Format::BorderThin);
    boxed.setHorizontalAlignment(Format::AlignLeft);
    const QSet<QString> written = {"B4", "A10", "E10", "B1", "G12", "C2", "A3"};
    {
        Document doc(path);
        QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
        QCOMPARE(doc.sheetNames(), QStringList({"Лист1", "Лист2"}));
        QCOMPARE(doc.currentSheetName(), QString("Лист1"));
        QCOMPARE(doc.read(1, 1), QVariant(QString("Баланс по объекту")));
        QCOMPARE(doc.read(4, 5), QVariant(37.5)); // a formula's cached value
        QVERIFY(doc.write(4, 2, 100.25));         // keeps its border and number format
        QVERIFY(doc.write(10, 1, QString("Всего по объекту")));
        QVERIFY(doc.write(10, 5, 1234.5));        // a formula cell becomes a value
        QVERIFY(doc.write(1, 2, QString("в объединённой")));
        QVERIFY(doc.write(12, 7, QString("новая строка"), boxed));
        QVERIFY(doc.write(2, 3, 7));              // a row that did not exist, between two that do
        QVERIFY(doc.write(3, 1, QString()));      // cleared, style kept
        QVERIFY(doc.save());
    }
    const QMap<QString, QByteArray> after = entries(path);
    QCOMPARE(after.keys(), before.keys());
    for (const QString &name : before.keys()) {
        if (name == "xl/worksheets/sheet1.xml" || name == "xl/styles.xml")
            continue;
        QVERIFY2(after.value(name) == before.value(name), qPrintable(name + " changed"));
    }
    // In the written sheet, only the written cells differ.
    QCOMPARE(sheetTokens(after.value("xl/worksheets/sheet1.xml"), written),
             sheetTokens(before.value("xl/worksheets/sheet1.xml"), written));
    QVERIFY(after.value("xl/worksheets/sheet1.xml").contains("<dimension ref=\"A1:G12\"/>"));

    Document doc(path);
    QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
    QCOMPARE(doc.read(4, 2), QVariant(100.25));
    QCOMPARE(doc.read(4, 3), QVariant(12.5));
    QCOMPARE(doc.read(10, 1), QVariant(QString("Всего по объекту")));
    QCOMPARE(doc.read(10, 5), QVariant(1234.5));
    QCOMPARE(doc.read(2, 3), QVariant(7.0));
    QVERIFY(!doc.read(3, 1).isValid());
    QCOMPARE(doc.read(3, 2), QVariant(QString("Январь")));
    QCOMPARE(doc.read(12, 7), QVariant(QString("новая строка")));
    QVERIFY(doc.selectSheet("Лист2"));
    QCOMPARE(doc.read(1, 1), QVariant(QString("График")));

    if (!testutil::pythonHas("openpyxl"))
        return;
    const QJsonObject o = pythonJson(R"(
import sys, json, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb['Лист1']
out = {
  'merged': [str(r) for r in ws.merged_cells.ranges],
  'widthA': ws.column_dimensions['A'].width,
  'name': wb.defined_names['Итог'].attr_text,
  'B4': [ws['B4'].value, ws['B4'].number_format, ws['B4'].border.left.style],
  'A3': [ws['A3'].value, ws['A3'].font.b, ws['A3'].border.top.style, ws['A3'].alignment.horizontal],
  'E10': [ws['E10'].value, ws['E10'].data_type],
  'G12': [ws['G12'].value, ws['G12'].border.bottom.style, ws['G12'].alignment.horizontal],
  'orientation': ws.page_setup.orientation,
}
print(json.dumps(out))
)", {path}).object();
    QCOMPARE(o.value("merged").toArray().first().toString(), QString("A1:E1"));
    QVERIFY(o.value("widthA").toDouble() > 30);
    QCOMPARE(o.value("name").toString(), QString("Лист1!$E$10"));
    QCOMPARE(o.value("B4").toArray(), QJsonArray({100.25, "0.00", "thin"}));
    QCOMPARE(o.value("A3").toArray(), QJsonArray({QJsonValue(), true, "thin", "center"}));
    QCOMPARE(o.value("E10").toArray(), QJsonArray({1234.5, "n"}));
    QCOMPARE(o.value("G12").toArray(), QJsonArray({"новая строка", "thin", "left"}));
    QCOMPARE(o.value("orientation").toString(), QString("landscape"));
}

// Writing the value a cell already holds changes nothing: the sheet is copied as it is stored (a
// number keeps its written form, a shared string stays shared); a formula whose cached value is
// written still goes, and a value that differs is written.
void TestXlsx::writeOfHeldValueChangesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("held.xlsx");
    const QByteArray cells = "<row r=\"1\"><c r=\"A1\"><v>2.50</v></c><c r=\"B1\" t=\"s\"><v>0</v></c>"
                             "<c r=\"C1\" t=\"b\"><v>1</v></c><c r=\"D1\"><f>A1*2</f><v>5</v></c>"
                             "<c r=\"E1\" t=\"str\"><f>B1</f><v>текст</v></c><c r=\"F1\"><v>7</v></c></row>";
    const QByteArray strings = "<si><t>текст</t></si>";
    QVERIFY(writePackage(path, oneSheetPackage(cells, strings)));
    const QByteArray stored = entries(path).value("xl/sheets/data.xml");
    {
        Document doc(path);
        QVERIFY(doc.write(1, 1, 2.5) && doc.write(1, 2, QString("текст")) && doc.write(1, 3, true));
        QVERIFY(doc.saveAs(dir.filePath("same.xlsx")));
        QCOMPARE(entries(dir.filePath("same.xlsx")).value("xl/sheets/data.xml"), stored);
    }
    Document doc(path);
    QVERIFY(doc.write(1, 1, 2.5) && doc.write(1, 4, 5.0) && doc.write(1, 5, QString("текст")));
    QVERIFY(doc.write(1, 2, QString("другой")) && doc.write(1, 3, 1.0));
    Format border; // a format is applied to a held value too
    border.setLeftBorderStyle(Format::BorderThin);
    QVERIFY(doc.write(1, 6, 7.0, border));
    QVERIFY(doc.saveAs(dir.filePath("changed.xlsx")));
    const QByteArray sheet = entries(dir.filePath("changed.xlsx")).value("xl/sheets/data.xml");
    QVERIFY(!sheet.contains("<f"));
    QVERIFY(sheet.contains("<v>2.50</v>"));
    QVERIFY(sheet.contains("<c r=\"F1\" s=\""));
    Document back(dir.filePath("changed.xlsx"));
    QCOMPARE(back.read(1, 2), QVariant(QString("другой")));
    QCOMPARE(back.read(1, 3), QVariant(1.0));
    QCOMPARE(back.read(1, 4), QVariant(5.0));
    QCOMPARE(back.read(1, 5), QVariant(QString("текст")));
}

void TestXlsx::formulaOverwriteDropsCalcChain()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("calc.xlsx");
    const QByteArray cells = "<row r=\"1\"><c r=\"A1\"><f>B1*2</f><v>4</v></c><c r=\"B1\"><v>2</v></c></row>"
                             "<row r=\"2\"><c r=\"A2\"><f t=\"shared\" ref=\"A2:A4\" si=\"0\">B2*2</f><v>6</v></c></row>"
                             "<row r=\"3\"><c r=\"A3\"><f t=\"shared\" si=\"0\"/><v>8</v></c></row>"
                             "<row r=\"4\"><c r=\"A4\"><f t=\"shared\" si=\"0\"/><v>10</v></c></row>";
    const QByteArray chain = "<c r=\"A1\" i=\"1\"/><c r=\"A2\"/><c r=\"A3\"/><c r=\"A4\"/>";
    QVERIFY(writePackage(path, oneSheetPackage(cells, QByteArray(), chain)));

    // A value written beside the formulas keeps the chain.
    {
        Document doc(path);
        QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
        QVERIFY(doc.write(1, 2, 3));
        QVERIFY(doc.saveAs(dir.filePath("value.xlsx")));
        QVERIFY(entries(dir.filePath("value.xlsx")).contains("xl/calcChain.xml"));
    }
    // Overwriting formulas drops it, with its content type and relationship.
    {
        Document doc(path);
        QVERIFY(doc.write(1, 1, QString("fixed")));
        QVERIFY(doc.write(2, 1, 1)); // the anchor of a shared formula
        QVERIFY(doc.save());
    }
    const QMap<QString, QByteArray> after = entries(path);
    QVERIFY(!after.contains("xl/calcChain.xml"));
    QVERIFY(!after.value("[Content_Types].xml").contains("calcChain"));
    QVERIFY(!after.value("xl/_rels/workbook.xml.rels").contains("calcChain"));
    QVERIFY(after.value("xl/_rels/workbook.xml.rels").contains("/xl/sheets/data.xml"));
    const QByteArray sheet = after.value("xl/sheets/data.xml");
    QVERIFY(!sheet.contains("<f")); // the shared formula's other cells keep only their values
    Document doc(path);
    QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
    QCOMPARE(doc.read(1, 1), QVariant(QString("fixed")));
    QCOMPARE(doc.read(2, 1), QVariant(1.0));
    QCOMPARE(doc.read(3, 1), QVariant(8.0));
    QCOMPARE(doc.read(4, 1), QVariant(10.0));
}

void TestXlsx::stylesAreReused()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("template.xlsx");
    QVERIFY(QFile::copy(testutil::sourcePath("tests/data/xlsx/template.xlsx"), path));
    auto xfCount = [](const QByteArray &styles) {
        const int from = styles.indexOf("<cellXfs");
        return styles.mid(from, styles.indexOf("</cellXfs>") - from).count("<xf ");
    };
    const int before = xfCount(entries(path).value("xl/styles.xml"));
    Format thin;
    thin.setBorderStyle(Format::BorderThin);
    Format centered = thin;
    centered.setHorizontalAlignment(Format::AlignHCenter);
    {
        Document doc(path);
        QVERIFY(doc.write(4, 3, 1, thin));      // already thin-boxed with "0.00": the same style
        QVERIFY(doc.write(20, 1, 1, thin));     // a plain cell boxed: one new style
        QVERIFY(doc.write(21, 1, 2, thin));     // the same again: reused
        QVERIFY(doc.write(22, 1, 3, centered)); // one more
        QVERIFY(doc.write(23, 1, 4, centered));
        QVERIFY(doc.save());
    }
    const QByteArray styles = entries(path).value("xl/styles.xml");
    QCOMPARE(xfCount(styles), before + 2);
    QVERIFY(styles.contains(QByteArray("<cellXfs count=\"") + QByteArray::number(before + 2) + "\""));
    QVERIFY(styles.contains("<borders count=\"2\"")); // the template's thin border was reused
    // A second save of the same edits gives the same file.
    Document doc(path);
    QVERIFY(doc.write(20, 1, 1, thin));
    QVERIFY(doc.saveAs(dir.filePath("again.xlsx")));
    QCOMPARE(xfCount(entries(dir.filePath("again.xlsx")).value("xl/styles.xml")), before + 2);
}

void TestXlsx::badInput_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("loads");

    QTemporaryDir dir;
    const QString good = dir.filePath("good.xlsx");
    writePackage(good, oneSheetPackage("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"));
    QFile f(good);
    f.open(QIODevice::ReadOnly);
    const QByteArray valid = f.readAll();

    auto package = [&](const Parts &parts) {
        const QString p = dir.filePath("p.xlsx");
        writePackage(p, parts);
        QFile file(p);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    };
    auto withSheet = [&](const QByteArray &sheetXml) {
        Parts parts = oneSheetPackage("");
        for (auto &p : parts) {
            if (p.first == "xl/sheets/data.xml")
                p.second = sheetXml;
        }
        return package(parts);
    };
    auto without = [&](const QString &name) {
        Parts parts = oneSheetPackage("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
        for (int i = 0; i < parts.size(); ++i) {
            if (parts[i].first == name)
                parts.remove(i);
        }
        return package(parts);
    };
    const QByteArray sheetStart = xmlHead + "<worksheet xmlns=\"" + mainNs + "\"><sheetData>";
    QTest::newRow("empty file") << "empty" << QByteArray() << false;
    QTest::newRow("not a zip") << "text" << QByteArray("PK\x03\x04 but nothing else") << false;
    QTest::newRow("truncated zip") << "truncated" << valid.left(valid.size() / 2) << false;
    QTest::newRow("damaged byte") << "damaged" << QByteArray(valid).replace("sheetData", "sheetDatb") << false;
    QTest::newRow("no workbook part") << "noworkbook" << without("xl/workbook.xml") << false;
    QTest::newRow("no sheet part") << "nosheet" << without("xl/sheets/data.xml") << false;
    QTest::newRow("no content types") << "notypes" << without("[Content_Types].xml") << false;
    QTest::newRow("malformed sheet") << "malformed" << withSheet(sheetStart + "<row><c r=\"A1\"><v>1</c></row>") << false;
    QTest::newRow("DTD with entities")
        << "dtd"
        << withSheet("<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;\">]>"
                     "<worksheet xmlns=\"" + mainNs + "\"><sheetData><row><c t=\"inlineStr\"><is><t>&lol2;</t></is></c>"
                     "</row></sheetData></worksheet>")
        << false;
    QTest::newRow("column past XFD") << "xfe" << withSheet(sheetStart + "<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row></sheetData></worksheet>") << false;
    QTest::newRow("row past the last") << "row" << withSheet(sheetStart + "<row r=\"1048577\"><c><v>1</v></c></row></sheetData></worksheet>") << false;
    QTest::newRow("cell ref past the last") << "ref" << withSheet(sheetStart + "<row r=\"1\"><c r=\"A99999999999\"><v>1</v></c></row></sheetData></worksheet>") << false;
    QTest::newRow("undeclared entity") << "entity" << withSheet(sheetStart + "<row><c><v>&x;</v></c></row></sheetData></worksheet>") << false;
    QTest::newRow("no sheets") << "nosheets" << [&] {
        Parts parts = oneSheetPackage("");
        for (auto &p : parts) {
            if (p.first == "xl/workbook.xml")
                p.second = xmlHead + "<workbook xmlns=\"" + mainNs + "\"><sheets/></workbook>";
        }
        return package(parts);
    }() << false;
    QFile bomb(testutil::sourcePath("fuzz/corpus/xlsx/bomb.xlsx"));
    if (bomb.open(QIODevice::ReadOnly))
        QTest::newRow("entry inflating past the limit") << "bomb" << bomb.readAll() << false;
    QTest::newRow("rows out of order") << "order"
        << withSheet(sheetStart + "<row r=\"3\"><c r=\"B3\"><v>3</v></c></row><row r=\"1\"><c r=\"B1\"><v>1</v></c><c r=\"A1\"><v>0</v></c></row></sheetData></worksheet>")
        << true;
}

void TestXlsx::badInput()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, loads);
    QTemporaryDir dir;
    const QString path = dir.filePath(name + ".xlsx");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    Document doc(path);
    QCOMPARE(doc.isLoadPackage(), loads);
    if (!loads) {
        QVERIFY(!doc.errorString().isEmpty());
        QVERIFY(!doc.save());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), content); // never written over
    } else {
        QCOMPARE(doc.read(1, 1), QVariant(0.0));
        QCOMPARE(doc.read(1, 2), QVariant(1.0));
        QCOMPARE(doc.read(3, 2), QVariant(3.0));
    }
}

// Damage inside a sheet's compressed data refuses the package, and is told as damage of the entry
// rather than as what it did to the XML.
void TestXlsx::damagedDeflatedSheetIsRefused()
{
    QFETCH(QByteArray, thread);
    const InflateThread forced(thread);
    QTemporaryDir dir;
    const QString path = dir.filePath("deflated.xlsx");
    {
        Document doc;
        // Large enough to be scanned while it is inflated.
        for (int r = 1; r <= 8000; ++r) {
            QVERIFY(doc.write(r, 1, QStringLiteral("point %1").arg(r * 7919 % 10007)));
            QVERIFY(doc.write(r, 2, r * 0.37));
        }
        QVERIFY(doc.saveAs(path));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray valid = file.readAll();
    file.close();
    QVERIFY(Document(path).isLoadPackage());
    QCOMPARE(readOnThread(path, "xl/worksheets/sheet1.xml"), thread == "on");
    // The sheet is by far the largest entry: the middle of the file lies in its compressed data.
    for (const int offset : {0, 301, 977}) {
        QByteArray damaged = valid;
        const int at = damaged.size() / 2 + offset;
        damaged[at] = char(damaged.at(at) ^ 0x10);
        const QString damagedPath = dir.filePath(QStringLiteral("damaged%1.xlsx").arg(offset));
        QFile out(damagedPath);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(damaged);
        out.close();
        Document doc(damagedPath);
        QVERIFY(!doc.isLoadPackage());
        // The refusal of the part read whole, whatever the scanner made of what it got.
        QXlsx::ZipPackage package;
        QByteArray part;
        QString wholeError;
        QVERIFY(package.open(damagedPath, &wholeError));
        QVERIFY(!package.read(QStringLiteral("xl/worksheets/sheet1.xml"), &part, &wholeError));
        QCOMPARE(doc.errorString(), wholeError);
    }
}

void TestXlsx::millionEmptyRowsReadQuickly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("rows.xlsx");
    QByteArray rows;
    rows.reserve(30 * 1048576);
    for (int r = 1; r <= 1048576; ++r)
        rows += "<row r=\"" + QByteArray::number(r) + "\" ht=\"15\"/>";
    rows += "<row r=\"1048576\"><c r=\"XFD1048576\"><v>1</v></c></row>";
    QVERIFY(writePackage(path, oneSheetPackage(rows)));
    rows.clear();
    Document doc(path);
    QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
    QCOMPARE(doc.read(1048576, 16384), QVariant(1.0));
    QVERIFY(!doc.read(500000, 1).isValid());
    QVERIFY(doc.write(2, 2, 2));
    QVERIFY(doc.save());
    QCOMPARE(Document(path).read(2, 2), QVariant(2.0));
}

void TestXlsx::largePartsReadWhileInflated()
{
    // A deflated sheet and string table large enough to be read on their way out of zlib, in the
    // cell forms producers write; then the same with an instruction near the end of the sheet,
    // which only the general reader takes, over the whole part.
    QFETCH(QByteArray, thread);
    const InflateThread forced(thread);
    constexpr int rows = 20000;
    QByteArray sheet, strings;
    for (int r = 1; r <= rows; ++r) {
        const QByteArray n = QByteArray::number(r);
        sheet += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"s\"><v>" + QByteArray::number(r - 1) + "</v></c><c r=\"B"
                 + n + "\" s=\"0\"><v>" + QByteArray::number(r * 0.25) + "</v></c><c t=\"inlineStr\"><is><t>Точка " + n
                 + "</t></is></c></row>";
        strings += "<si><t>Фидер " + n + "</t></si>";
    }
    QTemporaryDir dir;
    for (const QByteArray &tail : {QByteArray(), QByteArray("<?keep this?>")}) {
        const QString path = dir.filePath(tail.isEmpty() ? "plain.xlsx" : "instruction.xlsx");
        QFile file(path);
        QString error;
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(QXlsx::ZipPackage().write(&file, oneSheetPackage(sheet + tail, strings), {}, &error)); // all deflated
        file.close();
        QVERIFY(entries(path).value("xl/strings.xml").size() > QXlsx::ZipPackage::inflatingPartBytes);
        QCOMPARE(readOnThread(path, "xl/sheets/data.xml"), thread == "on");
        Document doc(path);
        QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
        QCOMPARE(doc.lastRow(), rows);
        for (int r = 1; r <= rows; ++r) {
            if (doc.read(r, 1) != QVariant(QStringLiteral("Фидер %1").arg(r)) || doc.read(r, 2) != QVariant(r * 0.25)
                || doc.read(r, 3) != QVariant(QStringLiteral("Точка %1").arg(r)))
                QFAIL(qPrintable(QStringLiteral("row %1 of %2").arg(r).arg(path)));
        }
    }
}

void TestXlsx::manyLargeSheetsWithinBudget()
{
    // Three sheets of 100 MiB each (a comment pads them): opening reads the active one only, the
    // others are read when selected, until the parts read would inflate past the budget of the
    // whole package; then the workbook is refused, and never written over.
    const QByteArray sheet = xmlHead + "<worksheet xmlns=\"" + mainNs + "\"><sheetData><row r=\"1\"><c r=\"A1\"><v>7</v></c>"
                             "</row></sheetData><!--" + QByteArray(100 << 20, 'x') + "--></worksheet>";
    Parts parts = oneSheetPackage(QByteArray());
    QByteArray sheets, rels;
    for (int i = 1; i <= 3; ++i) {
        const QByteArray n = QByteArray::number(i);
        sheets += "<sheet name=\"S" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + relNs + "/worksheet\" Target=\"sheets/s" + n + ".xml\"/>";
        parts.append({"xl/sheets/s" + n + ".xml", sheet});
    }
    for (auto &p : parts) {
        if (p.first == "xl/workbook.xml")
            p.second = xmlHead + "<workbook xmlns=\"" + mainNs + "\" xmlns:r=\"" + relNs + "\"><bookViews><workbookView activeTab=\"1\"/>"
                       "</bookViews><sheets>" + sheets + "</sheets></workbook>";
        else if (p.first == "xl/_rels/workbook.xml.rels")
            p.second = xmlHead + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" + rels
                       + "</Relationships>";
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("large.xlsx");
    {
        QFile file(path);
        QString error;
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(QXlsx::ZipPackage().write(&file, parts, {}, &error)); // all deflated
    }
    parts.clear();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    Document doc(path);
    QVERIFY2(doc.isLoadPackage(), qPrintable(doc.errorString()));
    QCOMPARE(doc.currentSheetName(), QString("S2"));
    QCOMPARE(doc.read(1, 1), QVariant(7.0));
    QVERIFY(doc.selectSheet("S1"));
    QCOMPARE(doc.read(1, 1), QVariant(7.0));
    QVERIFY(doc.selectSheet("S2")); // read already: nothing more is inflated
    QVERIFY(!doc.selectSheet("S3"));
    QVERIFY(!doc.isLoadPackage());
    QVERIFY2(doc.errorString().contains("256 MiB"), qPrintable(doc.errorString()));
    QVERIFY(doc.write(2, 1, 1.0));
    QVERIFY(!doc.save());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == before);
}

void TestXlsx::failedSaveKeepsOldFile()
{
    QTemporaryDir dir;
    Document doc;
    QVERIFY(doc.write(1, 1, 1));
    QVERIFY(!doc.saveAs(dir.filePath("missing/folder/out.xlsx")));
    QVERIFY(!doc.errorString().isEmpty());
    // The target is a folder: nothing replaces it.
    QVERIFY(QDir(dir.path()).mkdir("taken.xlsx"));
    QVERIFY(!doc.saveAs(dir.filePath("taken.xlsx")));
    QVERIFY(QFileInfo(dir.filePath("taken.xlsx")).isDir());
    QVERIFY(!doc.saveAs(QString()));
    // No temporary files are left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

void TestXlsx::libreOfficeOpensWhatWeWrite()
{
    const QString soffice = testutil::soffice();
    if (soffice.isEmpty())
        QSKIP("soffice is not installed");
    QTemporaryDir dir;
    Format boxed;
    boxed.setBorderStyle(Format::BorderThin);
    boxed.setHorizontalAlignment(Format::AlignHCenter);
    {
        Document doc;
        QVERIFY(doc.write(1, 1, QString("Имя")));
        QVERIFY(doc.write(1, 2, 2.5, boxed));
        QVERIFY(doc.write(2, 1, true));
        QVERIFY(doc.saveAs(dir.filePath("new.xlsx")));
    }
    QVERIFY(QFile::copy(testutil::sourcePath("tests/data/xlsx/template.xlsx"), dir.filePath("edited.xlsx")));
    {
        Document doc(dir.filePath("edited.xlsx"));
        QVERIFY(doc.write(4, 2, 99.5));
        QVERIFY(doc.write(10, 5, QString("без формулы"), boxed));
        QVERIFY(doc.write(12, 1, QString("ниже")));
        QVERIFY(doc.save());
    }
    QProcess p;
    p.start(soffice, {"-env:UserInstallation=file://" + dir.filePath("profile"), "--headless", "--convert-to",
                      "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", dir.filePath("csv"),
                      dir.filePath("new.xlsx"), dir.filePath("edited.xlsx")});
    QVERIFY(p.waitForFinished(240000));
    QCOMPARE(p.exitCode(), 0);
    auto csv = [&](const QString &name) {
        QFile f(dir.filePath("csv/" + name + ".csv"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    QCOMPARE(csv("new").split('\n').first(), QString("Имя,2.5"));
    QVERIFY(csv("new").contains("TRUE"));
    const QString edited = csv("edited");
    QVERIFY2(edited.contains("Фидер 1,99.50,12.50,13.50"), qPrintable(edited)); // the template's "0.00" kept
    QVERIFY(edited.contains("без формулы"));
    QVERIFY(edited.contains("ниже"));
}

void TestXlsx::sheetXmlReadsAsBefore_data()
{
    QTest::addColumn<QByteArray>("prolog");
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<QVariant>("a1"); // invalid: the part is refused
    const QByteArray utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    QTest::newRow("line ends") << utf8 << QByteArray("<c r=\"A1\" t=\"inlineStr\"><is><t>a\r\nb\rc</t></is></c>")
                               << QVariant("a\nb\nc");
    QTest::newRow("references") << utf8 << QByteArray("<c r=\"&#65;1\" t=\"str\"><v>&#1055;&#x440;&amp;&#13;&lt;</v></c>")
                                << QVariant("Пр&\r<");
    QTest::newRow("leading U+FEFF") << utf8 << QByteArray("<c r=\"A1\" t=\"str\"><v>\xef\xbb\xbf" "1</v></c>")
                                    << QVariant(QString(QChar(0xFEFF)) + "1");
    QTest::newRow("type with a tab") << utf8 << QByteArray("<c r=\"A1\" t=\"s&#9;\"><v> 1</v></c>") << QVariant(" 1");
    QTest::newRow("CDATA and comment") << utf8 << QByteArray("<c r=\"A1\"><v>1<!-- - --><![CDATA[5]]></v></c>")
                                       << QVariant(15.0);
    QTest::newRow("prefixed attribute") << utf8 << QByteArray("<c r=\"A1\" xmlns:p=\"u\" p:t=\"b\"><v>3</v></c>")
                                        << QVariant(3.0);
    QTest::newRow("Latin-1") << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>")
                             << QByteArray("<c r=\"A1\" t=\"inlineStr\"><is><t>\xe9</t></is></c>") << QVariant("é");
    QTest::newRow("instruction, other names") << utf8 << QByteArray("<c r=\"A1\"><?pi x?><\xc3\xa9/><v>4</v></c>")
                                              << QVariant(4.0);
    QTest::newRow("undeclared prefix") << utf8 << QByteArray("<p:c r=\"A1\"><v>1</v></p:c>") << QVariant();
    QTest::newRow("prefix out of scope")
        << utf8 << QByteArray("<c xmlns:p=\"u\" r=\"A1\" s=\"0\" t=\"n\"><v>1</v></c><p:c r=\"B1\"><v>2</v></p:c>") << QVariant();
    QTest::newRow("control character") << utf8 << QByteArray("<c r=\"A1\"><v>1\x01</v></c>") << QVariant();
    QTest::newRow("]]> in text") << utf8 << QByteArray("<c r=\"A1\"><v>]]></v></c>") << QVariant();
    QTest::newRow("attribute twice") << utf8 << QByteArray("<c r=\"A1\" r=\"A1\"><v>1</v></c>") << QVariant();
    QTest::newRow("one name, two prefixes")
        << utf8 << QByteArray("<c r=\"A1\" xmlns:p=\"u\" xmlns:q=\"u\" p:x=\"1\" q:x=\"2\"><v>1</v></c>") << QVariant();
    QTest::newRow("bad UTF-8") << utf8 << QByteArray("<c r=\"A1\" t=\"str\"><v>\xc3(</v></c>") << QVariant();
    QTest::newRow("U+FFFE") << utf8 << QByteArray("<c r=\"A1\" t=\"str\"><v>\xef\xbf\xbe</v></c>") << QVariant();
    QTest::newRow("unknown entity") << utf8 << QByteArray("<c r=\"A1\" t=\"str\"><v>&nbsp;</v></c>") << QVariant();
}

// The scanner against the reader it replaced, on what producers and hostile files write: the same
// value, or the same refusal.
void TestXlsx::sheetXmlReadsAsBefore()
{
    QFETCH(QByteArray, prolog);
    QFETCH(QByteArray, row);
    QFETCH(QVariant, a1);
    const QByteArray xml = prolog + "<worksheet xmlns=\"" + mainNs + "\"><sheetData><row r=\"1\">" + row
                           + "</row></sheetData></worksheet>";
    QString difference;
    QVERIFY2(QXlsx::xlsxReadersAgree(reinterpret_cast<const uint8_t *>(xml.constData()), size_t(xml.size()), &difference),
             qPrintable(difference));
    QXlsx::Worksheet sheet;
    QString error;
    QCOMPARE(sheet.load(xml, QXlsx::SharedStrings(), "sheet", &error), a1.isValid());
    if (a1.isValid())
        QCOMPARE(sheet.read(1, 1), a1);
}

bool readersAgree(const uint8_t *data, size_t size)
{
    QString difference;
    const bool agree = QXlsx::xlsxReadersAgree(data, size, &difference);
    if (!agree)
        qWarning("%s", qPrintable(difference.left(2000)));
    return agree;
}

void TestXlsx::fuzzCorpusReplays()
{
    // The fuzz targets' corpora: whole packages, sheet XML put into a valid package, and sheet XML
    // read by both the scanner and the reader it replaced.
    const QVector<QPair<QString, bool (*)(const uint8_t *, size_t)>> corpora = {
        {"fuzz/corpus/xlsx", &xlsxExercise}, {"fuzz/corpus/sheet", &xlsxExerciseSheet},
        {"fuzz/corpus/scan", &readersAgree}};
    for (const auto &corpus : corpora) {
        QDirIterator it(testutil::sourcePath(corpus.first), QDir::Files);
        int count = 0;
        while (it.hasNext()) {
            QFile f(it.next());
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray data = f.readAll();
            QElapsedTimer timer;
            timer.start();
            QVERIFY2(corpus.second(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size())),
                     qPrintable(it.filePath()));
            QVERIFY2(timer.elapsed() < 20000, qPrintable(it.filePath() + " took too long"));
            ++count;
        }
        QVERIFY2(count >= 5, qPrintable(corpus.first));
    }
}

void TestXlsx::scannerReadsReferences_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("read");
    QTest::newRow("predefined") << QByteArray("&apos;&quot;&amp;") << QByteArray("&apos;&lt;&gt;") << QString("'\"&|'<>");
    QTest::newRow("hex, both cases") << QByteArray("&#65;&#x4A;&#x4a;") << QByteArray("&#x42F;&#x44f;&#x1F600;")
                                     << QString("AJJ|Яя") + QString::fromUcs4(U"\U0001F600");
    QTest::newRow("blanks") << QByteArray("a&#9;b\tc\r\nd") << QByteArray("a\r\nb\rc&#13;") << QString("a\tb c d|a\nb\nc\r");
    QTest::newRow("CDATA keeps its ampersands") << QByteArray("x") << QByteArray("<![CDATA[&amp;\r\n&#65;]]>") << QString("x|&amp;\n&#65;");
    QTest::newRow("capital X") << QByteArray("x") << QByteArray("&#X4A;") << QString("unsure");
    QTest::newRow("not a character") << QByteArray("&#xFFFE;") << QByteArray("x") << QString("unsure");
}

// The scanner's own reading of references, which a refusal would hide behind the general reader.
void TestXlsx::scannerReadsReferences()
{
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, text);
    QFETCH(QString, read);
    QCOMPARE(scanned(value, text), read);
}

QTEST_GUILESS_MAIN(TestXlsx)
#include "tst_xlsx.moc"
