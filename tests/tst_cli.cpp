// keli-calc as a user runs it: the example workbooks, the outcomes and their exit codes, the
// options, --json and --save, the report files.

#include "core/com.h"
#include "core/dataset.h"
#include "core/helpers.h"
#include "core/sourceworkbook.h"
#include "support/testutil.h"
#include "xlsx/xlsxdocument.h"

#include <QtTest>

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>

using namespace keli;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

QString keliCalc()
{
    return qEnvironmentVariable("KELI_CALC", testutil::binaryPath(QStringLiteral("src/cli/keli-calc")));
}

Run run(const QStringList &args, const QString &dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(keliCalc(), args);
    Run r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QJsonObject readJson(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    return error.error == QJsonParseError::NoError ? doc.object() : QJsonObject();
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// A small valid object: one intake, one external release, one own release row, March 2024.
Dataset smallObject()
{
    Dataset ds;
    ds.calcMonth = ds.fileMonth = 3;
    ds.calcYear = ds.fileYear = 2024;
    ds.periodDays = 31;
    ds.objectName = QStringLiteral("ПС Проба");
    ds.intakeCount = ds.externalCount = ds.ownCount = 1;
    const double energies[3] = {1000, 400, 500};
    for (int t = 1; t <= 3; ++t) {
        const int i = ds.appendRow(t);
        ds.name[i] = QStringLiteral("Точка %1").arg(t);
        ds.pointKind[i] = QStringLiteral("Р");
        ds.meterType[i] = QStringLiteral("Э");
        ds.meterCount[i] = 1;
        ds.energy[i] = energies[t - 1];
        ds.fillFactor[i] = 0.5;
        ds.ctClass[i] = ds.vtClass[i] = ds.meterClass[i] = 0.5;
        ds.vtVoltageLoss[i] = 0.25;
        ds.verificationDate[i] = 1.23;
        ds.ctVoltage[i] = ds.reportVoltage[i] = 10;
        ds.ctRatedCurrent[i] = 300;
    }
    return ds;
}

QString saveDataset(const Dataset &ds, const QString &path)
{
    const WorkbookResult r = saveSourceWorkbook(ds, path);
    return r.ok ? path : QString();
}

const QStringList kRequiredNumbers = {
    "intakeEnergy", "externalReleaseEnergy", "ownReleaseEnergy", "ownNeedsEnergy",
    "householdNeedsEnergy", "netSupply", "intakePresent", "externalShare", "ownShare", "ctLossEnergy",
    "actualLoss", "commercialLoss", "actualUpper", "actualLower", "actualSystematic", "actualRandom",
    "normativeUpper", "normativeLower", "normativeSystematic", "normativeRandom", "excessUpper",
    "excessLower", "excessSystematic", "excessRandom", "actualWithLossesMid", "actualWithLossesRandom",
    "normativeWithLossesMid", "normativeWithLossesRandom", "combinedRandomWithLosses",
    "orderReleaseTotal", "actualUpperPerReleaseUndermetering", "undermeteringDifferenceShare",
    "maxIntakeUndermetering", "maxReleaseUndermetering", "intakeUndermetering",
    "externalUndermetering", "ownUndermetering", "actualLossPctIntake", "actualLossPctNet",
    "commercialLossPctNet", "combinedRandomWithLossesPctIntake", "excessRandomPctNet"};

QString runTool(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(60000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// How often each number with decimals occurs in a text ("-0.17", "1234.568").
QMap<QString, int> decimalNumbers(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("-?\\d+\\.\\d+"));
    QMap<QString, int> counts;
    for (auto it = number.globalMatch(text); it.hasNext();)
        ++counts[it.next().captured()];
    return counts;
}

// Every file under dir with its hash, except those under the skipped paths.
QMap<QString, QByteArray> tree(const QString &dir, const QStringList &skipped)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (std::none_of(skipped.begin(), skipped.end(), [&](const QString &s) { return path.startsWith(s); }))
            files.insert(path, fileHash(path));
    }
    return files;
}

// A number of the CSV: a decimal comma, never a point.
double csvNumber(const QString &field)
{
    return field.contains(QLatin1Char('.')) ? qQNaN() : QString(field).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
}

// The fields of a CSV line as the batch writes it (";" between fields, quotes doubled).
QStringList csvFields(const QString &line)
{
    QStringList fields{QString()};
    bool quoted = false;
    for (int k = 0; k < line.size(); ++k) {
        const QChar c = line[k];
        if (c == '"' && quoted && k + 1 < line.size() && line[k + 1] == '"')
            fields.last() += line[++k];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ';' && !quoted)
            fields << QString();
        else
            fields.last() += c;
    }
    return fields;
}

// The lines of a summary CSV without its byte order mark, the heading first.
QStringList csvLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).remove(QChar(0xFEFF)).split("\r\n", Qt::SkipEmptyParts);
}

// Starts keli-calc, sends it the signal once it has reported `objects` objects done on stderr,
// and returns its exit code (-1 if it did not end by itself).
int signalledRun(const QStringList &args, const QString &dir, int objects, int signal)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setReadChannel(QProcess::StandardError);
    p.start(keliCalc(), args);
    QByteArray err;
    while (err.count("\n[") + err.startsWith('[') < objects && p.waitForReadyRead(60000))
        err += p.readAllStandardError();
    ::kill(pid_t(p.processId()), signal);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    return p.exitCode();
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void examplesGiveFiniteResults();
    void oneNumberOnPageWorkbookAndJson();
    void onePeriodPerCalculation();
    void parametersTravelWithTheWorkbook();
    void blockedWritesErrorReport();
    void fillFactorZeroAndAllZero();
    void usageErrors();
    void optionsChangeTheCalculation();
    void saveKeepsEnergiesAsEntered();
    void reportsNoneAndNoStopList();
    void eachRunReplacesTheLastReports();
    void pdfPagesAsPrinted();
    void batchMatchesSingleRuns();
    void batchInterruptedKeepsOnlyThisRun();
    void batchWithoutThreadsAndOddTexts();
    void summaryOfAnImbalanceBelowTheRange();

private:
    QTemporaryDir tmp;
    QString workDir; // holds the templates
};

void TestCli::initTestCase()
{
    QVERIFY2(QFileInfo(keliCalc()).isExecutable(), qPrintable(keliCalc()));
    QVERIFY(tmp.isValid());
    workDir = tmp.filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(workDir));
    const QDir templates(testutil::sourcePath(QStringLiteral("templates")));
    for (const QString &name : templates.entryList({QStringLiteral("*.xlsx")}, QDir::Files))
        QVERIFY(QFile::copy(templates.filePath(name), QDir(workDir).filePath(name)));
}

