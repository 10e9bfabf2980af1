#pragma once

// Number conventions shared by every part of the program: conversions to 16- and
// 32-bit integers that round half to even and refuse to overflow, the plain decimal
// text of singles and doubles, and the fixed-decimal formats "##0.0" and "0.00".

#include <QString>

#include <cstdint>

namespace kesto {

// Rounds half to even; throws Error(Overflow) when the result does not fit (NaN too).
std::int16_t toInt16(double value);
std::int32_t toInt32(double value);

// Reads text as a number the way a cell or a caption fragment is read: surrounding
// blanks allowed, '.' as decimal point. Throws Error(TypeMismatch) for anything else,
// Error(Overflow) when out of range.
double parseDouble(const QString& text);
std::int16_t parseInt16(const QString& text);
// True when parseDouble would succeed.
bool isNumber(const QString& text);

// Plain decimal text: shortest general form, no leading or trailing blanks, whole
// values without a decimal point. A single shows at most 7 significant digits.
QString singleText(float value);
QString doubleText(double value);

// Fixed number of decimals, at least one digit before the point, no grouping; the value
// is rounded as its 15 significant digits read, half away from zero.
// fixedText(v, 1) is "##0.0", fixedText(v, 2) is "0.00".
QString fixedText(double value, int decimals);

} // namespace kesto
