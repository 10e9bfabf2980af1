#include "controls/buttonpage.h"
#include "controls/kestobutton.h"
#include "core/error.h"
#include "support/fakeprompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kesto;

namespace {

QPixmap redPicture()
{
    QPixmap pixmap(10, 10);
    pixmap.fill(Qt::red);
    return pixmap;
}

} // namespace

class TestButtonPage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pageLayout();
    void loadsEveryField();
    void appliesEveryField();
    void customPointerRoundTrips();
    void valueTickClearedWritesFalse();
    void changedMark_data();
    void changedMark();
    void alignmentAppliesAtOnce();
    void badNumberChangesNothing_data();
    void badNumberChangesNothing();
    void hostReportsRefusedApply();
    void onlyFirstSelectedIsWritten();
};

void TestButtonPage::pageLayout()
{
    ButtonPageHost host;
    Button* page = host.page();
    QCOMPARE(page->windowTitle(), QStringLiteral("Button"));
    QCOMPARE(page->size(), QSize(395, 233)); // 5925 x 3495 twips
    QCOMPARE(page->lblMousePointer[0]->text(), QStringLiteral("MousePointer:"));
    QCOMPARE(page->lblMousePointer[1]->text(), QStringLiteral("Tool tip text:"));
    QCOMPARE(page->lblCaption->text(), QStringLiteral("Caption:"));
    QCOMPARE(page->lblDelta->text(), QStringLiteral("Delta:"));
    QCOMPARE(page->lblAlignment->text(), QStringLiteral("Alignment:"));
    QCOMPARE(page->chkSwitch->text(), QStringLiteral("Switch"));
    QCOMPARE(page->chkValue->text(), QStringLiteral("Value"));
    QCOMPARE(page->txtDelta->geometry(), QRect(6, 111, 180, 22));  // 90, 1670, 2700, 330
    QCOMPARE(page->chkValue->geometry(), QRect(200, 51, 180, 19)); // 3000, 770, 2700, 285
    QCOMPARE(page->cboMouse->count(), 17);
    QCOMPARE(page->cboMouse->itemText(6), QStringLiteral("6 - Size NE SW"));
    QCOMPARE(page->cboMouse->itemData(15).toInt(), 15);
    QCOMPARE(page->cboMouse->itemText(16), QStringLiteral("99 - Custom"));
    QCOMPARE(page->cboMouse->itemData(16).toInt(), 99);
}

void TestButtonPage::loadsEveryField()
{
    KestoButton button;
    button.setUserMode(false);
    button.setValue(true);
    button.setSwitch(true);
    button.setAlignment(2);
    button.setDelta(60);
    button.setCaption(QStringLiteral("&Go"));
    button.setToolTipText(QStringLiteral("Start"));
    button.setMousePointer(11);
    ButtonPageHost host(&button);
    Button* page = host.page();
    QCOMPARE(page->chkValue->isChecked(), true);
    QCOMPARE(page->chkSwitch->isChecked(), true);
    QCOMPARE(page->txtAlignment->text(), QStringLiteral("2"));
    QCOMPARE(page->txtDelta->text(), QStringLiteral("60"));
    QCOMPARE(page->txtCaption->text(), QStringLiteral("&Go"));
    QCOMPARE(page->txtToolTopText->text(), QStringLiteral("Start"));
    QCOMPARE(page->cboMouse->currentText(), QStringLiteral("11 - Hourglass"));
    QCOMPARE(host.changed(), false);
    QCOMPARE(host.applyButton()->isEnabled(), false);
}

void TestButtonPage::appliesEveryField()
{
    KestoButton button;
    ButtonPageHost host(&button);
    Button* page = host.page();
    page->chkValue->setChecked(true);
    page->chkSwitch->setChecked(true);
    page->txtAlignment->setText(QStringLiteral("1"));
    page->txtDelta->setText(QStringLiteral(" 90 "));
    page->txtCaption->setText(QStringLiteral("&Save"));
    page->cboMouse->setCurrentIndex(3);
    page->txtToolTopText->setText(QStringLiteral("Save the sheet"));
    page->applyChanges();
    QCOMPARE(button.Value(), true);
    QCOMPARE(button.Switch(), true);
    QCOMPARE(int(button.Alignment()), 1);
    QCOMPARE(int(button.Delta()), 90);
    QCOMPARE(button.Caption(), QStringLiteral("&Save"));
    QCOMPARE(int(button.MousePointer()), 3);
    QCOMPARE(button.ToolTipText(), QStringLiteral("Save the sheet"));
}

void TestButtonPage::customPointerRoundTrips()
{
    KestoButton button;
    button.setMousePointer(99);
    ButtonPageHost host(&button);
    QCOMPARE(host.page()->cboMouse->currentIndex(), 16);
    QCOMPARE(host.page()->cboMouse->currentText(), QStringLiteral("99 - Custom"));
    button.setMousePointer(0);
    host.page()->applyChanges();
    QCOMPARE(int(button.MousePointer()), 99);
}

void TestButtonPage::valueTickClearedWritesFalse()
{
    KestoButton button;
    button.setValue(true);
    ButtonPageHost host(&button);
    QCOMPARE(host.page()->chkValue->isChecked(), true);
    host.page()->chkValue->setChecked(false);
    host.page()->applyChanges();
    QCOMPARE(button.Value(), false);
}

