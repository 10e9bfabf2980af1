// The background method through the main window: chosen from the Image menu, shown in the
// read-out and the Background message, and used by every scan.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "components/worksheet.h"
#include "dialogs/backgroundmethoddialog.h"
#include "support/fakeprompts.h"

#include <QApplication>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

using namespace kesto;
using kesto::test::FakePrompts;

class TestBackgroundMethodWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void scansUseTheChosenMethod_data();
    void scansUseTheChosenMethod();
    void aBadMethodChangesNothing();
    void theDialogRemembersWhatWasTyped();
    void aBorderOffThePictureWritesNoValue();

private:
    // Background Method...: the dialog set to the method, then OK (or Cancel).
    void choose(const BackgroundMethod& method, bool ok = true)
    {
        prompts->dialogHandler = [method, ok](QDialog& dialog) {
            auto& chooser = dynamic_cast<BackgroundMethodDialog&>(dialog);
            chooser.setMethod(method);
            if (!ok)
                return int(QDialog::Rejected);
            chooser.accept();
            return chooser.result();
        };
        form->tool(BandPicture, QStringLiteral("mnuBackgroundMethod")).action()->trigger();
    }
    void choose(const QString& method) { choose(*parseBackgroundMethod(method)); }
    void scan(int left, int top, int width, int height)
    {
        form->session().setFrame(
            FrameGeometry{float(left), float(top), float(width), float(height)});
        form->Calculate();
    }
    QString readout() const
    {
        return form->tool(BandMove, QStringLiteral("mnuBackground")).caption();
    }

    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
};

void TestBackgroundMethodWindow::init()
{
    prompts = std::make_unique<FakePrompts>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    // A background rising by one grey step every 10 columns, with a band of 60 steps above
    // it over columns 40-59 and rows 20-29.
    QImage picture(100, 50, QImage::Format_RGB32);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) {
            const int v = 100 + x / 10 + (x >= 40 && x < 60 && y >= 20 && y < 30 ? 60 : 0);
            picture.setPixel(x, y, qRgb(v, v, v));
        }
    form->showPicture(picture);
}

void TestBackgroundMethodWindow::cleanup()
{
    form.reset();
    prompts.reset();
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void TestBackgroundMethodWindow::scansUseTheChosenMethod_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");
    // Picked at (80, 45), grey 108 (107, 108, 108 across the 3 x 3 square). The band's
    // frame, columns 38-61 and rows 14-35, holds 24 x 22 samples: the band's 12000 over a
    // background summing to 55176 (103 to 106, 104.5 on average).
    QTest::newRow("picked pixel") << "pixel"
                                  << "10152"
                                  << "Bkgrnd (RGB)=108,108,108";
    QTest::newRow("picked area") << "area:3"
                                 << "10328"
                                 << "Area 3x3=107.7,107.7,107.7";
    QTest::newRow("frame border") << "border:2:mean"
                                  << "12000"
                                  << "Border 2 mean=104.5";
    QTest::newRow("lane baseline") << "lane:minima"
                                   << "12000"
                                   << "Lane minima";
}

void TestBackgroundMethodWindow::scansUseTheChosenMethod()
{
    QFETCH(QString, method);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    choose(method);
    QCOMPARE(prompts->dialogs, 1);
    form->picImage_MouseDown(80, 45);
    form->picImage_MouseUp(80, 45);
    scan(38, 14, 23, 21);
    QCOMPARE(form->f1Report->text(1, 2), value);
    QCOMPARE(readout(), shown);
    // The Background message names a method other than the picked pixel.
    form->tool(BandPicture, QStringLiteral("mnuBackground")).action()->trigger();
    QCOMPARE(prompts->messages.constLast().text.contains(QStringLiteral("Method: ")),
             method != QLatin1String("pixel"));
}

void TestBackgroundMethodWindow::aBadMethodChangesNothing()
{
    // An even area side is refused with the reason; Cancel changes nothing either.
    BackgroundMethod even;
    even.kind = BackgroundMethod::Kind::PickedArea;
    even.areaSize = 4;
    choose(even);
    QCOMPARE(prompts->messages.size(), 1);
    QVERIFY(prompts->messages.constFirst().text.contains(QStringLiteral("odd")));
    QCOMPARE(form->session().backgroundMethod(), BackgroundMethod{});
    choose(*parseBackgroundMethod(QStringLiteral("lane:minima")), false);
    QCOMPARE(form->session().backgroundMethod(), BackgroundMethod{});
}

void TestBackgroundMethodWindow::theDialogRemembersWhatWasTyped()
{
    // A ball of 40 rows chosen, then the picked pixel with the ball box typed to 55 and
    // the border to 7, then a cancelled dialog with the area typed to 9.
    choose(QStringLiteral("lane:ball:40"));
    BackgroundMethod typed = *parseBackgroundMethod(QStringLiteral("pixel"));
    typed.ballRadius = 55;
    typed.borderWidth = 7;
    choose(typed);
    QCOMPARE(form->session().backgroundMethod(), BackgroundMethod{});
    typed.areaSize = 9;
    choose(typed, false);
    BackgroundMethod shown;
    prompts->dialogHandler = [&shown](QDialog& dialog) {
        auto& chooser = dynamic_cast<BackgroundMethodDialog&>(dialog);
        shown = chooser.method();
        // Only the chosen method's settings can be typed.
        if (chooser.areaBox()->isEnabled() || chooser.ballBox()->isEnabled())
            shown = BackgroundMethod{};
        return int(QDialog::Rejected);
    };
    form->tool(BandPicture, QStringLiteral("mnuBackgroundMethod")).action()->trigger();
    QCOMPARE(shown.kind, BackgroundMethod::Kind::PickedPixel);
    QCOMPARE(shown.ballRadius, 55);
    QCOMPARE(shown.borderWidth, 7);
    QCOMPARE(shown.areaSize, 9);
}

void TestBackgroundMethodWindow::aBorderOffThePictureWritesNoValue()
{
    choose(QStringLiteral("border:2:median"));
    scan(1000, 1000, 10, 10);
    QCOMPARE(form->f1Report->text(1, 2), QString());
    QVERIFY(prompts->messages.constLast().text.contains(QStringLiteral("off the picture")));
}

QTEST_MAIN(TestBackgroundMethodWindow)
#include "tst_backgroundmethod.moc"
