// The dataset dialog's number fields and keli-calc hold the same values: a workbook whose J1..L1
// carry more decimals than the fields show, or lie outside their ranges, is calculated alike by both.
#include "fvid.h"

#include "core/calculation.h"
#include "core/dialogfields.h"
#include "core/helpers.h"
#include "core/sourceworkbook.h"
#include "support/testutil.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

template <class W> W *field(const FVid &d, const char *name)
{
    W *w = d.findChild<W *>(QLatin1String(name));
    if (!w)
        qFatal("no field %s", name);
    return w;
}

keli::Prompts silentPrompts(QStringList *informed)
{
    keli::Prompts p;
    p.askYesNo = [](const QString &, const QString &) { return false; };
    p.openFileName = [](QWidget *, const QString &, const QString &, const QString &) { return QString(); };
    p.anyFileName = [](QWidget *, const QString &, const QString &, const QString &) { return QString(); };
    p.inform = [informed](const QString &title, const QString &text) { *informed << title + "|" + text; };
    return p;
}

QString exact(double v)
{
    return QString::number(v, 'g', 17);
}

} // namespace

class TestDialogFields : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testutil::TemporaryWorkDir> work;
    QString source;

    keli::Dataset loadedByCore() const
    {
        keli::Dataset ds;
        ds.workbookPath = source;
        ds.calcMonth = 3;
        ds.calcYear = 2024;
        if (!keli::readXLSwriteDB(ds).ok)
            qFatal("workbook not loaded");
        return ds;
    }

