// Measuring bands through the real window: pointer handling on the picture, the band
// integration, the working cell and the sheet pass. Expected sums are worked out from how
// each test picture is drawn.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "app/scanframetool.h"
#include "components/commandbar.h"
#include "components/worksheet.h"
#include "core/sheetdata.h"
#include "support/fakeprompts.h"
#include "support/gelpictures.h"

#include <QAction>
#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

using namespace kesto;
using kesto::test::FakePrompts;

namespace {

// 200 x 100, background grey 200, one band of grey 50 over x 50..69, y 40..49.
const QRect BandRect(50, 40, 20, 10);
constexpr int Light = 200;
constexpr int Dark = 50;

} // namespace

class TestMeasurement : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void pressOnBorderPicksBackground_data();
    void pressOnBorderPicksBackground();
    void dragStopsAtThePictureEdges_data();
    void dragStopsAtThePictureEdges();
    void frameLargerThanPictureKeepsFarEdgeOnPicture();
    void sizingBelowTheHandleStopsAtTheHandle();
    void hoverAfterReleaseOnlyChangesShapeAndReadouts();
    void coordinatesArePicturePixelsUnderScrolling();
    void releaseIntegratesTheFrame_data();
    void releaseIntegratesTheFrame();
    void frameEndUsesSinglePrecision();
    void channelChoiceChangesTheSum_data();
    void channelChoiceChangesTheSum();
    void firstScanGoesToR1C2();
    void sheetPassFillsPercentages();
    void movingTheWorkingCellWithinARow();
    void columnsOneAndFourAreIgnored();
    void sameCellTwiceStaysHighlighted();
    void clickingTheSheetPicksTheCell();
    void lastRowGrowsTheSheet();
    void calculateNowFromTheBar();
    void frameTooLargeToCountIsRefused();

private:
    QString readout(int band, const char* name) const
    {
        return form->tool(band, QLatin1String(name)).caption();
    }
    void press(int x, int y)
    {
        QTest::mousePress(form->picImage, Qt::LeftButton, {}, QPoint(x, y));
    }
    void move(int x, int y) { QTest::mouseMove(form->picImage, QPoint(x, y)); }
    void release(int x, int y)
    {
        QTest::mouseRelease(form->picImage, Qt::LeftButton, {}, QPoint(x, y));
    }
    bool highlighted(int row, int column) const
    {
        const CellFormat& f = form->f1Report->data().format(row, column);
        return f.pattern == 1 && f.textColour == rgbValue(255, 255, 255);
    }

    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
};

void TestMeasurement::init()
{
    prompts = std::make_unique<FakePrompts>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->resize(1000, 700);
    QTRY_COMPARE(form->size(), QSize(1000, 700));
    form->showPicture(kesto::test::gelPicture(200, 100, Light, Dark, {BandRect}));
}

void TestMeasurement::cleanup()
{
    form.reset();
    prompts.reset();
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void TestMeasurement::pressOnBorderPicksBackground_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<bool>("moving");
    // The frame is 0, 0, 67 x 31: its border lies on x = 0, x = 67, y = 0 and y = 31.
    QTest::newRow("right border") << QPoint(67, 10) << false;
    QTest::newRow("bottom border") << QPoint(10, 31) << false;
    QTest::newRow("left border") << QPoint(0, 10) << false;
    QTest::newRow("just inside") << QPoint(66, 30) << false; // inside the handle: sizing
    QTest::newRow("inside, off the handle") << QPoint(10, 10) << true;
}

void TestMeasurement::pressOnBorderPicksBackground()
{
    QFETCH(QPoint, point);
    QFETCH(bool, moving);
    press(point.x(), point.y());
    QCOMPARE(form->scanFrameTool().moving(), moving);
    const bool outside = !(point.x() > 0 && point.x() < 67 && point.y() > 0 && point.y() < 31);
    if (outside) {
        QCOMPARE(form->session().background(), rgbValue(Light, Light, Light));
        QCOMPARE(readout(BandMove, "mnuBackground"), QStringLiteral("Bkgrnd (RGB)=200,200,200"));
        QVERIFY(!form->scanFrameTool().sizing());
    } else {
        QCOMPARE(form->session().background(), 0);
        QCOMPARE(form->scanFrameTool().sizing(), !moving);
        QCOMPARE(QApplication::overrideCursor()->shape(),
                 moving ? Qt::SizeAllCursor : Qt::SizeFDiagCursor);
    }
    QCOMPARE(readout(BandMove, "mnuDisplay"),
             QStringLiteral("X=%1 Y=%2").arg(point.x()).arg(point.y()));
    release(point.x(), point.y());
    QVERIFY(!form->scanFrameTool().moving());
    QVERIFY(!form->scanFrameTool().sizing());
}

