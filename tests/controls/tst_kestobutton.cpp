#include "controls/kestobutton.h"
#include "controls/propertybag.h"
#include "core/error.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace kesto;

namespace {

QPixmap solid(const QColor& colour, int side = 10)
{
    QPixmap pixmap(side, side);
    pixmap.fill(colour);
    return pixmap;
}

// The bounding box of the pixels for which the test holds.
template <typename Test> QRect pixelsWhere(const QImage& image, Test test)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (test(image.pixelColor(x, y)))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

QStringList strings(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* text : texts)
        list.append(QString::fromLatin1(text));
    return list;
}

QRect redPixels(const QImage& image)
{
    return pixelsWhere(image, [](const QColor& c) { return c == QColor(255, 0, 0); });
}

QRect darkPixels(const QImage& image)
{
    return pixelsWhere(image, [](const QColor& c) { return c.lightness() < 128; });
}

// A run-mode button 150 x 40 pixels (2250 x 600 twips) on white, with invisible bevels,
// black text in every look, so pixel positions can be read off the buffer.
std::unique_ptr<KestoButton> plainButton()
{
    auto button = std::make_unique<KestoButton>();
    button->resize(150, 40);
    button->setBackColor(0xFFFFFF);
    button->setForeColor(0);
    button->setLightBorderColor(0xFFFFFF);
    button->setDarkBorderColor(0xFFFFFF);
    button->setFontPressed(button->Font());
    button->setFontSelected(button->Font());
    button->setCaption(QString());
    return button;
}

void designSet(KestoButton& button, bool switchOn, std::int16_t alignment)
{
    button.setUserMode(false);
    button.setSwitch(switchOn);
    button.setAlignment(alignment);
    button.setUserMode(true);
}

} // namespace

class TestKestoButton : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void newButtonHasDefaults();
    void defaultButtonStoresNoKeys();
    void emptySetLoadsLikeNewButton();
    void storedSetRoundTrips();
    void loadedBackColorReachesBuffer();
    void badStoredSetLeavesButtonUnchanged();
    void designTimeProperties_data();
    void designTimeProperties();
    void assignmentsNotifyByName();
    void lightBorderColorWaitsForNextHover();
    void pressesToggleValueSilently_data();
    void pressesToggleValueSilently();
    void pictureChoice_data();
    void pictureChoice();
    void pressedOffsets_data();
    void pressedOffsets();
    void selectedBevel();
    void draggingOffAndBack_data();
    void draggingOffAndBack();
    void keysPressAndClick_data();
    void keysPressAndClick();
    void releaseWithoutPressDoesNotClick_data();
    void releaseWithoutPressDoesNotClick();
    void hoverTimerNoticesLeaving();
    void captionAmpersands_data();
    void captionAmpersands();
    void doubleAmpersandUnderlinesFirstLetter();
    void refreshShowsAmpersand();
    void refusesBadValues();
};

void TestKestoButton::newButtonHasDefaults()
{
    QWidget host;
    QFont ambient(QStringLiteral("DejaVu Sans"), 11);
    host.setFont(ambient);
    KestoButton button(&host);
    QCOMPARE(button.Caption(), QStringLiteral("KestoButton"));
    QCOMPARE(int(button.Delta()), 45);
    QCOMPARE(int(button.Shift()), 15);
    QCOMPARE(button.LightBorderColor(), ColorValue(0xFFFFFF));
    QCOMPARE(button.DarkBorderColor(), ColorValue(0x808080));
    QCOMPARE(int(button.Alignment()), 0);
    QCOMPARE(button.Switch(), false);
    QCOMPARE(button.Value(), false);
    QCOMPARE(button.BackColor(), ColorValue(0x8000000Fu));
    QCOMPARE(button.ForeColor(), ColorValue(0x80000012u));
    QCOMPARE(button.ForeColorSelected(), ColorValue(0));
    QCOMPARE(button.ForeColorPressed(), ColorValue(0));
    QCOMPARE(int(button.MousePointer()), 0);
    QCOMPARE(button.ToolTipText(), QString());
    QVERIFY(button.Picture().isNull());
    QCOMPARE(button.FontSelected(), ambient);
    QCOMPARE(button.FontPressed(), ambient);
    QCOMPARE(button.Font(), ambient);
    QCOMPARE(button.userMode(), true);
    QCOMPARE(KestoButton::progId(), QStringLiteral("KestoScan.KestoButton"));
}

