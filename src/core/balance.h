#pragma once
// Table sums with the group characteristics, the energy balance of the object and the figures
// derived from the two imbalance intervals.

#include "core/calculation.h"
#include "core/dataset.h"

#include <QVector>

namespace keli {

// Sum of the corrected energies of table t (rows r.tableStart .. + count within the walked rows);
// fills r.groupCharacteristics[t − 1], adds the table's "СН" rows to ownNeedsEnergy and its "ПХН"/"ХН"
// rows to householdNeedsEnergy, and for table 1 sets intakePresent.
double fsum1(const Dataset &ds, CalcResults &r, int table, int rowCount);

enum class BalanceVerdict {
    Proceed,             // shares set, go on
    ReleaseExceedsIntake, // external release ≥ 1.01 × intake: critical entry, blocked
    AllEnergiesZero,     // every table sums to 0: critical entry and message, ends
    Errors               // validation found errors: blocked
};

// The balance checks after the three sums: sets netSupply and, when it may go on, intakePresent,
// externalShare and ownShare. errorCount is the number of critical errors of the validation.
BalanceVerdict balance(CalcResults &r, int errorCount);

// actualLoss and commercialLoss (percent companions are filled by fillPercentages).
void balanceLosses(CalcResults &r);

// Everything derived once the intervals of rasm are in r: systematic/random parts, excess, the
// figures with losses, the order No. 326 release, the two level-sum ratios, the contributors'
// adjustment when there is no intake, and all percent companions.
void imbalanceFigures(CalcResults &r);

// Every figure that has percent companions: its name and the three fields.
struct FigureFields
{
    const char *name;
    double CalcResults::*value;
    double CalcResults::*pctIntake;
    double CalcResults::*pctNet;
};
const QVector<FigureFields> &figuresWithPercentages();

// Fills every <figure>PctIntake / <figure>PctNet from its figure.
void fillPercentages(CalcResults &r);

} // namespace keli
