#include "controls/kestobutton.h"
#include "dialogs/frmmsg.h"
#include "support/fakeprompts.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <cmath>
#include <functional>

using namespace kesto;

namespace {

// Shows the dialog as execDialog would, runs the test's steps on it, and closes it with
// the window's close control if the steps left it open.
std::function<int(QDialog&)> driveWith(std::function<void(frmMsg&)> steps)
{
    return [steps](QDialog& dialog) {
        auto& msg = static_cast<frmMsg&>(dialog);
        msg.show();
        if (!QTest::qWaitForWindowExposed(&msg))
            return int(QDialog::Rejected);
        steps(msg);
        if (msg.isVisible())
            msg.close();
        return msg.result();
    };
}

} // namespace

class TestFrmMsg : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void okModeLayout();
    void questionCaptions_data();
    void questionCaptions();
    void startTimerFocusesHiddenBox();
    void keysInQuestionMode_data();
    void keysInQuestionMode();
    void anyKeyClosesOutsideQuestionMode_data();
    void anyKeyClosesOutsideQuestionMode();
    void buttonsByMouse_data();
    void buttonsByMouse();
    void messageBoxSize_data();
    void messageBoxSize();
    void longMessageWraps();
    void callsAreIndependent();
    void pointerIsResetToArrow();
};

void TestFrmMsg::okModeLayout()
{
    test::FakePrompts prompts;
    prompts.dialogHandler = driveWith([](frmMsg& msg) {
        QCOMPARE(msg.windowTitle(), QStringLiteral("KestoScan V 4.0.1"));
        QCOMPARE(msg.lblWelcome->text(), QStringLiteral("Heading"));
        QCOMPARE(msg.lblDisplay->text(), QStringLiteral("Foot line"));
        QCOMPARE(msg.txtMsg->toPlainText(), QStringLiteral("The message"));
        QVERIFY(msg.cmdAction[0]->isVisible());
        QVERIFY(!msg.cmdAction[1]->isVisible());
        QVERIFY(!msg.cmdAction[2]->isVisible());
        QCOMPARE(msg.cmdAction[0]->Caption(), QStringLiteral("OK"));
        QCOMPARE(msg.cmdAction[0]->ToolTipText(), QStringLiteral("Return to main screen"));
        QVERIFY(msg.txtFocus->x() >= msg.width()); // out of sight
        QVERIFY(msg.imgExclamatin->pixmap().toImage() != msg.imgQuestion->pixmap().toImage());
    });
    QCOMPARE(int(Module1::AskUser(QStringLiteral("The message"), false, QStringLiteral("Heading"),
                                  QStringLiteral("Foot line"), QString(), QString())),
             0);
    QCOMPARE(prompts.dialogs, 1);
}

void TestFrmMsg::questionCaptions_data()
{
    QTest::addColumn<QString>("yesCaption");
    QTest::addColumn<QString>("noCaption");
    QTest::addColumn<QString>("shownYes");
    QTest::addColumn<QString>("shownNo");
    QTest::newRow("empty captions keep Yes and No") << QString() << QString() << "Yes"
                                                    << "No";
    QTest::newRow("custom captions replace them") << "Clear"
                                                  << "Keep"
                                                  << "Clear"
                                                  << "Keep";
    QTest::newRow("only the Yes caption") << "Delete" << QString() << "Delete"
                                          << "No";
}

void TestFrmMsg::questionCaptions()
{
    QFETCH(QString, yesCaption);
    QFETCH(QString, noCaption);
    QFETCH(QString, shownYes);
    QFETCH(QString, shownNo);
    test::FakePrompts prompts;
    prompts.dialogHandler = driveWith([&](frmMsg& msg) {
        QVERIFY(!msg.cmdAction[0]->isVisible());
        QVERIFY(msg.cmdAction[1]->isVisible());
        QVERIFY(msg.cmdAction[2]->isVisible());
        QCOMPARE(msg.cmdAction[1]->Caption(), shownYes);
        QCOMPARE(msg.cmdAction[2]->Caption(), shownNo);
        QCOMPARE(msg.imgExclamatin->pixmap().toImage(), msg.imgQuestion->pixmap().toImage());
    });
    Module1::AskUser(QStringLiteral("Clear the sheet?"), true, QString(), QString(), yesCaption,
                     noCaption);
    QCOMPARE(prompts.dialogs, 1);
}