void TestMeasurement::dragStopsAtThePictureEdges_data()
{
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QPointF>("frame");
    // Grabbed at 10, 10 inside the frame at 0, 0.
    QTest::newRow("inside") << QPoint(60, 50) << QPointF(50, 40);
    QTest::newRow("past the left and top") << QPoint(-40, -5) << QPointF(0, 0);
    QTest::newRow("past the right and bottom") << QPoint(500, 400) << QPointF(200 - 67, 100 - 31);
    QTest::newRow("past the right only") << QPoint(190, 30) << QPointF(133, 20);
}

void TestMeasurement::dragStopsAtThePictureEdges()
{
    QFETCH(QPoint, to);
    QFETCH(QPointF, frame);
    press(10, 10);
    QVERIFY(form->scanFrameTool().moving());
    move(to.x(), to.y());
    QCOMPARE(form->shpPointer.left, float(frame.x()));
    QCOMPARE(form->shpPointer.top, float(frame.y()));
    QCOMPARE(form->shpPointer.width, 67.0f);
    QCOMPARE(readout(BandMove, "mnuDisplay"), QStringLiteral("+X=%1 Y=%2").arg(to.x()).arg(to.y()));
    QCOMPARE(readout(BandMove, "mnuSize"), QStringLiteral("67x31"));
    // The handle keeps its place in the frame's inner lower-right corner.
    QCOMPARE(form->shpPoint.left + form->shpPoint.width, form->shpPointer.left + 67);
    QCOMPARE(form->shpPoint.top + form->shpPoint.height, form->shpPointer.top + 31);
    release(to.x(), to.y());
}

void TestMeasurement::frameLargerThanPictureKeepsFarEdgeOnPicture()
{
    press(65, 29); // on the handle
    QVERIFY(form->scanFrameTool().sizing());
    move(300, 150);
    release(300, 150);
    QCOMPARE(form->shpPointer.width, 300.0f);
    QCOMPARE(form->shpPointer.height, 150.0f);
    press(10, 10);
    QVERIFY(form->scanFrameTool().moving());
    move(30, 30);
    QCOMPARE(form->shpPointer.left, -100.0f);
    QCOMPARE(form->shpPointer.top, -50.0f);
    release(30, 30);
}

void TestMeasurement::sizingBelowTheHandleStopsAtTheHandle()
{
    form->moveFrameTo(20, 20);
    press(85, 49);
    QVERIFY(form->scanFrameTool().sizing());
    move(21, 5);
    QCOMPARE(form->shpPointer.width, 4.0f);
    QCOMPARE(form->shpPointer.height, 4.0f);
    QCOMPARE(form->shpPointer.left, 20.0f);
    QCOMPARE(form->shpPoint.left, 20.0f);
    QCOMPARE(form->shpPoint.top, 20.0f);
    QCOMPARE(readout(BandMove, "mnuSize"), QStringLiteral("4x4"));
    // Sizing is not clamped to the picture.
    move(260, 130);
    QCOMPARE(form->shpPointer.width, 240.0f);
    QCOMPARE(form->shpPointer.height, 110.0f);
    release(260, 130);
}

void TestMeasurement::hoverAfterReleaseOnlyChangesShapeAndReadouts()
{
    press(10, 10);
    move(40, 30);
    release(40, 30);
    QVERIFY(!QApplication::overrideCursor());
    const RectShape frame = form->shpPointer;
    move(55, 45); // inside the frame
    QCOMPARE(form->shpPointer.left, frame.left);
    QCOMPARE(form->shpPointer.top, frame.top);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::SizeAllCursor);
    QCOMPARE(readout(BandMove, "mnuDisplay"), QStringLiteral("X=55 Y=45"));
    QCOMPARE(readout(BandMove, "mnuColor"), QStringLiteral("50,50,50"));
    move(95, 49); // on the handle: strictly inside 93 .. 97, 47 .. 51
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::SizeFDiagCursor);
    move(150, 90);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(readout(BandMove, "mnuColor"), QStringLiteral("200,200,200"));
    QCOMPARE(form->shpPointer.left, frame.left);
}

