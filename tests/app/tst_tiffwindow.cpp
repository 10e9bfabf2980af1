// A multi-page WhiteIsZero TIFF from a chemiluminescence imager in the window: the page is
// chosen through Prompts, the read-outs and scans use the stored counts, the screen shows
// the picture inverted, the record keeps page and polarity, and Picture Information shows
// what the file says.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "core/deeppicture.h"
#include "support/fakeprompts.h"
#include "support/tiffvariants.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kesto;

class TestTiffWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void opensTheChosenPageInStoredCounts();
};

void TestTiffWindow::opensTheChosenPageInStoredCounts()
{
    test::FakePrompts prompts;
    frmScan form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QTemporaryDir dir;
    test::TiffVariant v;
    v.pages = 3;
    v.photometric = 0; // WhiteIsZero
    v.compression = 5; // LZW
    const QString path = dir.filePath(QStringLiteral("chemi.tif"));
    QVERIFY(test::writeTiffVariant(path, v));

    // Cancelling the page question opens nothing.
    prompts.itemAnswers << std::nullopt;
    QVERIFY(!form.openPicture(path));
    QVERIFY(form.picImage->picture().isNull());

    prompts.itemAnswers << 1;
    QVERIFY(form.openPicture(path));
    QCOMPARE(prompts.itemLists.size(), 2);
    QCOMPARE(prompts.itemLists.last().size(), 3);
    QCOMPARE(prompts.itemLists.last().at(1),
             QStringLiteral("Page 2: 40 x 31, 16-bit gray, WhiteIsZero - Exposure 30 s, page 2"));
    const QImage& picture = form.picImage->picture();
    QCOMPARE(picture.size(), QSize(test::tiffPageWidth(1), test::tiffPageHeight(1)));
    QCOMPARE(picture.format(), QImage::Format_Grayscale16);

    // The read-out shows the stored count; the screen shows the largest count black.
    const int stored = int(test::tiffStoredValue(v, 1, 3, 4, 0));
    QTest::mouseMove(form.picImage, QPoint(3, 4));
    QCOMPARE(form.tool(BandMove, QStringLiteral("mnuColor")).caption(),
             QStringLiteral("%1,%1,%1").arg(stored));
    form.moveFrameTo(20, 10); // the frame's outline away from the pixels looked at
    const QImage screen = form.picImage->grab().toImage();
    QCOMPARE(qGray(screen.pixel(0, 2)), 0);
    QCOMPARE(qGray(screen.pixel(0, 1)), 255);

    // A scan sums the stored counts, and its record names the page and the polarity.
    form.session().setFrame(FrameGeometry{0, 0, 9, 4});
    form.Calculate();
    double sum = 0;
    for (int y = 0; y <= 4; ++y)
        for (int x = 0; x <= 9; ++x)
            sum += test::tiffStoredValue(v, 1, x, y, 0);
    QCOMPARE(form.session().scanValue(), sum);
    QCOMPARE(form.session().record().entries().size(), std::size_t(1));
    QCOMPARE(form.session().record().entries().front().picture.page, 2);
    QCOMPARE(form.session().record().entries().front().picture.polarity,
             QStringLiteral("WhiteIsZero"));

    dispatchMainTool(form, QStringLiteral("mnuPictureInfo"));
    const QString info = prompts.messages.constLast().text;
    QVERIFY2(info.contains(QStringLiteral("Page: 2 of 3\nSize: 40 x 31 pixels\n")),
             qPrintable(info));
    QVERIFY2(info.contains(QStringLiteral("Polarity: WhiteIsZero")), qPrintable(info));
    QVERIFY2(info.contains(QStringLiteral("Description: Exposure 30 s, page 2")), qPrintable(info));
}

QTEST_MAIN(TestTiffWindow)
#include "tst_tiffwindow.moc"
