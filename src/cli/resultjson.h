#pragma once
// The results of one calculation as one JSON object: every figure under its name, numbers with
// 17 significant digits, never NaN.

#include "core/calculation.h"

#include <QByteArray>

// With a source, the object starts with "source": source (an entry of a batch's document).
QByteArray resultJson(const keli::CalcOutcome &outcome, const QString &source = QString());

// The entry of a batch object that could not be calculated before the calculation:
// "source", "outcome": "unreadable" and "message".
QByteArray unreadableJson(const QString &source, const QString &message);