void TestFrmMsg::startTimerFocusesHiddenBox()
{
    test::FakePrompts prompts;
    prompts.dialogHandler = driveWith([](frmMsg& msg) {
        QVERIFY(QTest::qWaitForWindowActive(&msg));
        QTRY_COMPARE(msg.cmdAction[0]->look(), KestoButton::Look::Selected);
        QVERIFY(!msg.tmrStart->isActive());
        QVERIFY(msg.txtFocus->hasFocus());
    });
    Module1::AskUser(QStringLiteral("Done"), false, QString(), QString(), QString(), QString());
}

void TestFrmMsg::keysInQuestionMode_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<int>("answer");
    QTest::newRow("Y") << int(Qt::Key_Y) << int(Qt::NoModifier) << true << 1;
    QTest::newRow("Shift+Y") << int(Qt::Key_Y) << int(Qt::ShiftModifier) << true << 1;
    QTest::newRow("N") << int(Qt::Key_N) << int(Qt::NoModifier) << true << 0;
    QTest::newRow("Shift+N") << int(Qt::Key_N) << int(Qt::ShiftModifier) << true << 0;
    QTest::newRow("Enter does nothing") << int(Qt::Key_Return) << int(Qt::NoModifier) << false << 0;
    QTest::newRow("Escape does nothing")
        << int(Qt::Key_Escape) << int(Qt::NoModifier) << false << 0;
    QTest::newRow("another letter does nothing")
        << int(Qt::Key_A) << int(Qt::NoModifier) << false << 0;
}

void TestFrmMsg::keysInQuestionMode()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, closes);
    QFETCH(int, answer);
    test::FakePrompts prompts;
    bool closed = false;
    prompts.dialogHandler = driveWith([&](frmMsg& msg) {
        QVERIFY(QTest::qWaitForWindowActive(&msg));
        QTRY_VERIFY(msg.txtFocus->hasFocus());
        QTest::keyClick(msg.txtFocus, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        closed = !msg.isVisible();
        // The pressed button is drawn selected again before its action runs.
        if (closed)
            QCOMPARE(msg.cmdAction[key == Qt::Key_Y ? 1 : 2]->look(), KestoButton::Look::Selected);
    });
    const int result = Module1::AskUser(QStringLiteral("Clear the sheet?"), true, QString(),
                                        QString(), QString(), QString());
    QCOMPARE(closed, closes);
    QCOMPARE(result, answer);
}

void TestFrmMsg::anyKeyClosesOutsideQuestionMode_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("letter Q") << int(Qt::Key_Q);
    QTest::newRow("Y is just a key here") << int(Qt::Key_Y);
    QTest::newRow("F2") << int(Qt::Key_F2);
}

void TestFrmMsg::anyKeyClosesOutsideQuestionMode()
{
    QFETCH(int, key);
    test::FakePrompts prompts;
    bool closed = false;
    prompts.dialogHandler = driveWith([&](frmMsg& msg) {
        QVERIFY(QTest::qWaitForWindowActive(&msg));
        QTRY_VERIFY(msg.txtFocus->hasFocus());
        QTest::keyClick(msg.txtFocus, Qt::Key(key));
        closed = !msg.isVisible();
    });
    QCOMPARE(int(Module1::AskUser(QStringLiteral("Saved"), false, QString(), QString(), QString(),
                                  QString())),
             0);
    QVERIFY(closed);
}

void TestFrmMsg::buttonsByMouse_data()
{
    QTest::addColumn<bool>("yesNo");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("answer");
    QTest::newRow("OK") << false << 0 << 0;
    QTest::newRow("Yes") << true << 1 << 1;
    QTest::newRow("No") << true << 2 << 0;
}

void TestFrmMsg::buttonsByMouse()
{
    QFETCH(bool, yesNo);
    QFETCH(int, index);
    QFETCH(int, answer);
    test::FakePrompts prompts;
    bool closed = false;
    prompts.dialogHandler = driveWith([&](frmMsg& msg) {
        KestoButton* button = msg.cmdAction[index];
        QTest::mouseClick(button, Qt::LeftButton, {},
                          QPoint(button->width() / 2, button->height() / 2));
        closed = !msg.isVisible();
    });
    QCOMPARE(int(Module1::AskUser(QStringLiteral("?"), yesNo, QString(), QString(), QString(),
                                  QString())),
             answer);
    QVERIFY(closed);
}

