// Display levels: percentiles of a histogram, the 8-bit value a count shows as, Auto levels
// of a picture, what the person may type, and the rendering leaving the picture as it was.

#include "core/deeppicture.h"
#include "core/displaylevels.h"

#include <QImage>
#include <QTest>

#include <cstdint>
#include <vector>

using namespace kesto;

Q_DECLARE_METATYPE(kesto::DisplayLevels)

namespace {

using Histogram = std::vector<std::uint64_t>;

// A 16-bit grey picture: every pixel background except the first `bright` pixels, which
// hold signal, and one pixel at full scale.
QImage greyPicture(int width, int height, std::uint16_t background, int bright,
                   std::uint16_t signal)
{
    QImage image(width, height, QImage::Format_Grayscale16);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<std::uint16_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = y * width + x < bright ? signal : background;
    }
    reinterpret_cast<std::uint16_t*>(image.scanLine(height - 1))[width - 1] = 65535;
    return image;
}

} // namespace

class TestDisplayLevels : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void percentile_data();
    void percentile();
    void screenLevel_data();
    void screenLevel();
    void parse_data();
    void parse();
    void autoLevelsStretchTheSignal();
    void renderingLeavesThePictureAsItWas();
    void grayViewShowsAsTheRendering_data();
    void grayViewShowsAsTheRendering();
    void reducedGrayView_data();
    void reducedGrayView();
};

void TestDisplayLevels::percentile_data()
{
    QTest::addColumn<Histogram>("histogram");
    QTest::addColumn<double>("percent");
    QTest::addColumn<int>("expected");
    // 100 samples: 10 at 2, 80 at 5, 10 at 9.
    const Histogram h{0, 0, 10, 0, 0, 80, 0, 0, 0, 10};
    QTest::newRow("lowest") << h << 0.0 << 2;
    QTest::newRow("within the first bin") << h << 10.0 << 2;
    QTest::newRow("just past it") << h << 10.5 << 5;
    QTest::newRow("median") << h << 50.0 << 5;
    QTest::newRow("90 %") << h << 90.0 << 5;
    QTest::newRow("99.5 %") << h << 99.5 << 9;
    QTest::newRow("past 100") << h << 150.0 << 9;
    QTest::newRow("empty") << Histogram(10, 0) << 50.0 << 0;
}

void TestDisplayLevels::percentile()
{
    QFETCH(Histogram, histogram);
    QFETCH(double, percent);
    QFETCH(int, expected);
    QCOMPARE(histogramPercentile(histogram, percent), expected);
}

void TestDisplayLevels::screenLevel_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<DisplayLevels>("levels");
    QTest::addColumn<int>("expected");
    const DisplayLevels stretch{false, 300, 4300, 1.0};
    QTest::newRow("below black") << 10 << stretch << 0;
    QTest::newRow("at black") << 300 << stretch << 0;
    QTest::newRow("quarter") << 1300 << stretch << 64; // 255 / 4 = 63.75
    QTest::newRow("half") << 2300 << stretch << 128;   // 127.5 rounds up
    QTest::newRow("at white") << 4300 << stretch << 255;
    QTest::newRow("above white") << 65535 << stretch << 255;
    // Gamma 2: a quarter of the way shows half way, sqrt(0.25) * 255 = 127.5.
    QTest::newRow("gamma 2") << 1300 << DisplayLevels{false, 300, 4300, 2.0} << 128;
    // Gamma 0.5: half way shows a quarter of the way, 0.25 * 255 = 63.75.
    QTest::newRow("gamma 0.5") << 2300 << DisplayLevels{false, 300, 4300, 0.5} << 64;
    QTest::newRow("8-bit identity") << 77 << DisplayLevels{false, 0, 255, 1.0} << 77;
    QTest::newRow("16-bit identity") << 32768 << DisplayLevels{false, 0, 65535, 1.0} << 128;
}

void TestDisplayLevels::screenLevel()
{
    QFETCH(int, count);
    QFETCH(DisplayLevels, levels);
    QFETCH(int, expected);
    QCOMPARE(kesto::screenLevel(count, levels), expected);
}

void TestDisplayLevels::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("deep");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<DisplayLevels>("expected");
    QTest::addColumn<QString>("error");
    const DisplayLevels none;
    QTest::newRow("two numbers") << "300 3900" << true << true
                                 << DisplayLevels{false, 300, 3900, 1.0} << QString();
    QTest::newRow("with gamma") << " 10, 200 1.8 " << false << true
                                << DisplayLevels{false, 10, 200, 1.8} << QString();
    QTest::newRow("white past 8 bits")
        << "0 300" << false << false << none
        << "The black and white points are whole counts from 0 to 255.";
    QTest::newRow("negative") << "-1 300" << true << false << none
                              << "The black and white points are whole counts from 0 to 65535.";
    QTest::newRow("reversed") << "500 400" << true << false << none
                              << "The white point must be above the black point.";
    QTest::newRow("equal") << "500 500" << true << false << none
                           << "The white point must be above the black point.";
    QTest::newRow("gamma zero") << "0 100 0" << true << false << none
                                << "Gamma is a number from 0.1 to 10.";
    QTest::newRow("gamma nan") << "0 100 nan" << true << false << none
                               << "Gamma is a number from 0.1 to 10.";
    QTest::newRow("words") << "dark" << true << false << none
                           << "Type auto, or the black and white points and an optional gamma, "
                              "e.g. \"0 65535 1.0\".";
    QTest::newRow("fractions") << "0.5 100" << true << false << none
                               << "The black and white points are whole counts from 0 to 65535.";
    QTest::newRow("too many") << "1 2 3 4" << false << false << none
                              << "Type auto, or the black and white points and an optional gamma, "
                                 "e.g. \"0 255 1.0\".";
}

