// The calculation: validation rules and the stop list, the channel error model, the balance and
// the driver's outcomes.

#include "core/calculation.h"
#include "core/errormodel.h"
#include "core/helpers.h"
#include "core/sourceworkbook.h"
#include "core/validation.h"

#include <QtTest>

#include <cmath>

using namespace keli;

namespace {

// One metering point as a test writes it; the defaults make a valid CT-connected 10 kV row whose
// load factor is 0.35 (β) in a 31-day period.
struct Row
{
    QString name = QStringLiteral("ТУ");
    QString kind = QStringLiteral("Р");
    double meters = 1;
    QString type = QStringLiteral("Э");
    double energy = 1000;   // thousand kWh
    double fill = 0.5;
    double tanPhi = 0;
    int offDays = 0;
    double ct = 0.5, vt = 0.5, meter = 0.5;
    double date = 1.23;     // January 2023
    double ratedVoltage = 10;
    int ratedCurrent = 300;
    double dU = 0.25;
    double reportVoltage = 10;
};

Row directRow()
{
    Row r;
    r.ct = 0;
    r.vt = 0;
    r.meter = 2.0;
    r.ratedVoltage = 0.4;
    r.ratedCurrent = 0;
    r.dU = 0;
    r.reportVoltage = 0.4;
    r.energy = 20;
    return r;
}

Dataset makeDataset(const QVector<Row> &intake, const QVector<Row> &external = {},
                    const QVector<Row> &own = {})
{
    Dataset ds;
    ds.calcMonth = ds.fileMonth = 1;
    ds.calcYear = ds.fileYear = 2025;
    ds.periodDays = 31;
    ds.intakeCount = intake.size();
    ds.externalCount = external.size();
    ds.ownCount = own.size();
    int table = 1;
    for (const QVector<Row> *rows : {&intake, &external, &own}) {
        for (const Row &r : *rows) {
            const int i = ds.appendRow(table);
            ds.name[i] = r.name;
            ds.pointKind[i] = r.kind;
            ds.meterCount[i] = r.meters;
            ds.meterType[i] = r.type;
            ds.energy[i] = r.energy;
            ds.fillFactor[i] = r.fill;
            ds.tanPhi[i] = r.tanPhi;
            ds.offDays[i] = r.offDays;
            ds.ctClass[i] = r.ct;
            ds.vtClass[i] = r.vt;
            ds.meterClass[i] = r.meter;
            ds.verificationDate[i] = r.date;
            ds.ctVoltage[i] = r.ratedVoltage;
            ds.ctRatedCurrent[i] = r.ratedCurrent;
            ds.vtVoltageLoss[i] = r.dU;
            ds.reportVoltage[i] = r.reportVoltage;
        }
        ++table;
    }
    return ds;
}

// A dataset of one intake row (the row under test) and a valid own release row.
Dataset oneRow(const Row &row)
{
    Row release;
    release.name = QStringLiteral("Отпуск");
    release.energy = 500;
    return makeDataset({row}, {}, {release});
}

QStringList messages(const CalcOutcome &o)
{
    QStringList out;
    for (const StopListEntry &e : o.stopList)
        out << e.message;
    if (qEnvironmentVariableIsSet("KELI_DEBUG"))
        for (const StopListEntry &e : o.stopList)
            qDebug() << e.fileRow << e.table << e.rowInTable << e.name << e.parameter << e.value << e.message;
    return out;
}

// An entry as one comparable line: parameter | value | message | kind.
QString finding(const QString &parameter, double value, const QString &message, const QString &kind)
{
    return QStringLiteral("%1 | %2 | %3 | %4").arg(parameter, QString::number(value, 'g', 17), message, kind);
}

QStringList findings(const CalcOutcome &o)
{
    QStringList out;
    for (const StopListEntry &e : o.stopList)
        out << finding(e.parameter, e.value, e.message, e.kind);
    return out;
}

const StopListEntry *findParameter(const CalcOutcome &o, const QString &parameter)
{
    for (const StopListEntry &e : o.stopList)
        if (e.parameter == parameter)
            return &e;
    return nullptr;
}

bool allFinite(const CalcOutcome &o)
{
    for (const auto &p : namedResults(o.results))
        if (!std::isfinite(p.second))
            return false;
    const CalcResults &r = o.results;
    for (const QVector<double> *v : {&r.rowEnergy, &r.rowLoadFactor, &r.rowMaxLoadShown,
                                     &r.rowNormativeLoadFactor, &r.rowNormativeMaxLoad,
                                     &r.rowVtCircuitLoss, &r.rowCtLoss, &r.rowUndermetering,
                                     &r.rowRandomError})
        for (double x : *v)
            if (!std::isfinite(x))
                return false;
    for (double x : r.levelUndermetering)
        if (!std::isfinite(x))
            return false;
    for (const GroupCharacteristics &g : r.groupCharacteristics)
        for (double x : {g.combinedClass, g.ctClass, g.vtClass, g.meterClass, g.ctLoad,
                         g.reportVoltage, g.vtCircuitLoss, g.yearsSinceVerification})
            if (!std::isfinite(x))
                return false;
    return true;
}

const QString kError = QStringLiteral("Ошибка");
const QString kWarning = QStringLiteral("Предупреждение");

} // namespace

class TestCalc : public QObject
{
    Q_OBJECT

private slots:
    void validRowPasses();
    void offDaysAtAndBelowPeriod();
    void verificationMonth();
    void fillFactorBounds();
    void fillFactorZeroEndsAtOnce();
    void zeroEnergyRowNotChecked();
    void reportingVoltageScale();
    void ctRowWithoutVtAboveOneKilovolt();
    void ratedCurrentScale();
    void directlyConnectedRows();
    void vtWithoutCtNotChecked();
    void ctLoadBounds();
    void energyPerDayWithoutVt();
    void ctRowWithoutLoadFactorValue();
    void scalesInSinglePrecision();
    void ctLossOfRow();

