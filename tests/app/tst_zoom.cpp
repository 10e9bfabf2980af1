// Zoom, fitting to the window and the lane profile, through the real window.

#include "app/frmscan.h"
#include "app/laneprofilepanel.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "support/fakeprompts.h"
#include "support/gelpictures.h"

#include <QAreaSeries>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineSeries>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <memory>

using namespace kesto;
using kesto::test::FakePrompts;

class TestZoom : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void dragEndsOnTheSamePicturePixels_data();
    void dragEndsOnTheSamePicturePixels();
    void outlineEnclosesTheSummedPixels();
    void keysZoomAndFit();
    void ctrlWheelKeepsThePointUnderThePointer();
    void shrunkWindowStillReachesTheBottomRight();
    void profileFollowsTheScan();
    void profileWithoutPictureIsEmptyWithAHint();
    void profileCopiesAndSaves();

private:
    void open(frmScan& target, const QImage& picture);

    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
    std::unique_ptr<QTemporaryDir> dir;
};

namespace {

// A gel of 900 x 700 with bands in two lanes, larger than the viewport at 100 %.
QImage gel()
{
    return kesto::test::gelPicture(900, 700, 210, 60,
                                   {QRect(40, 40, 60, 20), QRect(40, 120, 60, 25),
                                    QRect(200, 60, 60, 15), QRect(200, 300, 60, 30)});
}

} // namespace

void TestZoom::init()
{
    prompts = std::make_unique<FakePrompts>();
    dir = std::make_unique<QTemporaryDir>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->resize(1000, 700);
    QTRY_COMPARE(form->size(), QSize(1000, 700));
}

void TestZoom::cleanup()
{
    form.reset();
    prompts.reset();
    dir.reset();
}

void TestZoom::open(frmScan& target, const QImage& picture)
{
    prompts->openAnswers.append(kesto::test::savePicture(*dir, QStringLiteral("gel.png"), picture));
    target.LoadImage();
}

void TestZoom::dragEndsOnTheSamePicturePixels_data()
{
    QTest::addColumn<bool>("fit");
    QTest::addColumn<QPointF>("press");
    QTest::addColumn<QPointF>("release");
    // Picture points; the drag is sent as the widget points that show them.
    QTest::newRow("200 %, move") << false << QPointF(30, 15) << QPointF(120, 90);
    QTest::newRow("200 %, size") << false << QPointF(65, 29) << QPointF(150, 140);
    QTest::newRow("fit, move") << true << QPointF(30, 15) << QPointF(333, 277);
    QTest::newRow("fit, size") << true << QPointF(65, 29) << QPointF(301, 411);
}

void TestZoom::dragEndsOnTheSamePicturePixels()
{
    QFETCH(bool, fit);
    QFETCH(QPointF, press);
    QFETCH(QPointF, release);
    open(*form, gel());
    if (fit)
        form->fitToWindow();
    else
        form->setZoom(2.0, QPointF(0, 0));
    const double zoom = form->zoom();
    QVERIFY(fit ? zoom < 1.0 : zoom == 2.0);
    const QPoint widgetPress = (press * zoom).toPoint();
    const QPoint widgetRelease = (release * zoom).toPoint();
    QTest::mousePress(form->picImage, Qt::LeftButton, {}, widgetPress);
    QTest::mouseMove(form->picImage, widgetRelease);
    QTest::mouseRelease(form->picImage, Qt::LeftButton, {}, widgetRelease);

    // The same drag in picture pixels at 100 %.
    frmScan reference;
    reference.show();
    open(reference, gel());
    const auto x = [zoom](int v) { return float(double(v) / zoom); };
    reference.picImage_MouseDown(x(widgetPress.x()), x(widgetPress.y()));
    reference.picImage_MouseMove(x(widgetRelease.x()), x(widgetRelease.y()));
    reference.picImage_MouseUp(x(widgetRelease.x()), x(widgetRelease.y()));

    QCOMPARE(form->shpPointer.rect(), reference.shpPointer.rect());
    QCOMPARE(form->shpPoint.rect(), reference.shpPoint.rect());
    QVERIFY(form->shpPointer.rect() != QRectF(0, 0, 67, 31));
    QCOMPARE(form->session().scanValue(), reference.session().scanValue());
    QVERIFY(form->session().scanValue() != 0.0);
}

