// The image and frame-move commands, started from the main window's bar.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "support/fakeprompts.h"
#include "support/gelpictures.h"

#include <QAction>
#include <QTest>

using namespace kesto;
using kesto::test::FakePrompts;

class TestMainCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void channelChoiceSetsBothBands_data();
    void channelChoiceSetsBothBands();
    void channelChoiceDoesNotRecalculate();
    void invertThenScanSeesInvertedPixels();
    void invertTwiceRestoresThePicture();
    void backgroundShowsItsText();
    void moveCommandsFromTheBar_data();
    void moveCommandsFromTheBar();
    void rightStepWalksToTheEdge();

private:
    void click(int band, const char* name)
    {
        form->tool(band, QLatin1String(name)).action()->trigger();
    }
    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
};

void TestMainCommands::init()
{
    prompts = std::make_unique<FakePrompts>();
    form = std::make_unique<frmScan>();
    form->showPicture(kesto::test::solidPicture(400, 300, qRgb(10, 200, 37)));
}

void TestMainCommands::cleanup()
{
    form.reset();
    prompts.reset();
}

void TestMainCommands::channelChoiceSetsBothBands_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("blue from the toolbar") << int(BandToolbar) << QStringLiteral("mnuBlue");
    QTest::newRow("green from the Image menu") << int(BandPicture) << QStringLiteral("mnuGreen");
    QTest::newRow("red again from the toolbar") << int(BandToolbar) << QStringLiteral("mnuRed");
}

void TestMainCommands::channelChoiceSetsBothBands()
{
    QFETCH(int, band);
    QFETCH(QString, chosen);
    form->tool(band, chosen).action()->trigger();
    for (int b : {int(BandToolbar), int(BandPicture)}) {
        for (const char* name : {"mnuRed", "mnuGreen", "mnuBlue"}) {
            const Tool& tool = form->tool(b, QLatin1String(name));
            QCOMPARE(tool.isChecked(), tool.name() == chosen);
            QCOMPARE(tool.action()->isChecked(), tool.name() == chosen);
        }
    }
}

void TestMainCommands::channelChoiceDoesNotRecalculate()
{
    click(BandToolbar, "mnuGreen");
    QCOMPARE(form->tool(BandToolbar, QStringLiteral("txtScan")).caption(),
             QStringLiteral("Scan: 0"));
}

void TestMainCommands::invertThenScanSeesInvertedPixels()
{
    form->session().setBackground(rgbValue(0, 0, 0));
    form->session().setFrame(FrameGeometry{0, 0, 9, 9});
    click(BandToolbar, "mnuInvert");
    QCOMPARE(form->picImage->picture().pixel(399, 299), qRgb(245, 55, 218));
    // Inverting integrates at once: 10 x 10 samples of red 245.
    QCOMPARE(form->session().scanValue(), 100.0 * 245);
    QCOMPARE(form->tool(BandToolbar, QStringLiteral("txtScan")).caption(),
             QStringLiteral("Scan: 24500"));
}

void TestMainCommands::invertTwiceRestoresThePicture()
{
    QImage noisy(123, 45, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < noisy.height(); ++y) {
        for (int x = 0; x < noisy.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            noisy.setPixel(x, y, 0xFF000000u | (seed >> 8));
        }
    }
    form->showPicture(noisy);
    click(BandPicture, "mnuInvert");
    QVERIFY(form->picImage->picture() != noisy);
    click(BandToolbar, "mnuInvert");
    QCOMPARE(form->picImage->picture(), noisy);
}

void TestMainCommands::backgroundShowsItsText()
{
    form->session().setBackground(rgbValue(255, 255, 255));
    click(BandMove, "mnuBackground");
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(
        prompts->messages.at(0).text,
        QStringLiteral("Background=16777215 HEX: FFFFFF\nR=255 (HFF)\nG=255 (HFF)\nB=255 (HFF)"));
    QCOMPARE(prompts->messages.at(0).title, QStringLiteral("KestoScan"));
    QCOMPARE(prompts->messages.at(0).buttons, MessageButtons::Ok);
    form->session().setBackground(0);
    click(BandPicture, "mnuBackground");
    QCOMPARE(prompts->messages.at(1).text,
             QStringLiteral("Background=0 HEX: 0\nR=0 (H0)\nG=0 (H0)\nB=0 (H0)"));
}

void TestMainCommands::moveCommandsFromTheBar_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QPointF>("expected");
    // A 40 x 100 frame at 30, 50 in the 400 x 300 picture.
    QTest::newRow("centre-left") << QStringLiteral("mnuCenterLeft") << QPointF(0, 100);
    QTest::newRow("bottom-centre") << QStringLiteral("mnuBottomCenter") << QPointF(180, 200);
    QTest::newRow("top-right") << QStringLiteral("mnuTopRight") << QPointF(360, 0);
    QTest::newRow("left step stops at 0") << QStringLiteral("mnuLeft") << QPointF(0, 50);
    QTest::newRow("up step stops at 0") << QStringLiteral("mnuTop") << QPointF(30, 0);
    QTest::newRow("down step") << QStringLiteral("mnuBottom") << QPointF(30, 150);
}

void TestMainCommands::moveCommandsFromTheBar()
{
    QFETCH(QString, command);
    QFETCH(QPointF, expected);
    form->session().setFrame(FrameGeometry{30, 50, 40, 100});
    form->moveFrameTo(30, 50);
    const QString size = form->tool(BandMove, QStringLiteral("mnuSize")).caption();
    form->tool(BandImage, command).action()->trigger();
    QCOMPARE(form->shpPointer.left, float(expected.x()));
    QCOMPARE(form->shpPointer.top, float(expected.y()));
    QCOMPARE(form->shpPoint.left + form->shpPoint.width, form->shpPointer.left + 40);
    QCOMPARE(form->shpPoint.top + form->shpPoint.height, form->shpPointer.top + 100);
    // Moves neither integrate nor refresh the read-outs.
    QCOMPARE(form->tool(BandToolbar, QStringLiteral("txtScan")).caption(),
             QStringLiteral("Scan: 0"));
    QCOMPARE(form->tool(BandMove, QStringLiteral("mnuSize")).caption(), size);
}

void TestMainCommands::rightStepWalksToTheEdge()
{
    form->session().setFrame(FrameGeometry{0, 0, 50, 300});
    QList<float> lefts;
    for (int i = 0; i < 9; ++i) {
        click(BandMove, "mnuRight");
        lefts.append(form->shpPointer.left);
    }
    QCOMPARE(lefts, (QList<float>{50, 100, 150, 200, 250, 300, 350, 350, 350}));
}

QTEST_MAIN(TestMainCommands)
#include "tst_maincommands.moc"