void TestFrmMsg::messageBoxSize_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("one line") << QStringLiteral("Clear all results?")
                              << QStringList{QStringLiteral("Clear all results?")};
    QTest::newRow("three lines") << QStringLiteral(
                                        "First line\nA somewhat longer second line\nThird")
                                 << QStringList{QStringLiteral("First line"),
                                                QStringLiteral("A somewhat longer second line"),
                                                QStringLiteral("Third")};
    QTest::newRow("CR LF line ends")
        << QStringLiteral("Top\r\nBottom")
        << QStringList{QStringLiteral("Top"), QStringLiteral("Bottom")};
}

void TestFrmMsg::messageBoxSize()
{
    QFETCH(QString, message);
    QFETCH(QStringList, lines);
    test::FakePrompts prompts;
    prompts.dialogHandler = driveWith([&](frmMsg& msg) {
        // 15 twips per pixel: the text's own size in twips plus 100.
        const QFontMetricsF metrics(msg.font());
        double widest = 0;
        for (const QString& line : lines)
            widest = qMax(widest, metrics.horizontalAdvance(line));
        const double heightTwips = lines.size() * metrics.height() * 15 + 100;
        const double widthTwips = widest * 15 + 100;
        QCOMPARE(msg.txtMsg->height(), int(std::lround(heightTwips / 15)));
        QCOMPARE(msg.txtMsg->width(), int(std::lround(widthTwips / 15)));
        // Centred across, and in the space above the 30-pixel buttons.
        QVERIFY(qAbs(msg.txtMsg->x() - (msg.width() - widthTwips / 15) / 2) <= 1);
        QVERIFY(qAbs(msg.txtMsg->y() - (msg.height() - heightTwips / 15 - 30) / 2) <= 1);
        // The box fits the text: no line of it wraps.
        int shownLines = 0;
        for (QTextBlock block = msg.txtMsg->document()->begin(); block.isValid();
             block = block.next())
            shownLines += block.layout()->lineCount();
        QCOMPARE(shownLines, int(lines.size()));
    });
    Module1::AskUser(message, false, QString(), QString(), QString(), QString());
    QCOMPARE(prompts.dialogs, 1);
}

void TestFrmMsg::longMessageWraps()
{
    const QString message =
        QStringLiteral("This message is far too long for one line. ").repeated(8);
    test::FakePrompts prompts;
    prompts.dialogHandler = driveWith([&](frmMsg& msg) {
        QVERIFY(msg.txtMsg->x() >= 0);
        QVERIFY(msg.txtMsg->geometry().right() < msg.width());
        QVERIFY(msg.txtMsg->height() > QFontMetrics(msg.font()).height() * 2);
        QCOMPARE(msg.txtMsg->toPlainText(), message); // nothing cut off
        QVERIFY(msg.txtMsg->geometry().bottom() < msg.lblDisplay->y());
    });
    Module1::AskUser(message, false, QString(), QString(), QString(), QString());
}

void TestFrmMsg::callsAreIndependent()
{
    test::FakePrompts prompts;
    QList<int> answersAtStart;
    QPointer<frmMsg> first;
    prompts.dialogHandler = driveWith([&](frmMsg& msg) {
        answersAtStart.append(msg.Answer());
        first = &msg;
        QTest::mouseClick(msg.cmdAction[1], Qt::LeftButton, {}, QPoint(10, 10)); // Yes
    });
    QCOMPARE(int(Module1::AskUser(QStringLiteral("One?"), true, QString(), QString(), QString(),
                                  QString())),
             1);
    QVERIFY(first.isNull()); // dropped after the call

    prompts.dialogHandler = driveWith([&](frmMsg& msg) {
        answersAtStart.append(msg.Answer());
        msg.close(); // the window's close control
    });
    QCOMPARE(int(Module1::AskUser(QStringLiteral("Two?"), true, QString(), QString(), QString(),
                                  QString())),
             0);
    QCOMPARE(answersAtStart, (QList<int>{0, 0}));
    QCOMPARE(prompts.dialogs, 2);
}

void TestFrmMsg::pointerIsResetToArrow()
{
    test::FakePrompts prompts;
    bool arrow = false;
    prompts.dialogHandler =
        driveWith([&](frmMsg&) { arrow = QApplication::overrideCursor() == nullptr; });
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Module1::AskUser(QStringLiteral("Busy"), false, QString(), QString(), QString(), QString());
    QVERIFY(arrow);
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

QTEST_MAIN(TestFrmMsg)
#include "tst_frmmsg.moc"
