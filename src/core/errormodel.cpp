#include "core/errormodel.h"

#include "core/calcmath.h"
#include "core/helpers.h"

#include <cmath>

namespace keli {

double ctErrorFactor(double beta, int ratedCurrent)
{
    if (ratedCurrent >= 1000)
        return (beta - 1.0) * 625.0 / ratedCurrent;
    if (beta >= 0.2)
        return (beta - 1.0) * 0.625;
    if (beta >= 0.05)
        return (beta - 0.35) * 3.333;
    return (beta - 0.0833) * 30.0;
}

double normativeVtCircuitLoss(const QString &pointKind, double vtCircuitLoss, double vtClass)
{
    double dU = vtCircuitLoss;
    if ((pointKind == QStringLiteral("Р") || pointKind == QStringLiteral("ПХН")
         || pointKind == QStringLiteral("ХН"))
        && dU > 0.5 * vtClass)
        dU = 0.5 * vtClass;
    if ((pointKind == QStringLiteral("Т") || pointKind == QStringLiteral("СН")) && dU > 1.5)
        dU = 1.5;
    return dU;
}

double normativeMeterAge(const QString &meterType, double meters, double years,
                         bool transformerConnected)
{
    if (meterType != QStringLiteral("И"))
        return years;
    double limit;
    if (meters <= 5)
        limit = transformerConnected ? 8.0 : 16.0;
    else if (meters > 50)
        limit = transformerConnected ? 4.0 : 8.0;
    else
        limit = transformerConnected ? (1.0 - meters / 100.0) * 8.0
                                     : (1.0 - (meters - 5.0) / 90.0) * 16.0;
    return years > limit ? limit : years;
}

int voltageLevel(double u, bool releaseRow)
{
    if (u < 1)
        return 0;
    if (u > 2.9 && u < 21)
        return 1;
    if (u > 34 && u < 61)
        return 2;
    if (u > 109 && u < 155)
        return 3;
    if (u > (releaseRow ? 215.0 : 219.0))
        return 4;
    return -1;
}

namespace {

// Running sums of one pass.
struct PassSums
{
    double intake = 0, external = 0, own = 0, release = 0;
    double randomSquares = 0;           // Σσ²
    double randomWithLossSquares = 0;   // Σ of the squared random errors with dU
    double level[2][5] = {{0}};         // [release, intake][level] of round(ΔW, 2)
    bool intakeMaxSet = false, releaseMaxSet = false;
    double intakeMax = 0, releaseMax = 0;
    QString intakeMaxName, releaseMaxName;
};

} // namespace

void rasm(const Dataset &ds, CalcResults &r, int n, int intakeCount, int externalCount,
          double &actualUpper, double &actualLower, double &normativeUpper, double &normativeLower,
          double &maxIntakeUndermetering, double &maxReleaseUndermetering,
          QString &maxIntakePointName, QString &maxReleasePointName,
          double &intakeSum, double &externalSum, double &ownSum)
{
    r.levelUndermetering.fill(0.0);
    r.rowUndermetering.fill(0.0, n);
    r.rowRandomError.fill(0.0, n);
    r.rowNormativeLoadFactor.fill(0.0, n);
    r.rowNormativeMaxLoad.fill(0.0, n);

    // rasm's own copies of the working values; the normative pass changes only these.
    QVector<double> beta = r.rowLoadFactor;
    QVector<double> years = r.rowYearsSinceVerification;
    QVector<double> dU = r.rowVtCircuitLoss;

    PassSums actual;
    for (int pass = 1; pass <= 2; ++pass) {
        const bool normative = pass == 2;
        PassSums s;
        for (int i = 0; i < n; ++i) {
            const double W = r.rowEnergy[i];
            const double N = ds.meterCount[i];
            const double ct = ds.ctClass[i];
            const double vt = ds.vtClass[i];
            const double meter = ds.meterClass[i];
            const double fill = ds.fillFactor[i];
            if (normative) {
                beta[i] = std::max(beta[i], 0.8 * (2.0 * fill + 1.0) / 3.0);
                dU[i] = normativeVtCircuitLoss(ds.pointKind[i], dU[i], vt);
                years[i] = normativeMeterAge(ds.meterType[i], N, years[i], ct != 0 || vt != 0);
            }
            const double k = ctErrorFactor(beta[i], ds.ctRatedCurrent[i]);
            const double ctPart = k * ct;
            const double vtPart = 0.0 * vt;
            const double circuitPart = -dU[i];
            const double meterPart =
                ds.meterType[i] != QStringLiteral("Э") ? -0.2 * years[i] * meter : 0.0;
            const double deltaW = (ctPart + vtPart + circuitPart + meterPart) * W / 100.0;

            const bool release = i >= intakeCount;
            if (!release) {
                s.intake += deltaW;
            } else {
                if (i < intakeCount + externalCount)
                    s.external += deltaW;
                else
                    s.own += deltaW;
                s.release += deltaW;
            }
            const int level = voltageLevel(r.rowReportVoltage[i], release);
            if (level >= 0)
                s.level[release ? 0 : 1][level] += round(deltaW, 2);

            const double magnitude = std::fabs(deltaW);
            if (!release && (!s.intakeMaxSet || magnitude > s.intakeMax)) {
                s.intakeMaxSet = true;
                s.intakeMax = magnitude;
                s.intakeMaxName = ds.name[i].trimmed();
            } else if (release && (!s.releaseMaxSet || magnitude > s.releaseMax)) {
                s.releaseMaxSet = true;
                s.releaseMax = magnitude;
                s.releaseMaxName = ds.name[i].trimmed();
            }

            double sigma = 0;
            if (N > 0 && W != 0) {
                sigma = 1.1 * std::sqrt(ct * ct + vt * vt + meter * meter) * std::fabs(W)
                        / (100.0 * std::sqrt(N));
                const double withLoss = 1.1 * std::sqrt(ct * ct + vt * vt + dU[i] * dU[i] + meter * meter)
                                        * std::fabs(W) / 100.0 / std::sqrt(N);
                s.randomWithLossSquares += withLoss * withLoss;
            }
            s.randomSquares += sigma * sigma;
            if (!normative) {
                r.rowUndermetering[i] = deltaW;
                r.rowRandomError[i] = sigma;
            }
        }
        const double H = s.intake - s.release;
        const double I = std::sqrt(s.randomSquares);
        if (normative) {
            normativeUpper = H + I;
            normativeLower = H - I;
        } else {
            actualUpper = H + I;
            actualLower = H - I;
            actual = s;
        }
        r.combinedRandomWithLosses = std::sqrt(s.randomWithLossSquares);
    }

    for (int i = 0; i < n; ++i) {
        r.rowNormativeLoadFactor[i] = beta[i];
        r.rowNormativeMaxLoad[i] = maxLoadFactor(beta[i], ds.fillFactor[i]);
        r.rowVtCircuitLoss[i] = dU[i];
    }

    // Level sums stored negated (undermetering shown positive), each side with its total.
    for (int side = 0; side < 2; ++side) {
        const int base = side == 0 ? ReleaseLevel04 : IntakeLevel04;
        double total = 0;
        for (int level = 0; level < 5; ++level) {
            r.levelUndermetering[base + level] = -actual.level[side][level];
            total += actual.level[side][level];
        }
        r.levelUndermetering[base + 5] = -total;
    }
    maxIntakeUndermetering = actual.intakeMax;
    maxIntakePointName = actual.intakeMaxName;
    maxReleaseUndermetering = actual.releaseMax;
    maxReleasePointName = actual.releaseMaxName;
    intakeSum = actual.intake;
    externalSum = actual.external;
    ownSum = actual.own;
}

} // namespace keli
