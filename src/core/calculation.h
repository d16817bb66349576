#pragma once
// The calculation behind "РАСЧЕТ": validation and stop list, table sums, balance, the channel
// error model and the imbalance figures. Pure over a Dataset: the energies are corrected on a
// working copy, never in the dataset, so calculating twice gives the same results.
//
// Units: energies in thousand kWh, network releases in million kWh, classes and circuit losses in %,
// voltages in kV, currents in A, ages in years. "PctIntake" is the figure as a percent of
// intakeEnergy, "PctNet" as a percent of netSupply; both are 0 when their base is 0.
// No field ever holds NaN or infinity: a zero divisor gives 0.

#include "core/dataset.h"

#include <QPair>
#include <QString>
#include <QVector>

#include <array>

namespace keli {

// One finding of the validation.
struct StopListEntry
{
    int fileRow = 0;     // row of the source workbook (2 = first data row)
    int table = 0;       // 1 intake, 2 external release, 3 own release (0: no row walked)
    int rowInTable = 0;  // 1-based position within its table (0: no row walked)
    QString name;        // the metering point's name as entered
    QString parameter;   // what was checked
    double value = 0;    // the offending value, round(value, 2)
    QString message;     // what is wrong or what to do
    QString kind;        // "Ошибка" or "Предупреждение"
};

// Energy-weighted characteristics of one table (all 0 when the table's energy sum is 0).
struct GroupCharacteristics
{
    double combinedClass = 0;          // Σ W·√(δТТ²+δТН²+δсч²) / Σ W, %
    double ctClass = 0;                // Σ W·δТТ / Σ W, %
    double vtClass = 0;                // Σ W·δТН / Σ W, %
    double meterClass = 0;             // Σ W·δсч / Σ W, %
    double ctLoad = 0;                 // Σ round(W·3β/(2Кз+1), 2) / Σ W, maximum CT load factor
    double reportVoltage = 0;          // Σ round(W·Uотч shown, 2) / Σ W, kV
    double vtCircuitLoss = 0;          // Σ round(W·dU, 2) / Σ W, %
    double yearsSinceVerification = 0; // Σ T / row count, plain mean, years
};

// Positions in CalcResults::levelUndermetering.
enum LevelIndex {
    ReleaseLevel04 = 0, ReleaseLevel6to20, ReleaseLevel35to60, ReleaseLevel110, ReleaseLevel220,
    ReleaseLevelTotal,
    IntakeLevel04, IntakeLevel6to20, IntakeLevel35to60, IntakeLevel110, IntakeLevel220,
    IntakeLevelTotal,
    LevelCount
};

// Everything one calculation found. Results a calculation did not reach stay 0 / empty.
struct CalcResults
{
    // --- what the calculation started from (remembered for groupStr and the reports) ----------
    int intakeCount = 0;      // rows of table 1 at the start
    int externalCount = 0;    // rows of table 2 at the start
    int ownCount = 0;         // rows of table 3 at the start
    int rowCount = 0;         // n = rows walked: the three counts, at most the dataset's rows
    int periodDays = 0;       // D, days of the calculation period
    int periodMonth = 0;      // the calculation period (1..12, 13 = whole year): the ages, the
    int periodYear = 0;       // hours and the report headings all follow it
    double correctionFactor[3] = {0, 0, 0}; // k1..k3 as read from Txt1..Txt3
    double networkRelease[4] = {0, 0, 0, 0}; // Otp1..Otp4, million kWh (110-220, 35, 6-10, 0.4 kV)
    double techLosses = 0;                // thousand kWh, as entered
    double techLossErrorPct = 0;          // %, as entered
    double permissibleCommercialLoss = 0; // thousand kWh, as entered