void TestCli::examplesGiveFiniteResults()
{
    const QDir examples(testutil::sourcePath(QStringLiteral("examples")));
    const QStringList books = examples.entryList({QStringLiteral("*.xlsx")}, QDir::Files);
    QVERIFY(!books.isEmpty());
    for (const QString &book : books) {
        const QString source = examples.filePath(book);
        const QByteArray before = fileHash(source);
        const QString json = tmp.filePath(book + QStringLiteral(".json"));
        const Run r = run({QStringLiteral("--reports"), QStringLiteral("none"), QStringLiteral("--json"), json, source},
                          workDir);
        QVERIFY2(r.exitCode == 0, qPrintable(book + ": " + r.err + r.out));
        QCOMPARE(fileHash(source), before); // the source is never rewritten
        const QJsonObject o = readJson(json);
        QVERIFY2(!o.isEmpty(), qPrintable(book));
        QCOMPARE(o.value("outcome").toString(), QStringLiteral("calculated"));
        for (const QString &name : kRequiredNumbers)
            QVERIFY2(o.value(name).isDouble(), qPrintable(book + ": " + name));
        for (auto it = o.begin(); it != o.end(); ++it)
            if (it.value().isDouble())
                QVERIFY2(std::isfinite(it.value().toDouble()), qPrintable(it.key()));
        QVERIFY(o.value("intakeEnergy").toDouble() > 0);
        QCOMPARE(o.value("levelUndermetering").toArray().size(), 12);
        QCOMPARE(o.value("orderReleaseShares").toArray().size(), 4);
        QCOMPARE(o.value("groupCharacteristics").toArray().size(), 3);
        QVERIFY(o.value("groupCharacteristics").toArray().at(0).toObject().contains("yearsSinceVerification"));
        const int rows = o.value("rowUndermetering").toArray().size();
        QVERIFY(rows > 0);
        QCOMPARE(o.value("rowRandomError").toArray().size(), rows);
        QVERIFY(o.value("stopList").isArray());
        QVERIFY(!o.value("maxIntakePointName").toString().isEmpty());
        QVERIFY(r.out.contains(QStringLiteral("Итог: расчет выполнен")));
    }
}

// For each example, a figure of the balance page and of result.xlsx is the JSON's value rounded
// once to the decimals shown; Otchet1.xlsx keeps Кз and tg φ with the page's two decimals.
void TestCli::oneNumberOnPageWorkbookAndJson()
{
    const QDir examples(testutil::sourcePath(QStringLiteral("examples")));
    for (const QString &book : examples.entryList({QStringLiteral("*.xlsx")}, QDir::Files)) {
        const QString dir = tmp.filePath(QStringLiteral("once-") + book);
        QVERIFY(QDir().mkpath(dir));
        for (const QString &name : QDir(workDir).entryList({QStringLiteral("*.xlsx")}, QDir::Files))
            QVERIFY(QFile::copy(QDir(workDir).filePath(name), QDir(dir).filePath(name)));
        const QString json = QDir(dir).filePath(QStringLiteral("r.json"));
        const Run r = run({QStringLiteral("--no-stoplist"), QStringLiteral("--workdir"), dir, QStringLiteral("--json"),
                           json, examples.filePath(book)},
                          dir);
        QVERIFY2(r.exitCode == 0, qPrintable(book + ": " + r.err + r.out));
        const QJsonObject o = readJson(json);
        QVERIFY2(o.value("actualUpperPctNet").isDouble(), qPrintable(book));
        const auto once = [&](const QString &name, int n) { return keli::round(o.value(name).toDouble(), n); };
        QFile pageFile(QDir(dir).filePath(QStringLiteral("Баланс электроэнергии по приборам учета.html")));
        QVERIFY(pageFile.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(pageFile.readAll());
        QStringList cells; // the page's <td> texts in order
        QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("<td>(.*?)</td>")).globalMatch(page);
        while (it.hasNext())
            cells << it.next().captured(1).trimmed();
        QXlsx::Document result(QDir(dir).filePath(QStringLiteral("result.xlsx")));
        QStringList wrong;
        const auto check = [&](const QString &name, int n, const QString &shown, int row, int col) {
            const double want = once(name, n);
            if (shown != QString::number(want, 'f', n))
                wrong << QStringLiteral("%1 %2: page %3, JSON %4").arg(book, name, shown).arg(o.value(name).toDouble(), 0, 'g', 17);
            // A number in the workbook (a text would not sum), the same value.
            const QVariant inBook = result.read(row, col);
            if (inBook.userType() != QMetaType::Double || inBook.toDouble() != want)
                wrong << QStringLiteral("%1 %2: result.xlsx %3").arg(book, name, inBook.toString());
        };
        const struct { const char *line, *name; int decimals, row; } balance[] = {
            {"1.", "intakeEnergy", 3, 4}, {"2.", "externalReleaseEnergy", 3, 5}, {"5.", "ownNeedsEnergy", 3, 8},
            {"6.", "householdNeedsEnergy", 3, 9}, {"7.", "actualLoss", 3, 10}, {"7.1", "actualLossPctIntake", 2, 11},
            {"7.2", "actualLossPctNet", 2, 12}, {"9.", "commercialLoss", 3, 14},
            {"9.1", "commercialLossPctIntake", 2, 15}, {"9.2", "commercialLossPctNet", 2, 16}};
        for (const auto &b : balance)
            check(QLatin1String(b.name), b.decimals, cells.value(cells.indexOf(QLatin1String(b.line)) + 2), b.row, 4);
        const char *labels[5] = {"Потери, обусловленные фактическими", "То же, обусловленные нормативными",
                                 "Резерв снижения потерь", "Небаланс, обусловленный фактическими",
                                 "Нормативный небаланс"};
        const QStringList names[5] = {{"actualUpper", "actualLower", "actualSystematic", "actualRandom"},
                                      {"normativeUpper", "normativeLower", "normativeSystematic", "normativeRandom"},
                                      {"excessUpper", "excessLower", "excessSystematic", "excessRandom"},
                                      {"actualWithLossesUpper", "actualWithLossesLower", "actualWithLossesMid",
                                       "actualWithLossesRandom"},
                                      {"normativeWithLossesUpper", "normativeWithLossesLower",
                                       "normativeWithLossesMid", "normativeWithLossesRandom"}};
        for (int block = 0; block < 5; ++block) {
            const int label = cells.indexOf(QRegularExpression(QStringLiteral("^") + QString::fromUtf8(labels[block]) + ".*"));
            QVERIFY2(label >= 0, labels[block]);
            const QString suffixes[3] = {QString(), QStringLiteral("PctIntake"), QStringLiteral("PctNet")};
            for (int c = 0; c < 3; ++c) {
                const QStringList shown = cells.value(label + 2 + c).split(QStringLiteral("<br>"));
                QCOMPARE(shown.size(), 4);
                for (int k = 0; k < 4; ++k)
                    check(names[block][k] + suffixes[c], c == 0 ? 3 : 2, shown[k], 20 + 4 * block + k, 5 + c);
            }
        }
        // Line 6: one value and its two percentages, 3 decimals each.
        const int order = cells.indexOf(QStringLiteral("Размах"));
        check(QStringLiteral("combinedRandomWithLosses"), 3, cells.value(order + 1), 40, 5);
        check(QStringLiteral("combinedRandomWithLossesPctIntake"), 3, cells.value(order + 2), 40, 6);
        check(QStringLiteral("combinedRandomWithLossesPctNet"), 3, cells.value(order + 3), 40, 7);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));

        // Otchet1.xlsx: the metering-point rows (delivery code 1 in column 21) in the source's order.
        Dataset ds;
        ds.workbookPath = examples.filePath(book);
        QVERIFY(readXLSwriteDB(ds).ok);
        QXlsx::Document report1(QDir(dir).filePath(QStringLiteral("Otchet1.xlsx")));
        int p = 0;
        for (int row = 9; row <= report1.lastRow(); ++row) {
            if (report1.read(row, 21).toInt() != 1)
                continue;
            QCOMPARE(report1.read(row, 16).toDouble(), keli::round(ds.fillFactor.value(p), 2));
            QCOMPARE(report1.read(row, 17).toDouble(), keli::round(ds.tanPhi.value(p), 2));
            ++p;
        }
        QCOMPARE(p, o.value("rowUndermetering").toArray().size());
    }
}

