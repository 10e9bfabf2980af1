#include "app/numbers.h"

#include "app/error.h"

#include <QRegularExpression>

#include <charconv>
#include <cmath>
#include <limits>

namespace kesto {

namespace {

template <typename Int> Int roundToInt(double value)
{
    // nearbyint follows the default rounding mode, round half to even.
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded < double(std::numeric_limits<Int>::min()) ||
        rounded > double(std::numeric_limits<Int>::max())) {
        throw Error(Error::Overflow, QStringLiteral("Overflow: %1 does not fit a %2-bit integer")
                                         .arg(doubleText(value))
                                         .arg(sizeof(Int) * 8));
    }
    return static_cast<Int>(rounded);
}

QString fromChars(const char* begin, const char* end)
{
    QString text = QString::fromLatin1(begin, end - begin);
    if (text == QLatin1String("-0"))
        return QStringLiteral("0");
    return text;
}

} // namespace

std::int16_t toInt16(double value) { return roundToInt<std::int16_t>(value); }

std::int32_t toInt32(double value) { return roundToInt<std::int32_t>(value); }

bool isNumber(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    return pattern.match(text).hasMatch();
}

double parseDouble(const QString& text)
{
    if (!isNumber(text))
        throw Error(Error::TypeMismatch, QStringLiteral("Type mismatch: \"%1\" is not a number").arg(text));
    QByteArray bytes = text.trimmed().toLatin1();
    if (bytes.startsWith('+'))
        bytes.remove(0, 1);
    double value = 0;
    const auto result = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    if (result.ec == std::errc::result_out_of_range && std::abs(value) > 1) // underflow reads as 0
        throw Error(Error::Overflow, QStringLiteral("Overflow: \"%1\" is too large").arg(text));
    if (result.ec == std::errc::result_out_of_range)
        return 0.0;
    return value;
}

std::int16_t parseInt16(const QString& text) { return toInt16(parseDouble(text)); }

QString singleText(float value)
{
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 7);
    return fromChars(buffer, result.ptr);
}

QString doubleText(double value)
{
    // Shortest round-trip digits, written out in plain decimals for every ordinary
    // magnitude: a scan of -100000 reads "-100000", never "-1e+05". Only values beyond
    // 1e15 or below 1e-5 use an exponent.
    char buffer[64];
    const double magnitude = std::abs(value);
    const bool plain = magnitude == 0 || (magnitude >= 1e-5 && magnitude < 1e15);
    const auto result = plain ? std::to_chars(buffer, buffer + sizeof buffer, value,
                                              std::chars_format::fixed)
                              : std::to_chars(buffer, buffer + sizeof buffer, value);
    return fromChars(buffer, result.ptr);
}

QString fixedText(double value, int decimals)
{
    // A value exactly halfway between two results is an odd multiple of 2^-(decimals+1);
    // nudge it one step away from zero so the correctly rounded output rounds up in size.
    const double scaled = std::ldexp(value, decimals + 1);
    if (std::isfinite(scaled) && std::abs(scaled) < 0x1p53 && scaled == std::floor(scaled) &&
        std::fmod(std::abs(scaled), 2.0) == 1.0) {
        value = std::nextafter(value, value > 0 ? std::numeric_limits<double>::infinity()
                                                : -std::numeric_limits<double>::infinity());
    }
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    // "-0.0" for a tiny negative value reads as noise; show it unsigned.
    if (text.startsWith(QLatin1Char('-')) && text.count(QLatin1Char('0')) == text.size() - (decimals > 0 ? 2 : 1))
        text.remove(0, 1);
    return text;
}

} // namespace kesto