void TestKestoButton::defaultButtonStoresNoKeys()
{
    KestoButton button;
    PropertyBag bag;
    button.writeProperties(bag);
    QCOMPARE(bag.keys(), QStringList());
    QCOMPARE(bag.toJson(), QByteArray("{}\n"));
}

void TestKestoButton::emptySetLoadsLikeNewButton()
{
    QWidget host;
    host.setFont(QFont(QStringLiteral("DejaVu Serif"), 13));
    std::unique_ptr<KestoButton> loaded(KestoButton::fromProperties(PropertyBag(), &host));
    KestoButton fresh(&host);
    PropertyBag a, b;
    loaded->writeProperties(a);
    fresh.writeProperties(b);
    QCOMPARE(a.keys(), QStringList());
    QCOMPARE(b.keys(), QStringList());
    QCOMPARE(loaded->Caption(), QStringLiteral("KestoButton"));
    QCOMPARE(int(loaded->Shift()), 15);
    QCOMPARE(loaded->FontSelected(), host.font());
    QCOMPARE(loaded->FontPressed(), host.font());
}

void TestKestoButton::storedSetRoundTrips()
{
    KestoButton button;
    button.setUserMode(false);
    button.setCaption(QStringLiteral("&Open"));
    button.setDelta(60);
    button.setAlignment(2);
    button.setSwitch(true);
    button.setValue(true);
    button.setShift(30);
    button.setBackColor(0x00FF00);
    button.setForeColorSelected(0xFF0000); // needs more than 16 bits
    button.setMousePointer(11);
    button.setToolTipText(QStringLiteral("Open a picture"));
    button.setPicture(solid(Qt::red));
    PropertyBag bag;
    button.writeProperties(bag);
    QCOMPARE(bag.keys(), (QStringList{QStringLiteral("BackColor"), QStringLiteral("MousePointer"),
                                      QStringLiteral("Picture"), QStringLiteral("Caption"),
                                      QStringLiteral("Delta"), QStringLiteral("Alignment"),
                                      QStringLiteral("ForeColorSelected"), QStringLiteral("Switch"),
                                      QStringLiteral("Value"), QStringLiteral("Shift"),
                                      QStringLiteral("ToolTipText")}));
    QCOMPARE(bag.value(QStringLiteral("Switch")).toInt(), -1);

    std::unique_ptr<KestoButton> loaded(
        KestoButton::fromProperties(PropertyBag::fromJson(bag.toJson())));
    QCOMPARE(loaded->Caption(), QStringLiteral("&Open"));
    QCOMPARE(int(loaded->Delta()), 60);
    QCOMPARE(int(loaded->Alignment()), 2);
    QCOMPARE(loaded->Switch(), true);
    QCOMPARE(loaded->Value(), true);
    QCOMPARE(int(loaded->Shift()), 30);
    QCOMPARE(loaded->BackColor(), ColorValue(0x00FF00));
    QCOMPARE(loaded->ForeColorSelected(), ColorValue(0xFF0000));
    QCOMPARE(int(loaded->MousePointer()), 11);
    QCOMPARE(loaded->ToolTipText(), QStringLiteral("Open a picture"));
    QCOMPARE(loaded->Picture().toImage().pixelColor(5, 5), QColor(Qt::red));
}

