#include "app/error.h"
#include "components/commandbar.h"
#include "report/columnratios.h"
#include "report/reportbar.h"

#include <QAction>
#include <QFile>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <cmath>
#include <initializer_list>
#include <limits>

using namespace kesto;

namespace {

QStringList texts(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items)
        list.append(QString::fromUtf8(item));
    return list;
}

// Records which command ran; "sort" fails the way a worksheet failure would.
class RecordingCommands : public ReportCommands
{
public:
    QStringList calls;

    void saveReport() override { calls << QStringLiteral("save"); }
    void printReport() override { calls << QStringLiteral("print"); }
    void closeReport() override { calls << QStringLiteral("close"); }
    void minimizeReport() override { calls << QStringLiteral("minimize"); }
    void maximizeReport() override { calls << QStringLiteral("maximize"); }
    void normalizeReport() override { calls << QStringLiteral("normalize"); }
    void copySelection() override { calls << QStringLiteral("copy"); }
    void pasteSelection() override { calls << QStringLiteral("paste"); }
    void deleteRow() override { calls << QStringLiteral("delete"); }
    void editTitle() override { calls << QStringLiteral("title"); }
    void sortSelection() override
    {
        calls << QStringLiteral("sort");
        throw Error(Error::InvalidValue, QStringLiteral("no rows"));
    }
    void calculateReport() override { calls << QStringLiteral("calculate"); }
    void refreshBar() override { calls << QStringLiteral("refresh"); }
    void showError(const Error& error) override { calls << QStringLiteral("error: ") + error.message(); }
};

QStringList toolNames(const BandSpec& band)
{
    QStringList names;
    for (const ToolSpec& tool : band.tools)
        names << tool.name;
    return names;
}

} // namespace

class TestReportBar : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void bands();
    void toolsInDisplayOrder_data();
    void toolsInDisplayOrder();
    void menuCaptions_data();
    void menuCaptions();
    void toolBarButtonsShowTheirPictures();
    void everyCommandCanBeClicked();
    void dispatch_data();
    void dispatch();
    void startStatesOnTheBar();

    void clampedInt16_data();
    void clampedInt16();
    void ratiosFollowTheInnerWidth();
    void noRatiosWithoutAnInnerWidth();
};

void TestReportBar::bands()
{
    const BarLayout layout = reportBarLayout();
    QCOMPARE(int(layout.size()), 4);
    const struct { const char* name; const char* caption; BandKind kind; } expected[] = {
        {"bndMain", "Band1", BandKind::MenuBar},
        {"bndFile", "Band2", BandKind::Popup},
        {"bndEdit", "Band3", BandKind::Popup},
        {"bndToolBar", "Band4", BandKind::Toolbar},
    };
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(layout[std::size_t(i)].name, QLatin1String(expected[i].name));
        QCOMPARE(layout[std::size_t(i)].caption, QLatin1String(expected[i].caption));
        QCOMPARE(layout[std::size_t(i)].kind, expected[i].kind);
    }
}

void TestReportBar::toolsInDisplayOrder_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("menu bar") << int(ReportBandMain)
        << texts({"mnuFile", "mnuEdit", "mnuCalculate", "Tool26", "mnuMinimize", "mnuMaximize",
                  "mnuNormal", "mnuClose"});
    QTest::newRow("file menu") << int(ReportBandFile)
        << texts({"mnuSave", "mnuPrint", "Tool5", "mnuClose", "mnuMinimize", "mnuMaximize",
                  "mnuNormal"});
    QTest::newRow("edit menu") << int(ReportBandEdit)
        << texts({"mnuCopy", "mnuPaste", "mnuDeleteRow", "Tool11", "mnuTitle", "mnuSort"});
    QTest::newRow("tool bar") << int(ReportBandToolBar)
        << texts({"mnuSave", "mnuPrint", "Tool16", "mnuCopy", "mnuPaste", "mnuDeleteRow",
                  "mnuTitle", "Tool19", "mnuCalculate", "mnuSort"});
}

void TestReportBar::toolsInDisplayOrder()
{
    QFETCH(int, band);
    QFETCH(QStringList, names);
    QCOMPARE(toolNames(reportBarLayout()[std::size_t(band)]), names);
}

void TestReportBar::menuCaptions_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("menu bar") << int(ReportBandMain)
        << texts({"&File", "&Edit", "&Calculate!", "", "&Minimize", "M&aximize", "&Normalize",
                  "Clos&e"});
    QTest::newRow("file menu") << int(ReportBandFile)
        << texts({"&Save Report", "&Print", "", "Clos&e", "&Minimize", "M&aximize", "&Normalize"});
    QTest::newRow("edit menu") << int(ReportBandEdit)
        << texts({"&Copy", "&Paste", "&Delete Row", "", "&Title", "&Sort"});
}

void TestReportBar::menuCaptions()
{
    QFETCH(int, band);
    QFETCH(QStringList, captions);
    const BarLayout layout = reportBarLayout();
    QStringList actual;
    for (const ToolSpec& tool : layout[std::size_t(band)].tools)
        actual << tool.caption;
    QCOMPARE(actual, captions);
}

