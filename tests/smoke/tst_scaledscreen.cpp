// The main window on a full-HD screen at a scale factor of 2 (960 x 540 logical pixels,
// smaller than the window's design size): it starts within the screen, and the read-outs
// stay in view down to the minimum width.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QTest>
#include <QToolBar>

using namespace kesto;

class TestScaledScreen : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startsWithinTheScreen();
    void readoutsStayInView_data();
    void readoutsStayInView();
};

void TestScaledScreen::startsWithinTheScreen()
{
    frmScan form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.screen()->devicePixelRatio(), 2.0);
    QVERIFY(form.screen()->availableGeometry().contains(form.frameGeometry()));
}

void TestScaledScreen::readoutsStayInView_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("as it starts") << 0;
    QTest::newRow("the minimum width") << 300; // snaps back to the minimum
}

void TestScaledScreen::readoutsStayInView()
{
    QFETCH(int, width);
    frmScan form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    if (width)
        form.resize(width, form.height());
    QCoreApplication::processEvents();
    const struct
    {
        int band;
        const char* name;
    } readouts[] = {{BandToolbar, "txtCell"}, {BandToolbar, "txtScan"}, {BandMove, "mnuBackground"},
                    {BandMove, "mnuDisplay"}, {BandMove, "mnuSize"},    {BandMove, "mnuColor"}};
    for (const auto& readout : readouts) {
        const Tool& tool = form.tool(readout.band, QLatin1String(readout.name));
        // On the band's toolbar, or on the second row it wraps into.
        QToolBar* bar = tool.band().toolBar();
        QToolBar* wrap =
            form.tbrMain->findChild<QToolBar*>(bar->objectName() + QStringLiteral("Wrap"));
        QVERIFY(wrap);
        QWidget* widget = tool.label() ? static_cast<QWidget*>(tool.label())
                                       : bar->widgetForAction(tool.action());
        if (!widget)
            widget = wrap->widgetForAction(tool.action());
        QVERIFY2(widget && widget->isVisible(), readout.name);
        auto* row = qobject_cast<QToolBar*>(widget->parentWidget());
        QVERIFY2(row == bar || row == wrap, readout.name);
        QCoreApplication::sendPostedEvents();
        row->layout()->activate();
        QVERIFY2(row->rect().contains(widget->geometry()), readout.name);
        QVERIFY2(form.tbrMain->rect().contains(row->geometry()), readout.name);
    }
}

QTEST_MAIN(TestScaledScreen)
#include "tst_scaledscreen.moc"