// The March workbook under --month 2: February's days, ages and headings, and a word on stderr;
// without --month the stored March.
void TestCli::onePeriodPerCalculation()
{
    const QDir examples(testutil::sourcePath(QStringLiteral("examples")));
    const QStringList march = examples.entryList({QStringLiteral("*март_2024.xlsx")}, QDir::Files);
    QCOMPARE(march.size(), 1);
    const QString source = examples.filePath(march[0]);
    const QString dir = tmp.filePath(QStringLiteral("february"));
    QVERIFY(QDir().mkpath(dir));
    for (const QString &name : QDir(workDir).entryList({QStringLiteral("*.xlsx")}, QDir::Files))
        QVERIFY(QFile::copy(QDir(workDir).filePath(name), QDir(dir).filePath(name)));
    const struct { QStringList options; int month, days; bool notice; } cases[] = {
        {{QStringLiteral("--month"), QStringLiteral("2")}, 2, 29, true},
        {{}, 3, 31, false}};
    for (const auto &c : cases) {
        const QString json = QDir(dir).filePath(QStringLiteral("period.json"));
        const Run r = run(c.options + QStringList{QStringLiteral("--workdir"), dir, QStringLiteral("--json"),
                                                   json, source},
                          tmp.path());
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(r.err.contains(QStringLiteral("в книге сохранен период март 2024 года")), c.notice);
        const QJsonObject period = readJson(json).value("period").toObject();
        QCOMPARE(period.value("month").toInt(), c.month);
        QCOMPARE(period.value("year").toInt(), 2024);
        QCOMPARE(period.value("days").toInt(), c.days);
        QStringList headings;
        const QStringList pages = QDir(dir).entryList({QStringLiteral("*.html")}, QDir::Files);
        for (const QString &page : pages) {
            QFile f(QDir(dir).filePath(page));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString html = QString::fromUtf8(f.readAll());
            QVERIFY2(html.contains(c.month == 2 ? QStringLiteral("февраль 2024") : QStringLiteral("март 2024"))
                         && !html.contains(c.month == 2 ? QStringLiteral("март 2024") : QStringLiteral("февраль 2024")),
                     qPrintable(page));
            headings << page;
        }
        QVERIFY(headings.size() >= 2);
    }
}

// Releases and correction factors saved in the workbook are used as keli uses them; options stand
// over them.
void TestCli::parametersTravelWithTheWorkbook()
{
    Dataset ds = smallObject();
    ds.networkRelease[0] = 1;
    ds.networkRelease[2] = 3;
    ds.correctionFactor[0] = QStringLiteral("1.10");
    const QString source = saveDataset(ds, tmp.filePath(QStringLiteral("own.xlsx")));
    const QList<QPair<QStringList, QVector<double>>> runs = {
        {{}, {1100, 4}}, {{QStringLiteral("--releases=0,0,0.5,0")}, {1100, 0.5}},
        {{QStringLiteral("--correction=1,1,1")}, {1000, 4}}};
    for (const auto &given : runs) {
        const Run r = run(given.first + QStringList{QStringLiteral("--reports=none"),
                                                    QStringLiteral("--json=own.json"), source},
                          tmp.path());
        QCOMPARE(r.exitCode, 0);
        const QJsonObject o = readJson(tmp.filePath(QStringLiteral("own.json")));
        QCOMPARE(QVector<double>({o.value("intakeEnergy").toDouble(), o.value("orderReleaseTotal").toDouble()}),
                 given.second);
    }
}

void TestCli::blockedWritesErrorReport()
{
    Dataset ds = smallObject();
    ds.verificationDate[1] = 13.05; // month 13: an error
    const QString source = saveDataset(ds, tmp.filePath(QStringLiteral("blocked.xlsx")));
    QVERIFY(!source.isEmpty());
    const QString dir = tmp.filePath(QStringLiteral("blocked"));
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(QFile::copy(QDir(workDir).filePath(QStringLiteral("СтоплистОтчет.xlsx")),
                        QDir(dir).filePath(QStringLiteral("СтоплистОтчет.xlsx"))));
    const Run r = run({QStringLiteral("--workdir"), dir, QStringLiteral("--json"), QStringLiteral("b.json"), source},
                      tmp.path());
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.contains(QStringLiteral("В исходных данных есть критические ошибки")));
    const QJsonObject o = readJson(tmp.filePath(QStringLiteral("b.json"))); // relative to the start directory
    QCOMPARE(o.value("outcome").toString(), QStringLiteral("blocked"));
    const QJsonArray stop = o.value("stopList").toArray();
    QCOMPARE(stop.size(), 1);
    const QJsonObject e = stop.at(0).toObject();
    QCOMPARE(e.value("fileRow").toInt(), 3);
    QCOMPARE(e.value("table").toInt(), 2);
    QCOMPARE(e.value("rowInTable").toInt(), 1);
    QCOMPARE(e.value("name").toString(), QStringLiteral("Точка 2"));
    QCOMPARE(e.value("parameter").toString(), QStringLiteral("Номер месяца"));
    QCOMPARE(e.value("value").toDouble(), 13.05);
    QCOMPARE(e.value("message").toString(), QStringLiteral("Номер месяца не  д.быть больше 12"));
    QCOMPARE(e.value("kind").toString(), QStringLiteral("Ошибка"));
    QCOMPARE(o.value("actualUpper").toDouble(), 0.0); // not reached
    QVERIFY(QFile::exists(QDir(dir).filePath(QStringLiteral("Ошибки и предупреждения программы.html"))));
    QVERIFY(!QFile::exists(QDir(dir).filePath(QStringLiteral("Otchet1.xlsx"))));
    QVERIFY(!QFile::exists(QDir(dir).filePath(QStringLiteral("result.xlsx"))));
}

void TestCli::fillFactorZeroAndAllZero()
{
    Dataset ds = smallObject();
    ds.fillFactor[2] = 0;
    QString source = saveDataset(ds, tmp.filePath(QStringLiteral("kz0.xlsx")));
    Run r = run({QStringLiteral("--json"), QStringLiteral("kz0.json"), source}, tmp.path());
    QCOMPARE(r.exitCode, 1);
    QJsonObject o = readJson(tmp.filePath(QStringLiteral("kz0.json")));
    QCOMPARE(o.value("outcome").toString(), QStringLiteral("fillFactorZero"));
    QCOMPARE(o.value("message").toString(), QStringLiteral("КЗ равно  0 в строке 4 группы 3 - 1"));

    ds = smallObject();
    for (double &w : ds.energy)
        w = 0;
    source = saveDataset(ds, tmp.filePath(QStringLiteral("zero.xlsx")));
    r = run({QStringLiteral("--json"), QStringLiteral("zero.json"), source}, tmp.path());
    QCOMPARE(r.exitCode, 1);
    o = readJson(tmp.filePath(QStringLiteral("zero.json")));
    QCOMPARE(o.value("outcome").toString(), QStringLiteral("allEnergiesZero"));
    QCOMPARE(o.value("message").toString(), QStringLiteral("Все энергии нулевые. Расчет невозможен"));
}