void TestKestoButton::loadedBackColorReachesBuffer()
{
    PropertyBag bag;
    bag.setValue(QStringLiteral("BackColor"), 0x0000FF00); // green
    std::unique_ptr<KestoButton> button(KestoButton::fromProperties(bag));
    button->resize(60, 20);
    button->DrawUnselected();
    QCOMPARE(button->BackColor(), ColorValue(0x0000FF00));
    QCOMPARE(button->buffer().pixelColor(0, 0), QColor(0, 255, 0));
}

void TestKestoButton::badStoredSetLeavesButtonUnchanged()
{
    KestoButton button;
    button.setCaption(QStringLiteral("Keep"));
    PropertyBag bag;
    bag.setValue(QStringLiteral("Caption"), QStringLiteral("Lost"));
    bag.setValue(QStringLiteral("Shift"), QStringLiteral("a lot"));
    try {
        button.readProperties(bag);
        QFAIL("a Shift that is no number was accepted");
    } catch (const Error& error) {
        QVERIFY2(error.message().contains(QLatin1String("\"Shift\"")), qPrintable(error.message()));
    }
    QCOMPARE(button.Caption(), QStringLiteral("Keep"));
    QCOMPARE(int(button.Shift()), 15);
}

void TestKestoButton::designTimeProperties_data()
{
    QTest::addColumn<QString>("property");
    QTest::newRow("Shift") << QStringLiteral("Shift");
    QTest::newRow("Switch") << QStringLiteral("Switch");
    QTest::newRow("Alignment") << QStringLiteral("Alignment");
}

void TestKestoButton::designTimeProperties()
{
    QFETCH(QString, property);
    KestoButton button;
    QSignalSpy notices(&button, &KestoButton::propertyChanged);
    const auto assign = [&] {
        if (property == QLatin1String("Shift"))
            button.setShift(30);
        else if (property == QLatin1String("Switch"))
            button.setSwitch(true);
        else
            button.setAlignment(1);
    };
    const auto current = [&] {
        if (property == QLatin1String("Shift"))
            return int(button.Shift());
        if (property == QLatin1String("Switch"))
            return int(button.Switch());
        return int(button.Alignment());
    };
    const int before = current();
    button.resize(80, 30);
    button.DrawUnselected();
    const QImage look = button.buffer();

    try {
        assign();
        QFAIL("a run-mode assignment was accepted");
    } catch (const Error& error) {
        QCOMPARE(error.number(), 393);
    }
    QCOMPARE(current(), before);
    QCOMPARE(notices.count(), 0);
    QCOMPARE(button.buffer(), look);

    button.setUserMode(false);
    assign();
    QVERIFY(current() != before);
    QCOMPARE(notices.count(), 1);
    QCOMPARE(notices.at(0).at(0).toString(), property);
}

void TestKestoButton::assignmentsNotifyByName()
{
    KestoButton button;
    button.setUserMode(false);
    QSignalSpy notices(&button, &KestoButton::propertyChanged);
    button.setBackColor(0xFF);
    button.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    button.setForeColor(0);
    button.setMouseIcon(solid(Qt::black, 16));
    button.setMousePointer(99);
    button.setPicture(solid(Qt::red));
    button.setCaption(QStringLiteral("x"));
    button.setDelta(30);
    button.setLightBorderColor(0);
    button.setDarkBorderColor(0);
    button.setAlignment(1);
    button.setSelectedPicture(QPixmap());
    button.setPressedPicture(QPixmap());
    button.setFontSelected(QFont());
    button.setFontPressed(QFont());
    button.setForeColorSelected(1);
    button.setForeColorPressed(1);
    button.setSwitch(true);
    button.setValue(true);
    button.setShift(0);
    button.setToolTipText(QStringLiteral("tip"));
    QStringList names;
    for (const QList<QVariant>& notice : std::as_const(notices))
        names.append(notice.at(0).toString());
    QCOMPARE(names, strings({"BackColor",
                             "Font",
                             "ForeColor",
                             "MouseIcon",
                             "MousePointer",
                             "Picture",
                             "Caption",
                             "Delta",
                             "LightBorderColor",
                             "DarkBorderColor",
                             "Alignment",
                             "SelectedPicture",
                             "PressedPicture",
                             "FontSelected",
                             "FontPressed",
                             "ForeColorSelected",
                             "ForeColorPressed",
                             "Switch",
                             "Value",
                             "Shift",
                             "ToolTipText"}));
    QCOMPARE(button.toolTip(), QStringLiteral("tip"));
}

