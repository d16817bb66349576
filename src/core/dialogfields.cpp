#include "core/dialogfields.h"

#include "core/helpers.h"

#include <QtGlobal>

#include <cmath>

namespace keli {

double fieldValue(double value, const FieldLimits &limits)
{
    if (!std::isfinite(value))
        return limits.minimum;
    // The same steps as the spin box: the 'f' text with its decimals, read back, then bounded.
    const double rounded = QString::number(value, 'f', limits.decimals).toDouble();
    return qBound(limits.minimum, rounded, limits.maximum);
}

QString correctionFactorText(double factor)
{
    return QString::number(fieldValue(factor, correctionFactorField), 'f',
                           correctionFactorField.decimals);
}

void limitToDialogFields(Dataset &ds)
{
    ds.techLosses = fieldValue(ds.techLosses, techLossesField);
    ds.techLossErrorPct = fieldValue(ds.techLossErrorPct, techLossErrorPctField);
    ds.permissibleCommercialLoss = fieldValue(ds.permissibleCommercialLoss, permissibleCommercialLossField);
    for (double &release : ds.networkRelease)
        release = fieldValue(release, networkReleaseField);
    for (QString &factor : ds.correctionFactor)
        factor = correctionFactorText(toReal(factor));
}

} // namespace keli
