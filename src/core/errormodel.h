#pragma once
// The error model of a metering channel (CT, VT, secondary circuit, meter): the signed systematic
// error (undermetering) and the random error of every row, in an actual and a normative pass.

#include "core/calculation.h"
#include "core/dataset.h"

#include <QString>

namespace keli {

// CT error factor k(β), %/%: (β − 1)·625/Iн for Iн ≥ 1000, else by the segments of β
// (≥ 0.2, ≥ 0.05, below).
double ctErrorFactor(double beta, int ratedCurrent);

// VT secondary-circuit loss as the normative pass limits it, %: settlement and household rows
// ("Р", "ПХН", "ХН") at most half the VT class, then technical and own-needs rows ("Т", "СН") at
// most 1.5.
double normativeVtCircuitLoss(const QString &pointKind, double vtCircuitLoss, double vtClass);

// Years since verification as the normative pass limits them for an induction meter ("И");
// other meter types keep their age.
double normativeMeterAge(const QString &meterType, double meters, double years,
                         bool transformerConnected);

// Level of a reporting voltage for the level sums: 0 (0.4 kV) .. 4 (220 kV), or −1 for none.
// Release rows count in 220 kV from 215 kV up, intake rows from 219 kV up.
int voltageLevel(double reportVoltage, bool releaseRow);

// Both passes over rows 0 .. n − 1 (rows from intakeCount on are releases, from intakeCount +
// externalCount on own releases). Reads the working values of r (rowEnergy, rowLoadFactor,
// rowReportVoltage, rowYearsSinceVerification, rowVtCircuitLoss) and writes rowUndermetering,
// rowRandomError, rowNormativeLoadFactor, rowNormativeMaxLoad, the limited rowVtCircuitLoss,
// levelUndermetering and combinedRandomWithLosses. The rest comes back through the references:
// the two imbalance intervals, the largest contributors and the signed sums of the three tables.
void rasm(const Dataset &ds, CalcResults &r, int n, int intakeCount, int externalCount,
          double &actualUpper, double &actualLower, double &normativeUpper, double &normativeLower,
          double &maxIntakeUndermetering, double &maxReleaseUndermetering,
          QString &maxIntakePointName, QString &maxReleasePointName,
          double &intakeSum, double &externalSum, double &ownSum);

} // namespace keli
