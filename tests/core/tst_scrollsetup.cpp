#include "core/scrollsetup.h"

#include <QTest>

#include <cmath>

using namespace kesto;

class TestScrollSetup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void steps_data();
    void steps();
    void hugeExtentScrollsToTheEnd_data();
    void hugeExtentScrollsToTheEnd();
};

void TestScrollSetup::steps_data()
{
    QTest::addColumn<float>("d");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("vSmall");
    QTest::addColumn<int>("vLarge");
    QTest::addColumn<int>("hSmall");
    QTest::addColumn<int>("hLarge");
    // Vertical rounds d / 100 + 1 half to even; horizontal cuts d / 100 off, then adds 1.
    QTest::newRow("d=250: vertical 4/84, horizontal 3/84") << 250.f << true << 4 << 84 << 3 << 84;
    QTest::newRow("d=150: 2.5 rounds to even 2") << 150.f << true << 2 << 51 << 2 << 51;
    QTest::newRow("d=350: 4.5 rounds to even 4") << 350.f << true << 4 << 118 << 4 << 117;
    QTest::newRow("d=32767, the last plain range")
        << 32767.f << true << 329 << 10923 << 328 << 10923;
    QTest::newRow("d=0: picture as large as the viewport") << 0.f << false << 1 << 1 << 1 << 1;
    QTest::newRow("d<0: picture smaller than the viewport") << -120.f << false << 1 << 1 << 1 << 1;
}

void TestScrollSetup::steps()
{
    QFETCH(float, d);
    QFETCH(bool, visible);
    QFETCH(int, vSmall);
    QFETCH(int, vLarge);
    QFETCH(int, hSmall);
    QFETCH(int, hLarge);
    const ScrollSetup v = verticalScrollSetup(d);
    const ScrollSetup h = horizontalScrollSetup(d);
    QCOMPARE(v.visible, visible);
    QCOMPARE(h.visible, visible);
    if (!visible)
        return;
    QCOMPARE(int(v.maximum), int(d));
    QCOMPARE(int(h.maximum), int(d));
    QCOMPARE(int(v.smallStep), vSmall);
    QCOMPARE(int(v.largeStep), vLarge);
    QCOMPARE(int(h.smallStep), hSmall);
    QCOMPARE(int(h.largeStep), hLarge);
    QCOMPARE(scrollOffset(v, v.maximum), int(d));
}

void TestScrollSetup::hugeExtentScrollsToTheEnd_data()
{
    QTest::addColumn<float>("d");
    QTest::addColumn<int>("smallPixels"); // the vertical rule's steps in pixels, by hand
    QTest::addColumn<int>("largePixels");
    QTest::newRow("d=32768, just past 16 bits") << 32768.f << 329 << 10924;
    QTest::newRow("d=100000") << 100000.f << 1001 << 33334;
    QTest::newRow("d=250000") << 250000.f << 2501 << 83334;
}

void TestScrollSetup::hugeExtentScrollsToTheEnd()
{
    QFETCH(float, d);
    QFETCH(int, smallPixels);
    QFETCH(int, largePixels);
    for (const ScrollSetup& s : {verticalScrollSetup(d), horizontalScrollSetup(d)}) {
        QVERIFY(s.visible);
        QCOMPARE(int(s.maximum), 32767);
        QCOMPARE(scrollOffset(s, 0), 0);
        QCOMPARE(scrollOffset(s, 32767), int(d)); // the whole picture is reachable
        // Steps move about as far as the rules say: within a unit of the pixel count.
        QVERIFY(std::abs(s.smallStep * s.pixelsPerUnit - smallPixels) <= s.pixelsPerUnit);
        QVERIFY(std::abs(s.largeStep * s.pixelsPerUnit - largePixels) <= s.pixelsPerUnit);
    }
}

QTEST_GUILESS_MAIN(TestScrollSetup)
#include "tst_scrollsetup.moc"
