// The main window as a person meets it: layout, resizing, caption, closing.

#include "app/frmscan.h"
#include "components/commandbar.h"
#include "components/worksheet.h"

#include <QDockWidget>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using namespace kesto;

namespace {

int half(float v)
{
    return int(std::nearbyint(v));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void captionFromVersionRecord();
    void sheetStartsWithItsColumns();
    void layoutFollowsTheWindow_data();
    void layoutFollowsTheWindow();
    void minimumSizeSnapsBack_data();
    void minimumSizeSnapsBack();
    void minimisedWindowIsLeftAlone();
    void widerWindowKeepsColumnProportions();
    void closingClosesEveryWindow();
    void panelsKeepTheirPlaces_data();
    void panelsKeepTheirPlaces();
};

void TestMainWindow::captionFromVersionRecord()
{
    frmScan form;
    QCOMPARE(form.windowTitle(), QStringLiteral("KestoScan Version 4.0.1"));
    QCOMPARE(form.lblTitle->text(), QStringLiteral("Expression"));
}

void TestMainWindow::sheetStartsWithItsColumns()
{
    frmScan form;
    QCOMPARE(form.f1Report->columnCount(), 4);
    QCOMPARE(form.f1Report->rowCount(), frmScan::StartRows);
    QCOMPARE(form.f1Report->headingText(1), QStringLiteral("#"));
    QCOMPARE(form.f1Report->headingText(2), QStringLiteral("Band"));
    QCOMPARE(form.f1Report->headingText(3), QStringLiteral("Int.Ctrl"));
    QCOMPARE(form.f1Report->headingText(4), QStringLiteral("% to Ctrl"));
    QCOMPARE(form.f1Report->headingText(5), QString());
    QCOMPARE(int(form.ColumnRatios.size()), 4);
    QCOMPARE(form.workRow(), 0);
    QCOMPARE(form.workColumn(), 0);
}

void TestMainWindow::layoutFollowsTheWindow_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("800 x 600") << QSize(800, 600);
    QTest::newRow("odd width 1001 x 700") << QSize(1001, 700);
    QTest::newRow("wide 1600 x 900") << QSize(1600, 900);
    QTest::newRow("at the minimum 614 x 380") << QSize(614, 380);
}

void TestMainWindow::layoutFollowsTheWindow()
{
    QFETCH(QSize, size);
    frmScan form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.resize(size);
    QTRY_COMPARE(form.size(), size);

    const float w = float(size.width());
    const float h = float(size.height());
    const int bar = form.tbrMain->height();
    QCOMPARE(form.tbrMain->geometry(), QRect(0, 0, size.width(), bar));
    const int vs = form.VScroll->width();
    const int hs = form.HScroll->height();
    const int title = form.lblTitle->height();
    const float pcWidth = w / 2 - 20;
    const float pcHeight = h - float(bar) - 20 - float(hs);
    const int pcTop = bar + 10;
    QCOMPARE(form.picContainer->geometry(), QRect(10, pcTop, half(pcWidth), half(pcHeight)));
    QCOMPARE(form.VScroll->geometry(), QRect(half(10 + pcWidth), pcTop, vs, half(pcHeight)));
    QCOMPARE(form.HScroll->geometry(),
             QRect(10, half(float(pcTop) + pcHeight), half(pcWidth + float(vs)), hs));
    const QRect sheet(half(pcWidth + 10 + float(vs) + 10), title + pcTop,
                      half(w - pcWidth - float(vs) - 30),
                      half(float(hs) + pcHeight - float(title)));
    QCOMPARE(form.f1Report->geometry(), sheet);
    QCOMPARE(form.lblTitle->geometry(),
             QRect(sheet.left(), sheet.top() - title, sheet.width(), title));
    // The sheet's bottom lines up with the scroll bar's, and 10 pixels stay free on its right.
    QVERIFY(qAbs(form.f1Report->geometry().bottom() - form.HScroll->geometry().bottom()) <= 1);
    QVERIFY(qAbs(size.width() - form.f1Report->geometry().right() - 1 - 10) <= 1);
}

void TestMainWindow::minimumSizeSnapsBack_data()
{
    QTest::addColumn<QSize>("asked");
    QTest::addColumn<QSize>("expectedOuter");
    // 9200 x 5700 twips at 15 twips per pixel: 613.3 (never below, so 614) x 380 pixels,
    // measured on the outer size, frame included.
    QTest::newRow("too small both ways") << QSize(300, 200) << QSize(614, 380);
    QTest::newRow("too narrow only") << QSize(500, 600) << QSize(614, 0);
    QTest::newRow("too low only") << QSize(900, 300) << QSize(0, 380);
    QTest::newRow("large enough") << QSize(900, 600) << QSize(0, 0);
}

void TestMainWindow::minimumSizeSnapsBack()
{
    QFETCH(QSize, asked);
    QFETCH(QSize, expectedOuter);
    frmScan form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QSize frame = form.frameGeometry().size() - form.size();
    // 0 means the asked size stands on that axis.
    const QSize outer(
        (expectedOuter.width() ? expectedOuter.width() : asked.width() + frame.width()),
        (expectedOuter.height() ? expectedOuter.height() : asked.height() + frame.height()));
    form.resize(asked);
    QTRY_COMPARE(form.frameGeometry().size(), outer);
    QCOMPARE(form.size(), outer - frame);
}