void TestCli::usageErrors()
{
    const QString source = saveDataset(smallObject(), tmp.filePath(QStringLiteral("usage.xlsx")));
    QFile junk(tmp.filePath(QStringLiteral("junk.xlsx")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a workbook");
    junk.close();
    const QList<QStringList> bad = {
        {},
        {QStringLiteral("--month"), QStringLiteral("14"), source},
        {QStringLiteral("--month"), QStringLiteral("x"), source},
        {QStringLiteral("--reports"), QStringLiteral("3"), source},
        {QStringLiteral("--correction"), QStringLiteral("1,1"), source},
        {QStringLiteral("--releases"), QStringLiteral("1,2,3,nan"), source},
        // More decimals than the dialog's fields hold, or outside their ranges.
        {QStringLiteral("--correction"), QStringLiteral("1.005,1,1"), source},
        {QStringLiteral("--correction"), QStringLiteral("1,1,10"), source},
        {QStringLiteral("--releases"), QStringLiteral("1.234,0,0,0"), source},
        {QStringLiteral("--releases"), QStringLiteral("0,0,0,-1"), source},
        {QStringLiteral("--frobnicate"), source},
        {QStringLiteral("--json")},
        {source, source},
        {tmp.filePath(QStringLiteral("missing.xlsx"))},
        {junk.fileName()},
        {QStringLiteral("--out"), QStringLiteral("out")},
        {QStringLiteral("--out"), QStringLiteral("out"), QStringLiteral("--jobs"), QStringLiteral("0"), source},
        {QStringLiteral("--jobs"), QStringLiteral("2"), source},
        {QStringLiteral("--out"), QStringLiteral("out"), QStringLiteral("--save"), QStringLiteral("s.xlsx"), source},
    };
    for (const QStringList &args : bad) {
        const Run r = run(args, tmp.path());
        QVERIFY2(r.exitCode == 2, qPrintable(args.join(' ') + " -> " + QString::number(r.exitCode)));
        // The message is Russian: no Latin word left once the options, values and paths are out.
        const QString said = QRegularExpression(QStringLiteral("^keli-calc: .*$"), QRegularExpression::MultilineOption)
                                 .match(r.err).captured();
        QString message = QString(said).remove(QStringLiteral("keli-calc"));
        for (const QString &a : args)
            message.remove(a);
        message.remove(QRegularExpression(QStringLiteral("--[a-z-]+|\\S*/\\S*|\\bnone\\b|xlsx")));
        QVERIFY2(message.contains(QRegularExpression(QStringLiteral("[а-я]{3}")))
                     && !message.contains(QRegularExpression(QStringLiteral("[A-Za-z]{3}"))),
                 qPrintable(args.join(' ') + " -> " + r.err));
    }
    // An unknown option is named as such wherever it stands, and takes no argument as its value.
    for (const QStringList &args : {QStringList{QStringLiteral("--frobnicate")},
                                    QStringList{QStringLiteral("--frobnicate"), source},
                                    QStringList{source, QStringLiteral("--frobnicate=1")},
                                    QStringList{QStringLiteral("--frobnicate"), QStringLiteral("--help")}}) {
        const Run r = run(args, tmp.path());
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.startsWith(QStringLiteral("keli-calc: неизвестный параметр --frobnicate ")), qPrintable(r.err));
    }
    QCOMPARE(fileHash(junk.fileName()), QCryptographicHash::hash("not a workbook", QCryptographicHash::Sha256));

    // A workbook that stores no period needs --month.
    Dataset noPeriod = smallObject();
    noPeriod.calcMonth = 0;
    const QString undated = saveDataset(noPeriod, tmp.filePath(QStringLiteral("undated.xlsx")));
    QVERIFY(!undated.isEmpty());
    QCOMPARE(run({undated}, tmp.path()).exitCode, 2);
    QCOMPARE(run({QStringLiteral("--reports"), QStringLiteral("none"), QStringLiteral("--month"),
                  QStringLiteral("3"), undated}, tmp.path()).exitCode, 0);
    QVERIFY(run({QStringLiteral("--help")}, tmp.path()).out.startsWith(QStringLiteral("Запуск: keli-calc")));
    QFile cmake(testutil::sourcePath(QStringLiteral("CMakeLists.txt")));
    QVERIFY(cmake.open(QIODevice::ReadOnly));
    const QString version = QString::fromUtf8(cmake.readAll()).section(QStringLiteral("project(keli VERSION "), 1).section(' ', 0, 0);
    QCOMPARE(run({QStringLiteral("--version"), source}, tmp.path()).out, QStringLiteral("keli-calc %1\n").arg(version));
}

void TestCli::optionsChangeTheCalculation()
{
    const QString source = saveDataset(smallObject(), tmp.filePath(QStringLiteral("options.xlsx")));
    Run r = run({QStringLiteral("--reports=none"), QStringLiteral("--json"), QStringLiteral("plain.json"), source},
                tmp.path());
    QCOMPARE(r.exitCode, 0);
    const QJsonObject plain = readJson(tmp.filePath(QStringLiteral("plain.json")));
    QCOMPARE(plain.value("intakeEnergy").toDouble(), 1000.0);
    QCOMPARE(plain.value("orderReleaseTotal").toDouble(), 0.0);

    r = run({QStringLiteral("--reports"), QStringLiteral("none"), QStringLiteral("--correction"),
             QStringLiteral("1.10,1,2"), QStringLiteral("--releases"), QStringLiteral("1,0,3,0"),
             QStringLiteral("--month"), QStringLiteral("2"), QStringLiteral("--json"),
             QStringLiteral("options.json"), source},
            tmp.path());
    QCOMPARE(r.exitCode, 0);
    const QJsonObject o = readJson(tmp.filePath(QStringLiteral("options.json")));
    QCOMPARE(o.value("intakeEnergy").toDouble(), 1100.0);
    QCOMPARE(o.value("externalReleaseEnergy").toDouble(), 400.0);
    QCOMPARE(o.value("ownReleaseEnergy").toDouble(), 1000.0);
    QCOMPARE(o.value("orderReleaseTotal").toDouble(), 4.0);
    QCOMPARE(o.value("orderReleaseShares").toArray().at(2).toDouble(), 0.75);
    // February 2024 has 29 days: a higher load factor than in March, so a different CT error.
    QVERIFY(o.value("actualUpper").toDouble() != plain.value("actualUpper").toDouble());

    // keli.ini of the working folder gives what the options do not; a value no field takes counts
    // as absent; the options stand over it.
    const QString iniDir = tmp.filePath(QStringLiteral("ini"));
    QVERIFY(QDir().mkpath(iniDir));
    QFile ini(QDir(iniDir).filePath(QStringLiteral("keli.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[General]\notp1=1.5\notp3=2\ncorrection1=1.10\ncorrection2=12\ncorrection3=\"2,00\"\n");
    ini.close();
    const QList<QPair<QStringList, QVector<double>>> runs = {
        {{}, {1100, 400, 1000, 3.5}},
        {{QStringLiteral("--correction=1,1,1")}, {1000, 400, 500, 3.5}},
        {{QStringLiteral("--releases=0,0,0.5,0")}, {1100, 400, 1000, 0.5}}};
    for (const auto &given : runs) {
        r = run(given.first + QStringList{QStringLiteral("--reports=none"), QStringLiteral("--workdir=ini"),
                                          QStringLiteral("--json=ini.json"), source}, tmp.path());
        QCOMPARE(r.exitCode, 0);
        const QJsonObject i = readJson(tmp.filePath(QStringLiteral("ini.json")));
        const QVector<double> got = {i.value("intakeEnergy").toDouble(), i.value("externalReleaseEnergy").toDouble(),
                                     i.value("ownReleaseEnergy").toDouble(), i.value("orderReleaseTotal").toDouble()};
        QCOMPARE(got, given.second);
    }
}

void TestCli::saveKeepsEnergiesAsEntered()
{
    const Dataset original = smallObject();
    const QString source = saveDataset(original, tmp.filePath(QStringLiteral("save.xlsx")));
    const Run r = run({QStringLiteral("--reports"), QStringLiteral("none"), QStringLiteral("--correction"),
                       QStringLiteral("2,2,2"), QStringLiteral("--month"), QStringLiteral("13"),
                       QStringLiteral("--save"), QStringLiteral("saved"), source},
                      tmp.path());
    QCOMPARE(r.exitCode, 0);
    Dataset back;
    back.workbookPath = tmp.filePath(QStringLiteral("saved.xlsx")); // ".xlsx" appended
    back.calcMonth = 13;
    back.calcYear = 2024;
    QVERIFY(readXLSwriteDB(back).ok);
    QString difference;
    QVERIFY2(sameStoredContent(original, back, &difference), qPrintable(difference));
    QCOMPARE(back.energy, original.energy);
    QCOMPARE(back.fileMonth, 13); // the calculation period
    QCOMPARE(back.fileYear, 2024);
}

void TestCli::reportsNoneAndNoStopList()
{
    Dataset ds = smallObject();
    ds.ctRatedCurrent[0] = 125; // a warning
    const QString source = saveDataset(ds, tmp.filePath(QStringLiteral("warn.xlsx")));
    const QString dir = tmp.filePath(QStringLiteral("quiet"));
    QVERIFY(QDir().mkpath(dir));
    Run r = run({QStringLiteral("--reports"), QStringLiteral("none"), QStringLiteral("--no-stoplist"),
                 QStringLiteral("--workdir"), QStringLiteral("quiet"), source},
                tmp.path());
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains(QStringLiteral("ошибок 0, предупреждений 1")));
    QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList());

    // Without --no-stoplist the error page follows the (absent) reports.
    r = run({QStringLiteral("--reports"), QStringLiteral("none"), QStringLiteral("--workdir"), dir, source},
            tmp.path());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("Ошибки и предупреждения программы.html")});

    // Report 2 only, from the templates.
    r = run({QStringLiteral("--reports"), QStringLiteral("2"), QStringLiteral("--no-stoplist"),
             QStringLiteral("--workdir"), workDir, source},
            tmp.path());
    QCOMPARE(r.exitCode, 0);
    QVERIFY(QFile::exists(QDir(workDir).filePath(QStringLiteral("result.xlsx"))));
    QVERIFY(QFile::exists(QDir(workDir).filePath(QStringLiteral("Баланс электроэнергии по приборам учета.html"))));
    QVERIFY(!QFile::exists(QDir(workDir).filePath(QStringLiteral("Otchet1.xlsx"))));
}

