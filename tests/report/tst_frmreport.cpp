#include "app/frmscan.h"
#include "commands/mainbar.h"
#include "app/module1.h"
#include "components/commandbar.h"
#include "components/sheetdata.h"
#include "components/worksheet.h"
#include "report/frmreport.h"
#include "support/fakeprompts.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <initializer_list>
#include <memory>
#include <optional>

using namespace kesto;
using kesto::test::FakePrompts;

namespace {

QString s(const char* text) { return QString::fromUtf8(text); }

// Fills rows from row 1, each given as its cells from column 1, "|"-separated.
void fill(Worksheet& sheet, std::initializer_list<const char*> rows)
{
    int r = 0;
    for (const char* row : rows) {
        ++r;
        const QStringList cells = s(row).split(QLatin1Char('|'));
        for (int c = 0; c < cells.size(); ++c)
            sheet.setText(r, c + 1, cells.at(c));
    }
}

QString rowText(const Worksheet& sheet, int row)
{
    QStringList cells;
    for (int c = 1; c <= sheet.columnCount(); ++c)
        cells << sheet.text(row, c);
    return cells.join(QLatin1Char('|'));
}

bool toolOn(const frmReport& form, int band, const char* name)
{
    const Tool& tool = form.tool(band, s(name));
    // The Qt action carries the state too, so a withdrawn tool shows greyed out.
    return tool.isEnabled() && tool.action()->isEnabled();
}

void click(frmReport& form, int band, const char* name)
{
    form.tbrReport->click(form.tool(band, s(name)));
}

} // namespace

class TestFrmReport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void startLayout();
    void placedAtTheTopRight();
    void startToolStates();
    void columnsKeepTheirShareOfTheWidth();
    void calculateFromTheBar();

    void deleteRow_data();
    void deleteRow();
    void deleteAsksAboutTheCursorRowOfARange();

    void title_data();
    void title();
    void printFailureIsReported();
    void printToPdf();

    void save();
    void saveCancelled();
    void saveFailureKeepsWindowAndData();

    void copyPutsTheSelectionOnTheClipboard();
    void paste_data();
    void paste();
    void tooLargePasteIsReported();
    void measuredBandsTravelFromTheMainWindow();

    void sortOrdersTheSelectedRows();
    void windowStateTools();
    void toolsNotCommandsChangeNothing();
    void closeHidesAndKeepsData();

    // Runs last: it ends the program's windows.
    void showReportOpensOneWindowThatEndsWithTheProgram();

private:
    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<frmReport> form;
    QTemporaryDir dir;
};

void TestFrmReport::init()
{
    prompts = std::make_unique<FakePrompts>();
    form = std::make_unique<frmReport>();
}

void TestFrmReport::cleanup()
{
    form.reset();
    prompts.reset();
    QGuiApplication::clipboard()->clear();
}

void TestFrmReport::startLayout()
{
    QCOMPARE(form->windowTitle(), s("No Title"));
    Worksheet& sheet = *form->f1Report;
    QCOMPARE(sheet.sheetName(), s("Sheet1"));
    QCOMPARE(sheet.columnCount(), 5);
    const char* headings[] = {"#", "Description", "Type", "Scan (rel.units)", "Expression (%)"};
    const int widths[] = {1097, 10203, 4462, 3767, 3913};
    for (int c = 1; c <= 5; ++c) {
        QCOMPARE(sheet.headingText(c), s(headings[c - 1]));
        QCOMPARE(sheet.columnWidth(c), widths[c - 1]);
    }
    QCOMPARE(sheet.defaultFont().family(), s("Arial"));
    QCOMPARE(sheet.defaultFont().pointSize(), 10);
    QCOMPARE(sheet.printHeader(), s("&A"));
    QCOMPARE(sheet.printFooter(), s("Page &P"));

    QCOMPARE(form->tbrReport->autoSize(), 2);
    QVERIFY(form->tbrReport->displayToolTips());
    QCOMPARE(form->tbrReport->clientAreaControl(), &sheet);

    // Shown at its stored size, the columns keep their stored widths.
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(sheet.columnWidth(2), 10203);
    // The bar keeps the sheet in the area below it.
    QTRY_COMPARE(sheet.geometry(), QRect(0, form->tbrReport->height(), form->width(),
                                         form->height() - form->tbrReport->height()));
}

