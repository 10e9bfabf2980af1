#include "components/commandbar.h"
#include "core/error.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

using namespace kesto;

namespace {

BarLayout sampleLayout()
{
    auto tool = [](const char* name, const char* caption, ToolKind kind = ToolKind::Button) {
        ToolSpec t;
        t.name = QLatin1String(name);
        t.caption = QLatin1String(caption);
        t.kind = kind;
        return t;
    };
    ToolSpec open = tool("mnuOpen", "&Open");
    ToolSpec red = tool("mnuRed", "Red", ToolKind::CheckButton);
    red.checked = true;
    ToolSpec green = tool("mnuGreen", "Green", ToolKind::CheckButton);
    ToolSpec file = tool("mnuFile", "&File", ToolKind::MenuEntry);
    file.opens = QStringLiteral("bndFile");
    return {
        BandSpec{QStringLiteral("bndMain"), QStringLiteral("Main"), BandKind::MenuBar, {file}},
        BandSpec{QStringLiteral("bndFile"),
                 QStringLiteral("&File"),
                 BandKind::Popup,
                 {open, tool("Tool1", "", ToolKind::Separator), red}},
        BandSpec{QStringLiteral("bndTools"),
                 QStringLiteral("Tools"),
                 BandKind::Toolbar,
                 {open, red, green, tool("txtScan", "Scan: 0", ToolKind::Label)}},
    };
}

} // namespace

class TestCommandBar : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void bandsByIndexAndName();
    void badLookupsRaiseErrors_data();
    void badLookupsRaiseErrors();
    void copiesInBandsAreSeparate();
    void clickCarriesToolName();
    void checkedStateChangesOnlyWhenSet();
    void labelCaptionShowsAtOnce();
    void menuEntryOpensItsPopup();
    void switchedOffToolIsGreyed();
    void clientAreaControlFillsTheRest();
};

void TestCommandBar::bandsByIndexAndName()
{
    QWidget host;
    CommandBar bar(&host, sampleLayout());
    QCOMPARE(bar.bandCount(), 3);
    QCOMPARE(bar.band(1).name(), QStringLiteral("bndFile"));
    QCOMPARE(&bar.band(QStringLiteral("bndTools")), &bar.band(2));
    QCOMPARE(bar.band(0).kind(), BandKind::MenuBar);
    QVERIFY(bar.band(0).menuBar());
    QVERIFY(bar.band(1).menu());
    QVERIFY(bar.band(2).toolBar());
    QCOMPARE(bar.band(1).toolCount(), 3);
    QCOMPARE(bar.band(1).toolAt(2).name(), QStringLiteral("mnuRed"));
}

void TestCommandBar::badLookupsRaiseErrors_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("band");
    QTest::addColumn<QString>("tool");
    QTest::newRow("index past the last band") << 3 << QString() << QString();
    QTest::newRow("negative index") << -1 << QString() << QString();
    QTest::newRow("unknown band name") << -2 << QStringLiteral("bndNope") << QString();
    QTest::newRow("band names are case-sensitive") << -2 << QStringLiteral("BNDFILE") << QString();
    QTest::newRow("tool not in that band")
        << -2 << QStringLiteral("bndFile") << QStringLiteral("mnuGreen");
    QTest::newRow("tool names are case-sensitive")
        << -2 << QStringLiteral("bndFile") << QStringLiteral("mnuopen");
}

void TestCommandBar::badLookupsRaiseErrors()
{
    QFETCH(int, index);
    QFETCH(QString, band);
    QFETCH(QString, tool);
    QWidget host;
    CommandBar bar(&host, sampleLayout());
    try {
        if (index != -2)
            bar.band(index);
        else if (tool.isEmpty())
            bar.band(band);
        else
            bar.band(band).tool(tool);
        QFAIL("lookup did not fail");
    } catch (const Error& e) {
        QVERIFY(!e.message().isEmpty());
    }
}