// Blocked, clean, Report No. 1 only, blocked again in one folder: after each run the folder holds
// this run's report files only, beside the files that are not reports, and the stop list holds
// entries only after a blocked run.
void TestCli::eachRunReplacesTheLastReports()
{
    Dataset ds = smallObject();
    const QString clean = saveDataset(ds, tmp.filePath(QStringLiteral("clean.xlsx")));
    ds.verificationDate[1] = 13.05; // month 13: an error
    const QString blocked = saveDataset(ds, tmp.filePath(QStringLiteral("blocked-again.xlsx")));
    Dataset zero = smallObject();
    zero.energy.fill(0);
    const QString allZero = saveDataset(zero, tmp.filePath(QStringLiteral("all-zero.xlsx")));
    const QDir dir(tmp.filePath(QStringLiteral("rerun")));
    const QDir templates(testutil::sourcePath(QStringLiteral("templates")));
    QVERIFY(!clean.isEmpty() && !blocked.isEmpty() && !allZero.isEmpty() && QDir().mkpath(dir.path()));
    for (const QString &name : templates.entryList(QDir::Files)) // the templates and two files of others
        QVERIFY(QFile::copy(templates.filePath(name), dir.filePath(name)));
    const QStringList kept = dir.entryList(QDir::Files);

    const auto page = [](const QString &title) { return QStringList{title + ".html", title + ".pdf"}; };
    const QStringList r1 = page("Параметры системы учета электроэнергии") << "Otchet1.xlsx";
    const QStringList r2 = page("Баланс электроэнергии по приборам учета") << "result.xlsx";
    const QStringList errors = page("Ошибки и предупреждения программы");
    const QString runs[5][2] = {{blocked, "1,2"}, {clean, "1,2"}, {clean, "1"}, {blocked, "1,2"}, {allZero, "1,2"}};
    const QStringList written[5] = {errors, r1 + r2, r1, errors, {}};
    for (int k = 0; k < 5; ++k) {
        const bool blockedRun = runs[k][0] == blocked;
        const Run r = run({"--pdf", "--reports", runs[k][1], "--workdir", dir.path(), runs[k][0]}, tmp.path());
        QCOMPARE(r.exitCode, runs[k][0] == clean ? 0 : 1);
        QStringList files = dir.entryList(QDir::Files), want = kept + written[k];
        files.sort();
        want.sort();
        QCOMPARE(files, want);
        QXlsx::Document stopList(dir.filePath(QStringLiteral("СтоплистОтчет.xlsx")));
        stopList.selectSheet(QStringLiteral("Лист1"));
        QCOMPARE(stopList.read(5, 5).toString(), blockedRun ? QStringLiteral("Точка 2") : QString());
    }
}

void TestCli::pdfPagesAsPrinted()
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
    if (pdftotext.isEmpty() || pdfinfo.isEmpty())
        QSKIP("poppler-utils is needed to read the PDF pages");
    const QDir examples(testutil::sourcePath(QStringLiteral("examples")));
    for (const QString &book : examples.entryList({QStringLiteral("*.xlsx")}, QDir::Files)) {
        const QString dir = tmp.filePath(QStringLiteral("pdf-") + book);
        QVERIFY(QDir().mkpath(dir));
        for (const QString &name : QDir(workDir).entryList({QStringLiteral("*.xlsx")}, QDir::Files))
            QVERIFY(QFile::copy(QDir(workDir).filePath(name), QDir(dir).filePath(name)));
        const Run r = run({QStringLiteral("--pdf"), QStringLiteral("--workdir"), dir, examples.filePath(book)},
                          workDir);
        QVERIFY2(r.exitCode == 0, qPrintable(book + ": " + r.err + r.out));
        const QStringList pages = QDir(dir).entryList({QStringLiteral("*.html")}, QDir::Files);
        QVERIFY(pages.size() >= 2);
        for (const QString &page : pages) {
            const QString pdf = QDir(dir).filePath(QFileInfo(page).completeBaseName() + QStringLiteral(".pdf"));
            const QString what = book + QStringLiteral(": ") + pdf;
            QVERIFY2(QFileInfo(pdf).size() > 0, qPrintable(what));
            // The wide metering-point table goes on landscape sheets, the balance on portrait.
            const QString info = runTool(pdfinfo, {pdf});
            const QRegularExpressionMatch size = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)"))
                                                     .match(info);
            QVERIFY2(size.hasMatch(), qPrintable(what));
            const bool landscape = size.captured(1).toDouble() > size.captured(2).toDouble();
            if (page.startsWith(QStringLiteral("Параметры")))
                QVERIFY2(landscape, qPrintable(what));
            if (page.startsWith(QStringLiteral("Баланс")))
                QVERIFY2(!landscape, qPrintable(what));

            // Every number of the page is printed whole: none broken across lines, none cut off.
            QFile html(QDir(dir).filePath(page));
            QVERIFY(html.open(QIODevice::ReadOnly));
            const QString shown = QString::fromUtf8(html.readAll()).replace(QRegularExpression(QStringLiteral("<[^>]*>")), QStringLiteral(" "));
            const QString text = runTool(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
            const int pageCount = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1).toInt();
            QVERIFY2(pageCount > 0 && text.count(QStringLiteral("Страница ")) == pageCount
                         && text.contains(QStringLiteral("Страница %1 из %1").arg(pageCount)),
                     qPrintable(what)); // every page numbered
            const QMap<QString, int> printed = decimalNumbers(text);
            const QMap<QString, int> wanted = decimalNumbers(shown);
            QVERIFY(!wanted.isEmpty());
            for (auto it = wanted.begin(); it != wanted.end(); ++it)
                QVERIFY2(printed.value(it.key()) >= it.value(),
                         qPrintable(QStringLiteral("%1: %2 printed %3 times, shown %4")
                                        .arg(what, it.key()).arg(printed.value(it.key())).arg(it.value())));
        }
    }
}