void TestDisplayLevels::parse()
{
    QFETCH(QString, text);
    QFETCH(bool, deep);
    QFETCH(bool, ok);
    QFETCH(DisplayLevels, expected);
    QFETCH(QString, error);
    const QImage picture = deep ? greyPicture(4, 4, 100, 0, 0) : QImage(4, 4, QImage::Format_RGB32);
    QString reason;
    const std::optional<DisplayLevels> levels = parseLevels(text, picture, &reason);
    QCOMPARE(levels.has_value(), ok);
    if (ok) {
        QCOMPARE(*levels, expected);
        QCOMPARE(levelsText(*levels), text.simplified().remove(QLatin1Char(',')));
    } else {
        QCOMPARE(reason, error);
    }
    // "auto" works on any picture.
    const std::optional<DisplayLevels> automatic =
        parseLevels(QStringLiteral("Auto"), picture, nullptr);
    QVERIFY(automatic && automatic->automatic);
}

void TestDisplayLevels::autoLevelsStretchTheSignal()
{
    // 1000 pixels: 979 at 313, 20 at 913 (2 %), one at full scale left out.
    const QImage blot = greyPicture(40, 25, 313, 20, 913);
    const DisplayLevels levels = autoDisplayLevels(blot);
    QCOMPARE(levels, (DisplayLevels{true, 313, 913, 1.0}));
    QCOMPARE(defaultDisplayLevels(blot), levels);
    // The signal, 2 % of full scale, shows white on black.
    const QImage shown = screenRendering(blot, levels);
    QCOMPARE(shown.format(), QImage::Format_Grayscale8);
    QCOMPARE(qGray(shown.pixel(0, 0)), 255);
    QCOMPARE(qGray(shown.pixel(30, 10)), 0);

    // A flat picture still gets white above black.
    const QImage flat = greyPicture(10, 10, 65535, 0, 0);
    const DisplayLevels flatLevels = autoDisplayLevels(flat);
    QCOMPARE(flatLevels.black, 65534);
    QCOMPARE(flatLevels.white, 65535);

    // An 8-bit picture opens at the identity.
    QImage gel(4, 4, QImage::Format_RGB32);
    gel.fill(qRgb(20, 40, 60));
    QCOMPARE(defaultDisplayLevels(gel), (DisplayLevels{false, 0, 255, 1.0}));
}

void TestDisplayLevels::renderingLeavesThePictureAsItWas()
{
    QImage gel(4, 4, QImage::Format_RGB32);
    gel.fill(qRgb(20, 40, 60));
    const QImage before = gel.copy();
    // Shown as it is at the identity; stretched otherwise.
    QVERIFY(screenRendering(gel, identityLevels(gel)).isNull());
    const QImage stretched = screenRendering(gel, DisplayLevels{false, 20, 60, 1.0});
    QCOMPARE(stretched.pixel(1, 1), qRgb(0, 128, 255));
    QCOMPARE(gel, before);

    // WhiteIsZero is shown inverted at any levels.
    gel.setText(QLatin1String(PolarityTextKey), QLatin1String(WhiteIsZeroText));
    QCOMPARE(screenRendering(gel, identityLevels(gel)).pixel(0, 0), qRgb(235, 215, 195));

    // A 16-bit colour picture at levels, each channel on its own.
    QImage colour(2, 1, QImage::Format_RGBX64);
    colour.setPixelColor(0, 0, QColor::fromRgba64(1000, 2000, 3000));
    colour.setPixelColor(1, 0, QColor::fromRgba64(0, 65535, 500));
    const QImage shown = screenRendering(colour, DisplayLevels{false, 1000, 3000, 1.0});
    QCOMPARE(shown.format(), QImage::Format_RGB32);
    QCOMPARE(shown.pixel(0, 0), qRgb(0, 128, 255));
    QCOMPARE(shown.pixel(1, 0), qRgb(0, 255, 0));
    QCOMPARE(colour.pixelColor(0, 0).rgba64(), QRgba64::fromRgba64(1000, 2000, 3000, 65535));
}

