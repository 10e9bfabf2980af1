#pragma once

// Which cell texts the calculations may use as numbers. A text that reads as no finite
// number ("1234,5" with a decimal comma, "1e400") takes no part in a percentage and is
// marked for the reader; it never counts as 0.

#include <QString>

#include <optional>

namespace kesto {

// The value of a plain number text that fits a double; nullopt for an empty text, a text
// that is no number, or one too large to hold.
std::optional<double> usableNumber(const QString& text);

// True for a text that holds something but not a usable number.
bool unusableNumberText(const QString& text);

// The note on such a cell.
QString unusableNumberNote();

} // namespace kesto
