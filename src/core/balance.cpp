#include "core/balance.h"

#include "core/calcmath.h"
#include "core/helpers.h"

#include <algorithm>
#include <cmath>

namespace keli {

double fsum1(const Dataset &ds, CalcResults &r, int table, int rowCount)
{
    const int start = table == 1 ? 0 : table == 2 ? r.intakeCount : r.intakeCount + r.externalCount;
    const int end = std::min(start + std::max(rowCount, 0), r.rowCount);
    double S = 0, A = 0, B = 0, C = 0, D = 0, L = 0, V = 0, U = 0, Y = 0;
    for (int i = start; i < end; ++i) {
        const double W = r.rowEnergy[i];
        const double ct = ds.ctClass[i], vt = ds.vtClass[i], meter = ds.meterClass[i];
        S += W;
        A += W * std::sqrt(ct * ct + vt * vt + meter * meter);
        B += W * ct;
        C += W * vt;
        D += W * meter;
        L += round(safeDivide(W * r.rowLoadFactor[i] * 3.0, 2.0 * ds.fillFactor[i] + 1.0), 2);
        V += round(W * r.rowReportVoltageShown[i], 2);
        U += round(W * r.rowVtCircuitLoss[i], 2);
        Y += r.rowYearsSinceVerification[i];
        if (ds.pointKind[i] == QStringLiteral("СН"))
            r.ownNeedsEnergy += W;
        else if (ds.pointKind[i] == QStringLiteral("ПХН") || ds.pointKind[i] == QStringLiteral("ХН"))
            r.householdNeedsEnergy += W;
    }
    GroupCharacteristics &g = r.groupCharacteristics[table - 1];
    g = GroupCharacteristics();
    if (S != 0) {
        g.combinedClass = A / S;
        g.ctClass = B / S;
        g.vtClass = C / S;
        g.meterClass = D / S;
        g.ctLoad = L / S;
        g.reportVoltage = V / S;
        g.vtCircuitLoss = U / S;
        g.yearsSinceVerification = safeDivide(Y, rowCount);
    }
    if (table == 1)
        r.intakePresent = S != 0 ? 1.0 : 0.0;
    return S;
}

BalanceVerdict balance(CalcResults &r, int errorCount)
{
    const double intake = r.intakeEnergy;
    const double external = r.externalReleaseEnergy;
    const double own = r.ownReleaseEnergy;
    if (intake != 0) {
        r.netSupply = intake - external;
        if (external != 0 && external >= 1.01 * intake)
            return BalanceVerdict::ReleaseExceedsIntake;
        if (errorCount > 0)
            return BalanceVerdict::Errors;
        r.intakePresent = 1.0;
        r.externalShare = external / intake;
        r.ownShare = own / intake;
        return BalanceVerdict::Proceed;
    }
    if (own == 0 && external == 0)
        return BalanceVerdict::AllEnergiesZero;
    r.netSupply = external != 0 ? -external : own;
    if (errorCount > 0)
        return BalanceVerdict::Errors;
    r.intakePresent = 0.0;
    r.externalShare = safeDivide(external, own + external);
    r.ownShare = safeDivide(own, own + external);
    return BalanceVerdict::Proceed;
}

void balanceLosses(CalcResults &r)
{
    r.actualLoss = r.netSupply - r.ownReleaseEnergy + r.ownNeedsEnergy;
    r.commercialLoss = r.actualLoss - r.techLosses;
}

void imbalanceFigures(CalcResults &r)
{
    r.actualSystematic = (r.actualUpper + r.actualLower) / 2.0;
    r.actualRandom = (r.actualUpper - r.actualLower) / 2.0;
    r.normativeSystematic = (r.normativeUpper + r.normativeLower) / 2.0;
    r.normativeRandom = (r.normativeUpper - r.normativeLower) / 2.0;

    r.excessSystematic = r.actualSystematic - r.normativeSystematic;
    const double actualWidth = r.actualUpper - r.actualLower;
    const double normativeWidth = r.normativeUpper - r.normativeLower;
    r.excessRandom = 0.5 * std::sqrt(actualWidth * actualWidth + normativeWidth * normativeWidth);
    r.excessLower = r.excessSystematic - r.excessRandom;
    r.excessUpper = r.excessSystematic + r.excessRandom;

    const double dT = r.techLosses * r.techLossErrorPct / 100.0;
    r.actualWithLossesMid = r.permissibleCommercialLoss + r.actualSystematic;
    r.actualWithLossesRandom = std::sqrt(r.actualRandom * r.actualRandom + dT * dT);
    r.actualWithLossesUpper = r.actualWithLossesMid + r.actualWithLossesRandom;
    r.actualWithLossesLower = r.actualWithLossesMid - r.actualWithLossesRandom;
    r.normativeWithLossesMid = r.permissibleCommercialLoss + r.normativeSystematic;
    r.normativeWithLossesRandom = std::sqrt(r.normativeRandom * r.normativeRandom + dT * dT);
    r.normativeWithLossesUpper = r.normativeWithLossesMid + r.normativeWithLossesRandom;
    r.normativeWithLossesLower = r.normativeWithLossesMid - r.normativeWithLossesRandom;

    r.orderReleaseTotal = r.networkRelease[0] + r.networkRelease[1] + r.networkRelease[2]
                          + r.networkRelease[3];
    for (int k = 0; k < 4; ++k)
        r.orderReleaseShares[k] = safeDivide(r.networkRelease[k], r.orderReleaseTotal);

    const double releaseTotal = r.levelUndermetering[ReleaseLevelTotal];
    const double intakeTotal = r.levelUndermetering[IntakeLevelTotal];
    const double divisor = releaseTotal != 0 ? releaseTotal : intakeTotal;
    r.actualUpperPerReleaseUndermetering = safeDivide(r.actualUpper, divisor);
    r.undermeteringDifferenceShare = safeDivide(round(releaseTotal - intakeTotal, 2), divisor);

    fillPercentages(r);
}

const QVector<FigureFields> &figuresWithPercentages()
{
#define KELI_FIGURE(f) {#f, &CalcResults::f, &CalcResults::f##PctIntake, &CalcResults::f##PctNet}
    static const QVector<FigureFields> figures = {
        KELI_FIGURE(actualLoss),
        KELI_FIGURE(commercialLoss),
        KELI_FIGURE(actualUpper),
        KELI_FIGURE(actualLower),
        KELI_FIGURE(actualSystematic),
        KELI_FIGURE(actualRandom),
        KELI_FIGURE(normativeUpper),
        KELI_FIGURE(normativeLower),
        KELI_FIGURE(normativeSystematic),
        KELI_FIGURE(normativeRandom),
        KELI_FIGURE(excessUpper),
        KELI_FIGURE(excessLower),
        KELI_FIGURE(excessSystematic),
        KELI_FIGURE(excessRandom),
        KELI_FIGURE(actualWithLossesMid),
        KELI_FIGURE(actualWithLossesRandom),
        KELI_FIGURE(actualWithLossesUpper),
        KELI_FIGURE(actualWithLossesLower),
        KELI_FIGURE(normativeWithLossesMid),
        KELI_FIGURE(normativeWithLossesRandom),
        KELI_FIGURE(normativeWithLossesUpper),
        KELI_FIGURE(normativeWithLossesLower),
        KELI_FIGURE(combinedRandomWithLosses),
    };
#undef KELI_FIGURE
    return figures;
}

void fillPercentages(CalcResults &r)
{
    for (const FigureFields &f : figuresWithPercentages()) {
        r.*f.pctIntake = percentOf(r.*f.value, r.intakeEnergy);
        r.*f.pctNet = percentOf(r.*f.value, r.netSupply);
    }
}

} // namespace keli
