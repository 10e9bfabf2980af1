// View > Display Levels on the sample 16-bit blot: it opens at Auto with its lanes visible,
// other levels change only the screen, and scans and read-outs keep the stored counts.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "core/measurementsession.h"
#include "support/fakeprompts.h"

#include <QTest>

using namespace kesto;

namespace {

// The blot's lanes (samples/README.md): lane n over columns 40 + 90 (n - 1) to
// 99 + 90 (n - 1), rows 170-189, on a background of about 313 counts.
QPoint laneMiddle(int lane)
{
    return QPoint(70 + 90 * (lane - 1), 180);
}
const QPoint BackgroundPoint(300, 60);

} // namespace

class TestDisplayLevelsWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void blotOpensVisibleAndKeepsItsCounts();
};

void TestDisplayLevelsWindow::blotOpensVisibleAndKeepsItsCounts()
{
    test::FakePrompts prompts;
    frmScan form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.openPicture(qEnvironmentVariable("KESTO_SOURCE_DIR") +
                             QStringLiteral("/samples/blot16.tif")));
    QCOMPARE(form.picImage->picture().format(), QImage::Format_Grayscale16);

    const auto readout = [&form](const QPoint& at) {
        QTest::mouseMove(form.picImage, at);
        return form.tool(BandMove, QStringLiteral("mnuColor")).caption();
    };
    const auto scan = [&form] {
        form.session().setFrame(FrameGeometry{35, 155, 69, 49}); // around lane 1
        form.Calculate();
        return form.session().scanValue();
    };
    const auto screenGrey = [&form](const QPoint& at) {
        form.session().setFrame(FrameGeometry{560, 360, 10, 10}); // the outline out of the way
        return qGray(form.picImage->grab().toImage().pixel(at));
    };

    // Auto: every lane, the faintest 600 counts above the background, stands out by a
    // visible margin.
    const DisplayLevels automatic = form.picImage->levels();
    QVERIFY(automatic.automatic);
    QVERIFY2(form.windowTitle().endsWith(QStringLiteral(" - blot16.tif [levels auto %1-%2]")
                                             .arg(automatic.black)
                                             .arg(automatic.white)),
             qPrintable(form.windowTitle()));
    const int background = screenGrey(BackgroundPoint);
    QString figures = QStringLiteral("Auto levels %1-%2; background shows %3, lanes")
                          .arg(automatic.black)
                          .arg(automatic.white)
                          .arg(background);
    for (int lane = 1; lane <= 6; ++lane) {
        const int shown = screenGrey(laneMiddle(lane));
        figures += QLatin1Char(' ') + QString::number(shown);
        QVERIFY2(shown - background >= 40,
                 qPrintable(QStringLiteral("lane %1 shows %2 on %3 (levels %4-%5)")
                                .arg(lane)
                                .arg(shown)
                                .arg(background)
                                .arg(automatic.black)
                                .arg(automatic.white)));
    }
    qInfo("%s", qPrintable(figures));
    const QString laneCounts = readout(laneMiddle(1));
    const double laneScan = scan();
    QVERIFY(laneScan > 0);
    const QImage stored = form.picImage->picture();

    // Levels typed by hand: the faint lane now shows near black; nothing measured moves.
    prompts.inputAnswers << QStringLiteral("0 65535 2");
    dispatchMainTool(form, QStringLiteral("mnuDisplayLevels"));
    QCOMPARE(prompts.inputPrompts.size(), 1);
    QCOMPARE(form.picImage->levels(), (DisplayLevels{false, 0, 65535, 2.0}));
    QVERIFY2(form.windowTitle().endsWith(QStringLiteral(" - blot16.tif [levels 0-65535 gamma 2]")),
             qPrintable(form.windowTitle()));
    QVERIFY(screenGrey(laneMiddle(1)) - screenGrey(BackgroundPoint) < 40);
    QCOMPARE(readout(laneMiddle(1)), laneCounts);
    QCOMPARE(scan(), laneScan);
    QCOMPARE(form.picImage->picture(), stored);

    // Bad values are refused with the reason and leave the levels as they were.
    prompts.inputAnswers << QStringLiteral("4000 300");
    dispatchMainTool(form, QStringLiteral("mnuDisplayLevels"));
    QCOMPARE(prompts.messages.constLast().text,
             QStringLiteral("The white point must be above the black point."));
    QCOMPARE(form.picImage->levels(), (DisplayLevels{false, 0, 65535, 2.0}));

    // Back to Auto; a cancelled question changes nothing.
    prompts.inputAnswers << QStringLiteral("auto") << std::nullopt;
    dispatchMainTool(form, QStringLiteral("mnuDisplayLevels"));
    QCOMPARE(form.picImage->levels(), automatic);
    dispatchMainTool(form, QStringLiteral("mnuDisplayLevels"));
    QCOMPARE(form.picImage->levels(), automatic);
    QCOMPARE(scan(), laneScan);

    // An 8-bit picture opens at its counts as they are, shown as it is, with a plain title.
    QVERIFY(form.openPicture(qEnvironmentVariable("KESTO_SOURCE_DIR") +
                             QStringLiteral("/samples/gel.bmp")));
    QCOMPARE(form.picImage->levels(), (DisplayLevels{false, 0, 255, 1.0}));
    QVERIFY(form.windowTitle().endsWith(QStringLiteral(" - gel.bmp")));
    QCOMPARE(form.picImage->shownPicture().constBits(), form.picImage->picture().constBits());
}

QTEST_MAIN(TestDisplayLevelsWindow)
#include "tst_displaylevels.moc"
