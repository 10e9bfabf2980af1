// Found bands through the real window: Image -> Find Lanes and Bands on test gels, the
// proposals adjusted with the pointer, and Scan Found Bands into the sheet and into the
// report window, checked against the same frames placed and scanned by hand.

#include "app/foundbands.h"
#include "app/foundbandspanel.h"
#include "app/frmscan.h"
#include "app/laneprofilepanel.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "components/worksheet.h"
#include "core/expression.h"
#include "core/gelimage.h"
#include "core/numbers.h"
#include "core/sheetdata.h"
#include "report/frmreport.h"
#include "support/fakeprompts.h"
#include "support/syntheticgel.h"

#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>

using namespace kesto;
using kesto::test::FakePrompts;
using kesto::test::SyntheticGel;
using kesto::test::SyntheticGelLayout;

Q_DECLARE_METATYPE(SyntheticGelLayout::Depth)

namespace {

QString sampleGel()
{
    return qEnvironmentVariable("KESTO_SOURCE_DIR") + QStringLiteral("/samples/gel.bmp");
}

QRect rectOf(const FoundFrame& f)
{
    return QRect(f.left, f.top, f.width + 1, f.height + 1);
}

double iou(const QRect& a, const QRect& b)
{
    const QRect both = a.intersected(b);
    if (both.isEmpty())
        return 0;
    const double common = double(both.width()) * both.height();
    return common / (double(a.width()) * a.height() + double(b.width()) * b.height() - common);
}

SyntheticGel smallGel(SyntheticGelLayout::Depth depth, bool horizontal)
{
    SyntheticGelLayout layout;
    layout.width = 330;
    layout.height = 240;
    layout.lanes = 5;
    layout.laneWidth = 36;
    layout.depth = depth;
    layout.seed = 7;
    const SyntheticGel gel = kesto::test::makeSyntheticGel(layout);
    return horizontal ? kesto::test::transposed(gel) : gel;
}

} // namespace

class TestFindBands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void findProposesTheGelsBands_data();
    void findProposesTheGelsBands();
    void largerFrameLimitsTheSearch();
    void outlinesAtEveryZoom_data();
    void outlinesAtEveryZoom();
    void pointerAdjustsTheProposals();
    void scanIntoSheetMatchesHandScans_data();
    void scanIntoSheetMatchesHandScans();
    void sendToReportMatchesHandScans();
    void badOrCancelledAnswersChangeNothing_data();
    void badOrCancelledAnswersChangeNothing();
    void nothingToScanIsSaid();
    void sensitivitySliderFiltersLive();
    void volumesOnTheLanes();

private:
    FoundBandsTool& tool() { return FoundBandsTool::of(*form); }
    const BandProposals& proposals() { return tool().proposals(); }
    void run(const char* command) { dispatchMainTool(*form, QLatin1String(command)); }
    void press(QPoint p, Qt::KeyboardModifiers m = {})
    {
        QTest::mousePress(form->picImage, Qt::LeftButton, m, p);
    }
    void move(QPoint p) { QTest::mouseMove(form->picImage, p); }
    void release(QPoint p, Qt::KeyboardModifiers m = {})
    {
        QTest::mouseRelease(form->picImage, Qt::LeftButton, m, p);
    }
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers m = {})
    {
        press(from, m);
        move(to);
        release(to, m);
    }
    void open(const QImage& picture) { form->showPicture(picture); }
    // Picks the background with a click on an empty spot, as a person does.
    void pickBackground(QPoint at) { drag(at, at); }
    // Sizes the scan frame with its handle and drags it onto f, as a person does; the
    // release scans it into the working cell (row, 2).
    void scanByHand(const FoundFrame& f, int row);
    QString cell(int row, int column) const { return form->f1Report->text(row, column); }

    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
};

