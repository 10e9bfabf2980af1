#include "core/expression.h"

#include "core/numbers.h"

namespace kesto {

bool isControlType(const QString& type)
{
    return type.toLower() == QLatin1String("control");
}

QString seriesKey(const QString& description)
{
    return description.toUpper();
}

double expressionPercent(double value, double control)
{
    const double percent = value * 100.0 / control;
    if (!std::isfinite(percent))
        throw Error(Error::Overflow,
                    QStringLiteral("The expression %1 x 100 / %2 is too large to store")
                        .arg(doubleText(value), doubleText(control)));
    // Stored as shown: through the "0.00" text and back.
    return parseDouble(fixedText(percent, 2));
}

} // namespace kesto
