#pragma once
// The validation walk over all metering points: plausibility rules, standard scales, the stop list,
// and the per-row working values the later steps need (corrected energy, β, CT losses, ...).

#include "core/calculation.h"
#include "core/dataset.h"

#include <QString>
#include <QVector>

namespace keli {

extern const QString kindError;    // "Ошибка"
extern const QString kindWarning;  // "Предупреждение"

// Standard scales. A value belongs to a scale when it equals a member as a single-precision
// number, so 6.3 and 13.8 kV match however the workbook stored them (some programs write them in
// single precision).
bool isReportingVoltage(double kV);
bool isRatedVoltage(double kV);
bool isTransformerMeterClass(double cls);
bool isDirectMeterClass(double cls);
bool isCtClass(double cls);
bool isVtClass(double cls);
bool isCtRatedCurrent(int amperes);

// Appends one stop-list entry; the value is stored as round(value, 2).
void addArrMesErr(QVector<StopListEntry> &stopList, int fileRow, int table, int rowInTable,
                  const QString &name, const QString &parameter, double value,
                  const QString &message, const QString &kind);

// Load factor β of a CT-connected row (2 decimals): |W|·1000 / (Iном·√3·Uном·hours·N) ·
// √(1 + tg²φ) · (2Кз + 1) / (3Кз); energy in thousand kWh, hours = 24·(D − Doff).
// 0 when it has no value (N, Iном, Uном or hours not positive, or Кз = 0).
double ctLoadFactor(double energy, int ratedCurrent, double ratedVoltage, int hours, double meters,
                    double tanPhi, double fillFactor);

// Losses in the CTs of one row, thousand kWh.
double ctLoss(double ctClass, double ratedVoltage, int ratedCurrent, int workingDays, double meters,
              double beta, double fillFactor);

struct WalkResult
{
    bool fillFactorZero = false; // the walk ended at a row with Кз = 0
    QString message;             // the message box text for that row
};

// Walks rows 0 .. r.rowCount − 1 (r's counts, period and correction factors already set, its row
// vectors sized): corrects the energies into r.rowEnergy, fills the working values and appends the
// findings to stopList.
WalkResult validateRows(const Dataset &ds, CalcResults &r, QVector<StopListEntry> &stopList);

} // namespace keli
