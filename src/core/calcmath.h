#pragma once
// Arithmetic guards of the calculation: a zero divisor or a negative radicand gives 0, so that no
// result, page or workbook ever holds NaN or infinity.

#include <cmath>

namespace keli {

// value, or 0 when it is NaN or infinite.
inline double finiteOr0(double value)
{
    return std::isfinite(value) ? value : 0.0;
}

// a / b, or 0 when b is 0 (or the quotient is not finite).
inline double safeDivide(double a, double b)
{
    if (b == 0)
        return 0.0;
    const double q = a / b;
    return finiteOr0(q);
}

// √x, or 0 when x is negative (or not finite).
inline double safeSqrt(double x)
{
    return x > 0 && std::isfinite(x) ? std::sqrt(x) : 0.0;
}

// value as a percent of base: value / base × 100, 0 when base is 0.
inline double percentOf(double value, double base)
{
    return safeDivide(value, base) * 100.0;
}

// Whole part (toward zero) of a real that stands for a whole number, such as a meter count.
inline double wholePart(double x)
{
    return std::isfinite(x) ? std::trunc(x) : 0.0;
}

// Maximum load factor of a CT, 3β / (2Кз + 1); 0 when 2Кз + 1 is 0.
inline double maxLoadFactor(double beta, double fillFactor)
{
    return safeDivide(3.0 * beta, 2.0 * fillFactor + 1.0);
}

} // namespace keli
