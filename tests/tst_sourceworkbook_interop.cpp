// Source workbooks against independent readers and writers: workbooks written by openpyxl and
// xlsxwriter (numbers as text, shared and inline strings) load as ours do, the data sheet is found
// by name or as the active sheet, and what we save reads back correctly in openpyxl.
#include "core/report1.h"
#include "core/report2.h"
#include "core/sourceworkbook.h"
#include "support/testutil.h"

#include <QFile>
#include <QProcess>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace keli;

namespace {

const char *const kExample = "examples/ПС_110_10_Заречная_октябрь_2024.xlsx";

// Rewrites the data sheet of argv[1] in four ways into the folder argv[2].
const char *const kRewrite = R"(
import json, os, sys
import openpyxl, xlsxwriter
src, out = sys.argv[1], sys.argv[2]
ws = openpyxl.load_workbook(src)["Лист1"]
rows = [[c.value for c in row] for row in ws.iter_rows()]

def as_text(v):
    if isinstance(v, (int, float)) and not isinstance(v, bool):
        return str(int(v)) if float(v).is_integer() else repr(float(v))
    return v

wb = openpyxl.Workbook()
for r, row in enumerate(rows, start=1):
    for c, v in enumerate(row, start=1):
        if v is not None:
            wb.active.cell(r, c, as_text(v))
wb.save(os.path.join(out, "openpyxl_text.xlsx"))

for name, options, text in (("xlsxwriter_shared.xlsx", {}, False),
                            ("xlsxwriter_shared_text.xlsx", {}, True),
                            ("xlsxwriter_inline.xlsx", {"constant_memory": True}, False)):
    book = xlsxwriter.Workbook(os.path.join(out, name), options)
    sheet = book.add_worksheet()
    for r, row in enumerate(rows):
        for c, v in enumerate(row):
            if v is None:
                continue
            if text or isinstance(v, str):
                sheet.write_string(r, c, str(as_text(v)))
            else:
                sheet.write_number(r, c, v)
    book.close()
print("ok")
)";

// Prints every cell of the workbook argv[1] with its kind, as openpyxl sees it.
const char *const kDump = R"(
import json, sys
import openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.active
cells = [[[c.value, c.data_type] for c in row] for row in ws.iter_rows(max_col=20)]
print(json.dumps({"sheets": wb.sheetnames, "active": ws.title, "cells": cells}, ensure_ascii=False))
)";

QJsonObject runJson(const char *code, const QStringList &args)
{
    bool ok = false;
    QString error;
    const QString out = testutil::runPython(QString::fromUtf8(code), args, &ok, &error);
    if (!ok)
        qWarning("python failed: %s", qPrintable(error));
    return QJsonDocument::fromJson(out.toUtf8()).object();
}

Dataset loaded(const QString &path)
{
    Dataset ds;
    ds.calcMonth = 10;
    ds.calcYear = 2024;
    ds.workbookPath = path;
    const WorkbookResult r = readXLSwriteDB(ds);
    if (!r.ok)
        qWarning("%s", qPrintable(r.message));
    return ds;
}

} // namespace

