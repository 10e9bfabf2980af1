// The main bar's layout and its dispatcher.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "report/frmreport.h"
#include "support/fakeprompts.h"

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace kesto;

class TestDispatch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void bandsInTheirOrder();
    void commandNamesInDispatchOrder();
    void everyIconButtonHasIconAndTooltip();
    void startTextsOfTheReadouts();
    void reportShowOpensOneWindowAndKeepsItsData();
};

void TestDispatch::bandsInTheirOrder()
{
    QWidget host;
    CommandBar bar(&host, mainBarLayout());
    const QStringList names = {
        QStringLiteral("bndMain"),  QStringLiteral("bndFile"),    QStringLiteral("bndToolbar"),
        QStringLiteral("bndImage"), QStringLiteral("bndOptions"), QStringLiteral("mnuPicture"),
        QStringLiteral("bndMove"),  QStringLiteral("bndEdit"),    QStringLiteral("bndView")};
    QCOMPARE(bar.bandCount(), names.size());
    for (int i = 0; i < bar.bandCount(); ++i)
        QCOMPARE(bar.band(i).name(), names.at(i));
    QCOMPARE(bar.band(BandMain).kind(), BandKind::MenuBar);
    QCOMPARE(bar.band(BandToolbar).kind(), BandKind::Toolbar);
    QCOMPARE(bar.band(BandMove).kind(), BandKind::Toolbar);
    QCOMPARE(bar.band(BandImage).caption(), QStringLiteral("Image-Move"));
    QCOMPARE(bar.band(BandPicture).caption(), QStringLiteral("Band6"));
    // "&Move" opens the frame moves, "&Image" the picture commands.
    QCOMPARE(bar.band(BandMain).tool(QStringLiteral("mnuImage")).action()->menu(),
             bar.band(BandImage).menu());
    QCOMPARE(bar.band(BandMain).tool(QStringLiteral("mnuPicture")).action()->menu(),
             bar.band(BandPicture).menu());
    // "&View" sits between "&Image" and "&Report" and opens the zoom and profile commands.
    const Band& menuBar = bar.band(BandMain);
    QCOMPARE(menuBar.toolAt(3).name(), QStringLiteral("mnuPicture"));
    QCOMPARE(menuBar.toolAt(4).caption(), QStringLiteral("&View"));
    QCOMPARE(menuBar.toolAt(5).name(), QStringLiteral("mnuOptions"));
    QCOMPARE(menuBar.toolAt(4).action()->menu(), bar.band(BandView).menu());
}

void TestDispatch::commandNamesInDispatchOrder()
{
    const QStringList expected = {
        QStringLiteral("mnuOpen"),        QStringLiteral("mnuExit"),
        QStringLiteral("mnuTopLeft"),     QStringLiteral("mnuTopCenter"),
        QStringLiteral("mnuTopRight"),    QStringLiteral("mnuCenterRight"),
        QStringLiteral("mnuBottomRight"), QStringLiteral("mnuBottomCenter"),
        QStringLiteral("mnuBottomLeft"),  QStringLiteral("mnuCenterLeft"),
        QStringLiteral("mnuLeft"),        QStringLiteral("mnuTop"),
        QStringLiteral("mnuRight"),       QStringLiteral("mnuBottom"),
        QStringLiteral("mnuBackground"),  QStringLiteral("mnuInvert"),
        QStringLiteral("mnuRed"),         QStringLiteral("mnuGreen"),
        QStringLiteral("mnuBlue"),        QStringLiteral("mnuCalc"),
        QStringLiteral("mnuPaste"),       QStringLiteral("mnuClear"),
        QStringLiteral("mnuAbout"),       QStringLiteral("mnuSave"),
        QStringLiteral("mnuPrint"),       QStringLiteral("mnuCopy"),
        QStringLiteral("mnuShowOptions"), QStringLiteral("mnuSendRows")};
    QCOMPARE(mainCommandNames(), expected);
}

void TestDispatch::everyIconButtonHasIconAndTooltip()
{
    QWidget host;
    CommandBar bar(&host, mainBarLayout());
    for (int b : {int(BandToolbar), int(BandMove)}) {
        const Band& band = bar.band(b);
        for (int i = 0; i < band.toolCount(); ++i) {
            const Tool& tool = band.toolAt(i);
            if (tool.kind() != ToolKind::Button && tool.kind() != ToolKind::CheckButton)
                continue;
            auto* button =
                qobject_cast<QToolButton*>(band.toolBar()->widgetForAction(tool.action()));
            QVERIFY2(button, qPrintable(tool.name()));
            if (button->toolButtonStyle() == Qt::ToolButtonIconOnly) {
                QVERIFY2(!tool.action()->icon().isNull(), qPrintable(tool.name()));
                QVERIFY2(!tool.action()->icon().pixmap(20, 20).isNull(), qPrintable(tool.name()));
                QVERIFY2(!tool.toolTip().isEmpty(), qPrintable(tool.name()));
            }
        }
    }
}

void TestDispatch::startTextsOfTheReadouts()
{
    QWidget host;
    CommandBar bar(&host, mainBarLayout());
    QCOMPARE(bar.band(BandToolbar).tool(QStringLiteral("txtCell")).caption(),
             QStringLiteral("Working Cell: R1C2"));
    QCOMPARE(bar.band(BandToolbar).tool(QStringLiteral("txtScan")).caption(),
             QStringLiteral("Scan: 0"));
    QCOMPARE(bar.band(BandMove).tool(QStringLiteral("mnuBackground")).caption(),
             QStringLiteral("Bkgrnd=0"));
    QCOMPARE(bar.band(BandMove).tool(QStringLiteral("mnuSize")).caption(), QStringLiteral("0 x 0"));
    QCOMPARE(bar.band(BandMove).tool(QStringLiteral("mnuColor")).caption(),
             QStringLiteral("0,0,0"));
    QCOMPARE(bar.band(BandToolbar).tool(QStringLiteral("txtScan")).toolTip(),
             QStringLiteral("Current band scan"));
}

void TestDispatch::reportShowOpensOneWindowAndKeepsItsData()
{
    test::FakePrompts prompts;
    frmScan form;
    form.show();
    QVERIFY(!frmReport::existing());
    dispatchMainTool(form, QStringLiteral("mnuShowOptions"));
    frmReport* report = frmReport::existing();
    QVERIFY(report);
    QTRY_VERIFY(report->isVisible());
    report->hide();
    dispatchMainTool(form, QStringLiteral("mnuShowOptions"));
    QCOMPARE(frmReport::existing(), report);
    QTRY_VERIFY(report->isVisible());
    form.close();
    QVERIFY(!report->isVisible());
}

QTEST_MAIN(TestDispatch)
#include "tst_dispatch.moc"