    void ctErrorFactorSegments();
    void normativeLimits();
    void voltageLevels();
    void largestContributorTies();
    void randomErrorNeedsMetersAndEnergy();
    void meterAgeingByType();
    void normativePassRaisesLoadFactor();

    void releaseAgainstIntake();
    void intakeZeroOwnReleaseOnly();
    void allEnergiesZero();
    void emptyDataset();
    void calculatingTwice();
    void correctionFactorBetweenCalculations();
    void noNanFromZeroDivisors();
    void orderReleaseShares();
    void calculateMarksRowColumns();
};

// ---------------------------------------------------------------------------------------------
// Validation rules

void TestCalc::validRowPasses()
{
    Dataset ds = oneRow(Row());
    const CalcOutcome o = evaluate(ds);
    QCOMPARE(messages(o), QStringList());
    QCOMPARE(o.outcome, Outcome::Calculated);
    QCOMPARE(o.results.rowLoadFactor[0], 0.34);
    QCOMPARE(o.results.rowMaxLoadShown[0], 3 * 0.34 / 2);
    QCOMPARE(o.results.pointDays, QVector<int>({31, 31}));
}

void TestCalc::offDaysAtAndBelowPeriod()
{
    Row row;
    row.offDays = 31;
    CalcOutcome o = evaluate(oneRow(row));
    // No hours left: the only finding is the days error (β has no value, its checks are skipped).
    QCOMPARE(findings(o), QStringList{finding(QStringLiteral("Число дней отключения"), 31,
                                              QStringLiteral("Число дней отключения больше Т расч"), kError)});
    QCOMPARE(o.stopList[0].fileRow, 2);
    QCOMPARE(o.stopList[0].table, 1);
    QCOMPARE(o.stopList[0].rowInTable, 1);
    QCOMPARE(o.outcome, Outcome::Blocked);
    QCOMPARE(o.message, blockedMessage());
    QCOMPARE(o.results.rowLoadFactor[0], 0.0);

    row.offDays = 30;
    row.energy = 30;
    o = evaluate(oneRow(row));
    QCOMPARE(messages(o), QStringList());
    QCOMPARE(o.results.rowLoadFactor[0], 0.32); // one day left: 0.03 × 31 × 0.3449 = 0.3207
}

void TestCalc::verificationMonth()
{
    Row row;
    row.date = 13.05;
    CalcOutcome o = evaluate(oneRow(row));
    QCOMPARE(findings(o), QStringList{finding(QStringLiteral("Номер месяца"), 13.05,
                                              QStringLiteral("Номер месяца не  д.быть больше 12"), kError)});
    row.date = 12.05;
    QCOMPARE(messages(evaluate(oneRow(row))), QStringList());
}

void TestCalc::fillFactorBounds()
{
    Row row;
    row.energy = 200;
    row.fill = 0.1;
    QCOMPARE(messages(evaluate(oneRow(row))), QStringList());
    row.energy = 1000;
    row.fill = 1.0;
    CalcOutcome o = evaluate(oneRow(row));
    QCOMPARE(messages(o), QStringList());
    QCOMPARE(o.results.rowLoadFactor[0], 0.26);
    row.energy = 50;
    row.fill = 0.05;
    o = evaluate(oneRow(row));
    QCOMPARE(findings(o), QStringList{finding(QStringLiteral("Кз"), 0.05,
                                              QStringLiteral("Кз д.быть в пределах от 0.1 до 1.0"), kError)});
    row.energy = 1000;
    row.fill = 1.01;
    QCOMPARE(messages(evaluate(oneRow(row))), QStringList{QStringLiteral("Кз д.быть в пределах от 0.1 до 1.0")});
}

void TestCalc::fillFactorZeroEndsAtOnce()
{
    Row good, zero, bad;
    zero.name = QStringLiteral("Б");
    zero.fill = 0;
    bad.date = 13.05;
    CalcOutcome o = evaluate(makeDataset({good, zero, bad}));
    QCOMPARE(o.outcome, Outcome::FillFactorZero);
    QCOMPARE(o.message, QStringLiteral("КЗ равно  0 в строке 3 группы 1 - 2"));
    // The fill-factor error of that row is listed; the rows after it are never walked.
    QCOMPARE(o.stopList.size(), 1);
    QCOMPARE(o.stopList[0].name, QStringLiteral("Б"));
    QCOMPARE(o.stopList[0].fileRow, 3);
    QCOMPARE(o.stopList[0].value, 0.0);
    QCOMPARE(o.errorCount, 1);
    QCOMPARE(o.results.intakeEnergy, 0.0);

    // Positions count over the three tables.
    o = evaluate(makeDataset({good, good}, {good}, {zero}));
    QCOMPARE(o.message, QStringLiteral("КЗ равно  0 в строке 5 группы 3 - 1"));
}

void TestCalc::zeroEnergyRowNotChecked()
{
    Row junk;
    junk.energy = 0;
    junk.offDays = 99;
    junk.date = 13.99;
    junk.fill = 0;
    junk.ct = 7;
    junk.vt = 0;
    junk.meter = 9;
    junk.ratedVoltage = 6;
    junk.ratedCurrent = 125;
    junk.reportVoltage = 0.45;
    const CalcOutcome o = evaluate(makeDataset({Row(), junk}, {Row()}));
    QCOMPARE(messages(o), QStringList());
    QCOMPARE(o.outcome, Outcome::Calculated);
    QCOMPARE(o.results.rowLoadFactor[1], 0.0);
    QCOMPARE(o.results.rowCtLoss[1], 0.0);
    QCOMPARE(o.results.pointDays[1], 31);
}