void TestFindBands::init()
{
    prompts = std::make_unique<FakePrompts>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void TestFindBands::cleanup()
{
    form.reset();
    if (frmReport* report = frmReport::existing())
        delete report;
    prompts.reset();
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void TestFindBands::scanByHand(const FoundFrame& f, int row)
{
    form->f1Report_Click(row, 2);
    run("mnuTopLeft");
    const RectShape& frame = form->shpPointer;
    // The handle fills the frame's inner lower-right 4 x 4 pixels.
    drag(QPoint(int(frame.width) - 2, int(frame.height) - 2), QPoint(f.width, f.height));
    QCOMPARE(QSizeF(frame.width, frame.height), QSizeF(f.width, f.height));
    drag(QPoint(2, 2), QPoint(f.left + 2, f.top + 2));
    QCOMPARE(QPointF(frame.left, frame.top), QPointF(f.left, f.top));
}

void TestFindBands::findProposesTheGelsBands_data()
{
    QTest::addColumn<SyntheticGelLayout::Depth>("depth");
    QTest::addColumn<bool>("horizontal");
    QTest::newRow("8-bit") << SyntheticGelLayout::Depth::Rgb8 << false;
    QTest::newRow("16-bit gray") << SyntheticGelLayout::Depth::Gray16 << false;
    QTest::newRow("8-bit, lanes across") << SyntheticGelLayout::Depth::Rgb8 << true;
}

void TestFindBands::findProposesTheGelsBands()
{
    QFETCH(SyntheticGelLayout::Depth, depth);
    QFETCH(bool, horizontal);
    const SyntheticGel gel = smallGel(depth, horizontal);
    open(gel.picture);
    if (horizontal)
        run("mnuHorizontalLanes");
    QCOMPARE(form->tool(BandView, QStringLiteral("mnuHorizontalLanes")).isChecked(), horizontal);
    run("mnuFindBands");

    QCOMPARE(proposals().laneCount(), int(gel.lanes.size()));
    int truth = 0;
    int matched = 0;
    for (const QList<QRect>& lane : gel.bands) {
        for (const QRect& band : lane) {
            ++truth;
            for (const BandProposal& p : proposals().items()) {
                if (iou(band, rectOf(p.frame)) >= 0.5) {
                    ++matched;
                    break;
                }
            }
        }
    }
    qInfo("%d of %d true bands proposed", matched, truth);
    QVERIFY(matched * 10 >= truth * 9);
    // Every proposal is outlined with its lane and band number, and listed.
    const QList<PictureOverlay>& overlays = form->picImage->overlays();
    QCOMPARE(overlays.size(), proposals().count());
    for (int i = 0; i < proposals().count(); ++i) {
        const BandProposal& p = proposals().items()[std::size_t(i)];
        QCOMPARE(overlays.at(i).label, QStringLiteral("%1.%2").arg(p.lane).arg(p.band));
        QCOMPARE(overlays.at(i).span, rectOf(p.frame));
    }
    FoundBandsPanel* panel = tool().panel();
    QVERIFY(panel && panel->isVisible());
    QCOMPARE(panel->list()->count(), proposals().count());
    QVERIFY(panel->notice().startsWith(QStringLiteral("Searched the whole picture.")));
}

// The panel's slider shows fewer or fainter proposals at once, from the one search: lower
// keeps a subset of the frames, higher a superset, and back at the start the same frames.
void TestFindBands::sensitivitySliderFiltersLive()
{
    const GelImageLoad load =
        loadGelImage(qEnvironmentVariable("KESTO_SOURCE_DIR") +
                     QStringLiteral("/tests/data/realgels/gelgenie_thrombin_coomassie.jpg"));
    QVERIFY2(load.ok(), qPrintable(load.reason));
    open(load.image);
    run("mnuFindBands");
    FoundBandsPanel* panel = tool().panel();
    QVERIFY(panel);
    QCOMPARE(panel->sensitivity(), 50);
    auto frames = [&] {
        QList<QRect> list;
        for (const BandProposal& p : proposals().items())
            list << rectOf(p.frame);
        return list;
    };
    const QList<QRect> start = frames();
    QVERIFY(!start.isEmpty());
    panel->sensitivitySlider()->setValue(20);
    const QList<QRect> fewer = frames();
    QVERIFY(!fewer.isEmpty() && fewer.size() < start.size());
    for (const QRect& r : fewer)
        QVERIFY(start.contains(r));
    QCOMPARE(form->picImage->overlays().size(), fewer.size());
    QCOMPARE(panel->list()->count(), fewer.size());
    QVERIFY(panel->notice().contains(QStringLiteral("with %1 bands").arg(fewer.size())));
    panel->sensitivitySlider()->setValue(90);
    const QList<QRect> more = frames();
    QVERIFY(more.size() > start.size());
    for (const QRect& r : start)
        QVERIFY(more.contains(r));
    panel->sensitivitySlider()->setValue(50);
    QCOMPARE(frames(), start);
    QCOMPARE(tool().sensitivity(), 50.0);
}

void TestFindBands::largerFrameLimitsTheSearch()
{
    const SyntheticGel gel = smallGel(SyntheticGelLayout::Depth::Rgb8, false);
    open(gel.picture);
    // A frame of its start size leaves the whole picture to search.
    run("mnuFindBands");
    QCOMPARE(proposals().laneCount(), 5);
    // Sized around lanes 2 to 4 (with a few pixels to spare), the frame is what is searched.
    const QRect around = gel.lanes.at(1).united(gel.lanes.at(3)).adjusted(-4, 0, 4, 0);
    drag(QPoint(65, 29), QPoint(around.width() - 1, around.height() - 1));
    drag(QPoint(2, 2), QPoint(around.left() + 2, around.top() + 2));
    QCOMPARE(form->shpPointer.rect(),
             QRectF(around.left(), around.top(), around.width() - 1, around.height() - 1));
    run("mnuFindBands");
    for (const BandProposal& p : proposals().items())
        QVERIFY(around.contains(rectOf(p.frame)));
    QCOMPARE(proposals().laneCount(), 3);
    QVERIFY(tool().panel()->notice().startsWith(
        QStringLiteral("Searched inside the scan frame (%1,%2  %3x%4)")
            .arg(around.left())
            .arg(around.top())
            .arg(around.width() - 1)
            .arg(around.height() - 1)));
}

void TestFindBands::outlinesAtEveryZoom_data()
{
    QTest::addColumn<double>("zoom");
    QTest::newRow("100 %") << 1.0;
    QTest::newRow("300 %") << 3.0;
    QTest::newRow("50 %") << 0.5;
}

void TestFindBands::outlinesAtEveryZoom()
{
    QFETCH(double, zoom);
    QVERIFY(form->openPicture(sampleGel()));
    run("mnuFindBands");
    form->setZoom(zoom);
    const QImage shot = form->picImage->grab().toImage();
    // Lane 4's control band: columns 170-209, rows 130-145.
    const BandProposal* band = proposals().find(4, 2);
    QVERIFY(band);
    const QRect r = form->picImage->toWidget(rectOf(band->frame));
    const QColor cyan(0, 200, 255);
    QCOMPARE(shot.pixelColor(r.left(), r.center().y()), cyan);
    QCOMPARE(shot.pixelColor(r.right(), r.center().y()), cyan);
    QCOMPARE(shot.pixelColor(r.center().x(), r.bottom()), cyan);
    QVERIFY(shot.pixelColor(r.center()) != cyan);
}

void TestFindBands::pointerAdjustsTheProposals()
{
    QVERIFY(form->openPicture(sampleGel()));
    run("mnuFindBands");
    QCOMPARE(proposals().count(), 12);
    const FoundFrame before = proposals().find(2, 1)->frame;
    QCOMPARE(rectOf(before), QRect(70, 50, 40, 16));

    // Shift+drag inside a proposal moves it; the scan frame and the sheet stay.
    const RectShape frame = form->shpPointer;
    drag(QPoint(80, 55), QPoint(83, 57), Qt::ShiftModifier);
    QCOMPARE(rectOf(proposals().find(2, 1)->frame), QRect(73, 52, 40, 16));
    QCOMPARE(form->shpPointer.rect(), frame.rect());
    QCOMPARE(cell(1, 2), QString());
    QCOMPARE(proposals().label(tool().selected()), QStringLiteral("2.1"));

    // Shift+drag on its lower-right corner sizes it.
    drag(QPoint(112, 67), QPoint(115, 70), Qt::ShiftModifier);
    QCOMPARE(rectOf(proposals().find(2, 1)->frame), QRect(73, 52, 43, 19));

    // Ctrl+drag draws a new frame; in lane 3 above its bands it becomes 3.1.
    drag(QPoint(125, 10), QPoint(150, 20), Qt::ControlModifier);
    QCOMPARE(proposals().count(), 13);
    QCOMPARE(rectOf(proposals().find(3, 1)->frame), QRect(125, 10, 26, 11));
    QCOMPARE(proposals().find(3, 3)->frame.top, 130);
    QCOMPARE(form->picImage->overlays().size(), 13);

    // Delete removes the chosen one; numbers close up again.
    QTest::keyClick(form->picImage, Qt::Key_Delete);
    QCOMPARE(proposals().count(), 12);
    QCOMPARE(proposals().find(3, 1)->frame.top, 50);
    QVERIFY(!proposals().find(3, 3));

    // The panel's list chooses too, and its Delete button removes.
    tool().panel()->list()->setCurrentRow(0);
    QCOMPARE(tool().selected(), 0);
    QTest::mouseClick(tool().panel()->deleteButton(), Qt::LeftButton);
    QCOMPARE(proposals().count(), 11);
    QCOMPARE(tool().panel()->list()->count(), 11);

    // Without a modifier the picture works as always: a click picks the background.
    QVERIFY(!form->session().backgroundPicked());
    pickBackground(QPoint(300, 190));
    QVERIFY(form->session().backgroundPicked());
    QCOMPARE(form->session().background(), rgbValue(230, 230, 230));
    QCOMPARE(proposals().count(), 11);

    QTest::mouseClick(tool().panel()->clearButton(), Qt::LeftButton);
    QVERIFY(proposals().isEmpty());
    QVERIFY(form->picImage->overlays().isEmpty());
}

void TestFindBands::scanIntoSheetMatchesHandScans_data()
{
    QTest::addColumn<SyntheticGelLayout::Depth>("depth");
    QTest::newRow("8-bit") << SyntheticGelLayout::Depth::Rgb8;
    QTest::newRow("16-bit RGB") << SyntheticGelLayout::Depth::Rgb16;
}

void TestFindBands::scanIntoSheetMatchesHandScans()
{
    QFETCH(SyntheticGelLayout::Depth, depth);
    const SyntheticGel gel = smallGel(depth, false);
    open(gel.picture);
    run("mnuGreen");
    // The pick scans the start frame into R1C2: the found bands' rows come below it.
    pickBackground(QPoint(gel.picture.width() - 3, gel.picture.height() - 3));
    QVERIFY(!cell(1, 2).isEmpty());
    run("mnuFindBands");
    const int lanes = proposals().laneCount();
    QVERIFY(lanes >= 2);
    // Adjust lane 1's first band before scanning.
    const FoundFrame first = proposals().find(1, 1)->frame;
    const QPoint inside(first.left + first.width / 2, first.top + first.height / 2);
    drag(inside, inside + QPoint(2, 1), Qt::ShiftModifier);
    QCOMPARE(proposals().find(1, 1)->frame.left, first.left + 2);

    prompts->inputAnswers = {QStringLiteral("1"), QStringLiteral("2")};
    run("mnuScanFound");
    QCOMPARE(prompts->inputPrompts.size(), 2);
    QVERIFY(prompts->inputPrompts.at(0).contains(QStringLiteral("counted from the top")));
    // Only a lane without a second band would be worth a word.
    for (const FakePrompts::Message& message : prompts->messages)
        QVERIFY(message.text.startsWith(QStringLiteral("Lanes without band 1 or control band 2")));

    // The same frames placed by hand, scanned into rows further down.
    const int handRow = 20;
    for (int lane = 1; lane <= lanes; ++lane) {
        const int row = 1 + lane;
        QCOMPARE(cell(row, 1), QString::number(row));
        for (int band : {1, 2}) {
            const BandProposal* p = proposals().find(lane, band);
            const int column = band == 1 ? 2 : 3;
            if (!p) {
                QCOMPARE(cell(row, column), QString());
                continue;
            }
            // Recorded with the frame it came from.
            const MeasurementEntry* entry = form->session().record().entryAt(row, column);
            QVERIFY(entry);
            QCOMPARE(entry->frame.left, p->frame.geometry().left);
            scanByHand(p->frame, handRow);
            QCOMPARE(cell(row, column), cell(handRow, 2));
            QCOMPARE(form->f1Report->note(row, column), form->f1Report->note(handRow, 2));
        }
        if (proposals().find(lane, 2))
            QVERIFY(!cell(row, 4).isEmpty());
    }
}

void TestFindBands::sendToReportMatchesHandScans()
{
    QVERIFY(form->openPicture(sampleGel()));
    pickBackground(QPoint(300, 190));
    run("mnuFindBands");
    QCOMPARE(proposals().count(), 12);
    prompts->inputAnswers = {QStringLiteral("2")};
    run("mnuSendFound");
    frmReport* report = frmReport::existing();
    QVERIFY(report);
    QTRY_VERIFY(report->isVisible());
    const SheetData& table = report->f1Report->data();
    for (int i = 0; i < proposals().count(); ++i) {
        const BandProposal& p = proposals().items()[std::size_t(i)];
        const int row = 1 + i;
        QCOMPARE(table.text(row, 2), QStringLiteral("Lane %1").arg(p.lane));
        QCOMPARE(table.text(row, 3), p.band == 2 ? QStringLiteral("control") : QString());
        scanByHand(p.frame, 10);
        QCOMPARE(table.text(row, 4), cell(10, 2));
    }
    // The sample gel's lane 1: its band is 121.4 % of its control.
    QCOMPARE(table.text(1, 4), QStringLiteral("-108800"));
    QCOMPARE(table.text(2, 4), QStringLiteral("-89600"));
    report->Calculate();
    QCOMPARE(table.number(1, 5), 121.43);
}

void TestFindBands::badOrCancelledAnswersChangeNothing_data()
{
    // The answers to the band and the control question; "<cancel>" cancels.
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<int>("messages");
    const auto answers = [](const char* text) {
        return QString::fromLatin1(text).split(QLatin1Char(' '));
    };
    QTest::newRow("band cancelled") << answers("<cancel>") << 0;
    QTest::newRow("band not a number") << answers("2nd") << 1;
    QTest::newRow("band 0") << answers("0") << 1;
    QTest::newRow("control cancelled") << answers("1 <cancel>") << 0;
    QTest::newRow("control not a number") << answers("1 x") << 1;
}

void TestFindBands::badOrCancelledAnswersChangeNothing()
{
    QFETCH(QStringList, answers);
    QFETCH(int, messages);
    QVERIFY(form->openPicture(sampleGel()));
    pickBackground(QPoint(300, 190));
    run("mnuFindBands");
    const QString before = cell(1, 2);
    for (const QString& answer : answers)
        prompts->inputAnswers.append(
            answer == QLatin1String("<cancel>") ? std::nullopt : std::optional<QString>(answer));
    run("mnuScanFound");
    QCOMPARE(prompts->messages.size(), messages);
    if (messages)
        QVERIFY(prompts->messages.constFirst().text.contains(QStringLiteral("no band number")));
    QCOMPARE(cell(1, 2), before);
    QCOMPARE(usedRowCount(form->f1Report->data()), 1);
}

void TestFindBands::nothingToScanIsSaid()
{
    QVERIFY(form->openPicture(sampleGel()));
    run("mnuScanFound");
    run("mnuSendFound");
    QCOMPARE(prompts->messages.size(), 2);
    QVERIFY(prompts->messages.at(0).text.startsWith(QStringLiteral("There are no found bands")));
    QVERIFY(prompts->inputPrompts.isEmpty());
    QVERIFY(!frmReport::existing());
}

// The found bands measured as volumes on their lanes, with each lane's total as the
// control, drawn in the lane profile, and taken back with Undo.
void TestFindBands::volumesOnTheLanes()
{
    const auto undo = [this] {
        form->findChild<QAction*>(QStringLiteral("actionUndo"))->trigger();
    };
    open(loadGelImage(sampleGel()).image);
    run("mnuFindBands");
    const int lanes = proposals().laneCount();
    QCOMPARE(int(form->session().lanes().size()), lanes);
    QCOMPARE(form->picImage->laneOutlines().size(), lanes);

    tool().panel()->measureBox()->setCurrentIndex(1);
    QCOMPARE(form->session().quantifyMode(), QuantifyMode::Profile);
    const std::vector<FoundBandScan> volumes = form->session().quantifyProposals();
    prompts->inputAnswers = {QStringLiteral("1"), QStringLiteral("total")};
    run("mnuScanFound");
    QVERIFY(prompts->inputPrompts.at(1).contains(QStringLiteral("\"total\"")));
    for (const FoundBandScan& v : volumes) {
        if (v.band != 1)
            continue;
        const int row = v.lane;
        QCOMPARE(cell(row, 2), doubleText(v.scan.value));
        QCOMPARE(cell(row, 3), doubleText(v.source.total));
        const double percent = cell(row, 4).toDouble();
        QVERIFY2(percent > 0 && percent < 100, qPrintable(cell(row, 4)));
        QVERIFY(form->session().record().entryAt(row, 2)->lane.isVolume());
    }

    // The frame on lane 1's first band: the profile shows the whole lane and its bands.
    form->session().setFrame(proposals().find(1, 1)->frame.geometry());
    run("mnuLaneProfile");
    QVERIFY(form->lanePanel->boundarySeries()->isVisible());
    QVERIFY(form->lanePanel->areaLabel()->text().startsWith(QStringLiteral("Lane 1: lane total")));
    // Dragging band 1's end three positions on moves it in the session, and Undo puts it back.
    LaneProfilePanel& panel = *form->lanePanel;
    QTRY_VERIFY(panel.chartView()->isVisible());
    const std::vector<BandBounds> found = form->session().laneBands(0);
    QWidget* plot = panel.chartView()->viewport();
    QTest::mousePress(plot, Qt::LeftButton, {}, panel.viewPointAt(found[0].to));
    QTest::mouseMove(plot, panel.viewPointAt(found[0].to + 3));
    QTest::mouseRelease(plot, Qt::LeftButton, {}, panel.viewPointAt(found[0].to + 3));
    QCOMPARE(form->session().laneBands(0)[0].to, found[0].to + 3);
    QCOMPARE(panel.bounds()[0].to, found[0].to + 3);
    undo();
    QCOMPARE(form->session().laneBands(0)[0].to, found[0].to);

    undo();
    QCOMPARE(cell(1, 2), QString());
    QCOMPARE(form->session().quantifyMode(), QuantifyMode::Profile);
    undo();
    QCOMPARE(form->session().quantifyMode(), QuantifyMode::Frame);
    QCOMPARE(tool().panel()->measureBox()->currentIndex(), 0);
}

QTEST_MAIN(TestFindBands)
#include "tst_findbands.moc"
