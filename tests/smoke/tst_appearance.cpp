// What a person sees of the main window: read-outs that keep their width as their text
// changes, a command bar that fits the start width, the scan frame drawn on the pixels it
// integrates and leaving no trail when it moves, icons that exist and stay sharp at every
// device pixel ratio. The test also runs on a screen of device pixel ratio 2.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "support/fakeprompts.h"
#include "support/gelpictures.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QToolBar>

using namespace kesto;
using kesto::test::FakePrompts;

namespace {

constexpr int Grey = 200;

QWidget* widgetOf(const Tool& tool)
{
    if (tool.label())
        return tool.label();
    return tool.band().toolBar()->widgetForAction(tool.action());
}

void settle(const Band& band)
{
    QCoreApplication::sendPostedEvents();
    band.toolBar()->layout()->activate();
}

bool isRed(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y) == QColor(255, 0, 0);
}

} // namespace

class TestAppearance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void readoutsKeepTheirWidth_data();
    void readoutsKeepTheirWidth();
    void everyToolShowsAtTheStartWidth();
    void frameOutlineLiesOnTheIntegratedEdges_data();
    void frameOutlineLiesOnTheIntegratedEdges();
    void handleIsSolid();
    void movedFrameLeavesNoTrail();
    void everyIconExistsAsScalableArt();
    void labelIconsMatchTheScreen();

private:
    // The picture box as the screen shows it.
    QImage screenImage() const;
    int scale() const { return screenImage().width() / form->picImage->width(); }

    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
};

void TestAppearance::init()
{
    prompts = std::make_unique<FakePrompts>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->showPicture(kesto::test::solidPicture(200, 120, qRgb(Grey, Grey, Grey)));
}

void TestAppearance::cleanup()
{
    form.reset();
    prompts.reset();
}

QImage TestAppearance::screenImage() const
{
    // Offscreen screens hand back the window in logical pixels whatever their ratio.
    const QImage image = form->screen()->grabWindow(form->winId()).toImage();
    const int s = image.width() / form->width();
    const QPoint at = form->picImage->mapTo(form.get(), QPoint(0, 0)) * s;
    return image.copy(QRect(at, form->picImage->size() * s));
}

void TestAppearance::readoutsKeepTheirWidth_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("next");
    QTest::addColumn<QString>("text");
    QTest::newRow("working cell") << int(BandToolbar) << QStringLiteral("txtCell")
                                  << QStringLiteral("txtScan")
                                  << QStringLiteral("Working Cell: R1234C3");
    QTest::newRow("scan") << int(BandToolbar) << QStringLiteral("txtScan")
                          << QStringLiteral("mnuAbout") << QStringLiteral("Scan: -10880000");
    QTest::newRow("negative scan of one digit")
        << int(BandToolbar) << QStringLiteral("txtScan") << QStringLiteral("mnuAbout")
        << QStringLiteral("Scan: -5");
    QTest::newRow("background") << int(BandMove) << QStringLiteral("mnuBackground")
                                << QStringLiteral("Tool65")
                                << QStringLiteral("Bkgrnd (RGB)=230,230,230");
    QTest::newRow("pointer while dragging")
        << int(BandMove) << QStringLiteral("mnuDisplay") << QStringLiteral("Tool66")
        << QStringLiteral("+X=1234 Y=5678");
    QTest::newRow("frame size") << int(BandMove) << QStringLiteral("mnuSize")
                                << QStringLiteral("Tool68") << QStringLiteral("1234x5678");
    QTest::newRow("colour, the last tool") << int(BandMove) << QStringLiteral("mnuColor")
                                           << QString() << QStringLiteral("255,255,255");
}

void TestAppearance::readoutsKeepTheirWidth()
{
    QFETCH(int, band);
    QFETCH(QString, name);
    QFETCH(QString, next);
    QFETCH(QString, text);
    Tool& readout = form->tool(band, name);
    const Band& bar = readout.band();
    settle(bar);
    const QRect before = widgetOf(readout)->geometry();
    const int nextBefore = next.isEmpty() ? 0 : widgetOf(form->tool(band, next))->x();

    readout.setCaption(text);
    form->tbrMain->redraw();
    settle(bar);
    QCOMPARE(widgetOf(readout)->geometry(), before);
    if (!next.isEmpty())
        QCOMPARE(widgetOf(form->tool(band, next))->x(), nextBefore);

    readout.setCaption(QStringLiteral("0"));
    settle(bar);
    QCOMPARE(widgetOf(readout)->geometry(), before);
}

void TestAppearance::everyToolShowsAtTheStartWidth()
{
    // The window as it starts, on a screen with room for the whole bar.
    frmScan fresh;
    const QRect room = fresh.screen()->availableGeometry();
    if (room.width() < fresh.tbrMain->sizeHint().width())
        QSKIP("the screen is narrower than the command bar");
    fresh.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fresh));
    QVERIFY(room.contains(fresh.frameGeometry()));
    for (const int index : {int(BandToolbar), int(BandMove)}) {
        const Band& band = fresh.tbrMain->band(index);
        settle(band);
        for (int i = 0; i < band.toolCount(); ++i) {
            const Tool& tool = band.toolAt(i);
            if (tool.kind() == ToolKind::Separator)
                continue;
            QWidget* widget = widgetOf(tool);
            QVERIFY2(widget && widget->isVisible(), qPrintable(tool.name()));
            QVERIFY2(band.toolBar()->rect().contains(widget->geometry()), qPrintable(tool.name()));
        }
    }
}