void TestCalc::reportingVoltageScale()
{
    Row row;
    for (double kV : {0.4, 0.22, 110.0, 750.0})  {
        row.reportVoltage = kV;
        QVERIFY2(messages(evaluate(oneRow(row))).isEmpty(), qPrintable(QString::number(kV)));
    }
    for (double kV : {0.45, 6.3, 0.0}) {
        row.reportVoltage = kV;
        const CalcOutcome o = evaluate(oneRow(row));
        QCOMPARE(findings(o), QStringList{finding(QStringLiteral("Uном"), kV,
                                                  QStringLiteral("Uном должен соответствовать стандартной шкале"), kWarning)});
        QCOMPARE(o.outcome, Outcome::Calculated);
    }
    // Rounded to 2 decimals before the check, and kept so for the later steps.
    row.reportVoltage = 10.004;
    CalcOutcome o = evaluate(oneRow(row));
    QCOMPARE(messages(o), QStringList());
    QCOMPARE(o.results.rowReportVoltage[0], 10.0);
}

void TestCalc::ctRowWithoutVtAboveOneKilovolt()
{
    Row row;
    row.vt = 0;
    row.dU = 0;
    row.ratedVoltage = 6;
    CalcOutcome o = evaluate(oneRow(row));
    QCOMPARE(findings(o), (QStringList{
        finding(QStringLiteral("Iном ТТ. не соответствует стандартной шкале"), 6,
                QStringLiteral("Iном. ТТ должен соответствовать стандартной шкале"), kError),
        finding(QStringLiteral("ТН, Inom"), 6, QStringLiteral("Если нет ТН, Uном ТТ должно быть меньше 1000 В"), kError)}));
    QCOMPARE(o.errorCount, 2);

    // 1.5 kV: outside the scale and above 1 kV gives one entry; its whole part 1 is not above 1.
    row.ratedVoltage = 1.5;
    row.energy = 100;
    o = evaluate(oneRow(row));
    QCOMPARE(messages(o), QStringList{QStringLiteral("Iном. ТТ должен соответствовать стандартной шкале")});

    // 0.4 kV without VT is the usual low-voltage CT: nothing.
    row.ratedVoltage = 0.4;
    row.energy = 30;
    QCOMPARE(messages(evaluate(oneRow(row))), QStringList());
}

void TestCalc::ratedCurrentScale()
{
    for (int a : {5, 10, 15, 20, 30, 40, 50, 60, 70, 75, 80, 100, 150, 250, 750, 1200, 3000})
        QVERIFY2(isCtRatedCurrent(a), qPrintable(QString::number(a)));
    for (int a : {25, 125, 1250, 7})
        QVERIFY2(!isCtRatedCurrent(a), qPrintable(QString::number(a)));

    Row row;
    row.ratedCurrent = 1200;
    QCOMPARE(messages(evaluate(oneRow(row))), QStringList());
    row.ratedCurrent = 125;
    row.energy = 500;
    const CalcOutcome o = evaluate(oneRow(row));
    QCOMPARE(findings(o), QStringList{finding(QStringLiteral("Iном не соответствует стандартной шкале"), 125,
                                              QStringLiteral("Iном необходимо привести в соответствие"), kWarning)});
    QCOMPARE(o.outcome, Outcome::Calculated);
}

void TestCalc::directlyConnectedRows()
{
    Row row = directRow();
    row.reportVoltage = 0;
    CalcOutcome o = evaluate(oneRow(row));
    // 0 kV is off the reporting scale (checked first); the shown voltage then becomes 0.4 kV.
    QCOMPARE(messages(o), QStringList{QStringLiteral("Uном должен соответствовать стандартной шкале")});
    QCOMPARE(o.results.rowReportVoltage[0], 0.0);
    QCOMPARE(o.results.rowReportVoltageShown[0], 0.4);
    QCOMPARE(o.results.rowLoadFactor[0], 0.0);
    QCOMPARE(o.results.rowCtLoss[0], 0.0);

    // A directly connected row's loaded dU does not count.
    row = directRow();
    row.vt = 0.2;
    row.dU = 0.1;
    o = evaluate(oneRow(row));
    QCOMPARE(messages(o), QStringList());
    QCOMPARE(o.results.rowVtCircuitLoss[0], 0.0);

    row = directRow();
    row.meters = 0;
    row.ct = 0;
    row.ratedVoltage = 6;     // would be CT errors, but the row has no CT
    row.ratedCurrent = 125;
    o = evaluate(oneRow(row));
    QCOMPARE(findings(o), QStringList{finding(QStringLiteral("Число счетчиков"), 0,
                                              QStringLiteral("Число однофазных счетчиков равно 0 "), kError)});
    QCOMPARE(o.outcome, Outcome::Blocked);

    row = directRow();
    row.date = 1.08; // 17 years before January 2025
    o = evaluate(oneRow(row));
    QCOMPARE(findings(o), QStringList{finding(QStringLiteral("Срок поверки 1-фазных сч."), 1.08,
                                              QStringLiteral("Срок поверки  д.быть менее 16 лет"), kWarning)});
    QCOMPARE(o.stopList[0].parameter.at(0), QChar(0x421)); // Cyrillic С, found by a search for "Срок"
    row.date = 1.09; // exactly 16 years
    QCOMPARE(messages(evaluate(oneRow(row))), QStringList());

    row = directRow();
    row.meter = 0.2; // a transformer-connected class
    o = evaluate(oneRow(row));
    QCOMPARE(findings(o), QStringList{finding(
        QStringLiteral("Класс точности однофазных счетчиков не соответствует стандартной шкале"), 0.2,
        QStringLiteral("Класс точности однофазных счетчиков должен соответствовать стандартной шкале"), kWarning)});
}