// A batch of the examples, an unreadable file, a blocked object, an object outside its permissible
// range and one file name twice: each entry and summary row carries exactly what the object's own
// run gives, the bad rows say why, and nothing is written outside DIR but the named JSON.
void TestCli::batchMatchesSingleRuns()
{
    const QDir root(tmp.filePath(QStringLiteral("batch")));
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("src/other"))));
    const QDir examples(testutil::sourcePath(QStringLiteral("examples")));
    const QStringList books = examples.entryList({QStringLiteral("*.xlsx")}, QDir::Files, QDir::Name);
    for (const QString &book : books)
        QVERIFY(QFile::copy(examples.filePath(book), root.filePath(QStringLiteral("src/") + book)));
    // The desktop program's backup beside a workbook is no object of its own.
    QVERIFY(makeOpeningBackup(root.filePath(QStringLiteral("src/") + books[0])).ok);
    QVERIFY(QFile::copy(examples.filePath(books[0]), root.filePath(QStringLiteral("src/other/") + books[0])));
    QFile junk(root.filePath(QStringLiteral("src/junk.xlsx")));
    QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("PK not really") > 0);
    junk.close();
    // Lock files, hidden files and the program's own workbooks are skipped; a name ending in "B"
    // with no workbook it could back up is an object.
    for (const QString &skipped : {QStringLiteral("~$lock.xlsx"), QStringLiteral(".hidden.xlsx"),
                                   QStringLiteral("Otchet1.xlsx"), QStringLiteral("svodkaEmpty.xlsx")})
        QVERIFY(QFile::copy(examples.filePath(books[0]), root.filePath(QStringLiteral("src/") + skipped)));
    QVERIFY(!saveDataset(smallObject(), root.filePath(QStringLiteral("src/loneB.xlsx"))).isEmpty());
    Dataset blocked = smallObject();
    blocked.verificationDate[1] = 13.05;
    QVERIFY(!saveDataset(blocked, root.filePath(QStringLiteral("src/blocked.xlsx"))).isEmpty());
    QVERIFY(!saveDataset(smallObject(), root.filePath(QStringLiteral("src/outside.xlsx"))).isEmpty());

    const QMap<QString, QByteArray> before = tree(tmp.path(), {root.filePath(QStringLiteral("out"))});
    const Run r = run({QStringLiteral("--workdir"), workDir, QStringLiteral("--jobs"), QStringLiteral("3"),
                       QStringLiteral("--out"), QStringLiteral("out"), QStringLiteral("--json"),
                       QStringLiteral("all.json"), QStringLiteral("src"), QStringLiteral("src/other/") + books[0]},
                      root.path());
    QCOMPARE(r.exitCode, 1); // the unreadable and the blocked object
    QCOMPARE(run({QStringLiteral("--workdir"), workDir, QStringLiteral("--out"), QStringLiteral("out/all-good"),
                  QStringLiteral("src/outside.xlsx")}, root.path()).exitCode, 0);
    // Every object calculated but the summary not written: not a success.
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("out/no-summary/Сводка.csv"))));
    const Run noSummary = run({QStringLiteral("--workdir"), workDir, QStringLiteral("--out"),
                               QStringLiteral("out/no-summary"), QStringLiteral("src/outside.xlsx")}, root.path());
    QCOMPARE(noSummary.exitCode, 1);
    QVERIFY2(noSummary.err.contains(QStringLiteral("Сводка.csv")), qPrintable(noSummary.err));
    QMap<QString, QByteArray> after = tree(tmp.path(), {root.filePath(QStringLiteral("out"))});
    QVERIFY(after.remove(root.filePath(QStringLiteral("all.json"))));
    QCOMPARE(after, before);

    // In name order, folders first as given, then the file given on its own.
    QStringList sources{QStringLiteral("src/blocked.xlsx"), QStringLiteral("src/junk.xlsx"),
                        QStringLiteral("src/loneB.xlsx"), QStringLiteral("src/outside.xlsx")};
    for (const QString &book : books)
        sources << QStringLiteral("src/") + book;
    sources.sort();
    sources << QStringLiteral("src/other/") + books[0];
    const QJsonArray entries = readJson(root.filePath(QStringLiteral("all.json"))).value("objects").toArray();
    const QStringList csv = csvLines(root.filePath(QStringLiteral("out/Сводка.csv")));
    QCOMPARE(entries.size(), sources.size());
    QCOMPARE(csv.size(), sources.size() + 1);

    const QStringList figures = {"intakeEnergy", "netSupply", "commercialLoss", "commercialLossPctIntake",
                                 "normativeWithLossesLower", "normativeWithLossesUpper", "", "combinedRandomWithLosses"};
    for (int k = 0; k < sources.size(); ++k) {
        const QJsonObject batch = entries.at(k).toObject();
        const QStringList row = csvFields(csv[k + 1]);
        QCOMPARE(batch.value("source").toString(), sources[k]);
        QCOMPARE(row.value(1), sources[k]);
        const QString outcome = batch.value("outcome").toString();
        if (sources[k].endsWith(QLatin1String("junk.xlsx"))) {
            QCOMPARE(outcome, QStringLiteral("unreadable"));
            QVERIFY2(row.value(4).startsWith(QStringLiteral("не прочитан: ")), qPrintable(row.value(4)));
            continue;
        }
        const QString json = tmp.filePath(QStringLiteral("single%1.json").arg(k));
        QCOMPARE(run({QStringLiteral("--reports"), QStringLiteral("none"), QStringLiteral("--json"), json,
                      root.filePath(sources[k])}, workDir).exitCode, outcome == "calculated" ? 0 : 1);
        QJsonObject single = readJson(json);
        single.insert("source", sources[k]);
        QCOMPARE(batch, single);
        QCOMPARE(row.value(5).toInt(), single.value("errorCount").toInt());
        QCOMPARE(row.value(6).toInt(), single.value("warningCount").toInt());
        // The period most objects have (March 2024) stands plain, every other one is marked.
        QCOMPARE(row.value(3).endsWith(QStringLiteral(" (иной период)")), !row.value(3).startsWith(QStringLiteral("март 2024")));
        if (outcome != QLatin1String("calculated")) {
            QVERIFY2(row.value(4).contains(QStringLiteral("критические ошибки")) && row.value(4).contains("Точка 2"),
                     qPrintable(row.value(4)));
            QVERIFY(row.value(7).isEmpty());
            continue;
        }
        QCOMPARE(row.value(4), QStringLiteral("рассчитан"));
        const QJsonObject period = single.value("period").toObject();
        QVERIFY(row.value(3).startsWith(com::periodText(period.value("month").toInt(), period.value("year").toInt())));
        // Each figure is the JSON's rounded once: to 3 decimals, percents to 2.
        const auto shows = [&](int column, double exact, int decimals) {
            const QString field = row.value(column);
            const bool ok = std::abs(csvNumber(field) - exact) <= 0.5 * std::pow(10.0, -decimals) + 1e-9
                            && field.section(QLatin1Char(','), 1).size() <= decimals;
            return ok ? true : (qWarning() << column << field << exact, false);
        };
        for (int f = 0; f < figures.size(); ++f)
            if (!figures[f].isEmpty())
                QVERIFY(shows(7 + f, single.value(figures[f]).toDouble(), f == 3 ? 2 : 3));
        const double imbalance = single.value("commercialLoss").toDouble();
        const bool inside = single.value("normativeWithLossesLower").toDouble() <= imbalance
                            && imbalance <= single.value("normativeWithLossesUpper").toDouble();
        QCOMPARE(row.value(13), inside ? QStringLiteral("да") : QStringLiteral("нет"));
        // The larger of the two largest undermeterings, with its point.
        const double intake = single.value("maxIntakeUndermetering").toDouble();
        const double release = single.value("maxReleaseUndermetering").toDouble();
        QCOMPARE(row.value(15), single.value(intake >= release ? "maxIntakePointName" : "maxReleasePointName").toString());
        QVERIFY(shows(16, std::max(intake, release), 3));
        QCOMPARE(row.value(13) == QStringLiteral("нет"),
                 sources[k].endsWith(QLatin1String("outside.xlsx")) || sources[k].endsWith(QLatin1String("loneB.xlsx")));
    }
    // Each object's reports in its own folder; the second file of one name gets " (2)".
    const QDir out(root.filePath(QStringLiteral("out")));
    const QString first = QFileInfo(books[0]).completeBaseName();
    for (const QString &folder : {first, first + QStringLiteral(" (2)"), QStringLiteral("outside")})
        QVERIFY2(QFile::exists(out.filePath(folder + QStringLiteral("/Otchet1.xlsx"))), qPrintable(folder));
    // Every object fills its own copy of a template.
    QXlsx::Document other(out.filePath(first + QStringLiteral(" (2)/Otchet1.xlsx"))),
        outside(out.filePath(QStringLiteral("outside/Otchet1.xlsx")));
    QCOMPARE(outside.read(2, 2).toString(), smallObject().objectName);
    QCOMPARE(other.read(2, 2).toString(), csvFields(csv.last()).value(2));
    QVERIFY(QFile::exists(out.filePath(QStringLiteral("blocked/СтоплистОтчет.xlsx"))));
    QVERIFY(!out.exists(QStringLiteral("junk")));

    // The summary workbook reads back with openpyxl as the CSV has it, row 6 on, and opens in
    // LibreOffice without complaint.
    if (testutil::pythonHas(QStringLiteral("openpyxl"))) {
        bool ok = false;
        QString error;
        const QString rows = testutil::runPython(QStringLiteral(
            "import sys, openpyxl\n"
            "ws = openpyxl.load_workbook(sys.argv[1])['Лист1']\n"
            "marked = [str(cf.sqref) for cf in ws.conditional_formatting for r in cf.rules if r.formula == ['$N6=\"нет\"']]\n"
            "for n, row in enumerate(ws.iter_rows(min_row=6, values_only=True), start=6):\n"
            "    if row[0] is None: break  # the lines to sign follow a blank row\n"
            "    print(';'.join('' if v is None else repr(v) if isinstance(v, float) else str(v) for v in row)\n"
            "          + ';%s;%s' % (ws.row_dimensions[n].height, marked))\n"),
            {out.filePath(QStringLiteral("Сводка.xlsx"))}, &ok, &error);
        QVERIFY2(ok, qPrintable(error));
        const QStringList lines = rows.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), sources.size());
        for (int k = 0; k < lines.size(); ++k) {
            const QStringList book = lines[k].split(';'), text = csvFields(csv[k + 1]);
            for (int c = 7; c < text.size(); ++c)
                if (c != 13 && c != 15)
                    QVERIFY2(book.value(c).toDouble() == csvNumber(text[c]), qPrintable(book.value(c)));
            QCOMPARE(book.value(13), text.value(13));
            // Rows tall enough for their wrapped texts; the out-of-range mark covers every row.
            QVERIFY(book.value(17).toDouble() >= (text.value(4).size() > 60 ? 40 : 15));
            QCOMPARE(book.value(18), QStringLiteral("['A6:Q20005']"));
        }
        // Counts print whole; every column of energies names its unit in the heading.
        const QString shape = testutil::runPython(QStringLiteral(
            "import sys, openpyxl\n"
            "ws = openpyxl.load_workbook(sys.argv[1])['Лист1']\n"
            "print(' '.join(ws.cell(6, c).number_format for c in (1, 6, 7)))\n"
            "print(all('тыс' in (ws.cell(4, c).value or '') + (ws.cell(5, c).value or '')\n"
            "          for c in (8, 9, 15)) and 'тыс' in ws['L4'].value)\n"),
            {out.filePath(QStringLiteral("Сводка.xlsx"))}, &ok, &error);
        QCOMPARE(shape.split('\n', Qt::SkipEmptyParts), QStringList({"0 0 0", "True"}));
    }
    const QString soffice = testutil::soffice();
    if (!soffice.isEmpty()) {
        QTemporaryDir profile;
        QProcess p;
        p.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + profile.path(), QStringLiteral("--headless"),
                          QStringLiteral("--convert-to"), QStringLiteral("csv"), QStringLiteral("--outdir"),
                          profile.filePath(QStringLiteral("csv")), out.filePath(QStringLiteral("Сводка.xlsx"))});
        QVERIFY(p.waitForFinished(300000));
        const QString log = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        QVERIFY2(p.exitCode() == 0 && !log.contains(QStringLiteral("Error"), Qt::CaseInsensitive), qPrintable(log));
        QVERIFY2(QFile::exists(profile.filePath(QStringLiteral("csv/Сводка.csv"))), qPrintable(log));
    }
}

