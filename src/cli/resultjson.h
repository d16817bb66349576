#pragma once
// The results of one calculation as one JSON object: every figure under its name, numbers with
// 17 significant digits, never NaN.

#include "core/calculation.h"

#include <QByteArray>

QByteArray resultJson(const keli::CalcOutcome &outcome);
