#include "core/calculation.h"

#include "core/balance.h"
#include "core/errormodel.h"
#include "core/helpers.h"
#include "core/validation.h"

#include <algorithm>
#include <initializer_list>

namespace keli {

QString blockedMessage()
{
    return QStringLiteral("В исходных данных есть критические ошибки - расчет невозможен. Смотри стоплист.");
}

QString allEnergiesZeroMessage()
{
    return QStringLiteral("Все энергии нулевые. Расчет невозможен");
}

QString outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Calculated: return QStringLiteral("calculated");
    case Outcome::Blocked: return QStringLiteral("blocked");
    case Outcome::FillFactorZero: return QStringLiteral("fillFactorZero");
    case Outcome::AllEnergiesZero: return QStringLiteral("allEnergiesZero");
    }
    return QString();
}

namespace {

// Rows that can be walked: the three counts, but never past the shortest column read.
int walkableRows(const Dataset &ds, int counted)
{
    int n = std::max(counted, 0);
    n = std::min({n, ds.name.size(), ds.pointKind.size(), ds.meterType.size()});
    for (const QVector<double> *c : {&ds.ctClass, &ds.vtClass, &ds.energy, &ds.tanPhi, &ds.fillFactor,
                                     &ds.vtVoltageLoss, &ds.verificationDate, &ds.meterCount,
                                     &ds.meterClass, &ds.ctVoltage, &ds.reportVoltage})
        n = std::min(n, c->size());
    for (const QVector<int> *c : {&ds.ctRatedCurrent, &ds.offDays})
        n = std::min(n, c->size());
    return n;
}

// Reads the inputs and sizes the per-row working values.
void startCalculation(const Dataset &ds, CalcResults &r)
{
    r.intakeCount = std::max(ds.intakeCount, 0);
    r.externalCount = std::max(ds.externalCount, 0);
    r.ownCount = std::max(ds.ownCount, 0);
    r.rowCount = walkableRows(ds, r.intakeCount + r.externalCount + r.ownCount);
    // One period for everything: the days are always those of the period the ages are measured to.
    r.periodMonth = ds.calcMonth;
    r.periodYear = ds.calcYear;
    r.periodDays = k_day(ds.calcMonth, ds.calcYear);
    for (int t = 1; t <= 3; ++t)
        r.correctionFactor[t - 1] = ds.correctionFactorValue(t);
    for (int k = 0; k < 4; ++k)
        r.networkRelease[k] = ds.networkRelease[k];
    r.techLosses = ds.techLosses;
    r.techLossErrorPct = ds.techLossErrorPct;
    r.permissibleCommercialLoss = ds.permissibleCommercialLoss;

    const int n = r.rowCount;
    for (QVector<double> *v : {&r.rowEnergy, &r.rowLoadFactor, &r.rowMaxLoadShown,
                               &r.rowNormativeLoadFactor, &r.rowNormativeMaxLoad, &r.rowReportVoltage,
                               &r.rowReportVoltageShown, &r.rowVtCircuitLoss, &r.rowCtLoss,
                               &r.rowYearsSinceVerification, &r.rowUndermetering, &r.rowRandomError})
        v->fill(0.0, n);
    r.pointDays.fill(0, n);
}

void countFindings(CalcOutcome &o)
{
    o.errorCount = 0;
    o.warningCount = 0;
    for (const StopListEntry &e : o.stopList) {
        if (e.kind == kindError)
            ++o.errorCount;
        else if (e.kind == kindWarning)
            ++o.warningCount;
    }
}

// The two balance entries carry file row 2 and the position and name of the last row walked.
void addBalanceEntry(CalcOutcome &o, const Dataset &ds, const QString &parameter, const QString &message)
{
    const CalcResults &r = o.results;
    int table = 0, number = 0;
    QString name;
    if (r.rowCount > 0) {
        groupStr(r.rowCount, r.intakeCount, r.externalCount, table, number);
        name = ds.name[r.rowCount - 1];
    }
    addArrMesErr(o.stopList, 2, table, number, name, parameter, 0, message, kindError);
}

} // namespace