void TestReportBar::toolBarButtonsShowTheirPictures()
{
    const BarLayout layout = reportBarLayout();
    for (const ToolSpec& tool : layout[ReportBandToolBar].tools) {
        if (tool.kind == ToolKind::Separator)
            continue;
        QVERIFY2(QFile::exists(tool.icon), qPrintable(tool.name + QStringLiteral(": ") + tool.icon));
        // Only Sort has a caption of its own; the rest show their picture alone.
        QCOMPARE(tool.iconOnly, tool.name != QLatin1String("mnuSort"));
    }
    const ToolSpec& sort = layout[ReportBandToolBar].tools.back();
    QCOMPARE(sort.caption, QStringLiteral("&Sort"));
}

void TestReportBar::everyCommandCanBeClicked()
{
    // Each command stands on the bar as a button, and each button is a command.
    QStringList buttons;
    const BarLayout layout = reportBarLayout();
    for (const BandSpec& band : layout) {
        for (const ToolSpec& tool : band.tools) {
            if (tool.kind == ToolKind::Button && !buttons.contains(tool.name))
                buttons << tool.name;
        }
    }
    buttons.sort();
    QStringList commands = reportCommandNames();
    commands.sort();
    QCOMPARE(buttons, commands);
}

void TestReportBar::dispatch_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("calls");
    const struct { const char* tool; const char* call; } commands[] = {
        {"mnuSave", "save"}, {"mnuPrint", "print"}, {"mnuClose", "close"},
        {"mnuMinimize", "minimize"}, {"mnuMaximize", "maximize"}, {"mnuNormal", "normalize"},
        {"mnuCopy", "copy"}, {"mnuPaste", "paste"}, {"mnuDeleteRow", "delete"},
        {"mnuTitle", "title"}, {"mnuCalculate", "calculate"},
    };
    for (const auto& c : commands)
        QTest::newRow(c.tool) << QString::fromLatin1(c.tool) << texts({c.call, "refresh"});
    QTest::newRow("failing command is reported, then the bar refreshed")
        << QStringLiteral("mnuSort") << texts({"sort", "error: no rows", "refresh"});
    QTest::newRow("separator only refreshes") << QStringLiteral("Tool5") << texts({"refresh"});
    QTest::newRow("label only refreshes") << QStringLiteral("Tool26") << texts({"refresh"});
    QTest::newRow("menu entry only refreshes") << QStringLiteral("mnuFile") << texts({"refresh"});
    QTest::newRow("letter case counts") << QStringLiteral("mnusave") << texts({"refresh"});
    QTest::newRow("blanks count") << QStringLiteral("mnuSave ") << texts({"refresh"});
    QTest::newRow("empty name") << QString() << texts({"refresh"});
}

void TestReportBar::dispatch()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, calls);
    RecordingCommands commands;
    dispatchReportTool(commands, tool);
    QCOMPARE(commands.calls, calls);
}

void TestReportBar::startStatesOnTheBar()
{
    // The layout itself offers every tool; the window withdraws Normalize at load.
    QWidget host;
    CommandBar bar(&host, reportBarLayout());
    QCOMPARE(bar.bandCount(), 4);
    for (int b = 0; b < bar.bandCount(); ++b) {
        for (int t = 0; t < bar.band(b).toolCount(); ++t)
            QVERIFY(bar.band(b).toolAt(t).isEnabled());
    }
    // The toolbar and the File menu hold separate copies of Save.
    QVERIFY(&bar.band(ReportBandToolBar).tool(QStringLiteral("mnuSave")) !=
            &bar.band(ReportBandFile).tool(QStringLiteral("mnuSave")));
}

void TestReportBar::clampedInt16_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("half rounds down to even") << 2.5 << 2;
    QTest::newRow("half rounds up to even") << 3.5 << 4;
    QTest::newRow("negative half to even") << -2.5 << -2;
    QTest::newRow("just below half") << 1097.49 << 1097;
    QTest::newRow("largest") << 32767.0 << 32767;
    QTest::newRow("past the largest") << 42512.5 << 32767;
    QTest::newRow("past the smallest") << -40000.0 << -32768;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 32767;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 0;
}

void TestReportBar::clampedInt16()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(int(kesto::clampedInt16(value)), expected);
}

void TestReportBar::ratiosFollowTheInnerWidth()
{
    const std::vector<double> ratios = columnRatios({1097, 10203, 40000}, 720);
    QCOMPARE(int(ratios.size()), 3);
    QCOMPARE(ratios[0], 1097.0 / 720.0);
    QCOMPARE(ratios[2], 32767.0 / 720.0);   // read as 16 bits
    // Same width back at the same size; doubled at twice the size.
    QCOMPARE(int(scaledColumnWidth(720, ratios[0])), 1097);
    QCOMPARE(int(scaledColumnWidth(1440, ratios[0])), 2194);
    QCOMPARE(int(scaledColumnWidth(1440, ratios[1])), 20406);
    // 10203 x 3000 / 720 = 42512.5 does not fit a 16-bit width.
    QCOMPARE(int(scaledColumnWidth(3000, ratios[1])), 32767);
    QCOMPARE(int(scaledColumnWidth(0, ratios[1])), 0);
}

void TestReportBar::noRatiosWithoutAnInnerWidth()
{
    QVERIFY(columnRatios({1097, 10203}, 0).empty());
    QVERIFY(columnRatios({1097, 10203}, -5).empty());
}

QTEST_MAIN(TestReportBar)
#include "tst_reportbar.moc"