// A second run into the same DIR, over objects of which one became unreadable and with report 1
// only, interrupted after its third object: every folder holds this run's files or none, the summary
// lists every object with "прерван" on those not done, and the exit status names the signal.
void TestCli::batchInterruptedKeepsOnlyThisRun()
{
    const QDir root(tmp.filePath(QStringLiteral("interrupt")));
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("src"))));
    const QDir examples(testutil::sourcePath(QStringLiteral("examples")));
    const QString example = examples.filePath(examples.entryList({QStringLiteral("*.xlsx")}, QDir::Files).first());
    Dataset formula = smallObject();
    formula.objectName = QStringLiteral("=HYPERLINK(\"x\";\"y\")");
    QVERIFY(!saveDataset(formula, root.filePath(QStringLiteral("src/a-formula.xlsx"))).isEmpty());
    QVERIFY(QFile::copy(example, root.filePath(QStringLiteral("src/a-gone.xlsx"))));
    const int count = 18;
    for (int k = 1; k <= count - 2; ++k)
        QVERIFY(QFile::copy(example, root.filePath(QStringLiteral("src/b%1.xlsx").arg(k, 2, 10, QLatin1Char('0')))));
    const QStringList common = {QStringLiteral("--workdir"), workDir, QStringLiteral("--jobs"), QStringLiteral("1"),
                                QStringLiteral("--json"), QStringLiteral("all.json"), QStringLiteral("--out"),
                                QStringLiteral("out"), QStringLiteral("src")};
    QCOMPARE(run(common, root.path()).exitCode, 0);
    // The first object's period is not the one most have.
    const QStringList firstRun = csvLines(root.filePath(QStringLiteral("out/Сводка.csv")));
    QVERIFY(csvFields(firstRun.value(1)).value(3).endsWith(QStringLiteral(" (иной период)")));
    QVERIFY(!csvFields(firstRun.value(3)).value(3).endsWith(QStringLiteral(")")));
    QFile gone(root.filePath(QStringLiteral("src/a-gone.xlsx")));
    QVERIFY(gone.open(QIODevice::WriteOnly | QIODevice::Truncate) && gone.write("gone") == 4);
    gone.close();

    QCOMPARE(signalledRun(QStringList{QStringLiteral("--reports"), QStringLiteral("1")} + common, root.path(), 3, SIGINT),
             130);
    const QStringList csv = csvLines(root.filePath(QStringLiteral("out/Сводка.csv")));
    const QJsonArray entries = readJson(root.filePath(QStringLiteral("all.json"))).value("objects").toArray();
    QCOMPARE(csv.size(), count + 1);
    QCOMPARE(entries.size(), count);
    // A formula kept as text, the ";" and quotes of the name quoted.
    QCOMPARE(csvFields(csv[1]).value(2), QStringLiteral("'") + formula.objectName);
    QVERIFY(csv[1].contains(QStringLiteral(";\"'=HYPERLINK(\"\"x\"\";\"\"y\"\")\";")));
    QVERIFY(csvFields(csv[2]).value(4).startsWith(QStringLiteral("не прочитан")));
    int done = 0;
    for (int k = 0; k < count; ++k) {
        const QStringList row = csvFields(csv[k + 1]);
        const QString outcome = entries.at(k).toObject().value("outcome").toString();
        const QDir folder(root.filePath(QStringLiteral("out/") + QFileInfo(row.value(1)).completeBaseName()));
        if (row.value(4) == QStringLiteral("прерван")) {
            QCOMPARE(outcome, QStringLiteral("interrupted"));
            QVERIFY2(!folder.exists(), qPrintable(folder.path())); // the last run's files are gone
            continue;
        }
        QCOMPARE(done++, k); // nothing done after the first one interrupted
        QVERIFY(outcome != QStringLiteral("interrupted"));
        QCOMPARE(folder.exists(), k != 1); // the unreadable object keeps no old report files
        if (k != 1)
            QCOMPARE(folder.entryList({QStringLiteral("*.xlsx")}, QDir::Files), QStringList{QStringLiteral("Otchet1.xlsx")});
    }
    QVERIFY2(done >= 3 && done < count, qPrintable(QString::number(done)));

    // SIGTERM alike, with its own status.
    QCOMPARE(signalledRun(common, root.path(), 1, SIGTERM), 143);
    QVERIFY(csvLines(root.filePath(QStringLiteral("out/Сводка.csv"))).last().endsWith(QStringLiteral(";прерван;;;;;;;;;;;;")));
}