void TestMeasurement::coordinatesArePicturePixelsUnderScrolling()
{
    const QSize viewport = form->picContainer->size();
    QImage picture = kesto::test::solidPicture(viewport.width() + 400, viewport.height() + 300,
                                               qRgb(Light, Light, Light));
    picture.setPixel(450, 320, qRgb(1, 2, 3));
    form->showPicture(picture);
    form->HScroll->setValue(300);
    form->VScroll->setValue(200);
    move(450, 320);
    QCOMPARE(readout(BandMove, "mnuDisplay"), QStringLiteral("X=450 Y=320"));
    QCOMPARE(readout(BandMove, "mnuColor"), QStringLiteral("1,2,3"));
    press(450, 320);
    QCOMPARE(form->session().background(), rgbValue(1, 2, 3));
    release(450, 320);
}

void TestMeasurement::releaseIntegratesTheFrame_data()
{
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<int>("background");
    QTest::addColumn<double>("expected");
    // Columns left .. left + width and rows top .. top + height, both ends included.
    QTest::newRow("band on its own background is negative")
        << QRectF(50, 40, 19, 9) << Light << double(20 * 10 * (Dark - Light));
    QTest::newRow("background equal to the band gives 0") << QRectF(50, 40, 19, 9) << Dark << 0.0;
    QTest::newRow("band with a rim of background")
        << QRectF(45, 35, 29, 19) << Light << double(20 * 10 * (Dark - Light));
    QTest::newRow("past the right and bottom edge counts 255")
        << QRectF(190, 90, 20, 20) << Light << double((21 * 21 - 10 * 10) * (255 - Light));
    QTest::newRow("empty background gives raw sum")
        << QRectF(0, 0, 9, 9) << 0 << double(100 * Light);
}

void TestMeasurement::releaseIntegratesTheFrame()
{
    QFETCH(QRectF, frame);
    QFETCH(int, background);
    QFETCH(double, expected);
    form->session().setBackground(rgbValue(background, background, background));
    form->session().setFrame(FrameGeometry{float(frame.x()), float(frame.y()), float(frame.width()),
                                           float(frame.height())});
    form->Calculate();
    QCOMPARE(form->session().scanValue(), expected);
    QCOMPARE(readout(BandToolbar, "txtScan"), QStringLiteral("Scan: %1").arg(qint64(expected)));
}

void TestMeasurement::frameEndUsesSinglePrecision()
{
    // 0.1f + 2.4f is 2.5 in single precision and rounds to the even 2: columns 0 .. 2.
    form->session().setBackground(rgbValue(0, 0, 0));
    form->session().setFrame(FrameGeometry{0.1f, 0, 2.4f, 0});
    form->Calculate();
    QCOMPARE(form->session().scanValue(), 3.0 * Light);
}

void TestMeasurement::channelChoiceChangesTheSum_data()
{
    QTest::addColumn<QString>("channel");
    QTest::addColumn<double>("expected");
    // 10 x 10 samples of (10, 100, 200) against a (250, 250, 250) background.
    QTest::newRow("red") << QStringLiteral("mnuRed") << 100.0 * (10 - 250);
    QTest::newRow("green") << QStringLiteral("mnuGreen") << 100.0 * (100 - 250);
    QTest::newRow("blue") << QStringLiteral("mnuBlue") << 100.0 * (200 - 250);
}

void TestMeasurement::channelChoiceChangesTheSum()
{
    QFETCH(QString, channel);
    QFETCH(double, expected);
    form->showPicture(kesto::test::solidPicture(40, 40, qRgb(10, 100, 200)));
    form->session().setBackground(rgbValue(250, 250, 250));
    form->session().setFrame(FrameGeometry{5, 5, 9, 9});
    form->tool(BandToolbar, channel).action()->trigger();
    form->Calculate();
    QCOMPARE(form->session().scanValue(), expected);
}

void TestMeasurement::firstScanGoesToR1C2()
{
    press(150, 80); // outside the frame: background pick
    release(150, 80);
    QCOMPARE(readout(BandToolbar, "txtScan"), QStringLiteral("Scan: 0"));
    QCOMPARE(form->f1Report->text(1, 2), QStringLiteral("0"));
    press(10, 10);
    move(60, 50); // frame to 50, 40: the whole band plus background
    release(60, 50);
    QCOMPARE(form->session().scanValue(), double(20 * 10 * (Dark - Light)));
    QCOMPARE(form->f1Report->text(1, 2), QStringLiteral("-30000"));
    QCOMPARE(form->f1Report->text(1, 1), QStringLiteral("1"));
    QCOMPARE(form->f1Report->text(1, 4), QString());
    QCOMPARE(form->f1Report->text(2, 1), QString());
}

