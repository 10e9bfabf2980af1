#pragma once

// A stored set of control properties. Every key is read with a default, so a missing key
// gives that default, and a value equal to its default is left out when written: a
// control whose values are all defaults stores nothing. Keys keep the order in which they
// were written. Booleans are stored as -1 (true) and 0 (false).
//
// A stored value of another type than the one asked for is converted ("45" reads as the
// number 45, -1 as true); a value that cannot be converted throws kesto::Error naming
// the key, so a damaged set never loads silently wrong.
//
// The text form is a JSON object. Fonts are stored as QFont::toString() texts, pictures
// as PNG data ("data:image/png;base64,...") or, in hand-written sets, as a resource or
// file path.

#include <QFont>
#include <QJsonValue>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

class QByteArray;

namespace kesto {

class PropertyBag
{
public:
    PropertyBag() = default;

    // Throws Error(FileError) for text that is not a JSON object.
    static PropertyBag fromJson(const QByteArray& text);
    // Reads a stored set from a file or a resource (":/resources/controls/name.json").
    static PropertyBag fromFile(const QString& path);
    QByteArray toJson() const;

    bool isEmpty() const { return m_entries.empty(); }
    bool contains(const QString& key) const;
    // Keys in the order they were written (a set read from text: the text's order).
    QStringList keys() const;
    QJsonValue value(const QString& key) const;
    // Stores a raw value, replacing an earlier one under the same key.
    void setValue(const QString& key, const QJsonValue& value);
    void remove(const QString& key);

    bool readBool(const QString& key, bool defaultValue) const;
    std::int16_t readInt16(const QString& key, std::int16_t defaultValue) const;
    // Accepts the signed range and, for colours written by hand, the unsigned bit
    // pattern (2147483663 reads as 0x8000000F).
    std::int32_t readInt32(const QString& key, std::int32_t defaultValue) const;
    QString readString(const QString& key, const QString& defaultValue) const;
    QFont readFont(const QString& key, const QFont& defaultValue) const;
    // A missing key gives no picture (a null pixmap).
    QPixmap readPicture(const QString& key) const;

    void writeBool(const QString& key, bool value, bool defaultValue);
    void writeInt16(const QString& key, std::int16_t value, std::int16_t defaultValue);
    void writeInt32(const QString& key, std::int32_t value, std::int32_t defaultValue);
    void writeString(const QString& key, const QString& value, const QString& defaultValue);
    void writeFont(const QString& key, const QFont& value, const QFont& defaultValue);
    // No picture (the default) writes nothing.
    void writePicture(const QString& key, const QPixmap& value);

private:
    double readNumber(const QString& key, const QJsonValue& value) const;

    std::vector<std::pair<QString, QJsonValue>> m_entries;
};

} // namespace kesto
