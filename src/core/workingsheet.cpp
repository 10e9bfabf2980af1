#include "core/workingsheet.h"

#include "core/error.h"
#include "core/usablenumber.h"

#include <cmath>

namespace kesto {

QString workingCellCaption(int row, int column)
{
    return QStringLiteral("Working Cell: R%1C%2").arg(row).arg(column);
}

CellAddress parseWorkingCell(const QString& caption)
{
    // Character 15 (1-based) is the "R"; the "C" of "Cell" lies before it.
    const qsizetype p = caption.indexOf(QLatin1Char('C'), 14);
    if (p < 0)
        return {};
    // Rows are read as 32-bit numbers: the sheet can grow past 32767 rows, and a scan must
    // never silently go nowhere because its row did not fit 16 bits.
    try {
        const int row = toInt32(parseDouble(caption.mid(15, p - 15)));
        const int column = toInt32(parseDouble(caption.mid(p + 1)));
        return {row, column};
    } catch (const Error&) {
        return {};
    }
}

QString percentToControlText(const QString& band, const QString& control)
{
    if (control.isEmpty() || control == QLatin1String("0") || band.isEmpty())
        return QString();
    // A text that is no usable number ("1e400", "1234,5") gives no percentage at all.
    const std::optional<double> bandValue = usableNumber(band);
    const std::optional<double> controlValue = usableNumber(control);
    if (!bandValue || !controlValue || *controlValue == 0)
        return QString();
    const double percent = *bandValue * 100 / *controlValue;
    if (!std::isfinite(percent))
        return QString();
    return fixedText(percent, 1);
}

} // namespace kesto
