#include "core/numbers.h"

#include "core/error.h"

#include <QRegularExpression>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

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

std::int16_t toInt16(double value)
{
    return roundToInt<std::int16_t>(value);
}

std::int32_t toInt32(double value)
{
    return roundToInt<std::int32_t>(value);
}

bool isNumber(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    return pattern.match(text).hasMatch();
}

double parseDouble(const QString& text)
{
    if (!isNumber(text))
        throw Error(Error::TypeMismatch,
                    QStringLiteral("Type mismatch: \"%1\" is not a number").arg(text));
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

std::int16_t parseInt16(const QString& text)
{
    return toInt16(parseDouble(text));
}

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
    const auto result =
        plain ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
              : std::to_chars(buffer, buffer + sizeof buffer, value);
    return fromChars(buffer, result.ptr);
}

QString fixedText(double value, int decimals)
{
    if (!std::isfinite(value))
        return doubleText(value);
    // Round the value as it reads in 15 significant digits, the way spreadsheets show a
    // double, half away from zero: 3369.45 gives 3369.5 although its binary value lies a
    // hair below the tie.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::abs(value),
                                      std::chars_format::scientific, 14);
    const std::string text(buffer, result.ptr); // d.ddddddddddddde+XX
    std::string digits = text.substr(0, 1) + text.substr(2, 14);
    const int exponent = std::stoi(text.substr(text.find('e') + 1));
    const int keep = exponent + decimals + 1; // digits left of the cut
    std::string whole;
    if (keep < 0) {
        whole = "0";
    } else if (keep >= int(digits.size())) {
        whole = digits + std::string(std::size_t(keep) - digits.size(), '0');
    } else {
        whole = keep == 0 ? std::string("0") : digits.substr(0, std::size_t(keep));
        if (digits[std::size_t(keep)] >= '5') {
            int i = int(whole.size()) - 1;
            while (i >= 0 && whole[std::size_t(i)] == '9')
                whole[std::size_t(i--)] = '0';
            if (i < 0)
                whole.insert(whole.begin(), '1');
            else
                ++whole[std::size_t(i)];
        }
    }
    if (whole.size() < std::size_t(decimals) + 1)
        whole.insert(0, std::size_t(decimals) + 1 - whole.size(), '0');
    const std::size_t first = whole.find_first_not_of('0');
    const bool negative = value < 0 && first != std::string::npos;
    std::string out = negative ? "-" : "";
    out += whole.substr(0, whole.size() - std::size_t(decimals));
    if (decimals > 0)
        out += '.' + whole.substr(whole.size() - std::size_t(decimals));
    // Leading zeros of the integer part (from a short value) go, but one digit stays.
    const std::size_t start = negative ? 1 : 0;
    while (out.size() > start + 1 && out[start] == '0' && out[start + 1] != '.')
        out.erase(start, 1);
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

} // namespace kesto