void TestCalc::vtWithoutCtNotChecked()
{
    Row row = directRow();
    row.vt = 0.5;
    row.dU = 0.25;
    row.meters = 0;
    row.meter = 9;
    row.date = 1.01;
    const CalcOutcome o = evaluate(oneRow(row));
    QCOMPARE(messages(o), QStringList());
    QCOMPARE(o.results.rowLoadFactor[0], 0.0);
    QCOMPARE(o.results.rowVtCircuitLoss[0], 0.25);
}

void TestCalc::ctLoadBounds()
{
    Row row;
    row.energy = 2436; // β = 0.84, load 1.26
    CalcOutcome o = evaluate(oneRow(row));
    QCOMPARE(o.results.rowLoadFactor[0], 0.84);
    QCOMPARE(findings(o), QStringList{finding(
        QStringLiteral("Коэффициент максимальной токовой загрузки ТТ"), 0.84,
        QStringLiteral("Коэффициент максимальной токовой загрузки ТТ д.быть меньше 1.25. Уменьшите энергию ТУ."), kError)});
    row.energy = 2407; // β = 0.83, load 1.245 rounds to 1.24
    QCOMPARE(messages(evaluate(oneRow(row))), QStringList());

    row.energy = 100; // β = 0.03, load 0.045
    o = evaluate(oneRow(row));
    QCOMPARE(findings(o), QStringList{finding(
        QStringLiteral("Коэффициент максимальной токовой загрузки ТТ"), 0.03,
        QStringLiteral("Коэффициент максимальной токовой загрузки ТТ д.быть больше 0.05.Увеличьте энергию ТУ."), kWarning)});
    row.energy = 150; // β = 0.05, load 0.075
    QCOMPARE(messages(evaluate(oneRow(row))), QStringList());
}

void TestCalc::energyPerDayWithoutVt()
{
    // Limit: 10 (whole part of 0.4 kV is 0) × 51.96152422706631 × 300 A × 31 days × 0.5 = 2416.2 MWh.
    Row row;
    row.vt = 0;
    row.dU = 0;
    row.ratedVoltage = 0.4;
    row.ratedCurrent = 3000;
    row.meters = 10;
    row.energy = 10 * 2417;
    row.ratedCurrent = 300;
    CalcOutcome o = evaluate(oneRow(row));
    const StopListEntry *e = findParameter(o, QStringLiteral("Энергия  3-х фазных счетчиков без ТН в сетях 0.4 кВ превышает  1000 кВт.ч/день"));
    QVERIFY(e);
    QCOMPARE(e->message, QStringLiteral("Необходимо уменьшить потребление энергии"));
    QCOMPARE(e->value, 24170.0);
    QCOMPARE(e->kind, kWarning);
    row.energy = 10 * 2416;
    o = evaluate(oneRow(row));
    QVERIFY(!findParameter(o, QStringLiteral("Энергия  3-х фазных счетчиков без ТН в сетях 0.4 кВ превышает  1000 кВт.ч/день")));
}

void TestCalc::ctRowWithoutLoadFactorValue()
{
    Row row;
    row.meters = 0;
    CalcOutcome o = evaluate(oneRow(row));
    QCOMPARE(findings(o), QStringList{finding(QStringLiteral("Число счетчиков"), 0,
                                              QStringLiteral("Число счетчиков ТУ с ТТ должно быть больше 0"), kError)});
    QCOMPARE(o.outcome, Outcome::Blocked);
    QCOMPARE(o.results.rowLoadFactor[0], 0.0);
    QVERIFY(allFinite(o));

    row = Row();
    row.ratedCurrent = 0;
    o = evaluate(oneRow(row));
    QCOMPARE(findings(o), QStringList{finding(QStringLiteral("Iном ТТ"), 0,
                                              QStringLiteral("Iном ТТ должен быть больше 0"), kError)});
    QCOMPARE(o.outcome, Outcome::Blocked);
    QCOMPARE(o.results.rowLoadFactor[0], 0.0);
    QVERIFY(allFinite(o));

    row = Row();
    row.ratedCurrent = -100;
    row.meters = -2;
    o = evaluate(oneRow(row));
    QCOMPARE(o.errorCount, 2);
    QVERIFY(allFinite(o));
}

void TestCalc::scalesInSinglePrecision()
{
    const auto single = [](double x) { return static_cast<double>(static_cast<float>(x)); };
    for (double kV : {6.3, 13.8, 15.75, 27.5, 0.69, 0.23})
        QVERIFY2(isRatedVoltage(single(kV)), qPrintable(QString::number(kV)));
    QVERIFY(!isRatedVoltage(6.31));
    QVERIFY(!isRatedVoltage(0));
    QVERIFY(isReportingVoltage(single(0.66)));
    QVERIFY(!isReportingVoltage(6.3));
    QVERIFY(isTransformerMeterClass(single(0.2)));
    QVERIFY(!isDirectMeterClass(0.2));
    QVERIFY(isDirectMeterClass(2.5));
    QVERIFY(isCtClass(single(0.1)));
    QVERIFY(!isCtClass(0.3));
    QVERIFY(isVtClass(0));
    QVERIFY(isVtClass(6.0));
    QVERIFY(!isVtClass(2.0));

    // CTs at 6.3 and 13.8 kV saved and loaded back pass.
    Row a, b;
    a.ratedVoltage = 6.3;
    a.reportVoltage = 6;
    a.energy = 600;
    b.ratedVoltage = 13.8;
    b.reportVoltage = 15;
    b.energy = 500;
    b.ratedCurrent = 150;
    const Dataset saved = makeDataset({a}, {b});
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("single.xlsx"));
    QVERIFY(saveSourceWorkbook(saved, path).ok);
    Dataset loaded;
    loaded.workbookPath = path;
    loaded.calcMonth = 1;
    loaded.calcYear = 2025;
    QVERIFY(readXLSwriteDB(loaded).ok);
    QCOMPARE(loaded.ctVoltage[1], 13.8);
    const CalcOutcome o = evaluate(loaded);
    QCOMPARE(messages(o), QStringList());
    QCOMPARE(o.outcome, Outcome::Calculated);
}

