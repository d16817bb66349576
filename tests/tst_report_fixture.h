#pragma once
// A small object for the report tests: two intake rows, one external release row, one own release
// row, with results set by hand so that every printed figure can be followed.

#include "core/calculation.h"
#include "core/dataset.h"

#include "support/testutil.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace reportfixture {

struct Object
{
    keli::Dataset ds;
    keli::CalcResults r;
};

inline void addRow(keli::Dataset &ds, int table, const QString &name, const QString &kind,
                   double meters, const QString &type, double ct, double vt, double meter,
                   double date, int ratedCurrent, double voltage, double reportVoltage,
                   double fill, double tan, int off, double energy)
{
    const int i = ds.appendRow(table);
    ds.name[i] = name;
    ds.pointKind[i] = kind;
    ds.meterCount[i] = meters;
    ds.meterType[i] = type;
    ds.ctClass[i] = ct;
    ds.vtClass[i] = vt;
    ds.meterClass[i] = meter;
    ds.verificationDate[i] = date;
    ds.ctRatedCurrent[i] = ratedCurrent;
    ds.ctVoltage[i] = voltage;
    ds.reportVoltage[i] = reportVoltage;
    ds.fillFactor[i] = fill;
    ds.tanPhi[i] = tan;
    ds.offDays[i] = off;
    ds.energy[i] = energy;
}

// Rows: intake "Ввод-1 <b>&", "Ввод-2"; external "Фидер 5"; own "СН-1".
inline Object smallObject()
{
    Object o;
    keli::Dataset &ds = o.ds;
    ds.objectName = QStringLiteral("ПС 110/10 \"Заречная\" <b>&");
    ds.calcMonth = 3;
    ds.calcYear = 2020;
    ds.fileMonth = 3;
    ds.fileYear = 2020;
    addRow(ds, 1, QStringLiteral("Ввод-1 <b>&"), QStringLiteral("Р"), 2, QStringLiteral("Э"), 0.5, 0.5,
           0.5, 3.1, 100, 10, 10, 0.5, 0.4, 0, 12.5);
    addRow(ds, 1, QStringLiteral("Ввод-2"), QStringLiteral("Т"), 1, QStringLiteral("И"), 0.2, 0.2, 1.0,
           11.19, 600, 6.3, 6, 0.75, 0.33, 2, 1234.5678);
    addRow(ds, 2, QStringLiteral("Фидер 5"), QStringLiteral("Р"), 3, QStringLiteral("Э"), 0, 0, 1.0,
           5.21, 0, 0, 0.4, 0.6, 0.2, 0, 100.0004);
    addRow(ds, 3, QStringLiteral("СН-1"), QStringLiteral("СН"), 1, QStringLiteral("Э"), 0.5, 0, 1.0,
           1.22, 50, 0.4, 0.4, 0.3, 0.5, 1, 7.25);
    ds.intakeCount = 2;
    ds.externalCount = 1;
    ds.ownCount = 1;

    keli::CalcResults &r = o.r;
    r.intakeCount = 2;
    r.externalCount = 1;
    r.ownCount = 1;
    r.rowCount = 4;
    r.techLosses = 12.3456;
    r.techLossErrorPct = 5.55;
    r.permissibleCommercialLoss = 3.26;
    r.rowEnergy = {12.5, 1234.5678, 100.0004, 7.25};
    r.rowLoadFactor = {0.5, 0.2, 0, 0.1};
    r.rowMaxLoadShown = {0.75, 0.24, 0, 0.1875};
    r.rowNormativeMaxLoad = {0.8, 0.8, 0, 0.8};
    r.rowReportVoltage = {10, 6, 0.4, 0.4};
    r.rowVtCircuitLoss = {0.25, 0.1, 0, 0};
    r.rowUndermetering = {-0.25, -3.14159, 0.05, -0.011};
    r.rowRandomError = {0.126, 4.449, 1.25, 0.04};

    r.intakeEnergy = 1247.0678;
    r.externalReleaseEnergy = 100.0004;
    r.ownReleaseEnergy = 7.25;
    r.ownNeedsEnergy = 7.25;
    r.householdNeedsEnergy = 0;
    r.groupCharacteristics[0] = {0.7071, 0.2029, 0.2029, 0.9951, 0.2451, 6.04, 0.1014, 3.456};
    r.groupCharacteristics[1] = {1.0, 0, 0, 1.0, 0, 0.4, 0, 4.83};
    r.groupCharacteristics[2] = {1.118, 0.5126, 0, 1.0, 0.1876, 0.4, 0, 8.12};
    r.intakePresent = 1;
    r.externalShare = 0.08019;
    r.ownShare = 0.005814;
    r.intakeUndermetering = 3.39159;
    r.externalUndermetering = -0.05;
    r.ownUndermetering = 0.011;
    r.maxIntakeUndermetering = 3.14159;
    r.maxIntakePointName = QStringLiteral("Ввод-2");
    r.maxReleaseUndermetering = 0.05;
    r.maxReleasePointName = QStringLiteral("Фидер 5");
    r.ctLossEnergy = 0.0126;

    r.netSupply = 1147.0674;
    r.actualLoss = 1139.8174;
    r.actualLossPctIntake = 0.1249; // shown 0.13: rounded to 3 (0.125), then to 2
    r.actualLossPctNet = 99.36794;
    r.commercialLoss = 1127.4724;
    r.commercialLossPctIntake = 90.4097;
    r.commercialLossPctNet = 98.2917;

    r.actualUpper = 1.23456;
    r.actualUpperPctIntake = 0.0994999;
    r.actualUpperPctNet = 0.1076249;
    r.actualLower = -2.5;
    r.actualLowerPctIntake = -0.2004;
    r.actualLowerPctNet = -0.21794;
    r.actualSystematic = -0.63272;
    r.actualSystematicPctIntake = -0.0507;
    r.actualSystematicPctNet = -0.05716;
    r.actualRandom = 1.86728;
    r.actualRandomPctIntake = 0.14973;
    r.actualRandomPctNet = 0.16279;
    r.normativeUpper = 2.0004999;
    r.normativeUpperPctIntake = 0.16041;
    r.normativeUpperPctNet = 0.1744;
    r.normativeLower = -1.0;
    r.normativeLowerPctIntake = -0.08019;
    r.normativeLowerPctNet = -0.08718;
    r.normativeSystematic = 0.50025;
    r.normativeSystematicPctIntake = 0.040114;
    r.normativeSystematicPctNet = 0.04361;
    r.normativeRandom = 1.50025;
    r.normativeRandomPctIntake = 0.12030;
    r.normativeRandomPctNet = 0.13079;
    r.excessSystematic = -1.13297;
    r.excessSystematicPctIntake = -0.09085;
    r.excessSystematicPctNet = -0.09877;
    r.excessRandom = 1.19765;
    r.excessRandomPctIntake = 0.09604;
    r.excessRandomPctNet = 0.10441;
    r.excessUpper = 0.06468;
    r.excessUpperPctIntake = 0.00519;
    r.excessUpperPctNet = 0.00564;
    r.excessLower = -2.33062;
    r.excessLowerPctIntake = -0.18689;
    r.excessLowerPctNet = -0.20318;
    r.actualWithLossesMid = 2.61728;
    r.actualWithLossesMidPctIntake = 0.20988;
    r.actualWithLossesMidPctNet = 0.22817;
    r.actualWithLossesRandom = 1.98051;
    r.actualWithLossesRandomPctIntake = 0.15881;
    r.actualWithLossesRandomPctNet = 0.17266;
    r.actualWithLossesUpper = 4.59779;
    r.actualWithLossesUpperPctIntake = 0.36869;
    r.actualWithLossesUpperPctNet = 0.40083;
    r.actualWithLossesLower = 0.63677;
    r.actualWithLossesLowerPctIntake = 0.05106;
    r.actualWithLossesLowerPctNet = 0.05551;
    r.normativeWithLossesMid = 3.75025;
    r.normativeWithLossesMidPctIntake = 0.30073;
    r.normativeWithLossesMidPctNet = 0.32694;
    r.normativeWithLossesRandom = 1.63342;
    r.normativeWithLossesRandomPctIntake = 0.13098;
    r.normativeWithLossesRandomPctNet = 0.1424;
    r.normativeWithLossesUpper = 5.38367;
    r.normativeWithLossesUpperPctIntake = 0.43171;
    r.normativeWithLossesUpperPctNet = 0.46934;
    r.normativeWithLossesLower = 2.11683;
    r.normativeWithLossesLowerPctIntake = 0.16975;
    r.normativeWithLossesLowerPctNet = 0.18454;
    r.combinedRandomWithLosses = 4.4567;
    r.combinedRandomWithLossesPctIntake = 0.357375;
    r.combinedRandomWithLossesPctNet = 0.388532;

    // release 0.4, 6-20, 35-60, 110, 220 kV, total; intake the same
    r.levelUndermetering = {0.011, -0.05, 0, 0, 0, -0.039, 0, 3.39, 0, 0, 0, 3.39};
    r.undermeteringDifferenceShare = 87.949;
    r.actualUpperPerReleaseUndermetering = -31.6554;
    r.networkRelease[0] = 1.5; // Otp1, 110-220 kV
    r.networkRelease[1] = 0;   // Otp2, 35 kV
    r.networkRelease[2] = 0.75;
    r.networkRelease[3] = 0.25; // Otp4, 0.4 kV
    r.orderReleaseTotal = 2.5;
    r.orderReleaseShares = {0.6, 0, 0.3, 0.1};
    return o;
}