void TestKestoButton::lightBorderColorWaitsForNextHover()
{
    auto button = plainButton();
    button->DrawUnselected();
    const QImage before = button->buffer();
    button->setLightBorderColor(0x0000FF); // red
    QCOMPARE(button->buffer(), before);
    QCOMPARE(button->look(), KestoButton::Look::Unselected);

    button->DrawSelected();
    QCOMPARE(button->buffer().pixelColor(0, 0), QColor(255, 0, 0));
    QCOMPARE(button->buffer().pixelColor(5, 0), QColor(255, 0, 0));
    QCOMPARE(button->buffer().pixelColor(0, 20), QColor(255, 0, 0));
}

void TestKestoButton::pressesToggleValueSilently_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("mouse") << false;
    QTest::newRow("key") << true;
}

void TestKestoButton::pressesToggleValueSilently()
{
    QFETCH(bool, byKey);
    QWidget window;
    window.resize(200, 100);
    auto* button = new KestoButton(&window);
    button->setGeometry(20, 20, 100, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy notices(button, &KestoButton::propertyChanged);

    const auto press = [&] {
        if (byKey)
            QTest::keyClick(button, Qt::Key_Space);
        else
            QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(50, 15));
    };
    press();
    QCOMPARE(button->Value(), true);
    press();
    QCOMPARE(button->Value(), false);
    QCOMPARE(notices.count(), 0);

    button->setValue(true);
    QCOMPARE(notices.count(), 1);
    QCOMPARE(notices.at(0).at(0).toString(), QStringLiteral("Value"));
}

void TestKestoButton::pictureChoice_data()
{
    QTest::addColumn<bool>("switchOn");
    QTest::addColumn<bool>("value");
    QTest::addColumn<bool>("hasSelected");
    QTest::addColumn<bool>("hasPressed");
    QTest::addColumn<int>("look");
    QTest::addColumn<QColor>("expected");

    const QColor picture(Qt::red), selected(Qt::green), pressed(Qt::blue), none(Qt::white);
    const int flat = int(KestoButton::Look::Unselected), raised = int(KestoButton::Look::Selected),
              sunk = int(KestoButton::Look::Pressed), refreshed = int(KestoButton::Look::Refreshed);

    QTest::newRow("push: flat shows Picture") << false << false << true << true << flat << picture;
    QTest::newRow("push: hover shows SelectedPicture")
        << false << false << true << true << raised << selected;
    QTest::newRow("push: pressed shows PressedPicture")
        << false << false << true << true << sunk << pressed;
    QTest::newRow("push: Value true changes nothing")
        << false << true << true << true << flat << picture;
    QTest::newRow("push, only PressedPicture: hover shows Picture")
        << false << false << false << true << raised << picture;
    QTest::newRow("push, only PressedPicture: pressed shows it")
        << false << false << false << true << sunk << pressed;
    QTest::newRow("push, only SelectedPicture: pressed shows Picture")
        << false << false << true << false << sunk << picture;
    QTest::newRow("push: Refresh shows Picture")
        << false << false << true << true << refreshed << picture;
    QTest::newRow("switch off: flat shows Picture")
        << true << false << true << true << flat << picture;
    QTest::newRow("switch off: hover shows Picture")
        << true << false << true << true << raised << picture;
    QTest::newRow("switch off: pressed shows Picture")
        << true << false << true << true << sunk << picture;
    QTest::newRow("switch on: flat shows SelectedPicture")
        << true << true << true << true << flat << selected;
    QTest::newRow("switch on: hover shows SelectedPicture")
        << true << true << true << true << raised << selected;
    QTest::newRow("switch on: pressed shows SelectedPicture")
        << true << true << true << true << sunk << selected;
    QTest::newRow("switch on: Refresh shows Picture")
        << true << true << true << true << refreshed << picture;
    QTest::newRow("switch on without SelectedPicture shows none")
        << true << true << false << true << flat << none;
}