void TestCalc::ctLossOfRow()
{
    // P × 24 × 31 days × β² × (2Кз + 1)/(3Кз) / 10⁶ with β = 0.5, Кз = 0.5: P × 0.000248.
    QVERIFY(qFuzzyCompare(ctLoss(1.0, 10, 400, 31, 1, 0.5, 0.5), (30 + 104) * 0.000248));
    QVERIFY(qFuzzyCompare(ctLoss(1.0, 10, 2000, 31, 1, 0.5, 0.5), (60 + 104) * 0.000248));
    QVERIFY(qFuzzyCompare(ctLoss(1.0, 35, 400, 31, 1, 0.5, 0.5), (60 + 104) * 0.000248));
    QVERIFY(qFuzzyCompare(ctLoss(1.0, 110, 400, 31, 1, 0.5, 0.5), (270 + 372) * 0.000248));
    QVERIFY(qFuzzyCompare(ctLoss(1.0, 10, 400, 31, 3, 0.5, 0.5), 3 * 134 * 0.000248));
    QVERIFY(qFuzzyCompare(ctLoss(-1.0, 10, 400, 31, 1, 0.5, 0.5), 104 * 0.000248)); // √ of a negative is 0
    QCOMPARE(ctLoss(0.5, 10, 400, 31, 1, 0.5, 0), 0.0);

    // The calculation-wide sum.
    Row a, b;
    b.energy = 500;
    const CalcOutcome o = evaluate(makeDataset({a}, {b}));
    QVERIFY(o.results.rowCtLoss[0] > 0);
    QCOMPARE(o.results.ctLossEnergy, o.results.rowCtLoss[0] + o.results.rowCtLoss[1]);
}

// ---------------------------------------------------------------------------------------------
// Channel error model

void TestCalc::ctErrorFactorSegments()
{
    QCOMPARE(ctErrorFactor(1.0, 300), 0.0);
    QCOMPARE(ctErrorFactor(0.5, 300), -0.3125);
    QCOMPARE(ctErrorFactor(0.2, 300), -0.5);
    QVERIFY(qFuzzyCompare(ctErrorFactor(0.1, 300), -0.83325));
    QVERIFY(qFuzzyCompare(ctErrorFactor(0.05, 300), -0.99990)); // (0.05 − 0.35) × 3.333
    QVERIFY(qFuzzyCompare(ctErrorFactor(0.04, 300), -1.299));
    QCOMPARE(ctErrorFactor(0.0, 300), -2.499);
    // Iн ≥ 1000: one line through k(1) = 0.
    QCOMPARE(ctErrorFactor(0.2, 2000), -0.25);
    QCOMPARE(ctErrorFactor(0.2, 1000), -0.5);
    QCOMPARE(ctErrorFactor(0.0, 1250), -0.5);
    QCOMPARE(ctErrorFactor(0.2, 999), -0.5);
}

void TestCalc::normativeLimits()
{
    const QString P = QStringLiteral("Р"), T = QStringLiteral("Т");
    QCOMPARE(normativeVtCircuitLoss(P, 0.4, 0.5), 0.25);
    QCOMPARE(normativeVtCircuitLoss(P, 0.2, 0.5), 0.2);
    QCOMPARE(normativeVtCircuitLoss(QStringLiteral("ПХН"), 0.3, 0.5), 0.25);
    QCOMPARE(normativeVtCircuitLoss(QStringLiteral("ХН"), 0.3, 0.5), 0.25);
    QCOMPARE(normativeVtCircuitLoss(T, 2.0, 6.0), 1.5);
    QCOMPARE(normativeVtCircuitLoss(T, 1.4, 0.5), 1.4); // technical rows are not held to half the class
    QCOMPARE(normativeVtCircuitLoss(QStringLiteral("СН"), 3.0, 6.0), 1.5);
    QCOMPARE(normativeVtCircuitLoss(QString(), 3.0, 6.0), 3.0);

    const QString I = QStringLiteral("И");
    QVERIFY(qFuzzyCompare(normativeMeterAge(I, 20, 15, false), (1 - 15.0 / 90) * 16)); // 13⅓
    QCOMPARE(normativeMeterAge(I, 5, 20, false), 16.0);
    QCOMPARE(normativeMeterAge(I, 5, 20, true), 8.0);
    QCOMPARE(normativeMeterAge(I, 51, 20, false), 8.0);
    QCOMPARE(normativeMeterAge(I, 51, 20, true), 4.0);
    QCOMPARE(normativeMeterAge(I, 50, 20, true), 4.0);  // (1 − 50/100) × 8
    QCOMPARE(normativeMeterAge(I, 6, 20, true), 7.52);
    QCOMPARE(normativeMeterAge(I, 3, 5, true), 5.0);    // below its limit
    QCOMPARE(normativeMeterAge(QStringLiteral("Э"), 20, 15, false), 15.0);

    // In a calculation: the limited dU is what the row shows afterwards, while the group
    // characteristics were taken before the normative pass.
    Row row;
    row.dU = 0.4;
    const CalcOutcome o = evaluate(oneRow(row));
    QCOMPARE(o.results.rowVtCircuitLoss[0], 0.25);
    QCOMPARE(o.results.groupCharacteristics[0].vtCircuitLoss, 0.4);
    // The actual pass used 0.4, the normative 0.25: k(0.34) × 0.5 = −0.20625; k(0.5333) × 0.5.
    QVERIFY(qFuzzyCompare(o.results.rowUndermetering[0], (-0.20625 - 0.4) * 10));
}

