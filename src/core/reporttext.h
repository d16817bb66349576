#pragma once
// Number and text pieces shared by the report pages and workbooks. No report ever shows NaN or
// infinity: a value that is not finite is shown and written as 0.

#include "core/calcmath.h"

#include <QString>

namespace keli {

// Fixed-point text with exactly n decimals, point, no grouping; not rounded first by round().
QString fixedText(double value, int n);

// round(value, r) written with n decimals ("round to r, n decimals").
QString roundedText(double value, int r, int n);

// User data for a page: HTML special characters escaped.
QString pageText(const QString &userText);

// A cell of a page table: text between <td> and </td>, as it is (escape user data first).
QString pageCell(const QString &text);

} // namespace keli
