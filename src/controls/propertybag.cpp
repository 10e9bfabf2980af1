#include "controls/propertybag.h"

#include "core/error.h"
#include "core/numbers.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace kesto {

namespace {

const QLatin1String pngPrefix("data:image/png;base64,");

// One JSON value as compact text: wrap it in an array and drop the brackets.
QByteArray valueText(const QJsonValue& value)
{
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

QString shownValue(const QJsonValue& value)
{
    return QString::fromUtf8(valueText(value));
}

[[noreturn]] void cannotConvert(const QString& key, const QJsonValue& value, const QString& what)
{
    throw Error(Error::TypeMismatch,
                QStringLiteral("The stored property \"%1\" cannot be read: %2 is not %3")
                    .arg(key, shownValue(value), what));
}

// "&H8000000F", "&H8000000F&" and "0x8000000F" as the 32-bit pattern they spell.
bool parseHex(const QString& text, std::uint32_t& result)
{
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        digits = digits.mid(2);
        if (digits.endsWith(QLatin1Char('&')))
            digits.chop(1);
    } else if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        digits = digits.mid(2);
    } else {
        return false;
    }
    if (digits.isEmpty() || digits.size() > 8)
        return false;
    bool ok = false;
    const auto parsed = digits.toUInt(&ok, 16);
    if (!ok)
        return false;
    result = std::uint32_t(parsed);
    return true;
}

} // namespace

PropertyBag PropertyBag::fromJson(const QByteArray& text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        throw Error(Error::FileError,
                    QStringLiteral("The stored property set is not valid JSON: %1 at offset %2")
                        .arg(error.errorString())
                        .arg(error.offset));
    if (!document.isObject())
        throw Error(Error::FileError,
                    QStringLiteral("The stored property set is not a JSON object"));
    PropertyBag bag;
    const QJsonObject object = document.object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        bag.m_entries.emplace_back(it.key(), it.value());
    return bag;
}

PropertyBag PropertyBag::fromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(Error::FileError,
                    QStringLiteral("Cannot open the stored property set \"%1\": %2")
                        .arg(path, file.errorString()));
    try {
        return fromJson(file.readAll());
    } catch (const Error& error) {
        throw Error(error.number(), QStringLiteral("%1 (%2)").arg(error.message(), path));
    }
}

QByteArray PropertyBag::toJson() const
{
    if (m_entries.empty())
        return QByteArrayLiteral("{}\n");
    // Written by hand because QJsonObject sorts its keys; the order here is the writer's.
    QByteArray text = QByteArrayLiteral("{\n");
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        text += "    " + valueText(QJsonValue(m_entries[i].first)) + ": " +
                valueText(m_entries[i].second);
        text += i + 1 < m_entries.size() ? ",\n" : "\n";
    }
    text += "}\n";
    return text;
}

bool PropertyBag::contains(const QString& key) const
{
    for (const auto& entry : m_entries) {
        if (entry.first == key)
            return true;
    }
    return false;
}

QStringList PropertyBag::keys() const
{
    QStringList result;
    for (const auto& entry : m_entries)
        result.append(entry.first);
    return result;
}

QJsonValue PropertyBag::value(const QString& key) const
{
    for (const auto& entry : m_entries) {
        if (entry.first == key)
            return entry.second;
    }
    return QJsonValue(QJsonValue::Undefined);
}

void PropertyBag::setValue(const QString& key, const QJsonValue& value)
{
    for (auto& entry : m_entries) {
        if (entry.first == key) {
            entry.second = value;
            return;
        }
    }
    m_entries.emplace_back(key, value);
}

void PropertyBag::remove(const QString& key)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->first == key) {
            m_entries.erase(it);
            return;
        }
    }
}

