#include "core/dataset.h"

#include "core/helpers.h"

namespace keli {

void Dataset::resizeRows(int n)
{
    const auto fill = [n](auto &column, auto value) { column = std::decay_t<decltype(column)>(n, value); };
    fill(name, QString());
    fill(pointKind, QString());
    fill(meterType, QString());
    for (QVector<double> *c : {&ctClass, &vtClass, &energy, &tanPhi, &fillFactor, &vtVoltageLoss,
                               &verificationDate, &meterCount, &meterClass, &ctVoltage, &reportVoltage})
        fill(*c, 0.0);
    for (QVector<int> *c : {&ctRatedCurrent, &pointDays, &offDays, &tableNo, &spare})
        fill(*c, 0);
    nonNumericText.clear();
}

int Dataset::appendRow(int table)
{
    name.append(QString());
    pointKind.append(QString());
    meterType.append(QString());
    for (QVector<double> *c : {&ctClass, &vtClass, &energy, &tanPhi, &fillFactor, &vtVoltageLoss,
                               &verificationDate, &meterCount, &meterClass, &ctVoltage, &reportVoltage})
        c->append(0.0);
    for (QVector<int> *c : {&ctRatedCurrent, &pointDays, &offDays, &spare})
        c->append(0);
    tableNo.append(table);
    return name.size() - 1;
}

int Dataset::tableStart(int table) const
{
    if (table <= 1)
        return 0;
    if (table == 2)
        return intakeCount;
    return intakeCount + externalCount;
}

int Dataset::tableCount(int table) const
{
    switch (table) {
    case 1: return intakeCount;
    case 2: return externalCount;
    case 3: return ownCount;
    default: return 0;
    }
}

double Dataset::correctionFactorValue(int table) const
{
    return table >= 1 && table <= 3 ? toReal(correctionFactor[table - 1]) : 0.0;
}

bool Dataset::hasStoredPeriod() const
{
    return fileMonth >= 1 && fileMonth <= 13 && fileYear >= 2000 && fileYear <= 2040;
}

bool Dataset::storedPeriodDiffers() const
{
    return hasStoredPeriod() && (fileMonth != calcMonth || fileYear != calcYear);
}

void Dataset::setPeriod(int month, int year)
{
    calcMonth = month;
    calcYear = year;
    periodDays = k_day(month, year);
}

bool sameStoredContent(const Dataset &a, const Dataset &b, QString *difference)
{
    const auto differ = [difference](const QString &what) {
        if (difference)
            *difference = what;
        return false;
    };
    if (a.objectName != b.objectName) return differ(QStringLiteral("objectName"));
    if (a.intakeCount != b.intakeCount || a.externalCount != b.externalCount || a.ownCount != b.ownCount)
        return differ(QStringLiteral("counts"));
    for (int t = 0; t < 3; ++t)
        if (a.meteringKind[t] != b.meteringKind[t]) return differ(QStringLiteral("meteringKind"));
    if (toWhole(a.reserved1) != toWhole(b.reserved1) || toWhole(a.reserved2) != toWhole(b.reserved2))
        return differ(QStringLiteral("reserved"));
    if (a.techLosses != b.techLosses) return differ(QStringLiteral("techLosses"));
    if (a.techLossErrorPct != b.techLossErrorPct) return differ(QStringLiteral("techLossErrorPct"));
    if (a.permissibleCommercialLoss != b.permissibleCommercialLoss)
        return differ(QStringLiteral("permissibleCommercialLoss"));
    if (a.headerNonNumericText != b.headerNonNumericText) return differ(QStringLiteral("headerNonNumericText"));
    if (a.name != b.name) return differ(QStringLiteral("name"));
    if (a.pointKind != b.pointKind) return differ(QStringLiteral("pointKind"));
    if (a.meterType != b.meterType) return differ(QStringLiteral("meterType"));
    if (a.ctClass != b.ctClass) return differ(QStringLiteral("ctClass"));
    if (a.vtClass != b.vtClass) return differ(QStringLiteral("vtClass"));
    if (a.energy != b.energy) return differ(QStringLiteral("energy"));
    if (a.tanPhi != b.tanPhi) return differ(QStringLiteral("tanPhi"));
    if (a.fillFactor != b.fillFactor) return differ(QStringLiteral("fillFactor"));
    if (a.vtVoltageLoss != b.vtVoltageLoss) return differ(QStringLiteral("vtVoltageLoss"));
    if (a.verificationDate != b.verificationDate) return differ(QStringLiteral("verificationDate"));
    if (a.meterCount != b.meterCount) return differ(QStringLiteral("meterCount"));
    if (a.meterClass != b.meterClass) return differ(QStringLiteral("meterClass"));
    if (a.ctVoltage != b.ctVoltage) return differ(QStringLiteral("ctVoltage"));
    if (a.reportVoltage != b.reportVoltage) return differ(QStringLiteral("reportVoltage"));
    if (a.ctRatedCurrent != b.ctRatedCurrent) return differ(QStringLiteral("ctRatedCurrent"));
    if (a.offDays != b.offDays) return differ(QStringLiteral("offDays"));
    if (a.tableNo != b.tableNo) return differ(QStringLiteral("tableNo"));
    for (int i = 0; i < a.rowCount(); ++i)
        if (a.nonNumericText.value(i) != b.nonNumericText.value(i)) return differ(QStringLiteral("nonNumericText"));
    return true;
}

} // namespace keli