void TestMeasurement::sheetPassFillsPercentages()
{
    form->f1Report->setText(2, 2, QStringLiteral("250"));
    form->f1Report->setText(2, 3, QStringLiteral("1000"));
    form->f1Report->setText(3, 2, QStringLiteral("5"));
    form->f1Report->setText(3, 3, QStringLiteral("0"));
    form->f1Report->setText(4, 4, QStringLiteral("stale"));
    form->Calculate();
    QCOMPARE(form->f1Report->text(2, 4), QStringLiteral("25.0"));
    QCOMPARE(form->f1Report->text(2, 1), QStringLiteral("2"));
    QCOMPARE(form->f1Report->text(3, 4), QString());
    QCOMPARE(form->f1Report->text(4, 4), QString());
}

void TestMeasurement::movingTheWorkingCellWithinARow()
{
    form->session().setBackground(rgbValue(Light, Light, Light));
    form->f1Report_Click(5, 2);
    QCOMPARE(readout(BandToolbar, "txtCell"), QStringLiteral("Working Cell: R5C2"));
    QVERIFY(highlighted(5, 2));
    form->session().setFrame(FrameGeometry{50, 40, 19, 4}); // half the band: 20 x 5 samples
    form->Calculate();
    QCOMPARE(form->f1Report->text(5, 2), QStringLiteral("-15000"));
    form->f1Report_Click(5, 3);
    QCOMPARE(readout(BandToolbar, "txtCell"), QStringLiteral("Working Cell: R5C3"));
    QVERIFY(!highlighted(5, 2));
    QVERIFY(highlighted(5, 3));
    QCOMPARE(form->workRow(), 5);
    QCOMPARE(form->workColumn(), 3);
    form->session().setFrame(FrameGeometry{50, 40, 19, 9}); // the whole band
    form->Calculate();
    QCOMPARE(form->f1Report->text(5, 3), QStringLiteral("-30000"));
    QCOMPARE(form->f1Report->text(5, 4), QStringLiteral("50.0"));
    QCOMPARE(form->f1Report->text(5, 1), QStringLiteral("5"));
}

void TestMeasurement::columnsOneAndFourAreIgnored()
{
    form->f1Report_Click(2, 2);
    for (const QPoint& cell : {QPoint(1, 3), QPoint(4, 3), QPoint(5, 0), QPoint(2, 0)})
        form->f1Report_Click(cell.y(), cell.x());
    QCOMPARE(readout(BandToolbar, "txtCell"), QStringLiteral("Working Cell: R2C2"));
    QVERIFY(highlighted(2, 2));
    QVERIFY(!highlighted(3, 1));
    QCOMPARE(form->workRow(), 2);
    QCOMPARE(form->workColumn(), 2);
}

void TestMeasurement::sameCellTwiceStaysHighlighted()
{
    form->f1Report_Click(3, 3);
    form->f1Report_Click(3, 3);
    QVERIFY(highlighted(3, 3));
    QCOMPARE(readout(BandToolbar, "txtCell"), QStringLiteral("Working Cell: R3C3"));
}

void TestMeasurement::clickingTheSheetPicksTheCell()
{
    QTableView* view = form->f1Report->view();
    const QModelIndex index = view->model()->index(2, 2); // row 3, column 3
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    QTRY_COMPARE(readout(BandToolbar, "txtCell"), QStringLiteral("Working Cell: R3C3"));
}

void TestMeasurement::lastRowGrowsTheSheet()
{
    const int rows = form->f1Report->rowCount();
    form->f1Report_Click(rows, 2);
    QCOMPARE(form->f1Report->rowCount(), rows + 1);
}

void TestMeasurement::calculateNowFromTheBar()
{
    form->session().setBackground(rgbValue(Light, Light, Light));
    form->session().setFrame(FrameGeometry{50, 40, 19, 9});
    form->tool(BandPicture, QStringLiteral("mnuCalc")).action()->trigger();
    QCOMPARE(readout(BandToolbar, "txtScan"), QStringLiteral("Scan: -30000"));
}

void TestMeasurement::frameTooLargeToCountIsRefused()
{
    form->session().setFrame(FrameGeometry{0, 0, 3e9f, 10});
    form->Calculate();
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(form->f1Report->text(1, 2), QString());
    QCOMPARE(readout(BandToolbar, "txtScan"), QStringLiteral("Scan: 0"));
}

QTEST_MAIN(TestMeasurement)
#include "tst_measurement.moc"
