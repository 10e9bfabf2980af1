#include "core/laneprofile.h"

#include "core/error.h"

#include <QImage>
#include <QTest>

using namespace kesto;

Q_DECLARE_METATYPE(kesto::FrameGeometry)
Q_DECLARE_METATYPE(kesto::Channel)
Q_DECLARE_METATYPE(kesto::ProfileDirection)

namespace {

// A 30 x 20 picture whose red, green and blue at (x, y) are worked out by sample(), so
// the expected means come from the description, not from the pixels.
int sample(int x, int y, Channel channel)
{
    if (x < 0 || y < 0 || x >= 30 || y >= 20)
        return 255;
    switch (channel) {
    case Channel::Red:
        return (x * 7 + y * 3) % 256;
    case Channel::Green:
        return (x * y) % 256;
    case Channel::Blue:
        break;
    }
    return 255 - x - y;
}

QImage picture()
{
    QImage image(30, 20, QImage::Format_RGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            image.setPixel(x, y,
                           qRgb(sample(x, y, Channel::Red), sample(x, y, Channel::Green),
                                sample(x, y, Channel::Blue)));
    return image;
}

} // namespace

class TestLaneProfile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void meansAndArea_data();
    void meansAndArea();
    void emptyFrameHasNoValues();
    void noPictureHasNoValues();
    void convertsOtherFormats();
    void hugeFrameIsRefused();
    void tabSeparatedText();
};

void TestLaneProfile::meansAndArea_data()
{
    QTest::addColumn<FrameGeometry>("frame");
    QTest::addColumn<Channel>("channel");
    QTest::addColumn<ProfileDirection>("direction");
    QTest::addColumn<int>("x0");
    QTest::addColumn<int>("x1");
    QTest::addColumn<int>("y0");
    QTest::addColumn<int>("y1");

    const auto rows = ProfileDirection::AlongRows;
    const auto columns = ProfileDirection::AlongColumns;
    QTest::newRow("rows, inside, red")
        << FrameGeometry{2, 3, 10, 5} << Channel::Red << rows << 2 << 12 << 3 << 8;
    QTest::newRow("columns, inside, green")
        << FrameGeometry{2, 3, 10, 5} << Channel::Green << columns << 2 << 12 << 3 << 8;
    // 0.1 + 2.4 is 2.5 in single precision and rounds to column 2, as the scan reads it.
    QTest::newRow("rows, fractional ends")
        << FrameGeometry{0.1f, 1.5f, 2.4f, 2.0f} << Channel::Blue << rows << 0 << 2 << 2 << 4;
    QTest::newRow("rows, past the bottom right")
        << FrameGeometry{25, 15, 10, 10} << Channel::Red << rows << 25 << 35 << 15 << 25;
    QTest::newRow("columns, before the top left")
        << FrameGeometry{-4, -3, 8, 6} << Channel::Blue << columns << -4 << 4 << -3 << 3;
    QTest::newRow("one pixel") << FrameGeometry{5, 5, 0, 0} << Channel::Green << rows << 5 << 5 << 5
                               << 5;
    QTest::newRow("wholly off the picture")
        << FrameGeometry{40, 40, 3, 2} << Channel::Red << columns << 40 << 43 << 40 << 42;
}

void TestLaneProfile::meansAndArea()
{
    QFETCH(FrameGeometry, frame);
    QFETCH(Channel, channel);
    QFETCH(ProfileDirection, direction);
    QFETCH(int, x0);
    QFETCH(int, x1);
    QFETCH(int, y0);
    QFETCH(int, y1);
    const QImage image = picture();
    const ColorValue background = 40 | 80 << 8 | 120 << 16;

    const LaneProfile profile = laneProfile(image, frame, channel, background, direction);

    const bool rows = direction == ProfileDirection::AlongRows;
    QCOMPARE(profile.first, rows ? y0 : x0);
    QCOMPARE(profile.across, rows ? x1 - x0 + 1 : y1 - y0 + 1);
    QCOMPARE(profile.means.size(), std::size_t(rows ? y1 - y0 + 1 : x1 - x0 + 1));
    QCOMPARE(profile.background, double(channelOf(background, channel)));
    for (int i = 0; i < int(profile.means.size()); ++i) {
        double sum = 0;
        for (int k = 0; k < profile.across; ++k)
            sum += rows ? sample(x0 + k, y0 + i, channel) : sample(x0 + i, y0 + k, channel);
        QCOMPARE(profile.means[std::size_t(i)], sum / double(profile.across));
    }
    QCOMPARE(profile.area(), integrateFrame(image, frame, channel, background));
}

void TestLaneProfile::emptyFrameHasNoValues()
{
    const LaneProfile profile = laneProfile(picture(), FrameGeometry{10, 10, -5, 3}, Channel::Red,
                                            0, ProfileDirection::AlongRows);
    QVERIFY(profile.means.empty());
    QCOMPARE(profile.area(), 0.0);
}

void TestLaneProfile::noPictureHasNoValues()
{
    const ChannelLevels background{230, 230, 230};
    for (const ProfileDirection direction :
         {ProfileDirection::AlongRows, ProfileDirection::AlongColumns}) {
        const LaneProfile profile = laneProfile(QImage(), FrameGeometry{0, 0, 40, 20},
                                                Channel::Blue, background, direction);
        QVERIFY(profile.means.empty());
        QVERIFY(profile.sums.empty());
        QCOMPARE(profile.area(), 0.0);
    }
}

void TestLaneProfile::convertsOtherFormats()
{
    const QImage image = picture();
    const FrameGeometry frame{1, 1, 20, 15};
    const LaneProfile expected =
        laneProfile(image, frame, Channel::Green, 0, ProfileDirection::AlongColumns);
    const LaneProfile fromRgb888 = laneProfile(image.convertToFormat(QImage::Format_RGB888), frame,
                                               Channel::Green, 0, ProfileDirection::AlongColumns);
    QCOMPARE(fromRgb888.means, expected.means);
}

void TestLaneProfile::hugeFrameIsRefused()
{
    const FrameGeometry tall{0, 0, 1, 1.0e9f};
    QVERIFY_THROWS_EXCEPTION(
        Error, laneProfile(picture(), tall, Channel::Red, 0, ProfileDirection::AlongRows));
    const FrameGeometry outOfRange{0, 0, 1, 1.0e12f};
    QVERIFY_THROWS_EXCEPTION(
        Error, laneProfile(picture(), outOfRange, Channel::Red, 0, ProfileDirection::AlongRows));
}

void TestLaneProfile::tabSeparatedText()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(qRgb(10, 20, 30));
    image.setPixel(1, 1, qRgb(13, 20, 30));
    const LaneProfile profile = laneProfile(image, FrameGeometry{0, 0, 1, 2}, Channel::Red,
                                            rgbValue(4, 0, 0), ProfileDirection::AlongColumns);
    QCOMPARE(laneProfileText(profile, ProfileDirection::AlongColumns),
             QStringLiteral("Column\tMean\tBackground\r\n0\t10\t4\r\n1\t11\t4\r\n"));
}

QTEST_GUILESS_MAIN(TestLaneProfile)
#include "tst_laneprofile.moc"
