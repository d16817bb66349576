#pragma once
// Precision and range of the dataset dialog's number fields. The dialog's spin boxes round what
// they are given to their decimals and limit it to their range; values that reach the calculation
// without passing through them (keli-calc) are limited here the same way, so that both programs
// calculate the same numbers from the same workbook.

#include "core/dataset.h"

namespace keli {

struct FieldLimits
{
    int decimals;
    double minimum;
    double maximum;
};

constexpr FieldLimits techLossesField{3, 0, 9999999};            // leTexpot, thousand kWh
constexpr FieldLimits techLossErrorPctField{1, 0, 100};          // leTexpogr, %
constexpr FieldLimits permissibleCommercialLossField{1, 0, 9999}; // leKompot, thousand kWh
constexpr FieldLimits networkReleaseField{2, 0, 9999};           // Otp1..Otp4, million kWh
constexpr FieldLimits correctionFactorField{2, 0, 9.99};         // Txt1..Txt3, input mask "9.99"

// value as a spin box with these limits holds it: its fixed-point text with the field's decimals
// read back, then bounded to the range. A value that is not finite gives the minimum.
double fieldValue(double value, const FieldLimits &limits);

// Text of a correction-factor field for a factor: bounded to 0..9.99, two decimals ("1.00").
QString correctionFactorText(double factor);

// Limits the header values (techLosses, techLossErrorPct, permissibleCommercialLoss), the four
// network releases and the three correction factors of ds as the dialog's fields hold them.
void limitToDialogFields(Dataset &ds);

} // namespace keli
