// Opening pictures and scrolling them, through the real window.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "core/gelimage.h"
#include "support/fakeprompts.h"
#include "support/gelpictures.h"

#include <QAction>
#include <QFile>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kesto;
using kesto::test::FakePrompts;

class TestPicture : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void openUsesTheClassicFilterFirst();
    void cancelLeavesEverythingUntouched();
    void openPutsFrameBackAtTopLeft();
    void scrollBarsFitThePicture_data();
    void scrollBarsFitThePicture();
    void smallerPictureHidesTheBarAgain();
    void stepsForD250();
    void scrollingMovesPictureAndFrame();
    void badFilesKeepTheOldPicture_data();
    void badFilesKeepTheOldPicture();
    void sameCommandFromMenuAndToolbar();
    void labelsAndUnknownToolsDoNothing();
    void redCheckedAtStartInBothBands();

private:
    void openPicture(const QImage& picture, const QString& name = QStringLiteral("gel.png"));

    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
    std::unique_ptr<QTemporaryDir> dir;
};

void TestPicture::init()
{
    prompts = std::make_unique<FakePrompts>();
    dir = std::make_unique<QTemporaryDir>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->resize(1000, 700);
    QTRY_COMPARE(form->size(), QSize(1000, 700));
}

void TestPicture::cleanup()
{
    form.reset();
    prompts.reset();
    dir.reset();
}

void TestPicture::openPicture(const QImage& picture, const QString& name)
{
    prompts->openAnswers.append(kesto::test::savePicture(*dir, name, picture));
    form->LoadImage();
}

void TestPicture::openUsesTheClassicFilterFirst()
{
    prompts->openAnswers.append(QString());
    form->LoadImage();
    QCOMPARE(prompts->openFilters.size(), 1);
    QCOMPARE(prompts->openFilters.at(0).at(0),
             QStringLiteral("All picture files (*.bmp,*.jpg,*.ico) (*.bmp *.jpg *.ico)"));
    QCOMPARE(form->dlgDialog.filter().section(QLatin1Char('|'), 0, 1),
             QStringLiteral("All picture files (*.bmp,*.jpg,*.ico)|*.bmp;*.jpg;*.ico"));
    QCOMPARE(form->dlgDialog.fileName(), QString());
}

void TestPicture::cancelLeavesEverythingUntouched()
{
    openPicture(kesto::test::solidPicture(50, 40, qRgb(10, 20, 30)));
    form->moveFrameTo(5, 6);
    const QString scan = form->tool(BandToolbar, QStringLiteral("txtScan")).caption();
    prompts->openAnswers.append(QString());
    form->LoadImage();
    QCOMPARE(form->picImage->picture().size(), QSize(50, 40));
    QCOMPARE(form->shpPointer.left, 5.0f);
    QCOMPARE(form->shpPointer.top, 6.0f);
    QCOMPARE(form->tool(BandToolbar, QStringLiteral("txtScan")).caption(), scan);
    QVERIFY(prompts->messages.isEmpty());
}

void TestPicture::openPutsFrameBackAtTopLeft()
{
    openPicture(kesto::test::solidPicture(300, 200, qRgb(200, 200, 200)));
    form->moveFrameTo(100, 50);
    openPicture(kesto::test::solidPicture(320, 240, qRgb(200, 200, 200)), QStringLiteral("b.bmp"));
    QCOMPARE(form->picImage->size(), QSize(320, 240));
    QCOMPARE(form->shpPointer.left, 0.0f);
    QCOMPARE(form->shpPointer.top, 0.0f);
    QCOMPARE(form->shpPointer.width, 67.0f);
    QCOMPARE(form->shpPointer.height, 31.0f);
    QCOMPARE(form->shpPoint.left, 63.0f);
    QCOMPARE(form->shpPoint.top, 27.0f);
    // Loading does not integrate: the read-out keeps its old text.
    QCOMPARE(form->tool(BandToolbar, QStringLiteral("txtScan")).caption(),
             QStringLiteral("Scan: 0"));
}

void TestPicture::scrollBarsFitThePicture_data()
{
    QTest::addColumn<int>("extraWidth");
    QTest::addColumn<int>("extraHeight");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<bool>("vertical");
    QTest::newRow("exactly the viewport") << 0 << 0 << false << false;
    QTest::newRow("smaller than the viewport") << -20 << -30 << false << false;
    QTest::newRow("taller only") << 0 << 1 << false << true;
    QTest::newRow("wider only") << 5 << -5 << true << false;
    QTest::newRow("both") << 100 << 100 << true << true;
}

void TestPicture::scrollBarsFitThePicture()
{
    QFETCH(int, extraWidth);
    QFETCH(int, extraHeight);
    QFETCH(bool, horizontal);
    QFETCH(bool, vertical);
    const QSize viewport = form->picContainer->size();
    openPicture(kesto::test::solidPicture(viewport.width() + extraWidth,
                                          viewport.height() + extraHeight, qRgb(1, 2, 3)));
    QCOMPARE(form->HScroll->isVisible(), horizontal);
    QCOMPARE(form->VScroll->isVisible(), vertical);
    if (vertical) {
        QCOMPARE(form->VScroll->maximum(), extraHeight);
        QCOMPARE(form->VScroll->value(), 0);
    }
    if (horizontal)
        QCOMPARE(form->HScroll->maximum(), extraWidth);
}

