#pragma once
// The results of one calculation as one JSON object: every figure under its name, numbers with
// 17 significant digits, never NaN.

#include "core/calculation.h"

#include <QByteArray>
#include <QString>

// With a source, the object starts with "source": source (an entry of a batch's document).
QByteArray resultJson(const keli::CalcOutcome &outcome, const QString &source = QString());

// The entry of a batch object that was not calculated, as it was not read ("unreadable") or the
// batch was interrupted before it ("interrupted"): "source", "outcome" and "message".
QByteArray unreadableJson(const QString &source, const QString &message,
                          const QString &outcome = QStringLiteral("unreadable"));
