// The worked example of docs/worked-example.md: a 10 kV object with one intake feeder, one external
// release feeder, one own release feeder and the substation's own needs, January 2025. Every figure
// below is derived by hand in that document.

#include "core/calculation.h"

#include <QtTest>

#include <cmath>

using namespace keli;

namespace {

Dataset example()
{
    Dataset ds;
    ds.calcMonth = ds.fileMonth = 1;
    ds.calcYear = ds.fileYear = 2025;
    ds.periodDays = 31;
    ds.objectName = QStringLiteral("ПС 10 кВ Пример");
    ds.intakeCount = 1;
    ds.externalCount = 1;
    ds.ownCount = 2;
    ds.techLosses = 60;
    ds.techLossErrorPct = 10;
    ds.permissibleCommercialLoss = 10;
    ds.networkRelease[2] = 1.5;
    ds.networkRelease[3] = 0.5;
    struct R { const char *name, *kind, *type; double W, ct, vt, meter, date, U; int I; double dU, Uotch; int table; };
    const R rows[] = {
        {"Ввод 10 кВ Т1", "Р", "Э", 2000, 0.5, 0.5, 0.5, 1.23, 10, 400, 0.25, 10, 1},
        {"Фидер 10-5", "Р", "Э", 900, 0.5, 0.5, 0.5, 3.24, 10, 200, 0.25, 10, 2},
        {"Фидер 10-7", "Т", "Э", 1000, 0.5, 0.5, 0.5, 3.24, 10, 300, 0.25, 10, 3},
        {"СН подстанции", "СН", "И", 20, 0, 0, 2.0, 1.15, 0.4, 0, 0, 0.4, 3},
    };
    for (const R &r : rows) {
        const int i = ds.appendRow(r.table);
        ds.name[i] = QString::fromUtf8(r.name);
        ds.pointKind[i] = QString::fromUtf8(r.kind);
        ds.meterType[i] = QString::fromUtf8(r.type);
        ds.meterCount[i] = 1;
        ds.energy[i] = r.W;
        ds.fillFactor[i] = 0.5;
        ds.tanPhi[i] = 0;
        ds.ctClass[i] = r.ct;
        ds.vtClass[i] = r.vt;
        ds.meterClass[i] = r.meter;
        ds.verificationDate[i] = r.date;
        ds.ctVoltage[i] = r.U;
        ds.ctRatedCurrent[i] = r.I;
        ds.vtVoltageLoss[i] = r.dU;
        ds.reportVoltage[i] = r.Uotch;
    }
    return ds;
}

bool near(double actual, double expected, double tolerance = 1e-6)
{
    return std::fabs(actual - expected) <= tolerance;
}

#define NEAR(actual, expected) \
    QVERIFY2(near((actual), (expected)), \
             qPrintable(QStringLiteral(#actual " = ") + QString::number((actual), 'g', 17) \
                        + QStringLiteral(", expected ") + QString::number((expected), 'g', 17)))

} // namespace

class TestCalcExample : public QObject
{
    Q_OBJECT

private slots:
    void rowsAndValidation();
    void groupsAndBalance();
    void errorModel();
    void derivedFigures();
};

void TestCalcExample::rowsAndValidation()
{
    const CalcOutcome o = evaluate(example());
    QCOMPARE(o.outcome, Outcome::Calculated);
    QCOMPARE(o.stopList.size(), 0);
    const CalcResults &r = o.results;
    QCOMPARE(r.rowLoadFactor, QVector<double>({0.52, 0.47, 0.34, 0.0}));
    NEAR(r.rowMaxLoadShown[0], 0.78);
    NEAR(r.rowMaxLoadShown[1], 0.705);
    NEAR(r.rowMaxLoadShown[2], 0.51);
    QCOMPARE(r.rowYearsSinceVerification, QVector<double>({2.0, 0.83, 0.83, 10.0}));
    NEAR(r.rowCtLoss[0], 0.0335867890);
    NEAR(r.rowCtLoss[1], 0.0274383199);
    NEAR(r.rowCtLoss[2], 0.0143588491);
    QCOMPARE(r.rowCtLoss[3], 0.0);
    NEAR(r.ctLossEnergy, 0.0753839580);
    QCOMPARE(r.rowReportVoltageShown[3], 0.4);
}

void TestCalcExample::groupsAndBalance()
{
    const CalcResults r = evaluate(example()).results;
    QCOMPARE(r.intakeEnergy, 2000.0);
    QCOMPARE(r.externalReleaseEnergy, 900.0);
    QCOMPARE(r.ownReleaseEnergy, 1020.0);
    QCOMPARE(r.ownNeedsEnergy, 20.0);
    QCOMPARE(r.householdNeedsEnergy, 0.0);

    const GroupCharacteristics &g1 = r.groupCharacteristics[0];
    NEAR(g1.combinedClass, std::sqrt(0.75));
    NEAR(g1.ctClass, 0.5);
    NEAR(g1.ctLoad, 0.78);
    NEAR(g1.reportVoltage, 10);
    NEAR(g1.vtCircuitLoss, 0.25);
    NEAR(g1.yearsSinceVerification, 2.0);
    NEAR(r.groupCharacteristics[1].ctLoad, 0.705);
    const GroupCharacteristics &g3 = r.groupCharacteristics[2];
    NEAR(g3.combinedClass, (1000 * std::sqrt(0.75) + 20 * 2.0) / 1020);
    NEAR(g3.ctClass, 500.0 / 1020);
    NEAR(g3.vtClass, 500.0 / 1020);
    NEAR(g3.meterClass, 540.0 / 1020);
    NEAR(g3.ctLoad, 510.0 / 1020);
    NEAR(g3.reportVoltage, 10008.0 / 1020);
    NEAR(g3.vtCircuitLoss, 250.0 / 1020);
    NEAR(g3.yearsSinceVerification, 5.415);

    QCOMPARE(r.netSupply, 1100.0);
    QCOMPARE(r.intakePresent, 1.0);
    NEAR(r.externalShare, 0.45);
    NEAR(r.ownShare, 0.51);
    QCOMPARE(r.actualLoss, 100.0);
    NEAR(r.actualLossPctIntake, 5.0);
    NEAR(r.actualLossPctNet, 100.0 / 11);
    QCOMPARE(r.commercialLoss, 40.0);
    NEAR(r.commercialLossPctIntake, 2.0);
    NEAR(r.commercialLossPctNet, 40.0 / 11);
}

void TestCalcExample::errorModel()
{
    const CalcResults r = evaluate(example()).results;
    NEAR(r.rowUndermetering[0], -8.0);
    NEAR(r.rowUndermetering[1], -3.740625);
    NEAR(r.rowUndermetering[2], -4.5625);
    NEAR(r.rowUndermetering[3], -0.8);
    NEAR(r.rowRandomError[0], 1.1 * std::sqrt(0.75) * 20);
    NEAR(r.rowRandomError[1], 1.1 * std::sqrt(0.75) * 9);
    NEAR(r.rowRandomError[2], 1.1 * std::sqrt(0.75) * 10);
    NEAR(r.rowRandomError[3], 0.44);

    const double I = std::sqrt(527.4511); // Σσ² = 363 + 73.5075 + 90.75 + 0.1936
    NEAR(r.actualUpper, 1.103125 + I);
    NEAR(r.actualLower, 1.103125 - I);
    NEAR(r.normativeUpper, 0.4041666667 + I);
    NEAR(r.normativeLower, 0.4041666667 - I);
    NEAR(r.combinedRandomWithLosses, std::sqrt(571.389225)); // with dU: 393.25 + 79.633125 + 98.3125 + 0.1936

    QCOMPARE(r.intakeUndermetering, 8.0);
    NEAR(r.externalUndermetering, 3.740625);
    NEAR(r.ownUndermetering, 5.3625);
    QCOMPARE(r.maxIntakePointName, QStringLiteral("Ввод 10 кВ Т1"));
    NEAR(r.maxIntakeUndermetering, 8.0);
    QCOMPARE(r.maxReleasePointName, QStringLiteral("Фидер 10-7"));
    NEAR(r.maxReleaseUndermetering, 4.5625);

    const std::array<double, LevelCount> levels = {0.8, 8.3, 0, 0, 0, 9.1, 0, 8.0, 0, 0, 0, 8.0};
    for (int k = 0; k < LevelCount; ++k)
        NEAR(r.levelUndermetering[k], levels[k]);
    QVERIFY(qFuzzyCompare(r.rowNormativeLoadFactor[0], 0.8 * 2 / 3));
}

void TestCalcExample::derivedFigures()
{
    const CalcResults r = evaluate(example()).results;
    const double I = std::sqrt(527.4511);
    NEAR(r.actualSystematic, 1.103125);
    NEAR(r.actualRandom, I);
    NEAR(r.normativeSystematic, 0.4041666667);
    NEAR(r.normativeRandom, I);
    NEAR(r.excessSystematic, 0.6989583333);
    NEAR(r.excessRandom, I * std::sqrt(2.0));
    NEAR(r.excessUpper, 0.6989583333 + I * std::sqrt(2.0));
    NEAR(r.actualWithLossesMid, 11.103125);
    NEAR(r.actualWithLossesRandom, std::sqrt(527.4511 + 36));
    NEAR(r.actualWithLossesUpper, 11.103125 + std::sqrt(563.4511));
    NEAR(r.normativeWithLossesMid, 10.4041666667);
    NEAR(r.actualUpperPctIntake, (1.103125 + I) / 20);
    NEAR(r.actualUpperPctNet, (1.103125 + I) / 11);
    NEAR(r.combinedRandomWithLossesPctNet, std::sqrt(571.389225) / 11);
    QCOMPARE(r.orderReleaseTotal, 2.0);
    QCOMPARE(r.orderReleaseShares, (std::array<double, 4>{0, 0, 0.75, 0.25}));
    NEAR(r.actualUpperPerReleaseUndermetering, (1.103125 + I) / 9.1);
    NEAR(r.undermeteringDifferenceShare, 1.1 / 9.1);
}

QTEST_GUILESS_MAIN(TestCalcExample)
#include "tst_calc_example.moc"
