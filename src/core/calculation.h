#pragma once
// The calculation behind "РАСЧЕТ": validation and stop list, table sums, balance, the channel
// error model and the imbalance figures. Pure over a Dataset: the energies are corrected on a
// working copy, never in the dataset.

#include "core/dataset.h"

#include <QString>
#include <QVector>

namespace keli {

// One finding of the validation.
struct StopListEntry
{
    int fileRow = 0;     // row of the source workbook
    int table = 0;       // 1..3
    int rowInTable = 0;  // 1-based
    QString name;
    QString parameter;
    double value = 0;
    QString message;
    QString kind;        // "Ошибка" or "Предупреждение"
};

// How the calculation ended; the caller shows what belongs to it.
enum class Outcome { Calculated, Blocked, FillFactorZero, AllEnergiesZero };

struct CalcOutcome
{
    Outcome outcome = Outcome::Blocked;
    QString message;                 // message box text when the calculation did not complete
    QVector<StopListEntry> stopList;
    int errorCount = 0;
    int warningCount = 0;
};

} // namespace keli