class TestSourceWorkbookInterop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!testutil::pythonHas(QStringLiteral("openpyxl")) || !testutil::pythonHas(QStringLiteral("xlsxwriter")))
            QSKIP("Debian's python3 with openpyxl and xlsxwriter is needed");
    }

    void otherProducersLoadAlike()
    {
        QTemporaryDir tmp;
        const QString example = testutil::sourcePath(QString::fromUtf8(kExample));
        bool ok = false;
        QString error;
        testutil::runPython(QString::fromUtf8(kRewrite), {example, tmp.path()}, &ok, &error);
        QVERIFY2(ok, qPrintable(error));

        const Dataset reference = loaded(example);
        QCOMPARE(reference.rowCount(), 12);
        QCOMPARE(reference.name[0], QStringLiteral("ВЛ-110 кВ Заречная-1 (ввод Т-1)"));
        QCOMPARE(reference.energy[0], 5124.36);
        QCOMPARE(reference.pointKind[10], QStringLiteral("ПХН"));

        const QString ours = tmp.filePath(QStringLiteral("ours.xlsx"));
        Dataset forSaving = reference;
        forSaving.calcMonth = reference.fileMonth;
        forSaving.calcYear = reference.fileYear;
        QVERIFY(saveSourceWorkbook(forSaving, ours).ok);

        for (const QString &file : {QStringLiteral("ours.xlsx"), QStringLiteral("openpyxl_text.xlsx"),
                                    QStringLiteral("xlsxwriter_shared.xlsx"),
                                    QStringLiteral("xlsxwriter_shared_text.xlsx"),
                                    QStringLiteral("xlsxwriter_inline.xlsx")}) {
            const Dataset other = loaded(tmp.filePath(file));
            QString difference;
            QVERIFY2(sameStoredContent(reference, other, &difference),
                     qPrintable(file + QStringLiteral(": ") + difference));
            QCOMPARE(other.fileMonth, reference.fileMonth);
            QCOMPARE(other.fileYear, reference.fileYear);
        }
    }

    void savedWorkbookReadsInOpenpyxl()
    {
        QTemporaryDir tmp;
        Dataset ds = loaded(testutil::sourcePath(QString::fromUtf8(kExample)));
        ds.techLosses = 1234.5;
        const QString path = tmp.filePath(QStringLiteral("saved.xlsx"));
        QVERIFY(saveSourceWorkbook(ds, path).ok);

        const QJsonObject dump = runJson(kDump, {path});
        QCOMPARE(dump.value(QStringLiteral("sheets")).toArray(), QJsonArray{QStringLiteral("Лист1")});
        const QJsonArray cells = dump.value(QStringLiteral("cells")).toArray();
        QCOMPARE(cells.size(), 1 + ds.rowCount());
        const auto cell = [&cells](int row, int column) { return cells[row - 1].toArray()[column - 1].toArray(); };
        const auto isText = [&](int row, int column, const QString &text) {
            return cell(row, column)[1].toString() == QLatin1String("s") && cell(row, column)[0].toString() == text;
        };
        const auto isNumber = [&](int row, int column, double value) {
            return cell(row, column)[1].toString() == QLatin1String("n") && cell(row, column)[0].toDouble() == value;
        };

        QVERIFY(isText(1, 1, ds.objectName));
        QVERIFY(isNumber(1, 2, 2) && isNumber(1, 3, 4) && isNumber(1, 4, 6));
        QVERIFY(isNumber(1, 5, 0) && isNumber(1, 6, 0) && isNumber(1, 7, 1));
        QVERIFY(isNumber(1, 8, 0) && isNumber(1, 9, 0));
        QVERIFY(isText(1, 10, QStringLiteral("1234.500")));
        QVERIFY(isText(1, 11, QStringLiteral("5.0")));
        QVERIFY(isText(1, 12, QStringLiteral("30.0")));
        QVERIFY(cell(1, 13)[0].isNull());

        for (int i = 0; i < ds.rowCount(); ++i) {
            const int r = i + 2;
            QVERIFY(isText(r, 1, ds.name[i]));
            QVERIFY(isNumber(r, 2, ds.meterCount[i]));
            QVERIFY(isText(r, 3, ds.meterType[i]));
            QVERIFY(isNumber(r, 4, ds.ctClass[i]) && isNumber(r, 5, ds.vtClass[i]) && isNumber(r, 6, ds.meterClass[i]));
            QVERIFY(isNumber(r, 7, ds.verificationDate[i]));
            QVERIFY(isNumber(r, 8, ds.ctRatedCurrent[i]));
            QVERIFY(isNumber(r, 9, ds.ctVoltage[i]) && isNumber(r, 10, ds.reportVoltage[i]));
            QVERIFY(isNumber(r, 11, ds.vtVoltageLoss[i]));
            QVERIFY(isText(r, 12, QString::number(ds.energy[i], 'f', 3)));
            QVERIFY(isNumber(r, 13, ds.fillFactor[i]) && isNumber(r, 14, ds.offDays[i]));
            QVERIFY(isText(r, 15, ds.pointKind[i]));
            QVERIFY(isNumber(r, 16, ds.tanPhi[i]));
            QVERIFY(isNumber(r, 17, 0));
            QVERIFY(isNumber(r, 18, 31) && isNumber(r, 19, 10) && isNumber(r, 20, 2024));
        }
        // As typed, not as the single-precision number 0.7200000286102295.
        QVERIFY(isText(2, 12, QStringLiteral("5124.360")));
        QVERIFY(isNumber(2, 13, 0.72) && isNumber(2, 16, 0.35) && isNumber(2, 7, 3.22));
        QVERIFY(isNumber(2, 9, 110) && isNumber(2, 4, 0.2) && isNumber(2, 11, 0.1));
    }

    // The spreadsheet program reads a re-saved example exactly as it reads the example itself.
    void spreadsheetProgramReadsSavedAsExample()
    {
        const QString soffice = testutil::soffice();
        if (soffice.isEmpty())
            QSKIP("soffice is needed");
        QTemporaryDir tmp;
        const QString example = tmp.filePath(QStringLiteral("example.xlsx"));
        QVERIFY(QFile::copy(testutil::sourcePath(QStringLiteral("examples/ТП_10_0,4_№127_март_2024.xlsx")), example));
        Dataset ds = loaded(example);
        ds.calcMonth = ds.fileMonth;
        ds.calcYear = ds.fileYear;
        QVERIFY(saveSourceWorkbook(ds, tmp.filePath(QStringLiteral("saved.xlsx"))).ok);

        QProcess lo;
        lo.setWorkingDirectory(tmp.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), tmp.path());
        lo.setProcessEnvironment(env);
        lo.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + tmp.filePath(QStringLiteral("profile")),
                           QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                           QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"), QStringLiteral("--outdir"),
                           tmp.path(), example, tmp.filePath(QStringLiteral("saved.xlsx"))});
        QVERIFY(lo.waitForFinished(300000));
        const auto csv = [&tmp](const char *name) {
            QFile f(tmp.filePath(QString::fromUtf8(name)));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray expected = csv("example.csv");
        QVERIFY2(expected.startsWith("\"ТП-10/0,4 кВ №127 (РЭС Северный)\",2,4,2,0,0,0,0,0,19.840,10.0,5.0"),
                 expected.left(200).constData());
        QCOMPARE(expected.count('\n'), 1 + ds.rowCount());
        QCOMPARE(csv("saved.csv"), expected);
    }

    // Load then save over the same workbook is the identity on the data layout, and keeps what is
    // not the data layout (the notes sheet, the data sheet's name, styles, widths, cells right of
    // T). Energies above 16,384 keep their third decimal in the reports too.
    void saveOverKeepsTheWorkbook()
    {
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("book.xlsx"));
        bool ok = false;
        QString error;
        testutil::runPython(QStringLiteral(R"(
import sys, openpyxl
wb = openpyxl.Workbook()
wb.active["A1"] = "сверено с актом"
ws = wb.create_sheet("Лист1")
ws.append(["РП Тест", 2, 1, 0, 0, 0, 0, 0, 0, "590.200", "7.5", "60.0"])
for w, ct, fill, tg in (("17320.640", 0.5, 0.73, 0.35), ("16384.007", 0.2, 0.68, 0.41), ("99999.999", 1.0, 0.55, 0.29)):
    ws.append(["Ввод " + w, 1, "Э", ct, 0.5, 0.5, 3.22, 300.0, 10, 10, 0.25, w, fill, 0, "Р", tg, 0, 30, 6, 2024])
ws["A1"].font = openpyxl.styles.Font(bold=True)
ws.column_dimensions["A"].width = 37
ws["V4"] = "заметка"
wb.save(sys.argv[1])
)"), {path}, &ok, &error);
        QVERIFY2(ok, qPrintable(error));
        // Cells of A..V that differ from the backup, the other sheet, the style and width kept, the
        // empty cells of row 4 in A..T and the note right of T.
        const auto saveOver = [&](const Dataset &ds) {
            return !saveSourceWorkbook(ds, path).ok ? QString() : testutil::runPython(QStringLiteral(R"(
import sys, openpyxl
old, new = openpyxl.load_workbook(sys.argv[1]), openpyxl.load_workbook(sys.argv[2])
a, b = old["Лист1"], new["Лист1"]
diff = [c.coordinate for row in a.iter_rows(max_col=22) for c in row if c.value != b[c.coordinate].value]
print(len(diff), new.sheetnames, new["Sheet"]["A1"].value, b["A1"].font.b, b.column_dimensions["A"].width,
      [c.value for c in b[4]][:20].count(None), b["V4"].value)
)"), {tmp.filePath(QStringLiteral("bookB.xlsx")), path}, &ok, &error).trimmed();
        };
        Dataset ds = loaded(path);
        ds.calcMonth = 6;
        QCOMPARE(saveOver(ds), QStringLiteral("0 ['Sheet', 'Лист1'] сверено с актом True 37.0 0 заметка"));

        // The reports print the stored digits: 17320.640, and 33704.647 as the intake.
        const CalcOutcome o = evaluate(ds);
        QVERIFY(report1Page(ds, o.results).rows1.join(' ').contains(QStringLiteral("17320.640")));
        QVERIFY(report2Page(ds, o.results).rows1.join(' ').contains(QStringLiteral("33704.647")));

        // Without its last row: C1 and that row change, in A..T only.
        ds.externalCount = 0;
        QCOMPARE(saveOver(ds), QStringLiteral("21 ['Sheet', 'Лист1'] сверено с актом True 37.0 20 заметка"));
    }

    void dataSheetByNameElseActive()
    {
        QTemporaryDir tmp;
        const QString byName = tmp.filePath(QStringLiteral("by_name.xlsx"));
        const QString byActive = tmp.filePath(QStringLiteral("by_active.xlsx"));
        bool ok = false;
        QString error;
        testutil::runPython(QStringLiteral(R"(
import sys
import openpyxl
def fill(ws, name, count):
    ws.append([name, count, 0, 0, 0, 0, 0])
    for k in range(count):
        ws.append(["%s %d" % (name, k + 1), 1, "Э", 0.5, 0.5, 0.5, 3.22, 300, 10, 10, 0.25, "1.000"])
wb = openpyxl.Workbook()
first = wb.active
first.title = "Данные"
fill(first, "чужая", 1)
first.merge_cells("D5:F6")
first["H9"] = "заметка"
fill(wb.create_sheet("Лист1"), "нужная", 2)
wb.active = 0
wb.save(sys.argv[1])
wb = openpyxl.Workbook()
fill(wb.active, "первая", 1)
wb.active.title = "Первый"
fill(wb.create_sheet("Второй"), "вторая", 3)
wb.active = 1
wb.save(sys.argv[2])
)"),
                            {byName, byActive}, &ok, &error);
        QVERIFY2(ok, qPrintable(error));

        // "Лист1" as the second sheet is read although the first is active; without it, the sheet
        // that was active when saved. Saving over writes that same sheet and keeps the other one
        // with its merged cells and notes.
        const auto saveOver = [&](const QString &path, const QString &expectedName, int expectedRows) {
            Dataset ds = loaded(path);
            QCOMPARE(ds.objectName, expectedName);
            QCOMPARE(ds.rowCount(), expectedRows);
            ds.objectName = QStringLiteral("правка");
            const WorkbookResult r = saveSourceWorkbook(ds, path);
            QVERIFY2(r.ok, qPrintable(r.message));
        };
        saveOver(byName, QStringLiteral("нужная"), 2);
        saveOver(byActive, QStringLiteral("вторая"), 3);
        QCOMPARE(loaded(byName).name, (QVector<QString>{QStringLiteral("нужная 1"), QStringLiteral("нужная 2")}));
        const QString check = testutil::runPython(QStringLiteral(R"(
import sys
import openpyxl
for path in sys.argv[1:]:
    wb = openpyxl.load_workbook(path)
    first = wb.worksheets[0]
    print(wb.sheetnames, [ws["A1"].value for ws in wb], wb.active.title, first["H9"].value,
          [str(r) for r in first.merged_cells.ranges])
)"),
                                                  {byName, byActive}, &ok, &error);
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(check.trimmed().split(QLatin1Char('\n')),
                 (QStringList{QStringLiteral("['Данные', 'Лист1'] ['чужая', 'правка'] Данные заметка ['D5:F6']"),
                              QStringLiteral("['Первый', 'Второй'] ['первая', 'правка'] Второй None []")}));
    }
};

QTEST_GUILESS_MAIN(TestSourceWorkbookInterop)
#include "tst_sourceworkbook_interop.moc"