void TestCalc::voltageLevels()
{
    QCOMPARE(voltageLevel(0.4, false), 0);
    QCOMPARE(voltageLevel(0.99, true), 0);
    QCOMPARE(voltageLevel(1.0, false), -1);
    QCOMPARE(voltageLevel(2.9, false), -1);
    QCOMPARE(voltageLevel(3, false), 1);
    QCOMPARE(voltageLevel(20.9, true), 1);
    QCOMPARE(voltageLevel(21, false), -1);
    QCOMPARE(voltageLevel(35, false), 2);
    QCOMPARE(voltageLevel(60, true), 2);
    QCOMPARE(voltageLevel(61, false), -1);
    QCOMPARE(voltageLevel(110, false), 3);
    QCOMPARE(voltageLevel(154, true), 3);
    QCOMPARE(voltageLevel(155, false), -1);
    QCOMPARE(voltageLevel(215, true), -1);
    QCOMPARE(voltageLevel(217, true), 4);
    QCOMPARE(voltageLevel(217, false), -1);
    QCOMPARE(voltageLevel(220, false), 4);

    // 217 kV: a release row counts at 220 kV, an intake row in no level.
    Row intake, release;
    intake.reportVoltage = release.reportVoltage = 217;
    intake.ratedVoltage = release.ratedVoltage = 220;
    intake.energy = 100000;
    release.energy = 50000;
    intake.ratedCurrent = release.ratedCurrent = 1000;
    const CalcOutcome o = evaluate(makeDataset({intake}, {release}));
    QCOMPARE(o.outcome, Outcome::Calculated);
    const auto &L = o.results.levelUndermetering;
    QCOMPARE(L[ReleaseLevel220], -round(o.results.rowUndermetering[1], 2));
    QVERIFY(L[ReleaseLevel220] > 0);
    QCOMPARE(L[ReleaseLevelTotal], L[ReleaseLevel220]);
    for (int k = IntakeLevel04; k <= IntakeLevelTotal; ++k)
        QCOMPARE(L[k], 0.0);
}

void TestCalc::largestContributorTies()
{
    Row a, b;
    a.name = QStringLiteral("  А ");
    b.name = QStringLiteral("Б");
    Row r1 = a, r2 = b;
    r1.energy = r2.energy = 400;
    CalcOutcome o = evaluate(makeDataset({a, b}, {r1}, {r2}));
    QCOMPARE(o.results.maxIntakePointName, QStringLiteral("А"));
    QCOMPARE(o.results.maxIntakeUndermetering, std::fabs(o.results.rowUndermetering[0]));
    QCOMPARE(o.results.maxReleasePointName, QStringLiteral("А"));

    b.energy = 1100; // a larger load means a smaller CT error, but the energy outweighs it
    r2.energy = 401;
    o = evaluate(makeDataset({a, b}, {r1}, {r2}));
    QCOMPARE(o.results.maxIntakePointName, QStringLiteral("Б"));
    QCOMPARE(o.results.maxReleasePointName, QStringLiteral("Б"));
    QCOMPARE(o.results.maxReleaseUndermetering, std::fabs(o.results.rowUndermetering[3]));
}

void TestCalc::randomErrorNeedsMetersAndEnergy()
{
    Row vtOnly = directRow(); // no CT, a VT of 0.5: not validated further
    vtOnly.vt = 0.5;
    vtOnly.dU = 0.25;
    vtOnly.meter = 0.5;
    vtOnly.type = QStringLiteral("Э");
    vtOnly.meters = 0;
    vtOnly.energy = 100;
    Row zero;
    zero.energy = 0;
    const CalcOutcome o = evaluate(makeDataset({Row(), zero}, {vtOnly}));
    QCOMPARE(o.outcome, Outcome::Calculated);
    QCOMPARE(o.results.rowRandomError[2], 0.0);
    QCOMPARE(o.results.rowUndermetering[2], -0.25); // −dU × W / 100
    QCOMPARE(o.results.rowRandomError[1], 0.0);
    QCOMPARE(o.results.rowUndermetering[1], 0.0);
    QVERIFY(qFuzzyCompare(o.results.rowRandomError[0], 1.1 * std::sqrt(0.75) * 1000 / 100));
}

void TestCalc::meterAgeingByType()
{
    Row induction = directRow(), electronic = directRow(), other = directRow();
    induction.type = QStringLiteral("И");
    other.type = QStringLiteral("X");
    // 2 years, class 2.0, 20 thousand kWh: −0.2 × 2 × 2.0 % of 20.
    const CalcOutcome o = evaluate(makeDataset({Row()}, {induction, electronic, other}));
    QVERIFY(qFuzzyCompare(o.results.rowUndermetering[1], -0.16));
    QCOMPARE(o.results.rowUndermetering[2], 0.0);
    QVERIFY(qFuzzyCompare(o.results.rowUndermetering[3], -0.16));
}

