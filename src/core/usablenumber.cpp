#include "core/usablenumber.h"

#include "core/error.h"
#include "core/numbers.h"

#include <algorithm>
#include <cmath>

namespace kesto {

std::optional<double> usableNumber(const QString& text)
{
    if (text.isEmpty() || !isNumber(text))
        return std::nullopt;
    double value = 0;
    try {
        value = parseDouble(text);
    } catch (const Error&) {
        return std::nullopt;
    }
    if (!std::isfinite(value))
        return std::nullopt;
    // parseDouble reads some values past the largest double as 0: a zero from non-zero
    // digits with a positive exponent is such a value, not a zero.
    if (value == 0) {
        const qsizetype e = text.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
        const QString mantissa = e < 0 ? text : text.left(e);
        const bool nonZeroDigits = std::any_of(mantissa.cbegin(), mantissa.cend(), [](QChar c) {
            return c >= QLatin1Char('1') && c <= QLatin1Char('9');
        });
        if (nonZeroDigits && e >= 0 && !text.mid(e + 1).trimmed().startsWith(QLatin1Char('-')))
            return std::nullopt;
    }
    return value;
}

bool unusableNumberText(const QString& text)
{
    return !text.isEmpty() && !usableNumber(text);
}

QString unusableNumberNote()
{
    return QStringLiteral("Not a number the calculation can use (write it with a decimal point, "
                          "no thousands separators, within \u00b11.7e308); this cell takes no "
                          "part in the calculation.");
}

} // namespace kesto