void TestMainWindow::minimisedWindowIsLeftAlone()
{
    frmScan form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.resize(900, 600);
    QTRY_COMPARE(form.size(), QSize(900, 600));
    const QRect container = form.picContainer->geometry();
    const QRect sheet = form.f1Report->geometry();
    form.setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(form.isMinimized());
    form.resize(1200, 800);
    QCoreApplication::processEvents();
    QCOMPARE(form.picContainer->geometry(), container);
    QCOMPARE(form.f1Report->geometry(), sheet);
    form.setWindowState(Qt::WindowNoState);
    QTRY_VERIFY(!form.isMinimized());
    // Restoring lays the window out again for whatever size it now has.
    form.resize(1100, 750);
    QTRY_COMPARE(form.size(), QSize(1100, 750));
    QCOMPARE(form.picContainer->width(), half(float(form.width()) / 2 - 20));
    QVERIFY(form.f1Report->geometry() != sheet);
}

void TestMainWindow::widerWindowKeepsColumnProportions()
{
    frmScan form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.resize(800, 600);
    QTRY_COMPARE(form.size(), QSize(800, 600));
    const int containerBefore = form.picContainer->width();
    const int sheetBefore = form.f1Report->width();
    QList<int> before;
    for (int c = 1; c <= 4; ++c)
        before.append(form.f1Report->columnWidth(c));
    form.resize(1200, 600);
    QTRY_COMPARE(form.size(), QSize(1200, 600));
    // Half of the gain goes to the picture, the other half to the sheet.
    QCOMPARE(form.picContainer->width() - containerBefore, 200);
    QCOMPARE(form.f1Report->width() - sheetBefore, 200);
    const double growth = double(form.f1Report->width()) / double(sheetBefore);
    for (int c = 1; c <= 4; ++c) {
        const double expected = before.at(c - 1) * growth;
        QVERIFY2(qAbs(form.f1Report->columnWidth(c) - expected) <= 1.0,
                 qPrintable(QStringLiteral("column %1: %2, expected about %3")
                                .arg(c)
                                .arg(form.f1Report->columnWidth(c))
                                .arg(expected)));
    }
}

void TestMainWindow::closingClosesEveryWindow()
{
    auto* form = new frmScan;
    form->setAttribute(Qt::WA_DeleteOnClose);
    QWidget other;
    form->show();
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QPointer<frmScan> guard(form);
    form->close();
    QVERIFY(!other.isVisible());
    QTRY_VERIFY(guard.isNull());
}

void TestMainWindow::panelsKeepTheirPlaces_data()
{
    QTest::addColumn<QString>("dock");
    QTest::addColumn<int>("area");
    QTest::addColumn<QRect>("floating"); // null when docked
    QTest::newRow("lane profile beside the picture")
        << QStringLiteral("dckLaneProfile") << int(Qt::LeftDockWidgetArea) << QRect();
    QTest::newRow("found bands below")
        << QStringLiteral("dckFoundBands") << int(Qt::BottomDockWidgetArea) << QRect();
    QTest::newRow("lane profile floating")
        << QStringLiteral("dckLaneProfile") << int(Qt::RightDockWidgetArea)
        << QRect(40, 50, 500, 380);
}

void TestMainWindow::panelsKeepTheirPlaces()
{
    QFETCH(QString, dock);
    QFETCH(int, area);
    QFETCH(QRect, floating);
    QTemporaryDir settings;
    QVERIFY(settings.isValid());
    frmScan::setLayoutSettingsPath(settings.filePath(QStringLiteral("window.ini")));
    QRect defaultPicture;
    {
        frmScan form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        defaultPicture = form.picContainer->geometry();
        auto* panel = form.findChild<QDockWidget*>(dock);
        QVERIFY(panel && panel->isHidden());
        form.addDockWidget(Qt::DockWidgetArea(area), panel);
        panel->show();
        if (floating.isNull()) {
            // The picture and the sheet make room for the docked panel.
            QTRY_VERIFY(!panel->geometry().intersects(form.picContainer->geometry()));
            QVERIFY(!panel->geometry().intersects(form.f1Report->geometry()));
            QVERIFY(!panel->geometry().intersects(form.tbrMain->geometry()));
        } else {
            panel->setFloating(true);
            panel->setGeometry(floating);
            QTRY_COMPARE(panel->geometry(), floating);
        }
        QVERIFY(form.close());
    }
    frmScan form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // The panels open on their commands; until then the window is laid out as always.
    auto* panel = form.findChild<QDockWidget*>(dock);
    QVERIFY(panel && panel->isHidden());
    QCOMPARE(form.picContainer->geometry(), defaultPicture);
    if (dock == QLatin1String("dckLaneProfile"))
        form.toggleLaneProfile();
    else
        panel->show();
    QVERIFY(panel->isVisible());
    QCOMPARE(int(form.dockWidgetArea(panel)), area);
    QCOMPARE(panel->isFloating(), !floating.isNull());
    if (!floating.isNull())
        QTRY_COMPARE(panel->geometry(), floating);
    else
        QTRY_VERIFY(!panel->geometry().intersects(form.picContainer->geometry()));
    frmScan::setLayoutSettingsPath(QString());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
