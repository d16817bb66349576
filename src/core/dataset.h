#pragma once
// The data of one network object for one calculation period: header values, the period and the
// three tables of metering points as parallel column sequences over one index space.

#include <QMap>
#include <QString>
#include <QVector>

#include <memory>

namespace keli {

struct OpenedBook;

// Metering kind of a table: "Расчетный" (0 in the workbook) or "Технический" (1).
enum class MeteringKind { Settlement = 0, Technical = 1 };

struct Dataset
{
    // --- calculation period and context -------------------------------------------------
    int calcMonth = 0;        // 1..12, 13 = whole year, 0 = none chosen
    int calcYear = 0;         // 2000..2040
    int periodDays = 0;       // k_day(calcMonth, calcYear)
    int fileMonth = 0;        // month stored in the workbook (S2)
    int fileYear = 0;         // year stored in the workbook (T2)
    QString fileMonthText;    // S2 and T2 as the workbook holds them (empty cells: empty), shown by
    QString fileYearText;     // the dataset dialog; for a new dataset the period's numbers
    QString spreadsheetCommand = QStringLiteral("EXCEL");
    QString workbookPath;     // opened or last saved to; empty or "Новый.xlsx" for a new dataset
    // With keepOpenedBook set before loading, the workbook as read is kept: a save over it or under
    // a new name starts from it, not from a second reading, while the file is unchanged on disk.
    bool keepOpenedBook = false;
    std::shared_ptr<const OpenedBook> openedBook;
    // Who signs the reports (keli.ini "org", "preparedBy", "checkedBy"): an empty organisation is
    // the program's fixed one; an empty name leaves a blank line to sign by hand.
    QString organisation;
    QString preparedBy;       // "должность Фамилия И. О."
    QString checkedBy;

    // --- header values (row 1 of the source workbook) ------------------------------------
    QString objectName;
    int intakeCount = 0;      // rows of table 1
    int externalCount = 0;    // rows of table 2
    int ownCount = 0;         // rows of table 3
    MeteringKind meteringKind[3] = {MeteringKind::Technical, MeteringKind::Technical,
                                    MeteringKind::Technical};
    QString reserved1;        // H1, carried only
    QString reserved2;        // I1, carried only
    double techLosses = 0;                // thousand kWh, 3 decimals
    double techLossErrorPct = 0;          // percent, 1 decimal
    double permissibleCommercialLoss = 0; // thousand kWh, 1 decimal
    // Header cells J1..L1 (columns 10..12) holding something that is not a number -> that text. The
    // value above is then 0, the text is saved back, and the calculation is blocked until the
    // dialog sets a value (which drops the text).
    QMap<int, QString> headerNonNumericText;

    // --- dialog-only parameters ------------------------------------------------------------
    QString correctionFactor[3] = {QStringLiteral("1.00"), QStringLiteral("1.00"),
                                   QStringLiteral("1.00")}; // text of Txt1..Txt3
    double networkRelease[4] = {0, 0, 0, 0}; // million kWh: 110-220, 35, 6-10, 0.23-0.4 kV
    // True when the workbook holds its own releases and factors (header cells M1..S1); they are
    // then loaded into the two fields above and stand over keli.ini's defaults.
    bool parametersStored = false;
    bool report1Selected = true;
    bool report2Selected = true;
    bool showStopList = true;

    // --- metering point rows (one index space, tables one block after another) ------------
    // text
    QVector<QString> name;
    QVector<QString> pointKind;   // "Р", "Т", "СН", "ПХН" (also "ХН")
    QVector<QString> meterType;   // "И" induction, "Э" electronic
    // real
    QVector<double> ctClass;
    QVector<double> vtClass;
    QVector<double> energy;           // thousand kWh
    QVector<double> tanPhi;
    QVector<double> fillFactor;
    QVector<double> vtVoltageLoss;    // % of the VT circuit
    QVector<double> verificationDate; // month.yy
    QVector<double> meterCount;       // whole number held as real
    QVector<double> meterClass;
    QVector<double> ctVoltage;        // kV
    QVector<double> reportVoltage;    // kV
    // whole number
    QVector<int> ctRatedCurrent;      // A
    QVector<int> pointDays;
    QVector<int> offDays;
    QVector<int> tableNo;             // 1, 2, 3
    QVector<int> spare;
    // Number cells holding something that is not a number, per row: workbook column (2..16) -> the
    // text as read or typed. The row's number there is 0, the text is saved back as it stands, and
    // the calculation is blocked until it is mended. May be shorter than the rows (none past it).
    QVector<QMap<int, QString>> nonNumericText;

    // Number of rows (length of the row sequences; pointDays and spare may lag, see the editor).
    int rowCount() const { return name.size(); }
    // Size every row sequence to n (texts empty, numbers 0), dropping what was there.
    void resizeRows(int n);
    // Append one empty row of table t; returns its index.
    int appendRow(int table);
    // Index of the first row of table t in the grouped layout (table 1 first).
    int tableStart(int table) const;
    int tableCount(int table) const;
    // Text of row i's number cell at workbook column c that is not a number (empty: none).
    QString nonNumeric(int i, int column) const { return nonNumericText.value(i).value(column); }
    bool isSettlement(int table) const { return meteringKind[table - 1] == MeteringKind::Settlement; }
    // Correction factor of table t read as a number (text that does not convert counts 0).
    double correctionFactorValue(int table) const;
    // True when the workbook stored a usable period (S2 month 1..13, T2 year 2000..2040).
    bool hasStoredPeriod() const;
    // True when the workbook stored a usable period other than the calculation period.
    bool storedPeriodDiffers() const;
    // Sets the calculation period and its days.
    void setPeriod(int month, int year);
};

// Equality of everything a source workbook stores (used by round-trip tests).
bool sameStoredContent(const Dataset &a, const Dataset &b, QString *difference = nullptr);

} // namespace keli