void TestKestoButton::pictureChoice()
{
    QFETCH(bool, switchOn);
    QFETCH(bool, value);
    QFETCH(bool, hasSelected);
    QFETCH(bool, hasPressed);
    QFETCH(int, look);
    QFETCH(QColor, expected);

    auto button = plainButton();
    designSet(*button, switchOn, 0);
    button->setValue(value);
    button->setPicture(solid(Qt::red));
    if (hasSelected)
        button->setSelectedPicture(solid(Qt::green));
    if (hasPressed)
        button->setPressedPicture(solid(Qt::blue));
    switch (KestoButton::Look(look)) {
    case KestoButton::Look::Unselected:
        button->DrawUnselected();
        break;
    case KestoButton::Look::Selected:
        button->DrawSelected();
        break;
    case KestoButton::Look::Pressed:
        button->DrawPressed();
        break;
    case KestoButton::Look::Refreshed:
        button->Refresh();
        break;
    }
    // Inside the 10 x 10 picture whether or not it moved by the pressed offset.
    QCOMPARE(button->buffer().pixelColor(8, 20), expected);
}

void TestKestoButton::pressedOffsets_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<bool>("withPicture");
    QTest::addColumn<QPoint>("flatPicture");
    QTest::addColumn<QPoint>("pressedPicture");
    QTest::addColumn<QPoint>("textShift");

    // 150 x 40 px = 2250 x 600 twips, picture 10 x 10 px = 150 twips, Delta 45, Shift 15.
    QTest::newRow("no picture: caption centred, moves by Shift")
        << 0 << false << QPoint() << QPoint() << QPoint(1, 1);
    // left: x = 45, y = (600 - 150) / 2 = 225
    QTest::newRow("alignment 0: picture at the left")
        << 0 << true << QPoint(3, 15) << QPoint(4, 16) << QPoint(1, 1);
    // right: x = 2250 - 45 - 150 = 2055
    QTest::newRow("alignment 1: picture at the right")
        << 1 << true << QPoint(137, 15) << QPoint(138, 16) << QPoint(1, 1);
    // top: x = (2250 - 150) / 2 = 1050, y = 45; pressed moves 2 x Shift across
    QTest::newRow("alignment 2: picture on top")
        << 2 << true << QPoint(70, 3) << QPoint(72, 4) << QPoint(2, 1);
    QTest::newRow("alignment 7 places like 2")
        << 7 << true << QPoint(70, 3) << QPoint(72, 4) << QPoint(2, 1);
}

void TestKestoButton::pressedOffsets()
{
    QFETCH(int, alignment);
    QFETCH(bool, withPicture);
    QFETCH(QPoint, flatPicture);
    QFETCH(QPoint, pressedPicture);
    QFETCH(QPoint, textShift);

    auto button = plainButton();
    designSet(*button, false, std::int16_t(alignment));
    if (withPicture)
        button->setPicture(solid(Qt::red));

    // The picture alone first.
    button->DrawUnselected();
    if (withPicture) {
        QCOMPARE(redPixels(button->buffer()), QRect(flatPicture, QSize(10, 10)));
        button->DrawPressed();
        QCOMPARE(redPixels(button->buffer()), QRect(pressedPicture, QSize(10, 10)));
    }

    // Then the caption: the pressed print is the flat print moved.
    button->setCaption(QStringLiteral("Wg"));
    button->DrawUnselected();
    const QRect flat = darkPixels(button->buffer());
    button->DrawPressed();
    const QRect pressed = darkPixels(button->buffer());
    QVERIFY(!flat.isEmpty());
    QCOMPARE(pressed.size(), flat.size());
    QCOMPARE(pressed.topLeft() - flat.topLeft(), textShift);
    if (!withPicture) {
        // Centred both ways: equal margins to within a pixel.
        QVERIFY(qAbs(flat.left() - (150 - 1 - flat.right())) <= 1);
    }
}

