// The window shows one measuring session: another picture leaves nothing of the last one
// behind, the background read-out is the background in use, every change can be undone
// and redone, and unsaved results are asked about before the window closes.

#include "app/foundbands.h"
#include "app/foundbandspanel.h"
#include "app/frmscan.h"
#include "app/laneprofilepanel.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "components/sheetmodel.h"
#include "components/worksheet.h"
#include "core/sheetfiles.h"
#include "support/fakeprompts.h"
#include "support/gelpictures.h"
#include "support/syntheticgel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QTableView>
#include <QTest>

#include <cstdint>
#include <memory>

using namespace kesto;
using kesto::test::FakePrompts;

namespace {

QImage blot16()
{
    QImage image(300, 200, QImage::Format_Grayscale16);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<std::uint16_t*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = std::uint16_t(x > 100 && x < 140 && y > 50 && y < 70 ? 3600 : 321);
    }
    return image;
}

} // namespace

class TestSession : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void anotherPictureLeavesNothingBehind();
    void readoutIsTheBackgroundInUse();
    void undoAndRedoEveryKindOfChange();
    void exitAsksAboutUnsavedResults();

private:
    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(form->picImage, Qt::LeftButton, {}, from);
        QTest::mouseMove(form->picImage, to);
        QTest::mouseRelease(form->picImage, Qt::LeftButton, {}, to);
    }
    void run(const char* command) { dispatchMainTool(*form, QLatin1String(command)); }
    void undo() { form->findChild<QAction*>(QStringLiteral("actionUndo"))->trigger(); }
    void redo() { form->findChild<QAction*>(QStringLiteral("actionRedo"))->trigger(); }
    QString readout() const
    {
        return form->tool(BandMove, QStringLiteral("mnuBackground")).caption();
    }
    QByteArray sheet() const { return sheetTabText(form->f1Report->data()); }

    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
};

void TestSession::init()
{
    prompts = std::make_unique<FakePrompts>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void TestSession::cleanup()
{
    form.reset();
    prompts.reset();
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void TestSession::anotherPictureLeavesNothingBehind()
{
    test::SyntheticGelLayout layout;
    layout.width = 330;
    layout.height = 240;
    layout.lanes = 5;
    layout.laneWidth = 36;
    layout.seed = 7;
    form->showPicture(test::makeSyntheticGel(layout).picture);
    run("mnuLaneProfile");
    run("mnuFindBands");
    FoundBandsTool& found = FoundBandsTool::of(*form);
    QVERIFY(!found.proposals().isEmpty());
    // A saturated scan raises the flag beside the read-out.
    form->setZoom(4.0);
    form->session().setBackground(0);
    form->session().scanFrame(FrameGeometry{0, 0, 5, 5});
    form->Calculate();

    form->showPicture(test::solidPicture(320, 200, qRgb(255, 255, 255)));
    QVERIFY(found.proposals().isEmpty());
    QCOMPARE(form->zoom(), 1.0);
    QVERIFY(form->lblScanFlag->text().isEmpty());
    // Scan Found Bands has nothing of the last picture to write.
    const QByteArray before = sheet();
    prompts->inputAnswers << QStringLiteral("1") << QString();
    run("mnuScanFound");
    QCOMPARE(sheet(), before);
    QVERIFY(prompts->messages.constLast().text.contains(QStringLiteral("no found bands")));
    // The profile is the new picture's: white under a white frame, nothing left over.
    QCOMPARE(form->lanePanel->profile().means.front(), 255.0);
}

void TestSession::readoutIsTheBackgroundInUse()
{
    form->showPicture(blot16());
    drag(QPoint(250, 150), QPoint(250, 150));
    QCOMPARE(readout(), QStringLiteral("Bkgrnd (RGB)=321,321,321"));
    form->showPicture(test::solidPicture(320, 200, qRgb(1, 1, 1)));
    QCOMPARE(form->session().backgroundLevels().red, 1);
    QCOMPARE(readout(), QStringLiteral("Bkgrnd (RGB)=1,1,1"));
    QVERIFY(prompts->messages.constLast().text.contains(QStringLiteral("321,321,321")));
    QVERIFY(!form->session().backgroundPicked());
}

void TestSession::undoAndRedoEveryKindOfChange()
{
    form->showPicture(test::gelPicture(200, 100, 230, 40, {QRect(10, 10, 20, 8)}));
    const QByteArray empty = sheet();

    // A scan.
    drag(QPoint(150, 80), QPoint(150, 80)); // the background, then a rescan of the frame
    drag(QPoint(5, 5), QPoint(15, 10));
    const QByteArray scanned = sheet();
    QVERIFY(scanned != empty);
    undo();
    QCOMPARE(form->session().frame().left, 0.0f);
    undo();
    QCOMPARE(sheet(), empty);
    QVERIFY(form->session().record().isEmpty());
    redo();
    redo();
    QCOMPARE(sheet(), scanned);
    QCOMPARE(form->shpPointer.left, 10.0f);

    // A typed value.
    SheetModel* model = form->f1Report->model();
    QVERIFY(model->setData(model->index(0, 2), QStringLiteral("250")));
    undo();
    QCOMPARE(form->f1Report->text(1, 3), QString());
    redo();
    QCOMPARE(form->f1Report->text(1, 3), QStringLiteral("250"));

    // A paste into the sheet.
    QGuiApplication::clipboard()->setText(QStringLiteral("7\t8"));
    form->f1Report->setActiveCell(3, 2);
    form->f1Report->view()->setFocus();
    QTest::keyClick(form->f1Report->view(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(form->f1Report->text(3, 3), QStringLiteral("8"));
    undo();
    QCOMPARE(form->f1Report->text(3, 2), QString());
    QCOMPARE(form->f1Report->text(1, 3), QStringLiteral("250"));

    // A found band deleted.
    run("mnuFindBands");
    FoundBandsTool& found = FoundBandsTool::of(*form);
    const int count = found.proposals().count();
    QVERIFY(count > 0);
    found.select(0);
    found.removeSelected();
    QCOMPARE(found.proposals().count(), count - 1);
    undo();
    QCOMPARE(found.proposals().count(), count);
    redo();
    QCOMPARE(found.proposals().count(), count - 1);
}

void TestSession::exitAsksAboutUnsavedResults()
{
    form->showPicture(test::gelPicture(200, 100, 230, 40, {QRect(10, 10, 20, 8)}));
    // Nothing measured: nothing is asked.
    QVERIFY(form->maybeSaveChanges());
    QVERIFY(prompts->messages.isEmpty());

    drag(QPoint(5, 5), QPoint(15, 10));
    prompts->messageAnswers << MessageAnswer::Cancel;
    form->tool(BandFile, QStringLiteral("mnuExit")).action()->trigger();
    QVERIFY(form->isVisible());
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages.constFirst().buttons, MessageButtons::YesNoCancel);
    QVERIFY(prompts->messages.constFirst().text.contains(QStringLiteral("Save changes?")));
    // Saved, nothing more is asked.
    const QString path = QDir::temp().filePath(QStringLiteral("kesto-session-test.txt"));
    prompts->saveAnswers << path;
    prompts->saveFilterAnswers << 1;
    prompts->messageAnswers << MessageAnswer::Yes;
    QVERIFY(form->maybeSaveChanges());
    QVERIFY(!form->session().hasUnsavedResults());
    QFile::remove(path);
}

QTEST_MAIN(TestSession)
#include "tst_session.moc"