CalcOutcome evaluate(const Dataset &ds)
{
    CalcOutcome o;
    CalcResults &r = o.results;
    startCalculation(ds, r);

    const WalkResult walk = validateRows(ds, r, o.stopList);
    countFindings(o);
    if (walk.fillFactorZero) {
        o.outcome = Outcome::FillFactorZero;
        o.message = walk.message;
        return o;
    }

    r.intakeEnergy = fsum1(ds, r, 1, r.intakeCount);
    r.externalReleaseEnergy = fsum1(ds, r, 2, r.externalCount);
    r.ownReleaseEnergy = fsum1(ds, r, 3, r.ownCount);

    switch (balance(r, o.errorCount)) {
    case BalanceVerdict::AllEnergiesZero:
        addBalanceEntry(o, ds, QStringLiteral("Все энергии"), allEnergiesZeroMessage());
        countFindings(o);
        o.outcome = Outcome::AllEnergiesZero;
        o.message = allEnergiesZeroMessage();
        return o;
    case BalanceVerdict::ReleaseExceedsIntake:
        addBalanceEntry(o, ds, QStringLiteral("Поступление и отпуск"),
                        QStringLiteral("Отпуск должен быть меньше поступления. Проверьте данные."));
        countFindings(o);
        o.outcome = Outcome::Blocked;
        o.message = blockedMessage();
        return o;
    case BalanceVerdict::Errors:
        o.outcome = Outcome::Blocked;
        o.message = blockedMessage();
        return o;
    case BalanceVerdict::Proceed:
        break;
    }

    balanceLosses(r);
    double intakeSum = 0, externalSum = 0, ownSum = 0;
    rasm(ds, r, r.rowCount, r.intakeCount, r.externalCount, r.actualUpper, r.actualLower,
         r.normativeUpper, r.normativeLower, r.maxIntakeUndermetering, r.maxReleaseUndermetering,
         r.maxIntakePointName, r.maxReleasePointName, intakeSum, externalSum, ownSum);
    r.intakeUndermetering = -intakeSum;
    r.externalUndermetering = -externalSum;
    r.ownUndermetering = -ownSum;
    if (r.intakeEnergy == 0) {
        r.maxIntakePointName = QStringLiteral("отсутствует");
        r.maxIntakeUndermetering = 0;
        r.intakeUndermetering = 0;
        r.externalUndermetering = 0;
    }
    imbalanceFigures(r);
    o.outcome = Outcome::Calculated;
    return o;
}

CalcOutcome calculate(Dataset &ds)
{
    CalcOutcome o = evaluate(ds);
    const int rows = ds.rowCount();
    ds.spare.fill(0, rows);
    ds.pointDays.fill(0, rows);
    for (int i = 0; i < std::min(rows, o.results.pointDays.size()); ++i)
        ds.pointDays[i] = o.results.pointDays[i];
    return o;
}

QVector<QPair<QString, double>> namedResults(const CalcResults &r)
{
    QVector<QPair<QString, double>> out;
    const auto add = [&out](const char *name, double value) {
        out.append(qMakePair(QString::fromLatin1(name), value));
    };
#define KELI_RESULT(f) add(#f, r.f)
    KELI_RESULT(intakeEnergy);
    KELI_RESULT(externalReleaseEnergy);
    KELI_RESULT(ownReleaseEnergy);
    KELI_RESULT(ownNeedsEnergy);
    KELI_RESULT(householdNeedsEnergy);
    KELI_RESULT(netSupply);
    KELI_RESULT(intakePresent);
    KELI_RESULT(externalShare);
    KELI_RESULT(ownShare);
    KELI_RESULT(ctLossEnergy);
    for (const FigureFields &f : figuresWithPercentages()) {
        add(f.name, r.*f.value);
        out.append(qMakePair(QString::fromLatin1(f.name) + QStringLiteral("PctIntake"), r.*f.pctIntake));
        out.append(qMakePair(QString::fromLatin1(f.name) + QStringLiteral("PctNet"), r.*f.pctNet));
    }
    KELI_RESULT(orderReleaseTotal);
    KELI_RESULT(actualUpperPerReleaseUndermetering);
    KELI_RESULT(undermeteringDifferenceShare);
    KELI_RESULT(maxIntakeUndermetering);
    KELI_RESULT(maxReleaseUndermetering);
    KELI_RESULT(intakeUndermetering);
    KELI_RESULT(externalUndermetering);
    KELI_RESULT(ownUndermetering);
#undef KELI_RESULT
    return out;
}

} // namespace keli