void TestZoom::outlineEnclosesTheSummedPixels()
{
    open(*form, kesto::test::solidPicture(100, 80, qRgb(255, 255, 255)));
    form->moveFrameTo(10.4f, 20.6f); // the scan takes columns 10..77 and rows 21..52
    form->setZoom(4.0, QPointF(0, 0));
    const QImage shown = form->picImage->grab().toImage();
    const QRgb red = qRgb(255, 0, 0);
    QCOMPARE(shown.pixel(40, 84 + 20), red); // left edge, in column 10's block
    QCOMPARE(shown.pixel(39, 84 + 20), qRgb(255, 255, 255));
    QCOMPARE(shown.pixel(60, 84), red); // top edge, in row 21's block
    QCOMPARE(shown.pixel(60, 83), qRgb(255, 255, 255));
    QCOMPARE(shown.pixel(4 * 78 - 1, 100), red); // right edge, last column of 77's block
    QCOMPARE(shown.pixel(4 * 78, 100), qRgb(255, 255, 255));
    // Inside the frame the pixels show as 4 x 4 blocks of the picture.
    QCOMPARE(shown.pixel(100, 120), qRgb(255, 255, 255));
}

void TestZoom::keysZoomAndFit()
{
    open(*form, gel());
    QCOMPARE(form->zoom(), 1.0);
    QTest::keyClick(form.get(), Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(form->zoom(), 1.5);
    QTest::keyClick(form.get(), Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(form.get(), Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(form->zoom(), 2.0 / 3.0);
    QTest::keyClick(form.get(), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(form->zoom(), 1.0);
    QCOMPARE(form->picImage->size(), QSize(900, 700));

    QTest::keyClick(form.get(), Qt::Key_0, Qt::ControlModifier);
    const QSize pane = form->picContainer->size();
    const QRect shown = QRect(form->picImage->pos(), form->picImage->size());
    QVERIFY(QRect(QPoint(0, 0), pane).contains(shown));
    // As large as fits: one extent meets the pane's.
    QVERIFY(shown.width() == pane.width() || shown.height() == pane.height());
    QVERIFY(!form->HScroll->isVisible());
    QVERIFY(!form->VScroll->isVisible());

    for (int i = 0; i < 20; ++i)
        form->zoomOut();
    QCOMPARE(form->zoom(), frmScan::MinZoom);
    for (int i = 0; i < 40; ++i)
        dispatchMainTool(*form, QStringLiteral("mnuZoomIn"));
    QCOMPARE(form->zoom(), frmScan::MaxZoom);
}

void TestZoom::ctrlWheelKeepsThePointUnderThePointer()
{
    open(*form, gel());
    const QPointF at(200, 150); // picture pixel (200, 150) at 100 %
    const QPoint anchor = form->picImage->mapTo(form->picContainer, at.toPoint());
    QWheelEvent wheel(at, form->picImage->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(form->picImage, &wheel);
    QCOMPARE(form->zoom(), 1.5);
    QCOMPARE(form->picImage->mapTo(form->picContainer, (at * 1.5).toPoint()), anchor);
    // Without Ctrl the wheel does not zoom.
    QWheelEvent plain(at, form->picImage->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(form->picImage, &plain);
    QCOMPARE(form->zoom(), 1.5);
}

void TestZoom::shrunkWindowStillReachesTheBottomRight()
{
    form->resize(1200, 900);
    open(*form, kesto::test::solidPicture(800, 1000, qRgb(200, 200, 200)));
    form->resize(700, 450);
    QTRY_COMPARE(form->size().height(), 450);
    for (QScrollBar* bar : {form->HScroll, form->VScroll}) {
        QVERIFY(bar->isVisible());
        bar->setValue(bar->maximum());
    }
    const QPoint bottomRight = form->picImage->mapTo(form->picContainer, QPoint(799, 999));
    QVERIFY(form->picContainer->rect().contains(bottomRight));
    QCOMPARE(bottomRight,
             QPoint(form->picContainer->width() - 1, form->picContainer->height() - 1));
}

void TestZoom::profileFollowsTheScan()
{
    open(*form, gel());
    form->picImage_MouseDown(500, 500); // background from the gel's plain grey
    form->moveFrameTo(40, 30);
    dispatchMainTool(*form, QStringLiteral("mnuLaneProfile"));
    QVERIFY(form->tool(BandView, QStringLiteral("mnuLaneProfile")).isChecked());
    LaneProfilePanel* panel = form->lanePanel;
    QVERIFY(panel && panel->isVisible());
    form->Calculate();

    // Frame 67 x 31 from (40, 30): columns 40..107, rows 30..61; the bands darken columns
    // 40..99 of rows 40..59 to 60 on a background of 210.
    const QList<QPointF> points = panel->profileSeries()->points();
    QCOMPARE(points.size(), 32);
    for (int i = 0; i < points.size(); ++i) {
        const int row = 30 + i;
        const double mean = row >= 40 && row <= 59 ? (60.0 * 60 + 210.0 * 8) / 68 : 210.0;
        QCOMPARE(points.at(i), QPointF(row, mean));
    }
    // The shaded area times the width is the scan.
    double area = 0;
    const QList<QPointF> lower = panel->areaSeries()->lowerSeries()->points();
    const QList<QPointF> upper = panel->areaSeries()->upperSeries()->points();
    QCOMPARE(lower.size(), upper.size());
    for (int i = 0; i < upper.size(); ++i)
        area += upper.at(i).y() - lower.at(i).y();
    QCOMPARE(qRound64(area * 68), qRound64(form->session().scanValue()));
    QCOMPARE(panel->profile().area(), form->session().scanValue());
    QCOMPARE(panel->valueText(45.2),
             QStringLiteral("Row 45: ") + QString::number((60.0 * 60 + 210.0 * 8) / 68, 'g', 15));

    // Across the other direction: one value per column, following at once.
    panel->findChild<QCheckBox*>(QStringLiteral("chkColumns"))->setChecked(true);
    QCOMPARE(panel->profileSeries()->points().size(), 68);
    QCOMPARE(panel->profile().area(), form->session().scanValue());

    dispatchMainTool(*form, QStringLiteral("mnuLaneProfile"));
    QVERIFY(!panel->isVisible());
    QVERIFY(!form->tool(BandView, QStringLiteral("mnuLaneProfile")).isChecked());
}

void TestZoom::profileWithoutPictureIsEmptyWithAHint()
{
    dispatchMainTool(*form, QStringLiteral("mnuLaneProfile"));
    LaneProfilePanel* panel = form->lanePanel;
    QVERIFY(panel && panel->isVisible());
    QVERIFY(panel->profileSeries()->points().isEmpty());
    QVERIFY(panel->backgroundSeries()->points().isEmpty());
    QVERIFY2(panel->areaLabel()->text().startsWith(
                 QStringLiteral("No profile: open or paste a picture")),
             qPrintable(panel->areaLabel()->text()));
}

void TestZoom::profileCopiesAndSaves()
{
    open(*form, gel());
    dispatchMainTool(*form, QStringLiteral("mnuLaneProfile"));
    form->Calculate();
    LaneProfilePanel* panel = form->lanePanel;
    panel->copyProfile();
    const QStringList lines = QGuiApplication::clipboard()->text().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.at(0), QStringLiteral("Row\tMean\tBackground"));
    QCOMPARE(lines.at(1), QStringLiteral("0\t210\t0"));
    QCOMPARE(lines.size(), 32 + 2);

    const QString png = dir->filePath(QStringLiteral("profile.png"));
    const QString svg = dir->filePath(QStringLiteral("profile.svg"));
    prompts->saveAnswers = {png, svg, dir->filePath(QStringLiteral("missing/p.png"))};
    panel->saveProfile();
    panel->saveProfile();
    QVERIFY(!QImage(png).isNull());
    QFile svgFile(svg);
    QVERIFY(svgFile.open(QIODevice::ReadOnly));
    QVERIFY(svgFile.readAll().contains("<svg"));
    QVERIFY(prompts->messages.isEmpty());
    panel->saveProfile();
    QCOMPARE(prompts->messages.size(), 1);
    QVERIFY(prompts->messages.at(0).text.startsWith(QStringLiteral("Cannot save the profile:")));
}

QTEST_MAIN(TestZoom)
#include "tst_zoom.moc"