void TestDisplayLevels::grayViewShowsAsTheRendering_data()
{
    QTest::addColumn<DisplayLevels>("levels");
    QTest::addColumn<bool>("whiteIsZero");
    QTest::newRow("identity") << DisplayLevels{false, 0, 255, 1.0} << false;
    QTest::newRow("stretched") << DisplayLevels{false, 20, 60, 1.0} << false;
    QTest::newRow("gamma") << DisplayLevels{false, 5, 250, 2.2} << false;
    QTest::newRow("auto") << DisplayLevels{true, 10, 200, 1.0} << false;
    QTest::newRow("white is zero, identity") << DisplayLevels{false, 0, 255, 1.0} << true;
    QTest::newRow("white is zero, stretched") << DisplayLevels{false, 30, 90, 0.5} << true;
}

void TestDisplayLevels::grayViewShowsAsTheRendering()
{
    QFETCH(DisplayLevels, levels);
    QFETCH(bool, whiteIsZero);
    // Every count, in rows whose length is not a multiple of four (padded scan lines).
    QImage gray(13, 20, QImage::Format_Grayscale8);
    for (int y = 0; y < gray.height(); ++y)
        for (int x = 0; x < gray.width(); ++x)
            gray.scanLine(y)[x] = uchar((y * gray.width() + x) % 256);
    if (whiteIsZero)
        gray.setText(QLatin1String(PolarityTextKey), QLatin1String(WhiteIsZeroText));
    const QImage rendering = screenRendering(gray, levels);
    QImage view = screenView(gray, levels);
    QCOMPARE(view.isNull(), rendering.isNull());
    if (view.isNull())
        return;
    // Drawn from the picture's own pixels, with no copy.
    QCOMPARE(view.constBits(), gray.constBits());
    auto same = [&] {
        for (int y = 0; y < rendering.height(); ++y)
            for (int x = 0; x < rendering.width(); ++x)
                if (view.pixel(x, y) != rendering.pixel(x, y))
                    return false;
        return true;
    };
    QVERIFY(same());
    QCOMPARE(view.convertToFormat(QImage::Format_RGB32), rendering);
    // The pixels shown outlive a change to the picture, and the picture itself.
    gray.scanLine(0)[0] = 99;
    QCOMPARE(view.pixel(0, 0), rendering.pixel(0, 0));
    gray = QImage();
    QVERIFY(same());
}

namespace {

// A picture of `width` columns from its values, row by row.
QImage grayOf(int width, const std::vector<int>& values, QImage::Format format)
{
    const int height = int(values.size()) / width;
    QImage picture(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.scanLine(y)[x] = uchar(values[std::size_t(y * width + x)]);
    return picture;
}

} // namespace

void TestDisplayLevels::reducedGrayView_data()
{
    QTest::addColumn<QImage>("shown");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<std::vector<int>>("expected"); // row by row; empty: refused
    const auto gray = QImage::Format_Grayscale8;
    QTest::newRow("halved") << grayOf(4, {10, 20, 30, 40, 50, 60, 70, 80}, gray) << QSize(2, 1)
                            << std::vector<int>{35, 55};
    // Columns 0-2 fall on the first pixel, 3-4 on the second; 10.5 rounds up.
    QTest::newRow("five to two") << grayOf(5, {0, 0, 3, 10, 11}, gray) << QSize(2, 1)
                                 << std::vector<int>{1, 11};
    QTest::newRow("rows only") << grayOf(1, {200, 100, 0, 9, 9}, gray) << QSize(1, 2)
                               << std::vector<int>{100, 9};
    QTest::newRow("same size") << grayOf(3, {1, 2, 3, 4, 5, 6}, gray) << QSize(3, 2)
                               << std::vector<int>{1, 2, 3, 4, 5, 6};
    // A view is averaged in the levels it shows, not in its indexes.
    QImage view = grayOf(2, {0, 1, 1, 1}, QImage::Format_Indexed8);
    view.setColorTable({qRgb(255, 255, 255), qRgb(55, 55, 55)});
    QTest::newRow("view") << view << QSize(1, 1) << std::vector<int>{105};
    QImage colours = view;
    colours.setColorTable({qRgb(255, 0, 0), qRgb(55, 55, 55)});
    QTest::newRow("palette of colours") << colours << QSize(1, 1) << std::vector<int>{};
    QTest::newRow("32-bit") << QImage(4, 4, QImage::Format_RGB32) << QSize(2, 2)
                            << std::vector<int>{};
    QTest::newRow("larger") << grayOf(2, {1, 2}, gray) << QSize(3, 1) << std::vector<int>{};
}

void TestDisplayLevels::reducedGrayView()
{
    QFETCH(QImage, shown);
    QFETCH(QSize, size);
    QFETCH(std::vector<int>, expected);
    const QImage reduced = kesto::reducedGrayView(shown, size);
    if (expected.empty()) {
        QVERIFY(reduced.isNull());
        return;
    }
    QCOMPARE(reduced.format(), QImage::Format_Grayscale8);
    QCOMPARE(reduced.size(), size);
    std::vector<int> values;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            values.push_back(reduced.constScanLine(y)[x]);
    QCOMPARE(values, expected);
}

QTEST_MAIN(TestDisplayLevels)
#include "tst_displaylevels.moc"
