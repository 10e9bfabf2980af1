// A 16-bit picture in the window: read-outs, background pick and scans at 16 bits, the
// flag and cell note for doubtful samples, and the JPEG notice.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "components/worksheet.h"
#include "core/sheetdata.h"
#include "support/fakeprompts.h"
#include "support/gelpictures.h"

#include <QAction>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <memory>

using namespace kesto;

namespace {

// 200 x 100 gray at 16 bits: background 313 plus a slope, a band of 3913 over x 20..39,
// y 40..49, and a saturated band of 65535 over x 120..139, y 40..49.
std::uint16_t blotValue(int x, int y)
{
    if (y >= 40 && y <= 49 && x >= 120 && x <= 139)
        return 65535;
    if (y >= 40 && y <= 49 && x >= 20 && x <= 39)
        return 3913;
    return std::uint16_t(313 + x / 10);
}

QImage blot()
{
    QImage image(200, 100, QImage::Format_Grayscale16);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            reinterpret_cast<std::uint16_t*>(image.scanLine(y))[x] = blotValue(x, y);
    return image;
}

double expectedSum(int left, int top, int width, int height, int background)
{
    double sum = 0;
    for (int y = top; y <= top + height; ++y)
        for (int x = left; x <= left + width; ++x)
            sum += blotValue(x, y) - background;
    return sum;
}

} // namespace

class TestDeepPictureWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void scansAndReadoutsUseSixteenBits();
    void saturatedBandIsFlaggedUntilTheCellChanges();
    void jpegNoticeStaysWhileThePictureIsOpen();

private:
    QString readout(int band, const char* name) const
    {
        return form->tool(band, QLatin1String(name)).caption();
    }
    bool flagShown() const
    {
        const auto* action = form->tbrMain->findChild<QAction*>(QStringLiteral("actScanFlag"));
        return action && action->isVisible();
    }
    void scan(float left, float top)
    {
        form->shpPointer.width = 29;
        form->shpPointer.height = 19;
        form->moveFrameTo(left, top);
        form->Calculate();
    }
    std::unique_ptr<test::FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
};

void TestDeepPictureWindow::init()
{
    prompts = std::make_unique<test::FakePrompts>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->showPicture(blot());
}

void TestDeepPictureWindow::cleanup()
{
    form.reset();
    prompts.reset();
}

void TestDeepPictureWindow::scansAndReadoutsUseSixteenBits()
{
    QCOMPARE(form->picImage->picture().format(), QImage::Format_Grayscale16);
    QTest::mouseMove(form->picImage, QPoint(25, 45));
    QCOMPARE(readout(BandMove, "mnuColor"), QStringLiteral("3913,3913,3913"));
    QTest::mousePress(form->picImage, Qt::LeftButton, {}, QPoint(100, 90));
    QTest::mouseRelease(form->picImage, Qt::LeftButton, {}, QPoint(100, 90));
    QCOMPARE(readout(BandMove, "mnuBackground"), QStringLiteral("Bkgrnd (RGB)=323,323,323"));

    scan(15, 35);
    QCOMPARE(form->session().scanValue(), expectedSum(15, 35, 29, 19, 323));
    QCOMPARE(readout(BandToolbar, "txtScan"),
             QStringLiteral("Scan: ") + QString::number(expectedSum(15, 35, 29, 19, 323), 'f', 0));
    QVERIFY(!flagShown());

    dispatchMainTool(*form, QStringLiteral("mnuBackground"));
    QCOMPARE(prompts->messages.constLast().text,
             QStringLiteral("Background (16 bits per channel)=323,323,323\nR=323 (H143)\n"
                            "G=323 (H143)\nB=323 (H143)"));

    // Inverting works at 16 bits: each sample v becomes 65535 - v.
    dispatchMainTool(*form, QStringLiteral("mnuInvert"));
    QTest::mouseMove(form->picImage, QPoint(26, 45));
    QCOMPARE(readout(BandMove, "mnuColor"), QStringLiteral("61622,61622,61622"));
}

void TestDeepPictureWindow::saturatedBandIsFlaggedUntilTheCellChanges()
{
    scan(115, 35);
    QVERIFY(flagShown());
    QCOMPARE(form->lblScanFlag->text(), QStringLiteral("200 at full scale"));
    const QString note = form->f1Report->data().note(1, 2);
    QCOMPARE(note, QStringLiteral("200 of 600 samples at full scale, 0 at 0, 0 off the picture"));
    QCOMPARE(form->lblScanFlag->toolTip(), note);

    // The next scan into the same cell replaces the value and with it the note.
    scan(60, 35);
    QVERIFY(!flagShown());
    QCOMPARE(form->f1Report->data().note(1, 2), QString());

    // A frame over the edge counts the samples it reads as full scale.
    scan(190, 90);
    QCOMPARE(form->lblScanFlag->text(), QStringLiteral("500 off the picture"));
}

void TestDeepPictureWindow::jpegNoticeStaysWhileThePictureIsOpen()
{
    QTemporaryDir dir;
    const QImage gel = test::solidPicture(40, 30, qRgb(200, 200, 200));
    QVERIFY(form->lblLossy->isHidden());
    const QRect place = form->picContainer->geometry();
    QVERIFY(form->openPicture(test::savePicture(dir, QStringLiteral("gel.jpg"), gel)));
    QVERIFY(form->lblLossy->isVisible());
    QCOMPARE(form->lblLossy->text(),
             QStringLiteral("JPEG-compressed picture: scan values are approximate"));
    // The strip takes the top of the picture's place rather than hiding part of it.
    QCOMPARE(form->picContainer->geometry().bottom(), place.bottom());
    QVERIFY(form->lblLossy->geometry().bottom() < form->picContainer->geometry().top());
    form->resize(form->width() + 40, form->height() + 30);
    QTRY_VERIFY(form->lblLossy->geometry().bottom() < form->picContainer->geometry().top());

    QVERIFY(form->openPicture(test::savePicture(dir, QStringLiteral("gel.png"), gel)));
    QVERIFY(form->lblLossy->isHidden());
    QCOMPARE(form->picContainer->geometry().top(), place.top());
}

QTEST_MAIN(TestDeepPictureWindow)
#include "tst_deeppicture.moc"