    // --- per row, index order over the three tables, length rowCount ----------------------------
    QVector<double> rowEnergy;           // W corrected by the table's factor, thousand kWh (the reports print this)
    QVector<double> rowLoadFactor;       // β after validation (Report 1 page), 2 decimals; 0 without CT / W = 0
    QVector<double> rowMaxLoadShown;     // 3β/(2Кз+1) with that β (0 when 2Кз+1 = 0), not rounded
    QVector<double> rowNormativeLoadFactor; // β as the normative pass left it (raised to 0.8(2Кз+1)/3)
    QVector<double> rowNormativeMaxLoad; // 3β/(2Кз+1) with the normative β (Report 1 workbook col. 13)
    QVector<double> rowReportVoltage;    // Uотч rounded to 2 decimals as the calculation used it, kV
                                         // (0 for a row with W = 0, which is not walked that far)
    QVector<double> rowReportVoltageShown; // the same, but 0.4 for a directly connected meter with 0
    QVector<double> rowVtCircuitLoss;    // dU as the calculation left it: 0 for directly connected
                                         // meters, limited by the normative pass, % (Report 1 col. 14)
    QVector<double> rowCtLoss;           // losses in the row's CTs, thousand kWh
    QVector<double> rowYearsSinceVerification; // T = kol_y(verificationDate, periodMonth, periodYear)
    QVector<double> rowUndermetering;    // ΔW of the actual pass, signed (negative = records too little)
    QVector<double> rowRandomError;      // σ of the actual pass, thousand kWh
    QVector<int> pointDays;              // D for every walked row

    // --- table sums and group characteristics -------------------------------------------------
    double intakeEnergy = 0;          // Σ W of table 1
    double externalReleaseEnergy = 0; // Σ W of table 2
    double ownReleaseEnergy = 0;      // Σ W of table 3
    double ownNeedsEnergy = 0;        // Σ W of rows of kind "СН" (any table)
    double householdNeedsEnergy = 0;  // Σ W of rows of kind "ПХН" or "ХН" (any table)
    std::array<GroupCharacteristics, 3> groupCharacteristics; // tables 1, 2, 3
    double ctLossEnergy = 0;          // Σ rowCtLoss

    // --- balance ------------------------------------------------------------------------------
    double netSupply = 0;      // intake − external release (see the balance for intake 0)
    double intakePresent = 0;  // 1 when intakeEnergy ≠ 0, else 0 (share column of group 1)
    double externalShare = 0;  // external release / intake (or / all releases when intake is 0)
    double ownShare = 0;       // own release / intake (or / all releases when intake is 0)
    double actualLoss = 0, actualLossPctIntake = 0, actualLossPctNet = 0; // netSupply − own + own needs
    double commercialLoss = 0, commercialLossPctIntake = 0, commercialLossPctNet = 0; // actualLoss − techLosses

    // --- imbalance ranges ----------------------------------------------------------------------
    // actual pass: H ± I with H = Σ intake ΔW − Σ release ΔW, I = √Σσ²
    double actualUpper = 0, actualUpperPctIntake = 0, actualUpperPctNet = 0;
    double actualLower = 0, actualLowerPctIntake = 0, actualLowerPctNet = 0;
    double actualSystematic = 0, actualSystematicPctIntake = 0, actualSystematicPctNet = 0; // (upper+lower)/2
    double actualRandom = 0, actualRandomPctIntake = 0, actualRandomPctNet = 0;             // (upper−lower)/2
    // normative pass
    double normativeUpper = 0, normativeUpperPctIntake = 0, normativeUpperPctNet = 0;
    double normativeLower = 0, normativeLowerPctIntake = 0, normativeLowerPctNet = 0;
    double normativeSystematic = 0, normativeSystematicPctIntake = 0, normativeSystematicPctNet = 0;
    double normativeRandom = 0, normativeRandomPctIntake = 0, normativeRandomPctNet = 0;
    // actual beyond normative
    double excessUpper = 0, excessUpperPctIntake = 0, excessUpperPctNet = 0;
    double excessLower = 0, excessLowerPctIntake = 0, excessLowerPctNet = 0;
    double excessSystematic = 0, excessSystematicPctIntake = 0, excessSystematicPctNet = 0;
    double excessRandom = 0, excessRandomPctIntake = 0, excessRandomPctNet = 0;
    // with the permissible commercial losses (mid) and the technical-loss error dT (random)
    double actualWithLossesMid = 0, actualWithLossesMidPctIntake = 0, actualWithLossesMidPctNet = 0;
    double actualWithLossesRandom = 0, actualWithLossesRandomPctIntake = 0, actualWithLossesRandomPctNet = 0;
    double actualWithLossesUpper = 0, actualWithLossesUpperPctIntake = 0, actualWithLossesUpperPctNet = 0; // mid + random
    double actualWithLossesLower = 0, actualWithLossesLowerPctIntake = 0, actualWithLossesLowerPctNet = 0; // mid − random
    double normativeWithLossesMid = 0, normativeWithLossesMidPctIntake = 0, normativeWithLossesMidPctNet = 0;
    double normativeWithLossesRandom = 0, normativeWithLossesRandomPctIntake = 0, normativeWithLossesRandomPctNet = 0;
    double normativeWithLossesUpper = 0, normativeWithLossesUpperPctIntake = 0, normativeWithLossesUpperPctNet = 0;
    double normativeWithLossesLower = 0, normativeWithLossesLowerPctIntake = 0, normativeWithLossesLowerPctNet = 0;
    // random error including the VT circuit loss, of the normative pass (order No. 326 losses)
    double combinedRandomWithLosses = 0, combinedRandomWithLossesPctIntake = 0, combinedRandomWithLossesPctNet = 0;

