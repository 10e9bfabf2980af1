#include "app/integration.h"
#include "commands/imagecommands.h"

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
    void invertConvertsOtherFormats();
    void invertNullPictureStaysNull();
    void scanAfterInversion();
    void backgroundText_data();
    void backgroundText();
};

void TestImageCommands::invertPixel_data()
{
    QTest::addColumn<QRgb>("before");
    QTest::addColumn<QRgb>("after");
    QTest::newRow("white to black") << qRgb(255, 255, 255) << qRgb(0, 0, 0);
    QTest::newRow("black to white") << qRgb(0, 0, 0) << qRgb(255, 255, 255);
    QTest::newRow("(10, 200, 37) to (245, 55, 218)") << qRgb(10, 200, 37) << qRgb(245, 55, 218);
    QTest::newRow("mid grey 128 to 127") << qRgb(128, 128, 128) << qRgb(127, 127, 127);
}

void TestImageCommands::invertPixel()
{
    QFETCH(QRgb, before);
    QFETCH(QRgb, after);
    QImage picture(7, 3, QImage::Format_RGB32);
    picture.fill(before);
    invertPicture(picture);
    QCOMPARE(picture.format(), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            QCOMPARE(picture.pixel(x, y), after);   // alpha stays 0xFF too
}

void TestImageCommands::invertTwiceRestoresEveryByte()
{
    QImage picture(257, 131, QImage::Format_RGB32);
    QRandomGenerator random(20240611);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            line[x] = 0xFF000000u | (random.generate() & 0x00FFFFFFu);
    }
    const QImage original = picture.copy();
    const QImage sharedCopy = picture;   // implicitly shares the pixels until one changes

    invertPicture(picture);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb was = original.pixel(x, y);
            QCOMPARE(picture.pixel(x, y), qRgb(255 - qRed(was), 255 - qGreen(was), 255 - qBlue(was)));
        }
    // A copy that shared the pixels keeps the colours it had.
    QCOMPARE(sharedCopy, original);

    invertPicture(picture);
    QCOMPARE(picture, original);
}

void TestImageCommands::invertConvertsOtherFormats()
{
    QImage grey(4, 2, QImage::Format_Grayscale8);
    grey.fill(10);
    invertPicture(grey);
    QCOMPARE(grey.format(), QImage::Format_RGB32);
    QCOMPARE(grey.pixel(3, 1), qRgb(245, 245, 245));
}

void TestImageCommands::invertNullPictureStaysNull()
{
    QImage none;
    invertPicture(none);
    QVERIFY(none.isNull());
}

void TestImageCommands::scanAfterInversion()
{
    // A 20 x 10 picture of (30, 60, 90) with a band of (200, 180, 160) in columns 5..9;
    // after inversion the band is (55, 75, 95) on (225, 195, 165).
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(qRgb(30, 60, 90));
    for (int y = 0; y < 10; ++y)
        for (int x = 5; x <= 9; ++x)
            picture.setPixel(x, y, qRgb(200, 180, 160));
    invertPicture(picture);

    // Frame over columns 3..12, rows 2..7: 5 band columns and 5 background columns.
    const FrameGeometry frame{3, 2, 9, 5};
    const ColorValue background = 225 | 195 << 8 | 165 << 16;
    QCOMPARE(integrateFrame(picture, frame, Channel::Red, background), 5.0 * 6 * (55 - 225));
    QCOMPARE(integrateFrame(picture, frame, Channel::Green, background), 5.0 * 6 * (75 - 195));
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
        << 2476042 << QStringLiteral("Background=2476042 HEX: 25C80A\nR=10 (HA)\nG=200 (HC8)\nB=37 (H25)");
    QTest::newRow("pure blue 0xFF0000")
        << 16711680 << QStringLiteral("Background=16711680 HEX: FF0000\nR=0 (H0)\nG=0 (H0)\nB=255 (HFF)");
}

void TestImageCommands::backgroundText()
{
    QFETCH(int, background);
    QFETCH(QString, expected);
    QCOMPARE(kesto::backgroundText(background), expected);
}

QTEST_GUILESS_MAIN(TestImageCommands)
#include "tst_imagecommands.moc"