void TestFrmReport::placedAtTheTopRight()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(form->frameGeometry().top(), screen.top());
    QCOMPARE(form->frameGeometry().right(), screen.right());
    QCOMPARE(form->size(), QSize(720, 420));
}

void TestFrmReport::startToolStates()
{
    for (int b = 0; b < form->tbrReport->bandCount(); ++b) {
        const Band& band = form->tbrReport->band(b);
        for (int t = 0; t < band.toolCount(); ++t) {
            const Tool& tool = band.toolAt(t);
            const bool withdrawn = tool.name() == QLatin1String("mnuNormal");
            if (tool.kind() == ToolKind::Button)
                QVERIFY2(toolOn(*form, b, qPrintable(tool.name())) == !withdrawn,
                         qPrintable(band.name() + QLatin1Char(' ') + tool.name()));
        }
    }
}

void TestFrmReport::columnsKeepTheirShareOfTheWidth()
{
    Worksheet& sheet = *form->f1Report;
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    // A column added after load has no share and keeps its width.
    sheet.setColumnCount(6);
    sheet.setColumnWidth(6, 5000);

    form->resize(1440, 420);
    QTRY_COMPARE(sheet.columnWidth(1), 2194);
    QCOMPARE(sheet.columnWidth(2), 20406);
    QCOMPARE(sheet.columnWidth(3), 8924);
    QCOMPARE(sheet.columnWidth(4), 7534);
    QCOMPARE(sheet.columnWidth(5), 7826);
    QCOMPARE(sheet.columnWidth(6), 5000);

    // 10203 x 3000 / 720 = 42512.5 is past the 16-bit width: held at the largest.
    form->resize(3000, 420);
    QTRY_COMPARE(sheet.columnWidth(2), 32767);
    QCOMPARE(sheet.columnWidth(1), 4571);   // 1097 x 3000 / 720 = 4570.83

    // 1097 x 360 / 720 = 548.5 rounds to the even 548.
    form->resize(360, 420);
    QTRY_COMPARE(sheet.columnWidth(1), 548);
}

void TestFrmReport::calculateFromTheBar()
{
    fill(*form->f1Report, {"1|Actin|control|3|", "2|Actin|band|1|", "3|actin|band|2|",
                           "4|Tubulin|band|5|old"});
    click(*form, ReportBandToolBar, "mnuCalculate");
    QCOMPARE(form->f1Report->text(2, 5), s("33.33"));
    QCOMPARE(form->f1Report->text(3, 5), s("66.67"));
    QCOMPARE(form->f1Report->text(4, 5), s("old"));
    QCOMPARE(form->f1Report->text(1, 5), QString());
    // The menu-bar copy runs the same command.
    form->f1Report->setText(2, 4, s("3"));
    click(*form, ReportBandMain, "mnuCalculate");
    QCOMPARE(form->f1Report->text(2, 5), s("100"));
}

void TestFrmReport::deleteRow_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cursorRow");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("after");
    const QString a = s("1|A|control|10|"), b = s("2|B|band|5|"), c = s("3|C|band|7|");
    const QString empty = s("||||");
    QTest::newRow("yes removes the row, rows below move up")
        << 3 << 2 << true << QStringList{a, c};
    QTest::newRow("no keeps every row") << 3 << 2 << false << QStringList{a, b, c};
    QTest::newRow("last row") << 3 << 3 << true << QStringList{a, b};
    QTest::newRow("only row is emptied, one row stays") << 1 << 1 << true << QStringList{empty};
}

void TestFrmReport::deleteRow()
{
    QFETCH(int, rows);
    QFETCH(int, cursorRow);
    QFETCH(bool, yes);
    QFETCH(QStringList, after);
    Worksheet& sheet = *form->f1Report;
    fill(sheet, {"1|A|control|10|", "2|B|band|5|", "3|C|band|7|"});
    sheet.setRowCount(rows);
    sheet.setActiveCell(cursorRow, 2);
    prompts->messageAnswers = {yes ? MessageAnswer::Yes : MessageAnswer::No};

    click(*form, ReportBandEdit, "mnuDeleteRow");

    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].text, QStringLiteral("Delete row #%1?").arg(cursorRow));
    QCOMPARE(prompts->messages[0].title, s("KestoScan"));
    QCOMPARE(prompts->messages[0].buttons, MessageButtons::YesNo);
    QCOMPARE(prompts->messages[0].icon, MessageIcon::Question);
    QStringList actual;
    for (int r = 1; r <= sheet.rowCount(); ++r)
        actual << rowText(sheet, r);
    QCOMPARE(actual, after);
}