// Reads cells back with openpyxl: {"sheet": {"row,col": ["n"|"s", value]}} for every non-empty
// cell of the sheets, and the border sides of rows given as "sheet:row" in borders.
inline QJsonObject readBook(const QString &path, bool *ok, QString *error = nullptr)
{
    static const char *code = R"PY(
import json, sys
from openpyxl import load_workbook
wb = load_workbook(sys.argv[1])
out = {"cells": {}, "borders": {}, "formats": {}, "active": wb.active.title, "sheets": wb.sheetnames}
for ws in wb.worksheets:
    cells = {}
    borders = {}
    formats = {}
    for row in ws.iter_rows():
        for c in row:
            b = c.border
            sides = "".join(k for k, s in (("l", b.left), ("r", b.right), ("t", b.top), ("b", b.bottom))
                            if s is not None and s.style is not None)
            key = "%d,%d" % (c.row, c.column)
            borders[key] = sides
            formats[key] = c.number_format
            if c.value is None:
                continue
            kind = "s" if isinstance(c.value, str) else "n"
            cells[key] = [kind, c.value]
    out["cells"][ws.title] = cells
    out["borders"][ws.title] = borders
    out["formats"][ws.title] = formats
print(json.dumps(out))
)PY";
    const QString text = testutil::runPython(QString::fromUtf8(code), {path}, ok, error);
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

} // namespace reportfixture