// Threads that cannot get their stacks (an address space smaller than one stack): the batch says
// so and calculates every object on the threads it has, instead of ending in std::terminate. Texts
// with quotes, backslashes and control characters come out of --json as they went in: a file name
// as given (it may hold any byte but "/"), point names as loaded.
void TestCli::batchWithoutThreadsAndOddTexts()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    QSKIP("a sanitizer's shadow memory does not fit in the limited address space");
#endif
    const QString prlimit = QStandardPaths::findExecutable(QStringLiteral("prlimit"));
    if (prlimit.isEmpty())
        QSKIP("prlimit (util-linux) is needed to limit the address space");
    Dataset ds = smallObject();
    ds.name[0] = QStringLiteral("Ввод \"А\" \\ 1\t2\n3/ конец");
    ds.name[2] = QStringLiteral("\\\""); // the own release: the largest release undermetering
    const QString name = QStringLiteral("odd/\"\\\t") + QChar(0x01) + QChar(0x1f) + QStringLiteral("\r.xlsx");
    QVERIFY(QDir().mkpath(tmp.filePath(QStringLiteral("odd"))));
    Dataset loaded;
    loaded.workbookPath = saveDataset(ds, tmp.filePath(name));
    QVERIFY(readXLSwriteDB(loaded).ok && loaded.name[0].contains(QLatin1Char('\n')));
    const QString examples = testutil::sourcePath(QStringLiteral("examples"));
    QProcess p;
    p.setWorkingDirectory(tmp.path());
    p.start(prlimit, {QStringLiteral("--as=4294967296"), QStringLiteral("--stack=8589934592"), keliCalc(),
                      QStringLiteral("--workdir"), workDir, QStringLiteral("--jobs=3"), QStringLiteral("--json=odd.json"),
                      QStringLiteral("--out=no-threads"), name, examples});
    QVERIFY(p.waitForFinished(120000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("не удалось запустить поток")), qPrintable(err));
    const QJsonArray entries = readJson(tmp.filePath(QStringLiteral("odd.json"))).value("objects").toArray();
    QCOMPARE(entries.size(), 1 + QDir(examples).entryList({QStringLiteral("*.xlsx")}, QDir::Files).size());
    for (const QJsonValue &entry : entries)
        QCOMPARE(entry.toObject().value("outcome").toString(), QStringLiteral("calculated"));
    const QJsonObject o = entries.at(0).toObject();
    QCOMPARE(o.value("source").toString(), name);
    QCOMPARE(o.value("maxIntakePointName").toString(), loaded.name[0]);
    QCOMPARE(o.value("maxReleasePointName").toString(), loaded.name[2]);
}

// An object whose releases exceed its intake: its imbalance lies below the permissible range, which
// the summary says; a ";" alone in its name is quoted all the same.
void TestCli::summaryOfAnImbalanceBelowTheRange()
{
    const QDir root(tmp.filePath(QStringLiteral("below")));
    Dataset ds = smallObject();
    ds.objectName = QStringLiteral("ПС 1; ПС 2");
    ds.energy[0] = 800; // releases 400 + 500
    QVERIFY(QDir().mkpath(root.path()) && !saveDataset(ds, root.filePath(QStringLiteral("a.xlsx"))).isEmpty());
    QCOMPARE(run({QStringLiteral("--workdir"), workDir, QStringLiteral("--json"), QStringLiteral("a.json"),
                  QStringLiteral("--out"), QStringLiteral("out"), QStringLiteral("a.xlsx")}, root.path()).exitCode, 0);
    const QJsonObject json = readJson(root.filePath(QStringLiteral("a.json"))).value("objects").toArray().at(0).toObject();
    QVERIFY(json.value("commercialLoss").toDouble() < json.value("normativeWithLossesLower").toDouble());
    const QStringList row = csvFields(csvLines(root.filePath(QStringLiteral("out/Сводка.csv"))).value(1));
    QCOMPARE(row.value(2), ds.objectName);
    QCOMPARE(row.value(13), QStringLiteral("нет"));
}


QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
