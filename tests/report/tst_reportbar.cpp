#include "core/columnratios.h"
#include "core/error.h"
#include "report/reportbar.h"

#include <QFile>
#include <QTest>

#include <limits>

using namespace kesto;

namespace {

// Records which command ran; Sort fails the way a worksheet failure would.
class RecordingCommands : public ReportCommands
{
public:
    QStringList calls;
    void record(const char* call) { calls << QLatin1String(call); }

    void saveReport() override { record("save"); }
    void printReport() override { record("print"); }
    void closeReport() override { record("close"); }
    void minimizeReport() override { record("minimize"); }
    void maximizeReport() override { record("maximize"); }
    void normalizeReport() override { record("normalize"); }
    void copySelection() override { record("copy"); }
    void pasteSelection() override { record("paste"); }
    void deleteRow() override { record("delete"); }
    void editTitle() override { record("title"); }
    void sortSelection() override
    {
        record("sort");
        throw Error(Error::InvalidValue, QStringLiteral("no rows"));
    }
    void calculateReport() override { record("calculate"); }
    void refreshBar() override { record("refresh"); }
    void showError(const Error& error) override
    {
        calls << QStringLiteral("error: ") + error.message();
    }
};

} // namespace

class TestReportBar : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void toolBarButtonsHaveTheirPictures();
    void everyButtonIsACommand();
    void dispatch_data();
    void dispatch();
    void clampedInt16_data();
    void clampedInt16();
    void ratiosFollowTheInnerWidth();
};

void TestReportBar::toolBarButtonsHaveTheirPictures()
{
    const BarLayout layout = reportBarLayout();
    for (const ToolSpec& tool : layout[ReportBandToolBar].tools) {
        if (tool.kind != ToolKind::Separator)
            QVERIFY2(QFile::exists(tool.icon),
                     qPrintable(tool.name + QLatin1Char(' ') + tool.icon));
    }
}

void TestReportBar::everyButtonIsACommand()
{
    const BarLayout layout = reportBarLayout();
    QStringList buttons;
    for (const BandSpec& band : layout) {
        for (const ToolSpec& tool : band.tools) {
            if (tool.kind == ToolKind::Button && !buttons.contains(tool.name))
                buttons << tool.name;
        }
    }
    QStringList commands = reportCommandNames();
    buttons.sort();
    commands.sort();
    QCOMPARE(buttons, commands);
}

void TestReportBar::dispatch_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("calls");
    const char* const rows[][2] = {
        {"mnuSave", "save refresh"},
        {"mnuPrint", "print refresh"},
        {"mnuClose", "close refresh"},
        {"mnuMinimize", "minimize refresh"},
        {"mnuMaximize", "maximize refresh"},
        {"mnuNormal", "normalize refresh"},
        {"mnuCopy", "copy refresh"},
        {"mnuPaste", "paste refresh"},
        {"mnuDeleteRow", "delete refresh"},
        {"mnuTitle", "title refresh"},
        {"mnuCalculate", "calculate refresh"},
        {"mnuSort", "sort error: no rows refresh"}, // failure shown, then the refresh
        {"Tool5", "refresh"},                       // separator
        {"Tool26", "refresh"},                      // label
        {"mnuFile", "refresh"},                     // menu entry
        {"mnusave", "refresh"},                     // letter case counts
        {"mnuSave ", "refresh"},                    // blanks count
    };
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
}

void TestReportBar::dispatch()
{
    QFETCH(QString, tool);
    QFETCH(QString, calls);
    RecordingCommands commands;
    dispatchReportTool(commands, tool);
    QCOMPARE(commands.calls.join(QLatin1Char(' ')), calls);
}

void TestReportBar::clampedInt16_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("half down to even") << 548.5 << 548;
    QTest::newRow("half up to even") << 3.5 << 4;
    QTest::newRow("negative half to even") << -2.5 << -2;
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
    const std::vector<double> ratios = columnRatios({1097, 40000}, 720);
    QCOMPARE(int(ratios.size()), 2);
    QCOMPARE(ratios[1], 32767.0 / 720.0); // the width is read as 16 bits
    QCOMPARE(int(scaledColumnWidth(720, ratios[0])), 1097);
    QCOMPARE(int(scaledColumnWidth(1440, ratios[0])), 2194);
    // No inner width gives no ratios rather than infinite ones.
    QVERIFY(columnRatios({1097}, 0).empty());
}

QTEST_GUILESS_MAIN(TestReportBar)
#include "tst_reportbar.moc"