void TestCalc::normativePassRaisesLoadFactor()
{
    Row low, high;
    high.energy = 2000; // β 0.69
    const CalcOutcome o = evaluate(makeDataset({high}, {low}));
    QCOMPARE(o.results.rowLoadFactor[1], 0.34);
    QVERIFY(qFuzzyCompare(o.results.rowNormativeLoadFactor[1], 0.8 * 2 / 3));
    QVERIFY(qFuzzyCompare(o.results.rowNormativeMaxLoad[1], 0.8));
    QCOMPARE(o.results.rowLoadFactor[0], 0.69);
    QCOMPARE(o.results.rowNormativeLoadFactor[0], 0.69);
}

// ---------------------------------------------------------------------------------------------
// Balance and driver

void TestCalc::releaseAgainstIntake()
{
    Row intake, external, own;
    intake.energy = 1000;
    external.energy = 1010;
    own.name = QStringLiteral("Последняя");
    own.energy = 300;
    CalcOutcome o = evaluate(makeDataset({intake}, {external}, {own}));
    QCOMPARE(o.outcome, Outcome::Blocked);
    QCOMPARE(o.message, QStringLiteral("В исходных данных есть критические ошибки - расчет невозможен. Смотри стоплист."));
    QCOMPARE(o.stopList.size(), 1);
    const StopListEntry &e = o.stopList.last();
    QCOMPARE(e.message, QStringLiteral("Отпуск должен быть меньше поступления. Проверьте данные."));
    QCOMPARE(e.parameter, QStringLiteral("Поступление и отпуск"));
    QCOMPARE(e.kind, kError);
    QCOMPARE(e.value, 0.0);
    QCOMPARE(e.fileRow, 2);
    QCOMPARE(e.table, 3);              // the last row walked
    QCOMPARE(e.rowInTable, 1);
    QCOMPARE(e.name, QStringLiteral("Последняя"));
    QCOMPARE(o.errorCount, 1);
    QCOMPARE(o.results.actualUpper, 0.0); // not reached

    external.energy = 1009.9;
    o = evaluate(makeDataset({intake}, {external}, {own}));
    QCOMPARE(o.outcome, Outcome::Calculated);
    QVERIFY(qFuzzyCompare(o.results.netSupply, 1000 - 1009.9));
    QVERIFY(qFuzzyCompare(o.results.externalShare, 1.0099));

    // Errors of the validation block after the sums, without a balance entry.
    own.date = 13.01;
    o = evaluate(makeDataset({intake}, {external}, {own}));
    QCOMPARE(o.outcome, Outcome::Blocked);
    QCOMPARE(o.stopList.size(), 1);
    QCOMPARE(o.results.intakeEnergy, 1000.0);
}

void TestCalc::intakeZeroOwnReleaseOnly()
{
    Row own = directRow();
    own.type = QStringLiteral("И");
    own.energy = 50;
    const CalcOutcome o = evaluate(makeDataset({}, {}, {own}));
    QCOMPARE(o.outcome, Outcome::Calculated);
    const CalcResults &r = o.results;
    QCOMPARE(r.netSupply, 50.0);
    QCOMPARE(r.ownShare, 1.0);
    QCOMPARE(r.externalShare, 0.0);
    QCOMPARE(r.intakePresent, 0.0);
    QCOMPARE(r.actualLoss, 0.0);
    QCOMPARE(r.maxIntakePointName, QStringLiteral("отсутствует"));
    QCOMPARE(r.maxIntakeUndermetering, 0.0);
    QCOMPARE(r.intakeUndermetering, 0.0);
    QCOMPARE(r.externalUndermetering, 0.0);
    QVERIFY(r.ownUndermetering > 0);
    int percentFigures = 0;
    for (const auto &p : namedResults(r)) {
        if (p.first.endsWith(QLatin1String("PctIntake"))) {
            QCOMPARE(p.second, 0.0);
            ++percentFigures;
        }
    }
    QCOMPARE(percentFigures, 23);
    QCOMPARE(r.actualUpperPctNet, r.actualUpper / 50 * 100);
}

void TestCalc::allEnergiesZero()
{
    Row a, b;
    a.energy = 0;
    b.energy = 0;
    b.name = QStringLiteral("Последняя");
    CalcOutcome o = evaluate(makeDataset({a}, {b}));
    QCOMPARE(o.outcome, Outcome::AllEnergiesZero);
    QCOMPARE(o.message, QStringLiteral("Все энергии нулевые. Расчет невозможен"));
    QCOMPARE(o.stopList.size(), 1);
    QCOMPARE(o.stopList[0].parameter, QStringLiteral("Все энергии"));
    QCOMPARE(o.stopList[0].message, QStringLiteral("Все энергии нулевые. Расчет невозможен"));
    QCOMPARE(o.stopList[0].kind, kError);
    QCOMPARE(o.stopList[0].fileRow, 2);
    QCOMPARE(o.stopList[0].table, 2);
    QCOMPARE(o.stopList[0].name, QStringLiteral("Последняя"));

    // Correction factors of 0 leave nothing either.
    Dataset ds = makeDataset({Row()}, {Row()});
    ds.correctionFactor[0] = ds.correctionFactor[1] = QStringLiteral("0.00");
    QCOMPARE(evaluate(ds).outcome, Outcome::AllEnergiesZero);
}

void TestCalc::emptyDataset()
{
    Dataset ds;
    CalcOutcome o = evaluate(ds);
    QCOMPARE(o.outcome, Outcome::AllEnergiesZero);
    QCOMPARE(o.stopList.size(), 1);
    QCOMPARE(o.stopList[0].table, 0);  // no row was walked
    QCOMPARE(o.stopList[0].rowInTable, 0);
    QCOMPARE(o.stopList[0].name, QString());
    QVERIFY(allFinite(o));

    // Counts that promise rows the columns do not have.
    ds.intakeCount = 3;
    ds.ownCount = -2;
    o = evaluate(ds);
    QCOMPARE(o.results.rowCount, 0);
    QCOMPARE(o.outcome, Outcome::AllEnergiesZero);
}