void TestFrmReport::deleteAsksAboutTheCursorRowOfARange()
{
    Worksheet& sheet = *form->f1Report;
    sheet.setRowCount(5);
    fill(sheet, {"1|", "2|", "3|", "4|", "5|"});
    sheet.data().setSelection(SheetRange{2, 1, 4, 5}, 3, 2);
    prompts->messageAnswers = {MessageAnswer::Yes};

    click(*form, ReportBandToolBar, "mnuDeleteRow");

    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].text, s("Delete row #3?"));
    // Only the cursor row goes, not the selected range.
    QCOMPARE(sheet.rowCount(), 4);
    QCOMPARE(sheet.text(2, 1), s("2"));
    QCOMPARE(sheet.text(3, 1), s("4"));
    QCOMPARE(sheet.text(4, 1), s("5"));
}

void TestFrmReport::title_data()
{
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QString>("answer");   // when answered; otherwise Cancel
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("header");
    QTest::newRow("new title") << true << s("Liver, day 3") << s("Liver, day 3")
                               << s("&BLiver, day 3");
    QTest::newRow("empty answer") << true << QString() << QString() << s("&B");
    QTest::newRow("cancel") << false << QString() << QString() << s("&B");
    QTest::newRow("ampersands print as they stand") << true << s("R&D &P") << s("R&D &P")
                                                    << s("&BR&&D &&P");
}

void TestFrmReport::title()
{
    QFETCH(bool, answered);
    QFETCH(QString, answer);
    QFETCH(QString, caption);
    QFETCH(QString, header);
    prompts->inputAnswers = {answered ? std::optional<QString>(answer) : std::nullopt};

    click(*form, ReportBandEdit, "mnuTitle");
    QCOMPARE(prompts->inputPrompts, QStringList{s("Please enter a title of the series:")});
    QCOMPARE(form->windowTitle(), caption);

    prompts->printAnswers = {false};   // the print dialog is cancelled
    click(*form, ReportBandToolBar, "mnuPrint");
    QCOMPARE(prompts->printDialogs, 1);
    QCOMPARE(form->f1Report->printHeader(), header);
    QVERIFY(form->f1Report->printGridlines());
    QVERIFY(prompts->messages.isEmpty());   // cancelling is no failure
}

void TestFrmReport::printFailureIsReported()
{
    prompts->printToPdf = s("/nonexistent-folder/report.pdf");
    prompts->printAnswers = {true};
    click(*form, ReportBandFile, "mnuPrint");
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].buttons, MessageButtons::Ok);
}

void TestFrmReport::printToPdf()
{
    fill(*form->f1Report, {"1|Actin|control|200|"});
    prompts->printToPdf = dir.filePath(s("report.pdf"));
    click(*form, ReportBandFile, "mnuPrint");
    QVERIFY(prompts->messages.isEmpty());
    QFile pdf(prompts->printToPdf);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5) == "%PDF-");
}

