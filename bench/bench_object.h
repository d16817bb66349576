#pragma once
// The generated object the benchmarks calculate, print and save.

#include "core/dataset.h"
#include "core/helpers.h"

#include <QString>

#include <algorithm>

// A plausible object: a tenth intake feeders, three tenths external, the rest own release, with
// energies that keep every CT load within its bounds and the balance sound.
inline keli::Dataset generatedObject(int points)
{
    keli::Dataset ds;
    ds.calcMonth = ds.fileMonth = 10;
    ds.calcYear = ds.fileYear = 2024;
    ds.periodDays = keli::k_day(10, 2024);
    ds.objectName = QStringLiteral("ПС 110/10 кВ Генерированная");
    ds.intakeCount = points / 10;
    ds.externalCount = points * 3 / 10;
    ds.ownCount = points - ds.intakeCount - ds.externalCount;
    ds.techLosses = 1500;
    ds.techLossErrorPct = 10;
    ds.permissibleCommercialLoss = 100;
    const int counts[3] = {ds.intakeCount, ds.externalCount, ds.ownCount};
    const QString kinds[4] = {QStringLiteral("Р"), QStringLiteral("Т"), QStringLiteral("СН"), QStringLiteral("ПХН")};
    unsigned seed = 12345;
    const auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % static_cast<unsigned>(range));
    };
    for (int t = 1; t <= 3; ++t) {
        for (int k = 0; k < counts[t - 1]; ++k) {
            const int i = ds.appendRow(t);
            ds.name[i] = QStringLiteral("Фидер %1-%2").arg(t).arg(k + 1);
            ds.pointKind[i] = t == 1 ? kinds[0] : kinds[next(4)];
            ds.meterType[i] = next(5) == 0 ? QStringLiteral("И") : QStringLiteral("Э");
            ds.meterCount[i] = 1;
            ds.fillFactor[i] = 0.5 + next(40) / 100.0;
            ds.tanPhi[i] = next(50) / 100.0;
            ds.offDays[i] = next(3);
            ds.ctClass[i] = 0.5;
            ds.vtClass[i] = 0.5;
            ds.meterClass[i] = next(2) ? 0.5 : 1.0;
            ds.vtVoltageLoss[i] = 0.25;
            ds.verificationDate[i] = 1 + next(12) + (15 + next(9)) / 100.0;
            ds.ctVoltage[i] = 10;
            ds.reportVoltage[i] = 10;
            ds.ctRatedCurrent[i] = 300;
            // Intake rows carry what the releases take plus a few per cent.
            const double release = t == 1 ? 0.0 : 300 + next(300);
            ds.energy[i] = t == 1 ? 0.0 : release;
        }
    }
    double releases = 0;
    for (int i = ds.intakeCount; i < ds.rowCount(); ++i)
        releases += ds.energy[i];
    for (int i = 0; i < ds.intakeCount; ++i) {
        ds.energy[i] = keli::round(releases * 1.03 / std::max(ds.intakeCount, 1), 3);
        ds.ctRatedCurrent[i] = 3000; // a large feeder
    }
    return ds;
}