void TestCalc::calculatingTwice()
{
    Row sn = directRow(), hn = directRow(), xn = directRow();
    sn.kind = QStringLiteral("СН");
    hn.kind = QStringLiteral("ПХН");
    xn.kind = QStringLiteral("ХН");
    Row warn;
    warn.ratedCurrent = 125;
    warn.energy = 400;
    Dataset ds = makeDataset({Row(), sn}, {warn, hn}, {xn, Row()});
    ds.correctionFactor[0] = QStringLiteral("1.50");
    const Dataset before = ds;

    const CalcOutcome first = calculate(ds);
    const CalcOutcome second = calculate(ds);
    QCOMPARE(first.outcome, Outcome::Calculated);
    QCOMPARE(ds.energy, before.energy);
    QCOMPARE(ds.vtVoltageLoss, before.vtVoltageLoss);
    QCOMPARE(first.results.intakeEnergy, 1.5 * 1020);
    QCOMPARE(first.results.ownNeedsEnergy, 1.5 * 20);
    QCOMPARE(first.results.householdNeedsEnergy, 40.0);
    QCOMPARE(namedResults(second.results), namedResults(first.results));
    QCOMPARE(second.results.rowUndermetering, first.results.rowUndermetering);
    QCOMPARE(second.results.levelUndermetering, first.results.levelUndermetering);
    QCOMPARE(messages(second), messages(first));
    QCOMPARE(second.warningCount, 1);
}

void TestCalc::correctionFactorBetweenCalculations()
{
    Row intake, external;
    external.energy = 400;
    Dataset ds = makeDataset({intake}, {external});
    const CalcOutcome first = calculate(ds);
    ds.correctionFactor[0] = QStringLiteral("1.10");
    const CalcOutcome second = calculate(ds);
    QCOMPARE(first.results.intakeEnergy, 1000.0);
    QVERIFY(qFuzzyCompare(second.results.intakeEnergy, 1100.0));
    QVERIFY(qFuzzyCompare(second.results.rowEnergy[0], 1100.0));
    QCOMPARE(ds.energy[0], 1000.0);
    QVERIFY(qFuzzyCompare(second.results.netSupply, 700.0));
    QVERIFY(second.results.rowLoadFactor[0] > first.results.rowLoadFactor[0]);
    QVERIFY(second.results.actualUpper != first.results.actualUpper);
    // Back to 1.00: the first results again.
    ds.correctionFactor[0] = QStringLiteral("1.00");
    QCOMPARE(namedResults(calculate(ds).results), namedResults(first.results));
}

void TestCalc::noNanFromZeroDivisors()
{
    // A zero-energy row is not validated, so 2Кз + 1 may be 0: its load is 0, not NaN.
    Row odd;
    odd.energy = 0;
    odd.fill = -0.5;
    // Rows whose channels have no systematic error: both level totals are 0.
    Row plain = directRow();
    plain.type = QStringLiteral("Э");
    plain.energy = 1000;
    Row plainRelease = plain;
    CalcOutcome o = evaluate(makeDataset({plain, odd}, {plainRelease}));
    QCOMPARE(o.outcome, Outcome::Calculated);
    QCOMPARE(o.results.rowMaxLoadShown[1], 0.0);
    QCOMPARE(o.results.rowNormativeMaxLoad[1], 0.0);
    QCOMPARE(o.results.levelUndermetering[ReleaseLevelTotal], 0.0);
    QCOMPARE(o.results.levelUndermetering[IntakeLevelTotal], 0.0);
    QCOMPARE(o.results.actualUpperPerReleaseUndermetering, 0.0);
    QCOMPARE(o.results.undermeteringDifferenceShare, 0.0);
    // Net supply 0: every percent of net supply is 0.
    QCOMPARE(o.results.netSupply, 0.0);
    QCOMPARE(o.results.actualUpperPctNet, 0.0);
    QVERIFY(allFinite(o));

    // A negative CT class is an error; the CT losses and group figures stay finite.
    Row negative;
    negative.ct = -1;
    o = evaluate(makeDataset({negative}, {Row()}));
    QCOMPARE(o.outcome, Outcome::Blocked);
    QVERIFY(allFinite(o));
}

void TestCalc::orderReleaseShares()
{
    Dataset ds = oneRow(Row());
    CalcOutcome o = evaluate(ds);
    QCOMPARE(o.results.orderReleaseTotal, 0.0);
    QCOMPARE(o.results.orderReleaseShares, (std::array<double, 4>{0, 0, 0, 0}));
    ds.networkRelease[0] = 1;
    ds.networkRelease[1] = 2;
    ds.networkRelease[2] = 3;
    ds.networkRelease[3] = 4;
    o = evaluate(ds);
    QCOMPARE(o.results.orderReleaseTotal, 10.0);
    QCOMPARE(o.results.orderReleaseShares, (std::array<double, 4>{0.1, 0.2, 0.3, 0.4}));
}

void TestCalc::calculateMarksRowColumns()
{
    Dataset ds = makeDataset({Row(), Row()}, {Row()});
    ds.spare = QVector<int>(1, 7);       // left short by the table editor
    ds.pointDays = QVector<int>(5, 9);
    calculate(ds);
    QCOMPARE(ds.spare, QVector<int>(3, 0));
    QCOMPARE(ds.pointDays, QVector<int>(3, 31));
}

QTEST_GUILESS_MAIN(TestCalc)
#include "tst_calc.moc"