void TestCommandBar::copiesInBandsAreSeparate()
{
    QWidget host;
    CommandBar bar(&host, sampleLayout());
    Tool& menuRed = bar.band(1).tool(QStringLiteral("mnuRed"));
    Tool& barRed = bar.band(2).tool(QStringLiteral("mnuRed"));
    QVERIFY(&menuRed != &barRed);
    barRed.setChecked(false);
    QVERIFY(menuRed.isChecked());
    QVERIFY(!barRed.isChecked());
    QVERIFY(!barRed.action()->isChecked());
    barRed.setCaption(QStringLiteral("Rot"));
    QCOMPARE(menuRed.caption(), QStringLiteral("Red"));
}

void TestCommandBar::clickCarriesToolName()
{
    QWidget host;
    CommandBar bar(&host, sampleLayout());
    QSignalSpy spy(&bar, &CommandBar::toolClicked);
    bar.band(1).tool(QStringLiteral("mnuOpen")).action()->trigger();
    auto* button = qobject_cast<QToolButton*>(bar.band(2).toolBar()->widgetForAction(
        bar.band(2).tool(QStringLiteral("mnuOpen")).action()));
    QVERIFY(button);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("mnuOpen"));
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("mnuOpen"));
}

void TestCommandBar::checkedStateChangesOnlyWhenSet()
{
    QWidget host;
    CommandBar bar(&host, sampleLayout());
    Tool& green = bar.band(2).tool(QStringLiteral("mnuGreen"));
    QSignalSpy spy(&bar, &CommandBar::toolClicked);
    green.action()->trigger();
    QCOMPARE(spy.count(), 1);
    QVERIFY(!green.isChecked());
    QVERIFY(!green.action()->isChecked());
    green.setChecked(true);
    QVERIFY(green.action()->isChecked());
}

void TestCommandBar::labelCaptionShowsAtOnce()
{
    QWidget host;
    CommandBar bar(&host, sampleLayout());
    Tool& scan = bar.band(2).tool(QStringLiteral("txtScan"));
    QVERIFY(scan.label());
    scan.setCaption(QStringLiteral("Scan: -5321"));
    QCOMPARE(scan.label()->text(), QStringLiteral("Scan: -5321"));
    QCOMPARE(scan.caption(), QStringLiteral("Scan: -5321"));
    QSignalSpy spy(&bar, &CommandBar::toolClicked);
    bar.click(scan);
    QCOMPARE(spy.count(), 0);
}

void TestCommandBar::menuEntryOpensItsPopup()
{
    QWidget host;
    CommandBar bar(&host, sampleLayout());
    const Tool& entry = bar.band(0).tool(QStringLiteral("mnuFile"));
    QCOMPARE(entry.action()->menu(), bar.band(1).menu());
    QCOMPARE(entry.action()->text(), QStringLiteral("&File"));
}

void TestCommandBar::switchedOffToolIsGreyed()
{
    QWidget host;
    CommandBar bar(&host, sampleLayout());
    Tool& open = bar.band(1).tool(QStringLiteral("mnuOpen"));
    open.setEnabled(false);
    QVERIFY(!open.action()->isEnabled());
    QVERIFY(open.action()->isVisible());
    QVERIFY(bar.band(2).tool(QStringLiteral("mnuOpen")).isEnabled());
}

void TestCommandBar::clientAreaControlFillsTheRest()
{
    QWidget host;
    host.resize(500, 400);
    CommandBar bar(&host, sampleLayout());
    QWidget client(&host);
    bar.setAutoSize(2);
    bar.setClientAreaControl(&client);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    host.resize(640, 480);
    QTRY_COMPARE(host.size(), QSize(640, 480));
    QCOMPARE(bar.geometry(), QRect(0, 0, 640, bar.sizeHint().height()));
    QCOMPARE(client.geometry(), QRect(0, bar.height(), 640, 480 - bar.height()));
}

QTEST_MAIN(TestCommandBar)
#include "tst_commandbar.moc"
