#include "core/integration.h"
#include "core/pictureops.h"

#include <QImage>
#include <QRandomGenerator>
#include <QTest>

using namespace kesto;

class TestImageCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void invertPixel_data();
    void invertPixel();
    void invertTwiceRestoresEveryByte();
    void scanAfterInversion();
    void backgroundText_data();
    void backgroundText();
};

void TestImageCommands::invertPixel_data()
{
    QTest::addColumn<QRgb>("before");
    QTest::addColumn<QRgb>("after");
    QTest::newRow("white to black") << qRgb(255, 255, 255) << qRgb(0, 0, 0);
    QTest::newRow("(10, 200, 37) to (245, 55, 218)") << qRgb(10, 200, 37) << qRgb(245, 55, 218);
}

void TestImageCommands::invertPixel()
{
    QFETCH(QRgb, before);
    QFETCH(QRgb, after);
    QImage picture(7, 3, QImage::Format_RGB32);
    picture.fill(before);
    invertPicture(picture);
    QCOMPARE(picture.pixel(0, 0), after); // qRgb: the alpha byte stays opaque too
    QCOMPARE(picture.pixel(6, 2), after);
}

void TestImageCommands::invertTwiceRestoresEveryByte()
{
    QImage picture(257, 131, QImage::Format_RGB32);
    QRandomGenerator random(20240611);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, 0xFF000000u | (random.generate() & 0x00FFFFFFu));
    const QImage original = picture.copy();
    const QImage sharedCopy = picture; // shares the pixels until one of them changes

    invertPicture(picture);
    const QRgb was = original.pixel(100, 50);
    QCOMPARE(picture.pixel(100, 50), qRgb(255 - qRed(was), 255 - qGreen(was), 255 - qBlue(was)));
    QCOMPARE(sharedCopy, original);
    invertPicture(picture);
    QCOMPARE(picture, original);
}

void TestImageCommands::scanAfterInversion()
{
    // (30, 60, 90) with a band of (200, 180, 160) over columns 5..9; inverted, the band is
    // (55, 75, 95) on (225, 195, 165). The frame covers columns 3..12 and rows 2..7.
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(qRgb(30, 60, 90));
    for (int y = 0; y < 10; ++y)
        for (int x = 5; x <= 9; ++x)
            picture.setPixel(x, y, qRgb(200, 180, 160));
    invertPicture(picture);
    const FrameGeometry frame{3, 2, 9, 5};
    const ColorValue background = 225 | 195 << 8 | 165 << 16;
    QCOMPARE(integrateFrame(picture, frame, Channel::Red, background), 5.0 * 6 * (55 - 225));
    QCOMPARE(integrateFrame(picture, frame, Channel::Blue, background), 5.0 * 6 * (95 - 165));
}

void TestImageCommands::backgroundText_data()
{
    QTest::addColumn<int>("background");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0") << 0 << QStringLiteral("Background=0 HEX: 0\nR=0 (H0)\nG=0 (H0)\nB=0 (H0)");
    QTest::newRow("16777215, white")
        << 16777215
        << QStringLiteral("Background=16777215 HEX: FFFFFF\nR=255 (HFF)\nG=255 (HFF)\nB=255 (HFF)");
    // 37 * 65536 + 200 * 256 + 10 = 2476042 = 0x25C80A.
    QTest::newRow("(10, 200, 37)")
        << 2476042
        << QStringLiteral("Background=2476042 HEX: 25C80A\nR=10 (HA)\nG=200 (HC8)\nB=37 (H25)");
}

void TestImageCommands::backgroundText()
{
    QFETCH(int, background);
    QFETCH(QString, expected);
    QCOMPARE(kesto::backgroundText(background), expected);
}

QTEST_GUILESS_MAIN(TestImageCommands)
#include "tst_pictureops.moc"
