#include "app/error.h"
#include "app/scrollsetup.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace kesto;

class TestScrollSetup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void steps_data();
    void steps();
    void hiddenWhenNothingToScroll_data();
    void hiddenWhenNothingToScroll();
    void hugeExtentScrollsToTheEnd_data();
    void hugeExtentScrollsToTheEnd();
    void infiniteExtentIsAnError();
};

void TestScrollSetup::steps_data()
{
    QTest::addColumn<float>("d");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("vSmall");
    QTest::addColumn<int>("vLarge");
    QTest::addColumn<int>("hSmall");
    QTest::addColumn<int>("hLarge");
    // Vertical rounds d / 100 + 1 half to even (3.5 -> 4); horizontal cuts d / 100 off, then + 1.
    QTest::newRow("d=250: vertical 4/84, horizontal 3/84") << 250.f << 250 << 4 << 84 << 3 << 84;
    QTest::newRow("d=1") << 1.f << 1 << 1 << 1 << 1 << 1;
    QTest::newRow("d=150: 2.5 rounds to even 2") << 150.f << 150 << 2 << 51 << 2 << 51;
    QTest::newRow("d=350: 4.5 rounds to even 4") << 350.f << 350 << 4 << 118 << 4 << 117;
    QTest::newRow("d=299: horizontal 2.99 cut to 2") << 299.f << 299 << 4 << 101 << 3 << 100;
    QTest::newRow("d=32767, the largest plain range")
        << 32767.f << 32767 << 329 << 10923 << 328 << 10923;
}

void TestScrollSetup::steps()
{
    QFETCH(float, d);
    QFETCH(int, maximum);
    QFETCH(int, vSmall);
    QFETCH(int, vLarge);
    QFETCH(int, hSmall);
    QFETCH(int, hLarge);

    const ScrollSetup v = verticalScrollSetup(d);
    QVERIFY(v.visible);
    QCOMPARE(int(v.maximum), maximum);
    QCOMPARE(int(v.smallStep), vSmall);
    QCOMPARE(int(v.largeStep), vLarge);
    QCOMPARE(v.pixelsPerUnit, 1.0);
    QCOMPARE(scrollOffset(v, maximum), maximum);

    const ScrollSetup h = horizontalScrollSetup(d);
    QVERIFY(h.visible);
    QCOMPARE(int(h.maximum), maximum);
    QCOMPARE(int(h.smallStep), hSmall);
    QCOMPARE(int(h.largeStep), hLarge);
    QCOMPARE(h.pixelsPerUnit, 1.0);
}

void TestScrollSetup::hiddenWhenNothingToScroll_data()
{
    QTest::addColumn<float>("d");
    QTest::newRow("picture exactly the viewport's size") << 0.f;
    QTest::newRow("picture smaller than the viewport") << -120.f;
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN();
}

void TestScrollSetup::hiddenWhenNothingToScroll()
{
    QFETCH(float, d);
    QVERIFY(!verticalScrollSetup(d).visible);
    QVERIFY(!horizontalScrollSetup(d).visible);
    QCOMPARE(verticalScrollSetup(d).pixelsPerUnit, 1.0);
}

void TestScrollSetup::hugeExtentScrollsToTheEnd_data()
{
    QTest::addColumn<float>("d");
    // Steps as the rules give them in pixels (vertical, horizontal), worked out by hand.
    QTest::addColumn<int>("vSmallPixels");
    QTest::addColumn<int>("vLargePixels");
    QTest::addColumn<int>("hSmallPixels");
    QTest::addColumn<int>("hLargePixels");
    QTest::newRow("d=32768, just past 16 bits") << 32768.f << 329 << 10924 << 328 << 10923;
    QTest::newRow("d=65534, two pixels a unit") << 65534.f << 656 << 21846 << 656 << 21845;
    QTest::newRow("d=100000") << 100000.f << 1001 << 33334 << 1001 << 33334;
    QTest::newRow("d=250000, a very long narrow scan")
        << 250000.f << 2501 << 83334 << 2501 << 83334;
}

void TestScrollSetup::hugeExtentScrollsToTheEnd()
{
    QFETCH(float, d);
    QFETCH(int, vSmallPixels);
    QFETCH(int, vLargePixels);
    QFETCH(int, hSmallPixels);
    QFETCH(int, hLargePixels);

    const struct
    {
        ScrollSetup setup;
        int smallPixels;
        int largePixels;
    } axes[] = {{verticalScrollSetup(d), vSmallPixels, vLargePixels},
                {horizontalScrollSetup(d), hSmallPixels, hLargePixels}};
    for (const auto& axis : axes) {
        const ScrollSetup& s = axis.setup;
        QVERIFY(s.visible);
        QCOMPARE(int(s.maximum), 32767);
        QCOMPARE(s.pixelsPerUnit, double(d) / 32767.0);
        // The whole extent is reachable, and nothing past it.
        QCOMPARE(scrollOffset(s, 0), 0);
        QCOMPARE(scrollOffset(s, 32767), int(d));
        // Steps move about as many pixels as the rules say (within half a unit), at least 1 unit.
        QVERIFY(s.smallStep >= 1);
        QVERIFY(std::abs(s.smallStep * s.pixelsPerUnit - axis.smallPixels) <= s.pixelsPerUnit / 2);
        QVERIFY(std::abs(s.largeStep * s.pixelsPerUnit - axis.largePixels) <= s.pixelsPerUnit / 2);
    }
}

void TestScrollSetup::infiniteExtentIsAnError()
{
    QVERIFY_THROWS_EXCEPTION(kesto::Error, verticalScrollSetup(std::numeric_limits<float>::infinity()));
    QVERIFY_THROWS_EXCEPTION(kesto::Error, horizontalScrollSetup(std::numeric_limits<float>::infinity()));
}

QTEST_GUILESS_MAIN(TestScrollSetup)
#include "tst_scrollsetup.moc"