private slots:
    void initTestCase()
    {
        if (!testutil::pythonHas(QStringLiteral("openpyxl")))
            QSKIP("python3-openpyxl is needed to write the workbook");
        work = std::make_unique<testutil::TemporaryWorkDir>();
        QVERIFY(work->isValid());
        source = work->filePath(QStringLiteral("header.xlsx"));
        bool ok = false;
        QString error;
        // J1 with five decimals, K1 on a tie of its one decimal, L1 above the field's maximum.
        testutil::runPython(R"(
import sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Лист1"
ws.append(["ПС Проба", 1, 1, 1, 0, 0, 1, None, None, 1.23456, 7.25, 12345.67])
for name, energy in (("Ввод", 1000), ("Фидер", 400), ("Собственный", 500)):
    ws.append([name, 1, "Э", 0.5, 0.5, 0.5, 1.23, 300, 10, 10, 0.25, energy, 0.5, 0, "Р", 0.2, 0, 31, 3, 2024])
wb.save(sys.argv[1])
)", {source}, &ok, &error);
        QVERIFY2(ok, qPrintable(error));
    }

    void fieldsAndCoreAgree()
    {
        QStringList informed;
        FVid d(3, 2024, "EXCEL", source);
        d.setPrompts(silentPrompts(&informed));

        // The core limits are those of the form.
        const struct { const char *name; keli::FieldLimits limits; } spins[] = {
            {"leTexpot", keli::techLossesField}, {"leTexpogr", keli::techLossErrorPctField},
            {"leKompot", keli::permissibleCommercialLossField}, {"Otp1", keli::networkReleaseField},
            {"Otp2", keli::networkReleaseField}, {"Otp3", keli::networkReleaseField},
            {"Otp4", keli::networkReleaseField},
        };
        for (const auto &s : spins) {
            QDoubleSpinBox *spin = field<QDoubleSpinBox>(d, s.name);
            QCOMPARE(spin->decimals(), s.limits.decimals);
            QCOMPARE(spin->minimum(), s.limits.minimum);
            QCOMPARE(spin->maximum(), s.limits.maximum);
            for (double v : {1.23456, 0.0005, 2.675, 7.25, -3.0, 1e12, 99.95}) {
                spin->setValue(v);
                QCOMPARE(exact(keli::fieldValue(v, s.limits)), exact(spin->value()));
            }
        }
        QLineEdit *factor = field<QLineEdit>(d, "Txt1");
        for (double v : {0.0, 0.5, 1.05, 9.99}) {
            factor->setText(keli::correctionFactorText(v));
            QCOMPARE(factor->text(), keli::correctionFactorText(v));
            QCOMPARE(keli::toReal(factor->text()), v);
        }

        // The workbook's J1..L1 through the dialog's fields and through the core limits.
        d.readXLSwriteDB();
        QCOMPARE(informed, QStringList());
        keli::Dataset core = loadedByCore();
        QCOMPARE(core.techLosses, 1.23456); // loaded as stored, more decimals than shown
        keli::limitToDialogFields(core);
        QCOMPARE(exact(core.techLosses), exact(1.235));
        QCOMPARE(exact(core.permissibleCommercialLoss), exact(9999));
        QCOMPARE(exact(d.dataset().techLosses), exact(core.techLosses));
        QCOMPARE(exact(d.dataset().techLossErrorPct), exact(core.techLossErrorPct));
        QCOMPARE(exact(d.dataset().permissibleCommercialLoss), exact(core.permissibleCommercialLoss));
    }

    void keliCalcCalculatesAsTheDialog()
    {
        // keli-calc reads its own copy.
        const QString copy = work->filePath(QStringLiteral("copy.xlsx"));
        QFile::remove(copy);
        QVERIFY(QFile::copy(source, copy));

        QStringList informed;
        FVid d(3, 2024, "EXCEL", source);
        d.setPrompts(silentPrompts(&informed));
        d.readXLSwriteDB();
        field<QCheckBox>(d, "check1")->setChecked(false);
        field<QCheckBox>(d, "check2")->setChecked(false);
        field<QCheckBox>(d, "checksl")->setChecked(false);
        field<QLineEdit>(d, "Txt2")->setText(QStringLiteral("1.05"));
        const double releases[4] = {1.5, 0, 2.25, 0.5};
        const char *names[4] = {"Otp1", "Otp2", "Otp3", "Otp4"};
        for (int k = 0; k < 4; ++k)
            field<QDoubleSpinBox>(d, names[k])->setValue(releases[k]);
        QTest::mouseClick(field<QPushButton>(d, "raschet"), Qt::LeftButton);
        QCOMPARE(informed, QStringList());
        QVERIFY(d.lastOutcome());
        QCOMPARE(d.lastOutcome()->outcome, keli::Outcome::Calculated);

        QProcess p;
        p.setWorkingDirectory(work->path());
        p.start(qEnvironmentVariable("KELI_CALC", testutil::binaryPath(QStringLiteral("src/cli/keli-calc"))),
                {QStringLiteral("--reports"), QStringLiteral("none"), QStringLiteral("--no-stoplist"),
                 QStringLiteral("--month"), QStringLiteral("3"), QStringLiteral("--year"), QStringLiteral("2024"),
                 QStringLiteral("--correction"), QStringLiteral("1,1.05,1"), QStringLiteral("--releases"),
                 QStringLiteral("1.5,0,2.25,0.5"), QStringLiteral("--json"), QStringLiteral("calc.json"), copy});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QFile json(work->filePath(QStringLiteral("calc.json")));
        QVERIFY(json.open(QIODevice::ReadOnly));
        const QJsonObject calc = QJsonDocument::fromJson(json.readAll()).object();

        const auto results = keli::namedResults(d.lastOutcome()->results);
        QVERIFY(results.size() > 40);
        for (const auto &r : results) {
            QVERIFY2(calc.contains(r.first), qPrintable(r.first));
            QCOMPARE(r.first + " " + exact(calc.value(r.first).toDouble()), r.first + " " + exact(r.second));
        }
        QCOMPARE(exact(calc.value("commercialLoss").toDouble()),
                 exact(calc.value("actualLoss").toDouble() - 1.235));
    }
};

QTEST_MAIN(TestDialogFields)
#include "tst_gui_dialogfields.moc"