void TestKestoButton::selectedBevel()
{
    auto button = plainButton();
    button->setLightBorderColor(0x0000FF); // red
    button->setDarkBorderColor(0xFF0000);  // blue
    const QColor red(255, 0, 0), blue(0, 0, 255), white(255, 255, 255);
    button->DrawSelected();
    QImage image = button->buffer();
    QCOMPARE(image.pixelColor(0, 0), red);
    QCOMPARE(image.pixelColor(148, 0), red);   // the top line spans the width
    QCOMPARE(image.pixelColor(149, 0), blue);  // and the right line, drawn later, starts at the top
    QCOMPARE(image.pixelColor(0, 38), red);    // the left line spans the height
    QCOMPARE(image.pixelColor(0, 39), blue);   // under the bottom line, drawn last
    QCOMPARE(image.pixelColor(149, 20), blue); // right, one pixel inside the edge
    QCOMPARE(image.pixelColor(20, 39), blue);  // bottom
    QCOMPARE(image.pixelColor(1, 1), white);
    button->DrawPressed();
    image = button->buffer();
    QCOMPARE(image.pixelColor(0, 0), blue);
    QCOMPARE(image.pixelColor(149, 20), red);
    QCOMPARE(image.pixelColor(20, 39), red);
}

void TestKestoButton::draggingOffAndBack_data()
{
    QTest::addColumn<QPoint>("releaseAt");
    QTest::newRow("released on the button") << QPoint(50, 15);
    QTest::newRow("released off the button") << QPoint(-30, 15);
}

void TestKestoButton::draggingOffAndBack()
{
    QFETCH(QPoint, releaseAt);
    QWidget window;
    window.resize(240, 120);
    auto* button = new KestoButton(&window);
    button->setGeometry(60, 40, 100, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy enters(button, &KestoButton::MouseEnter);
    QSignalSpy clicks(button, &KestoButton::Click);

    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(50, 15));
    QCOMPARE(button->look(), KestoButton::Look::Pressed);
    const int entersAfterPress = int(enters.count());

    QTest::mouseMove(button, QPoint(-30, 15));
    QCOMPARE(button->look(), KestoButton::Look::Unselected);
    QCOMPARE(button->hovering(), false);

    QTest::mouseMove(button, QPoint(40, 10));
    QCOMPARE(button->look(), KestoButton::Look::Selected); // raised, not pressed
    QCOMPARE(int(enters.count()), entersAfterPress + 1);

    QTest::mouseRelease(button, Qt::LeftButton, {}, releaseAt);
    QCOMPARE(clicks.count(), 1);
}

void TestKestoButton::keysPressAndClick_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<QStringList>("events");
    const QStringList withPress = strings({"KeyDown", "KeyPress", "KeyUp", "Click"});
    QTest::newRow("letter A") << int(Qt::Key_A) << 65 << withPress;
    QTest::newRow("space") << int(Qt::Key_Space) << 32 << withPress;
    QTest::newRow("Enter") << int(Qt::Key_Return) << 13 << withPress;
    QTest::newRow("F5 has no character")
        << int(Qt::Key_F5) << 116 << strings({"KeyDown", "KeyUp", "Click"});
    QTest::newRow("cursor left has no character")
        << int(Qt::Key_Left) << 37 << strings({"KeyDown", "KeyUp", "Click"});
}