double PropertyBag::readNumber(const QString& key, const QJsonValue& value) const
{
    switch (value.type()) {
    case QJsonValue::Double:
        return value.toDouble();
    case QJsonValue::Bool:
        return value.toBool() ? -1.0 : 0.0;
    case QJsonValue::String: {
        const QString text = value.toString();
        std::uint32_t bits = 0;
        if (parseHex(text, bits))
            return double(std::int32_t(bits));
        if (text.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return -1.0;
        if (text.trimmed().compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return 0.0;
        if (!isNumber(text))
            cannotConvert(key, value, QStringLiteral("a number"));
        try {
            return parseDouble(text);
        } catch (const Error&) {
            cannotConvert(key, value, QStringLiteral("a number in range"));
        }
    }
    default:
        cannotConvert(key, value, QStringLiteral("a number"));
    }
}

bool PropertyBag::readBool(const QString& key, bool defaultValue) const
{
    const QJsonValue stored = value(key);
    if (stored.isUndefined())
        return defaultValue;
    return readNumber(key, stored) != 0.0;
}

std::int16_t PropertyBag::readInt16(const QString& key, std::int16_t defaultValue) const
{
    const QJsonValue stored = value(key);
    if (stored.isUndefined())
        return defaultValue;
    const double number = readNumber(key, stored);
    try {
        return toInt16(number);
    } catch (const Error&) {
        throw Error(Error::Overflow,
                    QStringLiteral("The stored property \"%1\" cannot be read: %2 does not fit "
                                   "a 16-bit integer")
                        .arg(key, shownValue(stored)));
    }
}

std::int32_t PropertyBag::readInt32(const QString& key, std::int32_t defaultValue) const
{
    const QJsonValue stored = value(key);
    if (stored.isUndefined())
        return defaultValue;
    double number = readNumber(key, stored);
    const double rounded = std::nearbyint(number);
    if (rounded > double(std::numeric_limits<std::int32_t>::max()) &&
        rounded <= double(std::numeric_limits<std::uint32_t>::max()))
        number = double(std::int32_t(std::uint32_t(rounded)));
    try {
        return toInt32(number);
    } catch (const Error&) {
        throw Error(Error::Overflow,
                    QStringLiteral("The stored property \"%1\" cannot be read: %2 does not fit "
                                   "a 32-bit integer")
                        .arg(key, shownValue(stored)));
    }
}

QString PropertyBag::readString(const QString& key, const QString& defaultValue) const
{
    const QJsonValue stored = value(key);
    switch (stored.type()) {
    case QJsonValue::Undefined:
        return defaultValue;
    case QJsonValue::String:
        return stored.toString();
    case QJsonValue::Double:
        return doubleText(stored.toDouble());
    case QJsonValue::Bool:
        return stored.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        cannotConvert(key, stored, QStringLiteral("a text"));
    }
}

QFont PropertyBag::readFont(const QString& key, const QFont& defaultValue) const
{
    const QJsonValue stored = value(key);
    if (stored.isUndefined())
        return defaultValue;
    if (!stored.isString())
        cannotConvert(key, stored, QStringLiteral("a font description"));
    QFont font;
    if (!font.fromString(stored.toString()))
        cannotConvert(key, stored, QStringLiteral("a font description"));
    return font;
}

QPixmap PropertyBag::readPicture(const QString& key) const
{
    const QJsonValue stored = value(key);
    if (stored.isUndefined())
        return QPixmap();
    if (!stored.isString())
        cannotConvert(key, stored, QStringLiteral("a picture"));
    const QString text = stored.toString();
    QPixmap picture;
    if (text.startsWith(pngPrefix)) {
        const QByteArray data = QByteArray::fromBase64(text.mid(pngPrefix.size()).toLatin1());
        picture.loadFromData(data, "PNG");
    } else if (!text.isEmpty()) {
        picture.load(text);
    }
    if (picture.isNull()) {
        const QString shown = text.size() > 60 ? text.left(57) + QStringLiteral("...") : text;
        throw Error(Error::TypeMismatch,
                    QStringLiteral("The stored property \"%1\" cannot be read: \"%2\" is not a "
                                   "readable picture")
                        .arg(key, shown));
    }
    return picture;
}

void PropertyBag::writeBool(const QString& key, bool value, bool defaultValue)
{
    if (value == defaultValue)
        remove(key);
    else
        setValue(key, value ? -1 : 0);
}

void PropertyBag::writeInt16(const QString& key, std::int16_t value, std::int16_t defaultValue)
{
    if (value == defaultValue)
        remove(key);
    else
        setValue(key, int(value));
}

void PropertyBag::writeInt32(const QString& key, std::int32_t value, std::int32_t defaultValue)
{
    if (value == defaultValue)
        remove(key);
    else
        setValue(key, qint64(value));
}

void PropertyBag::writeString(const QString& key, const QString& value, const QString& defaultValue)
{
    if (value == defaultValue)
        remove(key);
    else
        setValue(key, value);
}

void PropertyBag::writeFont(const QString& key, const QFont& value, const QFont& defaultValue)
{
    if (value == defaultValue)
        remove(key);
    else
        setValue(key, value.toString());
}

void PropertyBag::writePicture(const QString& key, const QPixmap& value)
{
    if (value.isNull()) {
        remove(key);
        return;
    }
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    value.save(&buffer, "PNG");
    setValue(key, pngPrefix + QString::fromLatin1(data.toBase64()));
}

} // namespace kesto