void TestAppearance::frameOutlineLiesOnTheIntegratedEdges_data()
{
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<QRect>("edges"); // first and last column and row, both included
    QTest::newRow("whole pixels") << QRectF(20, 10, 39, 15)
                                  << QRect(QPoint(20, 10), QPoint(59, 25));
    // Ends round half to even as the integration rounds them: 20.5 -> 20, 59.5 -> 60.
    QTest::newRow("half pixels") << QRectF(20.5, 10.5, 39, 15)
                                 << QRect(QPoint(20, 10), QPoint(60, 26));
    QTest::newRow("past the picture's corner")
        << QRectF(150, 90, 80, 60) << QRect(QPoint(150, 90), QPoint(230, 150));
}

void TestAppearance::frameOutlineLiesOnTheIntegratedEdges()
{
    QFETCH(QRectF, frame);
    QFETCH(QRect, edges);
    form->shpPointer =
        RectShape{float(frame.x()), float(frame.y()), float(frame.width()), float(frame.height())};
    const QImage image = form->picImage->grab().toImage();
    const int s = int(image.devicePixelRatio());
    const QRect inPicture(0, 0, 200, 120);
    // Every device pixel of the edge lines is red, the pixels just inside and just outside
    // are not: the outline is one picture pixel wide at any scale.
    const int midX = (edges.left() + 1) * s;
    const int midY = (edges.top() + qMin(edges.bottom(), inPicture.bottom())) / 2 * s;
    for (int d = 0; d < s; ++d) {
        QVERIFY(isRed(image, edges.left() * s + d, midY));
        QVERIFY(isRed(image, midX, edges.top() * s + d));
        if (inPicture.contains(edges.right(), 0))
            QVERIFY(isRed(image, edges.right() * s + d, midY));
        if (inPicture.contains(0, edges.bottom()))
            QVERIFY(isRed(image, midX, edges.bottom() * s + d));
    }
    QVERIFY(!isRed(image, edges.left() * s + s, midY));
    QVERIFY(!isRed(image, midX, edges.top() * s + s));
    if (edges.left() > 0)
        QVERIFY(!isRed(image, edges.left() * s - 1, midY));
    if (inPicture.contains(edges.right() + 1, 0))
        QVERIFY(!isRed(image, (edges.right() + 1) * s, midY));
}

void TestAppearance::handleIsSolid()
{
    form->moveFrameTo(30, 20);
    // The 4 x 4 handle in the 67 x 31 frame's inner lower-right corner: 93..97, 47..51.
    const QImage image = form->picImage->grab().toImage();
    const int s = int(image.devicePixelRatio());
    for (const QPoint p : {QPoint(94, 48), QPoint(95, 49), QPoint(96, 50)})
        QVERIFY(isRed(image, p.x() * s, p.y() * s));
    QVERIFY(!isRed(image, 92 * s, 48 * s));
}

void TestAppearance::movedFrameLeavesNoTrail()
{
    // Moved as a drag moves it, one small step at a time: only the outlines' neighbourhood
    // is repainted, and nothing of the old outline may stay on screen.
    for (int step = 1; step <= 12; ++step) {
        form->moveFrameTo(float(step * 7), float(step * 5));
        QCoreApplication::processEvents(); // paints each step, as events do in a drag
    }
    QTRY_VERIFY(isRed(screenImage(), 84 * scale(), 80 * scale()));
    const QImage image = screenImage();
    const int s = scale();
    int redPixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isRed(image, x, y))
                ++redPixels;
        }
    }
    // The frame's outline around 84..151 x 60..91 and the handle's 5 x 5 square: nothing else.
    const int outline = (2 * 68 + 2 * 30) * s * s;
    const int handleInside = (5 * 5 - 9) * s * s; // the part not on the outline
    QCOMPARE(redPixels, outline + handleInside);
}

void TestAppearance::everyIconExistsAsScalableArt()
{
    for (const BandSpec& band : mainBarLayout()) {
        for (const ToolSpec& tool : band.tools) {
            if (tool.icon.isEmpty())
                continue;
            QVERIFY2(tool.icon.endsWith(QLatin1String(".svg")), qPrintable(tool.icon));
            QVERIFY2(QFile::exists(tool.icon), qPrintable(tool.icon));
        }
    }
}

void TestAppearance::labelIconsMatchTheScreen()
{
    const qreal dpr = form->devicePixelRatioF();
    for (const char* name : {"Tool65", "Tool66"}) {
        const QLabel* label = form->tool(BandMove, QLatin1String(name)).label();
        QVERIFY(label);
        const QPixmap pixmap = label->pixmap();
        QCOMPARE(pixmap.devicePixelRatio(), dpr);
        QCOMPARE(pixmap.size(), label->parentWidget()->property("iconSize").toSize() * dpr);
    }
}

QTEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