void TestKestoButton::keysPressAndClick()
{
    QFETCH(int, key);
    QFETCH(int, keyCode);
    QFETCH(QStringList, events);
    QWidget window;
    auto* button = new KestoButton(&window);
    button->setGeometry(10, 10, 100, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QStringList seen;
    QList<int> codes;
    KestoButton::Look lookAtKeyDown = KestoButton::Look::Unselected;
    connect(button, &KestoButton::KeyDown, this, [&](int code, int) {
        seen.append(QStringLiteral("KeyDown"));
        codes.append(code);
        lookAtKeyDown = button->look();
    });
    connect(button, &KestoButton::KeyPress, this,
            [&](int) { seen.append(QStringLiteral("KeyPress")); });
    connect(button, &KestoButton::KeyUp, this, [&](int code, int) {
        seen.append(QStringLiteral("KeyUp"));
        codes.append(code);
    });
    connect(button, &KestoButton::Click, this, [&] { seen.append(QStringLiteral("Click")); });

    QTest::keyClick(button, Qt::Key(key));
    QCOMPARE(seen, events);
    QCOMPARE(codes, (QList<int>{keyCode, keyCode}));
    QCOMPARE(lookAtKeyDown, KestoButton::Look::Pressed);
    QCOMPARE(button->look(), KestoButton::Look::Unselected);
}

void TestKestoButton::releaseWithoutPressDoesNotClick_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Tab arriving from the previous button") << int(Qt::Key_Tab);
    QTest::newRow("Alt released after Alt+Tab") << int(Qt::Key_Alt);
}