void TestPicture::smallerPictureHidesTheBarAgain()
{
    const QSize viewport = form->picContainer->size();
    openPicture(kesto::test::solidPicture(10, viewport.height() + 80, qRgb(1, 2, 3)));
    QVERIFY(form->VScroll->isVisible());
    form->VScroll->setValue(40);
    QCOMPARE(form->picImage->y(), -40);
    openPicture(kesto::test::solidPicture(10, 10, qRgb(1, 2, 3)), QStringLiteral("small.png"));
    QVERIFY(!form->VScroll->isVisible());
    QCOMPARE(form->picImage->pos(), QPoint(0, 0));
}

void TestPicture::stepsForD250()
{
    const QSize viewport = form->picContainer->size();
    openPicture(
        kesto::test::solidPicture(viewport.width() + 250, viewport.height() + 250, qRgb(1, 2, 3)));
    QCOMPARE(form->VScroll->singleStep(), 4); // 2.5 + 1, half to even
    QCOMPARE(form->HScroll->singleStep(), 3); // 2.5 cut off, + 1
    QCOMPARE(form->VScroll->pageStep(), 84);  // 83.33 + 1, rounded
    QCOMPARE(form->HScroll->pageStep(), 84);  // 83 + 1
    QCOMPARE(form->VScroll->maximum(), 250);
    QCOMPARE(form->HScroll->maximum(), 250);
}

void TestPicture::scrollingMovesPictureAndFrame()
{
    const QSize viewport = form->picContainer->size();
    openPicture(
        kesto::test::solidPicture(viewport.width() + 300, viewport.height() + 300, qRgb(1, 2, 3)));
    form->moveFrameTo(120, 90);
    form->HScroll->setValue(100);
    form->VScroll->setValue(70);
    QCOMPARE(form->picImage->pos(), QPoint(-100, -70));
    // The frame stays on the same picture pixels and so moves with the picture on screen.
    QCOMPARE(form->shpPointer.left, 120.0f);
    const QPoint onScreen = form->picImage->mapTo(form->picContainer, QPoint(120, 90));
    QCOMPARE(onScreen, QPoint(20, 20));
    // Dragging the thumb does not move the picture until it is released.
    QVERIFY(!form->VScroll->hasTracking());
}

void TestPicture::badFilesKeepTheOldPicture_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("zero bytes") << QStringLiteral("empty.bmp") << QByteArray();
    QTest::newRow("text renamed .bmp")
        << QStringLiteral("notes.bmp") << QByteArray("just some text\n");
    QTest::newRow("missing file") << QStringLiteral("missing.jpg") << QByteArray("<none>");
    QTest::newRow("a folder") << QStringLiteral("folder.bmp") << QByteArray("<folder>");
}

void TestPicture::badFilesKeepTheOldPicture()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    openPicture(kesto::test::solidPicture(60, 50, qRgb(9, 9, 9)));
    form->moveFrameTo(3, 4);
    const QString path = dir->filePath(name);
    if (content == "<folder>") {
        QVERIFY(QDir(dir->path()).mkdir(name));
    } else if (content != "<none>") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    prompts->openAnswers.append(path);
    form->LoadImage();
    QCOMPARE(prompts->messages.size(), 1);
    // The name, then why: the reason the loader gives, never an empty line.
    const QString reason = loadGelImage(path).reason;
    QVERIFY(!reason.isEmpty());
    QCOMPARE(prompts->messages.at(0).text,
             QStringLiteral("Cannot load image:\r\n") + path + QStringLiteral("\r\n") + reason);
    QCOMPARE(prompts->messages.at(0).title, QStringLiteral("KestoScan"));
    QCOMPARE(prompts->messages.at(0).buttons, MessageButtons::Ok);
    QCOMPARE(form->picImage->picture().size(), QSize(60, 50));
    QCOMPARE(form->picImage->picture().pixel(0, 0), qRgb(9, 9, 9));
    QCOMPARE(form->shpPointer.left, 3.0f);
}

void TestPicture::sameCommandFromMenuAndToolbar()
{
    prompts->openAnswers = {QString(), QString()};
    form->tool(BandFile, QStringLiteral("mnuOpen")).action()->trigger();
    form->tool(BandToolbar, QStringLiteral("mnuOpen")).action()->trigger();
    QCOMPARE(prompts->openTitles.size(), 2);
}

void TestPicture::labelsAndUnknownToolsDoNothing()
{
    const QString scan = form->tool(BandToolbar, QStringLiteral("txtScan")).caption();
    for (const char* name : {"txtScan", "txtCell", "Tool2", "mnuFile", "mnuopen", "MNUOPEN"})
        dispatchMainTool(*form, QLatin1String(name));
    QVERIFY(prompts->openTitles.isEmpty());
    QVERIFY(prompts->messages.isEmpty());
    QCOMPARE(form->tool(BandToolbar, QStringLiteral("txtScan")).caption(), scan);
}

void TestPicture::redCheckedAtStartInBothBands()
{
    for (int band : {int(BandToolbar), int(BandPicture)}) {
        QVERIFY(form->tool(band, QStringLiteral("mnuRed")).isChecked());
        QVERIFY(!form->tool(band, QStringLiteral("mnuGreen")).isChecked());
        QVERIFY(!form->tool(band, QStringLiteral("mnuBlue")).isChecked());
        QVERIFY(form->tool(band, QStringLiteral("mnuRed")).action()->isChecked());
    }
}

QTEST_MAIN(TestPicture)
#include "tst_picture.moc"