void TestButtonPage::changedMark_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("marks");
    QTest::newRow("typing a caption") << QStringLiteral("txtCaption") << true;
    QTest::newRow("typing a delta") << QStringLiteral("txtDelta") << true;
    QTest::newRow("typing an alignment") << QStringLiteral("txtAlignment") << true;
    QTest::newRow("clicking Switch") << QStringLiteral("chkSwitch") << true;
    QTest::newRow("choosing a pointer") << QStringLiteral("cboMouse") << true;
    QTest::newRow("ticking Value only") << QStringLiteral("chkValue") << false;
    QTest::newRow("typing a tool tip only") << QStringLiteral("txtToolTopText") << false;
}

void TestButtonPage::changedMark()
{
    QFETCH(QString, control);
    QFETCH(bool, marks);
    ButtonPageHost host;
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QWidget* widget = host.page()->findChild<QWidget*>(control);
    QVERIFY(widget);
    if (qobject_cast<QCheckBox*>(widget))
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, widget->height() / 2));
    else if (qobject_cast<QComboBox*>(widget))
        QTest::keyClick(widget, Qt::Key_Down);
    else
        QTest::keyClicks(widget, QStringLiteral("7"));
    QCOMPARE(host.changed(), marks);
    QCOMPARE(host.applyButton()->isEnabled(), marks);
}

void TestButtonPage::alignmentAppliesAtOnce()
{
    KestoButton button;
    button.resize(150, 40);
    button.setCaption(QString());
    button.setPicture(redPicture());
    ButtonPageHost host(&button);
    host.page()->txtAlignment->setText(QStringLiteral("1"));
    host.page()->applyChanges();
    // At the right: x = 2250 - 45 - 150 twips = pixel 137.
    QCOMPARE(button.buffer().pixelColor(140, 20), QColor(Qt::red));
    QVERIFY(button.buffer().pixelColor(6, 20) != QColor(Qt::red));
}

void TestButtonPage::badNumberChangesNothing_data()
{
    QTest::addColumn<QString>("alignment");
    QTest::addColumn<QString>("delta");
    QTest::addColumn<QString>("field");
    QTest::newRow("Delta not a number")
        << QStringLiteral("1") << QStringLiteral("wide") << QStringLiteral("Delta");
    QTest::newRow("Delta overflows")
        << QStringLiteral("1") << QStringLiteral("40000") << QStringLiteral("Delta");
    QTest::newRow("Alignment empty")
        << QString() << QStringLiteral("30") << QStringLiteral("Alignment");
    QTest::newRow("Alignment not a number")
        << QStringLiteral("left") << QStringLiteral("30") << QStringLiteral("Alignment");
}

void TestButtonPage::badNumberChangesNothing()
{
    QFETCH(QString, alignment);
    QFETCH(QString, delta);
    QFETCH(QString, field);
    KestoButton button;
    ButtonPageHost host(&button);
    Button* page = host.page();
    page->chkValue->setChecked(true);
    page->chkSwitch->setChecked(true);
    page->txtAlignment->setText(alignment);
    page->txtDelta->setText(delta);
    page->txtCaption->setText(QStringLiteral("Changed"));
    try {
        page->applyChanges();
        QFAIL("the apply was not refused");
    } catch (const Error& error) {
        QVERIFY2(error.message().startsWith(field), qPrintable(error.message()));
    }
    QCOMPARE(button.Value(), false);
    QCOMPARE(button.Switch(), false);
    QCOMPARE(int(button.Alignment()), 0);
    QCOMPARE(int(button.Delta()), 45);
    QCOMPARE(button.Caption(), QStringLiteral("KestoButton"));
}

void TestButtonPage::hostReportsRefusedApply()
{
    test::FakePrompts prompts;
    prompts.messageAnswers.append(MessageAnswer::Ok);
    KestoButton button;
    ButtonPageHost host(&button);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    host.page()->txtDelta->selectAll();
    QTest::keyClicks(host.page()->txtDelta, QStringLiteral("x1"));
    QVERIFY(host.applyButton()->isEnabled());
    QTest::mouseClick(host.applyButton(), Qt::LeftButton);
    QCOMPARE(prompts.messages.size(), 1);
    QVERIFY(prompts.messages.at(0).text.contains(QLatin1String("\"x1\"")));
    QCOMPARE(host.changed(), true); // what was typed stays, ready to be corrected
    QCOMPARE(host.page()->txtDelta->text(), QStringLiteral("x1"));
    QCOMPARE(int(button.Delta()), 45);

    host.page()->txtDelta->setText(QStringLiteral("30"));
    QVERIFY(host.apply());
    QCOMPARE(int(button.Delta()), 30);
    QCOMPARE(host.changed(), false);
}

void TestButtonPage::onlyFirstSelectedIsWritten()
{
    KestoButton first, second;
    first.setUserMode(false);
    second.setUserMode(false);
    second.setCaption(QStringLiteral("Second"));
    ButtonPageHost host(&first);
    host.setSelection({&first, &second});
    QCOMPARE(host.page()->txtCaption->text(), QStringLiteral("KestoButton"));
    host.page()->txtCaption->setText(QStringLiteral("Both?"));
    host.page()->applyChanges();
    QCOMPARE(first.Caption(), QStringLiteral("Both?"));
    QCOMPARE(second.Caption(), QStringLiteral("Second"));
}

QTEST_MAIN(TestButtonPage)
#include "tst_buttonpage.moc"