void TestKestoButton::releaseWithoutPressDoesNotClick()
{
    QFETCH(int, key);
    QWidget window;
    auto* button = new KestoButton(&window);
    button->setGeometry(10, 10, 100, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicks(button, &KestoButton::Click);
    QTest::keyRelease(button, Qt::Key(key));
    QCOMPARE(clicks.count(), 0);
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(clicks.count(), 1);
}

void TestKestoButton::hoverTimerNoticesLeaving()
{
    QWidget window;
    window.resize(300, 150);
    auto* button = new KestoButton(&window);
    button->setGeometry(100, 50, 100, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy enters(button, &KestoButton::MouseEnter);
    QSignalSpy exits(button, &KestoButton::MouseExit);

    QTest::mouseMove(button, QPoint(50, 15));
    QCOMPARE(enters.count(), 1);
    QCOMPARE(button->look(), KestoButton::Look::Selected);
    QVERIFY(button->capturing());

    // Still inside: the timer leaves the look alone.
    QTest::qWait(250);
    QCOMPARE(exits.count(), 0);
    QCOMPARE(button->look(), KestoButton::Look::Selected);

    QTest::mouseMove(&window, QPoint(20, 130));
    QTRY_COMPARE(exits.count(), 1);
    QCOMPARE(button->look(), KestoButton::Look::Unselected);
    QCOMPARE(button->hovering(), false);
    QCOMPARE(button->capturing(), false);
    QTest::qWait(250);
    QCOMPARE(exits.count(), 1);
}

void TestKestoButton::captionAmpersands_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<QString>("underlined"); // 'u' under an underlined character
    QTest::addColumn<bool>("underlineAtEnd");
    QTest::newRow("&Open") << QStringLiteral("&Open") << QStringLiteral("Open")
                           << QStringLiteral("u...") << false;
    QTest::newRow("&&Save") << QStringLiteral("&&Save") << QStringLiteral("Save")
                            << QStringLiteral("u...") << false;
    QTest::newRow("Sa&ve") << QStringLiteral("Sa&ve") << QStringLiteral("Save")
                           << QStringLiteral("..u.") << false;
    QTest::newRow("trailing & leaves underline on")
        << QStringLiteral("Ok&") << QStringLiteral("Ok") << QStringLiteral("..") << true;
    QTest::newRow("only ampersands") << QStringLiteral("&&") << QString() << QString() << true;
    QTest::newRow("empty") << QString() << QString() << QString() << false;
}

void TestKestoButton::captionAmpersands()
{
    QFETCH(QString, caption);
    QFETCH(QString, printed);
    QFETCH(QString, underlined);
    QFETCH(bool, underlineAtEnd);
    const PrintedCaption result = printedCaption(caption);
    QString text, marks;
    for (const CaptionGlyph& glyph : result.glyphs) {
        text += glyph.text;
        marks += glyph.underline ? QLatin1Char('u') : QLatin1Char('.');
    }
    QCOMPARE(text, printed);
    QCOMPARE(marks, underlined);
    QCOMPARE(result.underlineAtEnd, underlineAtEnd);
}

void TestKestoButton::doubleAmpersandUnderlinesFirstLetter()
{
    auto button = plainButton();
    QFont font(QStringLiteral("DejaVu Sans"), 14);
    button->setFont(font);
    button->setCaption(QStringLiteral("&&Save"));
    button->DrawUnselected();
    const QImage image = button->buffer();

    // "Save" has no descenders: dark pixels below the baseline are the underline.
    const QFontMetricsF metrics(font, button.get());
    const double textWidth = metrics.horizontalAdvance(QStringLiteral("&&Save"));
    const double left = (150 - textWidth) / 2;
    const double top = (40 - metrics.height()) / 2;
    const int baseline = int(top + metrics.ascent());
    QRect underline;
    for (int y = baseline + 1; y < 40; ++y) {
        for (int x = 0; x < 150; ++x) {
            if (image.pixelColor(x, y).lightness() < 128)
                underline |= QRect(x, y, 1, 1);
        }
    }
    QVERIFY(!underline.isEmpty());
    const double sWidth = metrics.horizontalAdvance(QStringLiteral("S"));
    QVERIFY2(underline.left() >= int(left) - 1 && underline.right() <= int(left + sWidth) + 1,
             qPrintable(QStringLiteral("underline %1..%2, S at %3..%4")
                            .arg(underline.left())
                            .arg(underline.right())
                            .arg(left)
                            .arg(left + sWidth)));
    QVERIFY(underline.width() >= int(sWidth) - 2);
}

void TestKestoButton::refreshShowsAmpersand()
{
    auto button = plainButton();
    button->setFont(QFont(QStringLiteral("DejaVu Sans"), 14));
    button->setCaption(QStringLiteral("&Open")); // the assignment refreshes
    QCOMPARE(button->look(), KestoButton::Look::Refreshed);
    const int refreshedWidth = darkPixels(button->buffer()).width();
    button->DrawUnselected();
    const int printedWidth = darkPixels(button->buffer()).width();
    const QFontMetricsF metrics(button->Font(), button.get());
    QVERIFY(refreshedWidth >= printedWidth + int(metrics.horizontalAdvance(QLatin1Char('&'))) - 2);
}

void TestKestoButton::refusesBadValues()
{
    KestoButton button;
    QSignalSpy notices(&button, &KestoButton::propertyChanged);
    QVERIFY_THROWS_EXCEPTION(Error, button.setMousePointer(50));
    QVERIFY_THROWS_EXCEPTION(Error, button.setBackColor(ColorValue(0x80000063u)));
    QVERIFY_THROWS_EXCEPTION(Error, button.setCaption(QString(40000, QLatin1Char('x'))));
    QCOMPARE(int(button.MousePointer()), 0);
    QCOMPARE(button.BackColor(), SystemButtonFace);
    QCOMPARE(button.Caption(), QStringLiteral("KestoButton"));
    QCOMPARE(notices.count(), 0);
}

QTEST_MAIN(TestKestoButton)
#include "tst_kestobutton.moc"