void TestFrmReport::save()
{
    fill(*form->f1Report, {"1|Actin|control|200|", "2|Actin|band|50|25"});
    prompts->saveAnswers = {dir.filePath(s("bands.csv"))};
    click(*form, ReportBandToolBar, "mnuSave");
    QCOMPARE(prompts->saveTitles, QStringList{s("Save Report")});
    QFile file(dir.filePath(s("bands.csv")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY2(content.contains("2,Actin,band,50,25"), content.constData());
    QVERIFY(prompts->messages.isEmpty());
}

void TestFrmReport::saveCancelled()
{
    prompts->saveAnswers = {QString()};
    click(*form, ReportBandFile, "mnuSave");
    QCOMPARE(prompts->saveTitles.size(), 1);
    QVERIFY(prompts->messages.isEmpty());
}

void TestFrmReport::saveFailureKeepsWindowAndData()
{
    form->show();
    fill(*form->f1Report, {"1|Actin|control|200|"});
    prompts->saveAnswers = {s("/nonexistent-folder/bands.csv")};
    click(*form, ReportBandFile, "mnuSave");
    QCOMPARE(prompts->messages.size(), 1);
    QVERIFY2(prompts->messages[0].text.contains(s("bands.csv")),
             qPrintable(prompts->messages[0].text));
    QVERIFY(form->isVisible());
    QCOMPARE(rowText(*form->f1Report, 1), s("1|Actin|control|200|"));
}

void TestFrmReport::copyPutsTheSelectionOnTheClipboard()
{
    fill(*form->f1Report, {"1|Actin|control|200|", "2|Actin|band|50|25"});
    form->f1Report->selectRange(1, 2, 2, 4);
    QGuiApplication::clipboard()->setImage(QImage(4, 4, QImage::Format_RGB32));
    click(*form, ReportBandEdit, "mnuCopy");
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    QVERIFY(!mime->hasImage());   // the clipboard was emptied first
    QCOMPARE(mime->text(), s("Actin\tcontrol\t200\r\nActin\tband\t50"));
}

void TestFrmReport::paste_data()
{
    QTest::addColumn<bool>("withText");
    QTest::addColumn<bool>("withImage");
    QTest::addColumn<QString>("row2");
    QTest::newRow("text") << true << false << s("|new|control|9|");
    QTest::newRow("picture only does nothing") << false << true << s("2|old|band|5|");
    // Spreadsheet programs offer a picture of the cells beside their text.
    QTest::newRow("text beside a picture") << true << true << s("|new|control|9|");
}

void TestFrmReport::paste()
{
    QFETCH(bool, withText);
    QFETCH(bool, withImage);
    QFETCH(QString, row2);
    Worksheet& sheet = *form->f1Report;
    fill(sheet, {"1|Actin|control|200|", "2|old|band|5|"});
    sheet.selectRange(2, 2, 2, 2);
    auto* mime = new QMimeData;
    if (withText)
        mime->setText(s("new\tcontrol\t9"));
    if (withImage)
        mime->setImageData(QImage(8, 8, QImage::Format_RGB32));
    QGuiApplication::clipboard()->setMimeData(mime);

    click(*form, ReportBandEdit, "mnuPaste");

    const QString expected = withText ? s("2|new|control|9|") : row2;
    QCOMPARE(rowText(sheet, 2), expected);
    QCOMPARE(rowText(sheet, 1), s("1|Actin|control|200|"));
    QVERIFY(prompts->messages.isEmpty());
}

void TestFrmReport::tooLargePasteIsReported()
{
    Worksheet& sheet = *form->f1Report;
    fill(sheet, {"1|Actin|control|200|"});
    // A row past the largest sheet cannot be pasted; the sheet stays as it was.
    sheet.data().setSelection(SheetRange{SheetData::MaxRows, 1, SheetData::MaxRows, 1},
                              SheetData::MaxRows, 1);
    QGuiApplication::clipboard()->setText(s("a\r\nb"));
    click(*form, ReportBandToolBar, "mnuPaste");
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(sheet.rowCount(), frmReport::StartRows);
    QCOMPARE(rowText(sheet, 1), s("1|Actin|control|200|"));
}

void TestFrmReport::measuredBandsTravelFromTheMainWindow()
{
    frmScan scan;
    scan.f1Report->setText(1, 2, s("1234"));
    scan.f1Report->setText(1, 3, s("5000"));
    scan.f1Report->setText(2, 2, s("2500"));
    dispatchMainTool(scan, s("mnuCopy"));

    form->f1Report->selectRange(1, 1, 1, 1);
    click(*form, ReportBandEdit, "mnuPaste");

    // Every cell of the main sheet arrives in the same place below the copied headings.
    const QString clip = QGuiApplication::clipboard()->text();
    const int headingLines = int(clip.left(clip.indexOf(s("1234"))).count(s("\r\n")));
    QVERIFY(headingLines >= 1);
    for (int r = 1; r <= 3; ++r) {
        for (int c = 1; c <= 4; ++c)
            QCOMPARE(form->f1Report->text(r + headingLines, c), scan.f1Report->text(r, c));
    }
    QCOMPARE(form->f1Report->text(1 + headingLines, 2), s("1234"));
}

void TestFrmReport::sortOrdersTheSelectedRows()
{
    Worksheet& sheet = *form->f1Report;
    fill(sheet, {"1|Tubulin|band|3|", "2|actin|band|1|", "3|Beta|control|2|", "4|Zeta|band|9|"});
    sheet.selectRange(1, 2, 3, 4);
    click(*form, ReportBandEdit, "mnuSort");
    // Column 1 is outside the selection and stays; row 4 is not selected.
    QCOMPARE(rowText(sheet, 1), s("1|actin|band|1|"));
    QCOMPARE(rowText(sheet, 2), s("2|Beta|control|2|"));
    QCOMPARE(rowText(sheet, 3), s("3|Tubulin|band|3|"));
    QCOMPARE(rowText(sheet, 4), s("4|Zeta|band|9|"));
}

void TestFrmReport::windowStateTools()
{
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const auto check = [this](bool normalOn, bool maximizeOn) {
        for (const int band : {int(ReportBandMain), int(ReportBandFile)}) {
            QCOMPARE(toolOn(*form, band, "mnuNormal"), normalOn);
            QCOMPARE(toolOn(*form, band, "mnuMaximize"), maximizeOn);
            QVERIFY(toolOn(*form, band, "mnuMinimize"));
        }
    };

    click(*form, ReportBandMain, "mnuMaximize");
    QTRY_VERIFY(form->isMaximized());
    check(true, false);

    click(*form, ReportBandFile, "mnuMinimize");
    QTRY_VERIFY(form->isMinimized());
    check(true, false);   // still showing the maximized state

    click(*form, ReportBandMain, "mnuNormal");
    QTRY_VERIFY(!form->isMinimized() && !form->isMaximized());
    check(false, true);

    // A state change by other means leaves the tools alone.
    form->showMaximized();
    check(false, true);
}

void TestFrmReport::toolsNotCommandsChangeNothing()
{
    form->show();
    fill(*form->f1Report, {"1|Actin|control|200|"});
    for (const int band : {int(ReportBandFile), int(ReportBandEdit), int(ReportBandToolBar)}) {
        const Band& b = form->tbrReport->band(band);
        for (int t = 0; t < b.toolCount(); ++t) {
            if (b.toolAt(t).kind() == ToolKind::Separator)
                dispatchReportTool(*form, b.toolAt(t).name());
        }
    }
    dispatchReportTool(*form, s("Tool26"));
    dispatchReportTool(*form, s("mnuEdit"));
    dispatchReportTool(*form, s("mnucalculate"));
    QVERIFY(form->isVisible());
    QCOMPARE(form->windowTitle(), s("No Title"));
    QCOMPARE(rowText(*form->f1Report, 1), s("1|Actin|control|200|"));
    QVERIFY(prompts->messages.isEmpty());
}

void TestFrmReport::closeHidesAndKeepsData()
{
    form->show();
    fill(*form->f1Report, {"1|Actin|control|200|"});
    QPointer<frmReport> guard(form.get());
    click(*form, ReportBandMain, "mnuClose");
    QVERIFY(!form->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard);
    QCOMPARE(rowText(*form->f1Report, 1), s("1|Actin|control|200|"));
}

void TestFrmReport::showReportOpensOneWindowThatEndsWithTheProgram()
{
    form.reset();
    QCOMPARE(frmReport::existing(), nullptr);

    frmScan scan;
    scan.show();
    frmReport::showReport();
    frmReport* report = frmReport::existing();
    QVERIFY(report);
    QVERIFY(report->isVisible());
    QVERIFY(!report->parent());
    report->f1Report->setText(1, 2, s("Actin"));

    report->closeReport();
    QVERIFY(!report->isVisible());
    report->showMinimized();
    frmReport::showReport();
    QCOMPARE(frmReport::existing(), report);
    QVERIFY(report->isVisible());
    QVERIFY(!report->isMinimized());
    QCOMPARE(report->f1Report->text(1, 2), s("Actin"));
    QCOMPARE(&frmReport::showReport(), report);

    // Closing the main window ends the program, and the report window with it.
    scan.close();
    QTRY_COMPARE(frmReport::existing(), nullptr);
}

QTEST_MAIN(TestFrmReport)
#include "tst_frmreport.moc"
