// Stored property sets of our controls: PropertyBag::fromJson, every typed read, and the
// readProperties of KestoButton and Border. A damaged set is refused with kesto::Error and
// leaves the control as it was; a set that loads stores back to a set that loads the same.

#include "controls/border.h"
#include "controls/kestobutton.h"
#include "controls/propertybag.h"
#include "core/error.h"
#include "fuzzsupport.h"

#include <QApplication>
#include <QFont>

using namespace kesto;
using kesto::fuzz::check;

namespace {

QByteArray storedButton(const KestoButton& button)
{
    PropertyBag bag;
    button.writeProperties(bag);
    return bag.toJson();
}

QByteArray storedBorder(const Border& border)
{
    PropertyBag bag;
    border.writeProperties(bag);
    return bag.toJson();
}

// Each typed read either gives a value or throws kesto::Error.
void readEveryWay(const PropertyBag& bag, const QString& key)
{
    const auto attempt = [](auto read) {
        try {
            read();
        } catch (const Error&) {
        }
    };
    attempt([&] { (void)bag.readBool(key, true); });
    attempt([&] { (void)bag.readInt16(key, 7); });
    attempt([&] { (void)bag.readInt32(key, 7); });
    attempt([&] { (void)bag.readString(key, QString()); });
    attempt([&] { (void)bag.readFont(key, QFont()); });
}

void checkButton(const PropertyBag& bag)
{
    KestoButton button;
    const QByteArray before = storedButton(button);
    try {
        button.readProperties(bag);
    } catch (const Error&) {
        check(storedButton(button) == before, "a refused set leaves the button as it was");
        return;
    }
    PropertyBag stored;
    button.writeProperties(stored);
    KestoButton copy;
    copy.readProperties(stored);
    check(storedButton(copy) == stored.toJson(), "a stored button loads the same",
          QString::fromUtf8(stored.toJson()));
}

void checkBorder(const PropertyBag& bag)
{
    Border border;
    const QByteArray before = storedBorder(border);
    try {
        border.readProperties(bag);
    } catch (const Error&) {
        check(storedBorder(border) == before, "a refused set leaves the border as it was");
        return;
    }
    PropertyBag stored;
    border.writeProperties(stored);
    Border copy;
    copy.readProperties(stored);
    check(storedBorder(copy) == stored.toJson(), "a stored border loads the same");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kesto::fuzz::startApplication<QApplication>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    PropertyBag bag;
    try {
        bag = PropertyBag::fromJson(text);
    } catch (const Error& error) {
        check(error.number() == Error::FileError, "text that is not a set is a file error");
        return 0;
    }
    // The set's own text reads back as the same set.
    const PropertyBag again = PropertyBag::fromJson(bag.toJson());
    check(again.keys() == bag.keys(), "a written set keeps its keys");
    for (const QString& key : bag.keys()) {
        check(again.value(key) == bag.value(key), "a written set keeps its values", key);
        readEveryWay(bag, key);
    }
    checkButton(bag);
    checkBorder(bag);
    return 0;
}
