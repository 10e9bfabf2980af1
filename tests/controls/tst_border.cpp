#include "controls/border.h"
#include "controls/propertybag.h"
#include "core/error.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace kesto;

class TestBorder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void heightSnapsBack_data();
    void heightSnapsBack();
    void linesSpanTheWidth();
    void darkColorRedrawsAndNotifies();
    void unchangedColoursStoreNothing();
    void storedColoursLoad();
    void badStoredColourIsLoadError();
};

void TestBorder::heightSnapsBack_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("dragged to 2 cm high") << 300 << 76; // 1134 twips
    QTest::newRow("squeezed to one pixel") << 120 << 1;
    QTest::newRow("already 60 twips") << 200 << 4;
}

void TestBorder::heightSnapsBack()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QWidget form;
    auto* border = new Border(&form);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    border->resize(width, height);
    QCOMPARE(border->height(), 4); // 60 twips at 15 twips per pixel
    QCOMPARE(border->width(), width);
    QCOMPARE(border->linBorderDark().x2, width * 15.0);
    QCOMPARE(border->linBorderLight().x2, width * 15.0);
}

void TestBorder::linesSpanTheWidth()
{
    Border border;
    border.resize(250, 30);
    border.setDarkColor(0x0000FF);
    border.setLightColor(0x00FF00);
    const QImage image = border.grab().toImage();
    QCOMPARE(image.height(), 4);
    for (int x : {0, 1, 124, 248, 249}) {
        QCOMPARE(image.pixelColor(x, 0), QColor(255, 0, 0));
        QCOMPARE(image.pixelColor(x, 1), QColor(0, 255, 0));
    }
    QCOMPARE(border.linBorderDark().x1, 0.0);
    QCOMPARE(border.linBorderDark().y1, 0.0);
    QCOMPARE(border.linBorderLight().y1, 15.0);
}

void TestBorder::darkColorRedrawsAndNotifies()
{
    Border border;
    QSignalSpy notices(&border, &Border::propertyChanged);
    border.setDarkColor(0x0000FF);
    QCOMPARE(border.DarkColor(), ColorValue(0x0000FF));
    QCOMPARE(border.grab().toImage().pixelColor(10, 0), QColor(255, 0, 0));
    border.setLightColor(0xFF0000);
    QCOMPARE(notices.count(), 2);
    QCOMPARE(notices.at(0).at(0).toString(), QStringLiteral("DarkColor"));
    QCOMPARE(notices.at(1).at(0).toString(), QStringLiteral("LightColor"));
}

void TestBorder::unchangedColoursStoreNothing()
{
    Border border;
    PropertyBag bag;
    border.writeProperties(bag);
    QCOMPARE(bag.keys(), QStringList());
    QCOMPARE(border.DarkColor(), ColorValue(0x80000010u));
    QCOMPARE(border.LightColor(), ColorValue(0x80000014u));
    std::unique_ptr<Border> loaded(Border::fromProperties(bag));
    QCOMPARE(loaded->DarkColor(), SystemButtonShadow);
    QCOMPARE(loaded->LightColor(), System3DHighlight);
}

void TestBorder::storedColoursLoad()
{
    Border border;
    border.setLightColor(0x123456);
    PropertyBag bag;
    border.writeProperties(bag);
    QCOMPARE(bag.keys(), QStringList{QStringLiteral("LightColor")});
    std::unique_ptr<Border> loaded(Border::fromProperties(PropertyBag::fromJson(bag.toJson())));
    QCOMPARE(loaded->LightColor(), ColorValue(0x123456));
    QCOMPARE(loaded->DarkColor(), SystemButtonShadow);
}

void TestBorder::badStoredColourIsLoadError()
{
    const PropertyBag bag = PropertyBag::fromJson(R"({"DarkColor": 255, "LightColor": "grey"})");
    Border border;
    try {
        border.readProperties(bag);
        QFAIL("a colour named \"grey\" was accepted");
    } catch (const Error& error) {
        QVERIFY2(error.message().contains(QLatin1String("\"LightColor\"")),
                 qPrintable(error.message()));
    }
    QCOMPARE(border.DarkColor(), SystemButtonShadow); // nothing half loaded
}

QTEST_MAIN(TestBorder)
#include "tst_border.moc"