    // --- undermetering by table, level and largest contributor -------------------------------------
    double intakeUndermetering = 0;   // −Σ ΔW of table 1 (positive = undermetering); 0 when intake is 0
    double externalUndermetering = 0; // −Σ ΔW of table 2; 0 when intake is 0
    double ownUndermetering = 0;      // −Σ ΔW of table 3
    // Negated level sums of round(ΔW, 2), in LevelIndex order: release 0.4, 6-20, 35-60, 110,
    // 220 kV, release total, intake 0.4, 6-20, 35-60, 110, 220 kV, intake total.
    std::array<double, LevelCount> levelUndermetering{};
    double maxIntakeUndermetering = 0;  // largest |ΔW| of an intake row (0 when intake is 0)
    QString maxIntakePointName;         // its name, trimmed; "отсутствует" when intake is 0
    double maxReleaseUndermetering = 0; // largest |ΔW| of a release row (tables 2 and 3)
    QString maxReleasePointName;        // its name, trimmed; empty when there is no release row

    // --- order No. 326 and the two ratios of the level sums ---------------------------------------
    double orderReleaseTotal = 0;                  // Otp1 + Otp2 + Otp3 + Otp4, million kWh
    std::array<double, 4> orderReleaseShares{};    // Otp_i / total, zeros when the total is 0
    double actualUpperPerReleaseUndermetering = 0; // actualUpper / release level total (intake total when 0)
    double undermeteringDifferenceShare = 0;       // round(release − intake total, 2) / release total (…)
};

// How the calculation ended; the caller shows what belongs to it.
enum class Outcome {
    Calculated,      // results complete; reports follow, then the error page when there are warnings
    Blocked,         // critical errors: message box, error page and stop-list workbook, no reports
    FillFactorZero,  // a walked row had Кз = 0: message box with `message`, nothing else
    AllEnergiesZero  // every energy is 0: message box with `message`, nothing else
};

struct CalcOutcome
{
    Outcome outcome = Outcome::Blocked;
    QString message;                 // message box text when the calculation did not complete
    QVector<StopListEntry> stopList; // in order of appending
    int errorCount = 0;              // entries of kind "Ошибка"
    int warningCount = 0;            // entries of kind "Предупреждение"
    CalcResults results;
};

// Texts of the outcome messages.
QString blockedMessage();          // "В исходных данных есть критические ошибки - расчет невозможен. Смотри стоплист."
QString allEnergiesZeroMessage();  // "Все энергии нулевые. Расчет невозможен"
// Name of the outcome for machine-readable output: "calculated", "blocked", "fillFactorZero",
// "allEnergiesZero".
QString outcomeName(Outcome outcome);

// One calculation over the dataset as it stands (the press of "РАСЧЕТ" without its windows).
// Reads ds, never changes it.
CalcOutcome evaluate(const Dataset &ds);

// As evaluate(), then writes back the two row columns the calculation owns: pointDays (sized to the
// rows, D for every walked row) and spare (sized to the rows, all 0). Energies stay as entered.
CalcOutcome calculate(Dataset &ds);

// Every scalar result under its name (intakeEnergy, intakeEnergy..., actualLossPctIntake, ...),
// in a fixed order; used by keli-calc --json.
QVector<QPair<QString, double>> namedResults(const CalcResults &r);

} // namespace keli
