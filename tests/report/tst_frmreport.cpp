#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "components/worksheet.h"
#include "core/sheetdata.h"
#include "report/frmreport.h"
#include "support/fakeprompts.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <initializer_list>
#include <memory>
#include <optional>

using namespace kesto;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// Fills rows from row 1, each given as its cells from column 1, "|"-separated.
void fill(Worksheet& sheet, std::initializer_list<const char*> rows)
{
    int r = 0;
    for (const char* row : rows) {
        const QStringList cells = s(row).split(QLatin1Char('|'));
        ++r;
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

} // namespace

class TestFrmReport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void startsAsLaidOut();
    void columnsKeepTheirShareOfTheWidth();
    void deleteRow_data();
    void deleteRow();
    void deleteAsksAboutTheCursorRowOfARange();
    void titleAndPrintHeader_data();
    void titleAndPrintHeader();
    void failuresAreReportedAndDataKept();
    void copyPutsTheSelectionOnTheClipboard();
    void paste_data();
    void paste();
    void measuredBandsTravelFromTheMainWindow();
    void sortKeepsRowsWhole_data();
    void sortKeepsRowsWhole();
    void tableGrowsAtItsLastRow();
    void sendRowsToReportGivesPerCentOfControl();
    void windowStateTools();
    // Runs last: closing the main window ends the program's windows.
    void showReportOpensOneWindowThatEndsWithTheProgram();

private:
    bool toolOn(int band, const char* name) const
    {
        const Tool& tool = form->tool(band, s(name));
        // The Qt action carries the state too, so a withdrawn tool shows greyed out.
        return tool.isEnabled() && tool.action()->isEnabled();
    }
    void click(int band, const char* name) { form->tbrReport->click(form->tool(band, s(name))); }

    std::unique_ptr<test::FakePrompts> prompts;
    std::unique_ptr<frmReport> form;
};

void TestFrmReport::init()
{
    prompts = std::make_unique<test::FakePrompts>();
    form = std::make_unique<frmReport>();
}

void TestFrmReport::cleanup()
{
    form.reset();
    prompts.reset();
    QGuiApplication::clipboard()->clear();
}

void TestFrmReport::startsAsLaidOut()
{
    QCOMPARE(form->windowTitle(), s("No Title"));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(form->frameGeometry().topRight(), screen.topRight());

    const Worksheet& sheet = *form->f1Report;
    QCOMPARE(sheet.sheetName(), s("Sheet1"));
    QCOMPARE(sheet.headingText(4), s("Scan (rel.units)"));
    QCOMPARE(sheet.printHeader(), s("&A"));
    QCOMPARE(sheet.printFooter(), s("Page &P"));
    QCOMPARE(form->tbrReport->clientAreaControl(), &sheet);

    // Normalize is withdrawn in both of its places; everything else is offered.
    for (int b = 0; b < form->tbrReport->bandCount(); ++b) {
        const Band& band = form->tbrReport->band(b);
        for (int t = 0; t < band.toolCount(); ++t) {
            const Tool& tool = band.toolAt(t);
            if (tool.kind() == ToolKind::Button)
                QCOMPARE(toolOn(b, qPrintable(tool.name())),
                         tool.name() != QLatin1String("mnuNormal"));
        }
    }
}

void TestFrmReport::columnsKeepTheirShareOfTheWidth()
{
    Worksheet& sheet = *form->f1Report;
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(sheet.columnWidth(2), 10203); // the stored width at the stored size
    // A column added after load has no share and keeps its width.
    sheet.setColumnCount(6);
    sheet.setColumnWidth(6, 5000);

    form->resize(1440, 420);
    QTRY_COMPARE(sheet.columnWidth(1), 2194);
    QCOMPARE(sheet.columnWidth(5), 7826);
    QCOMPARE(sheet.columnWidth(6), 5000);
    // 10203 x 3000 / 720 = 42512.5 does not fit the 16-bit width: held at the largest.
    form->resize(3000, 420);
    QTRY_COMPARE(sheet.columnWidth(2), 32767);
    // 1097 x 360 / 720 = 548.5 rounds to the even 548.
    form->resize(360, 420);
    QTRY_COMPARE(sheet.columnWidth(1), 548);
}

void TestFrmReport::deleteRow_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cursorRow");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("after");
    const QString a = s("1|A|control|10|"), b = s("2|B|band|5|"), c = s("3|C|band|7|");
    QTest::newRow("yes: rows below move up") << 3 << 2 << true << QStringList{a, c};
    QTest::newRow("no keeps every row") << 3 << 2 << false << QStringList{a, b, c};
    QTest::newRow("only row is emptied, one row stays") << 1 << 1 << true << QStringList{s("||||")};
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

    click(ReportBandEdit, "mnuDeleteRow");

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
    fill(sheet, {"1", "2", "3", "4", "5"});
    sheet.data().setSelection(SheetRange{2, 1, 4, 5}, 3, 2);
    prompts->messageAnswers = {MessageAnswer::Yes};

    click(ReportBandToolBar, "mnuDeleteRow");

    QCOMPARE(prompts->messages.at(0).text, s("Delete row #3?"));
    QCOMPARE(sheet.rowCount(), 4);
    QCOMPARE(sheet.text(2, 1) + sheet.text(3, 1) + sheet.text(4, 1), s("245"));
}

void TestFrmReport::titleAndPrintHeader_data()
{
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QString>("answer"); // when answered; otherwise Cancel
    QTest::addColumn<QString>("header");
    QTest::newRow("new title") << true << s("Liver, day 3") << s("&BLiver, day 3");
    QTest::newRow("empty answer") << true << QString() << s("&B");
    QTest::newRow("cancel") << false << QString() << s("&B");
    QTest::newRow("ampersands print as they stand") << true << s("R&D &P") << s("&BR&&D &&P");
}

void TestFrmReport::titleAndPrintHeader()
{
    QFETCH(bool, answered);
    QFETCH(QString, answer);
    QFETCH(QString, header);
    prompts->inputAnswers = {answered ? std::optional<QString>(answer) : std::nullopt};
    click(ReportBandEdit, "mnuTitle");
    QCOMPARE(prompts->inputPrompts, QStringList{s("Please enter a title of the series:")});
    QCOMPARE(form->windowTitle(), answer);

    prompts->printAnswers = {false}; // the print dialog is cancelled: no failure
    click(ReportBandToolBar, "mnuPrint");
    QCOMPARE(prompts->printDialogs, 1);
    QCOMPARE(form->f1Report->printHeader(), header);
    QVERIFY(form->f1Report->printGridlines());
    QVERIFY(prompts->messages.isEmpty());
}

void TestFrmReport::failuresAreReportedAndDataKept()
{
    form->show();
    fill(*form->f1Report, {"1|Actin|control|200|"});
    prompts->saveAnswers = {s("/nonexistent-folder/bands.csv")};
    click(ReportBandFile, "mnuSave");
    prompts->printToPdf = s("/nonexistent-folder/bands.pdf");
    click(ReportBandFile, "mnuPrint");
    // A paste reaching past the largest sheet.
    form->f1Report->data().setSelection(SheetRange{SheetData::MaxRows, 1, SheetData::MaxRows, 1},
                                        SheetData::MaxRows, 1);
    QGuiApplication::clipboard()->setText(s("a\r\nb"));
    click(ReportBandEdit, "mnuPaste");

    QCOMPARE(prompts->messages.size(), 3);
    QVERIFY2(prompts->messages[0].text.contains(s("bands.csv")),
             qPrintable(prompts->messages[0].text));
    QVERIFY(form->isVisible());
    QCOMPARE(form->f1Report->rowCount(), frmReport::StartRows);
    QCOMPARE(rowText(*form->f1Report, 1), s("1|Actin|control|200|"));
}

void TestFrmReport::copyPutsTheSelectionOnTheClipboard()
{
    fill(*form->f1Report, {"1|Actin|control|200|", "2|Actin|band|50|25"});
    form->f1Report->selectRange(1, 2, 2, 4);
    QGuiApplication::clipboard()->setImage(QImage(4, 4, QImage::Format_RGB32));
    click(ReportBandEdit, "mnuCopy");
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    QVERIFY(!mime->hasImage()); // the clipboard was emptied first
    QCOMPARE(mime->text(), s("Actin\tcontrol\t200\r\nActin\tband\t50"));
}

void TestFrmReport::paste_data()
{
    QTest::addColumn<bool>("withText");
    QTest::addColumn<bool>("withImage");
    QTest::newRow("text") << true << false;
    QTest::newRow("picture only does nothing") << false << true;
    // Spreadsheet programs offer a picture of the cells beside their text.
    QTest::newRow("text beside a picture") << true << true;
}

void TestFrmReport::paste()
{
    QFETCH(bool, withText);
    QFETCH(bool, withImage);
    Worksheet& sheet = *form->f1Report;
    fill(sheet, {"1|Actin|control|200|", "2|old|band|5|"});
    sheet.selectRange(2, 2, 2, 2);
    auto* mime = new QMimeData;
    if (withText)
        mime->setText(s("new\tcontrol\t9"));
    if (withImage)
        mime->setImageData(QImage(8, 8, QImage::Format_RGB32));
    QGuiApplication::clipboard()->setMimeData(mime);

    click(ReportBandEdit, "mnuPaste");

    QCOMPARE(rowText(sheet, 2), withText ? s("2|new|control|9|") : s("2|old|band|5|"));
    QCOMPARE(rowText(sheet, 1), s("1|Actin|control|200|"));
}

void TestFrmReport::measuredBandsTravelFromTheMainWindow()
{
    frmScan scan;
    fill(*scan.f1Report, {"1|1234|5000|24.7", "2|2500||"});
    dispatchMainTool(scan, s("mnuCopy"));
    form->f1Report->selectRange(1, 1, 1, 1);
    click(ReportBandEdit, "mnuPaste");

    // The main sheet's cells arrive below the lines of headings the copy starts with.
    const QString clip = QGuiApplication::clipboard()->text();
    const int headingLines = int(clip.left(clip.indexOf(s("1234"))).count(s("\r\n")));
    QVERIFY(headingLines >= 1);
    QCOMPARE(rowText(*form->f1Report, headingLines + 1), s("1|1234|5000|24.7|"));
    QCOMPARE(rowText(*form->f1Report, headingLines + 2), s("2|2500|||"));
}

void TestFrmReport::sortKeepsRowsWhole_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QList<int>>("selection"); // first row, first column, last row, last column
    QTest::addColumn<QStringList>("sorted");
    const QString head = s("#|Description|Type|Scan (rel.units)|Expression (%)");
    const QStringList byDescription = {s("3|Actin|control|300|"), s("1|Beta|band|50|"),
                                       s("2|Gamma|band|20|")};
    const QStringList byScan = {s("2|Gamma|band|20|"), s("1|Beta|band|50|"),
                                s("3|Actin|control|300|")};
    QTest::newRow("one description cell") << QString() << QList<int>{2, 2, 2, 2} << byDescription;
    QTest::newRow("the scan column") << QString() << QList<int>{1, 4, 3, 4} << byScan;
    QTest::newRow("header stays on top") << head << QList<int>{3, 4, 3, 4} << byScan;
}

void TestFrmReport::sortKeepsRowsWhole()
{
    QFETCH(QString, header);
    QFETCH(QList<int>, selection);
    QFETCH(QStringList, sorted);
    const int offset = header.isEmpty() ? 0 : 1;
    if (offset)
        fill(*form->f1Report, {header.toUtf8().constData()});
    const char* rows[] = {"1|Beta|band|50|", "2|Gamma|band|20|", "3|Actin|control|300|"};
    for (int r = 0; r < 3; ++r) {
        const QStringList cells = s(rows[r]).split(QLatin1Char('|'));
        for (int c = 0; c < cells.size(); ++c)
            form->f1Report->setText(r + 1 + offset, c + 1, cells.at(c));
    }
    form->f1Report->selectRange(selection[0] + offset, selection[1], selection[2] + offset,
                                selection[3]);
    click(ReportBandEdit, "mnuSort");

    if (offset)
        QCOMPARE(rowText(*form->f1Report, 1), header);
    for (int r = 0; r < 3; ++r)
        QCOMPARE(rowText(*form->f1Report, r + 1 + offset), sorted.at(r));
    QCOMPARE(rowText(*form->f1Report, 4 + offset), s("||||"));
}

void TestFrmReport::tableGrowsAtItsLastRow()
{
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QTableView* view = form->f1Report->view();
    view->setCurrentIndex(view->model()->index(frmReport::StartRows - 2, 1));
    QCOMPARE(form->f1Report->rowCount(), frmReport::StartRows);
    // The cursor stepping onto the last row, as the Down key does, adds a row to type in.
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(form->f1Report->rowCount(), frmReport::StartRows + 1);
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(form->f1Report->rowCount(), frmReport::StartRows + 2);
}

void TestFrmReport::sendRowsToReportGivesPerCentOfControl()
{
    form.reset();
    frmScan scan;
    // Row 2 has no control, row 3 a control that is no usable number: neither is sent.
    fill(*scan.f1Report, {"1|1234|5000|24.7", "2|2500||", "3|10|1234,5|", "4|-300|-1200|25.0"});
    scan.tbrMain->click(scan.tbrMain->band(BandOptions).tool(s("mnuSendRows")));
    frmReport* report = frmReport::existing();
    QVERIFY(report);
    QVERIFY(report->isVisible());
    report->tbrReport->click(report->tool(ReportBandMain, s("mnuCalculate")));

    const Worksheet& sheet = *report->f1Report;
    QCOMPARE(rowText(sheet, 1), s("|Row 1||1234|24.68"));
    QCOMPARE(rowText(sheet, 2), s("|Row 1|control|5000|"));
    QCOMPARE(rowText(sheet, 3), s("|Row 4||-300|25"));
    QCOMPARE(rowText(sheet, 4), s("|Row 4|control|-1200|"));
    QCOMPARE(rowText(sheet, 5), s("||||"));
    QVERIFY(prompts->messages.isEmpty());
    delete report;
}

void TestFrmReport::windowStateTools()
{
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const auto expectTools = [this](bool normalOn, bool maximizeOn) {
        for (const int band : {int(ReportBandMain), int(ReportBandFile)}) {
            QCOMPARE(toolOn(band, "mnuNormal"), normalOn);
            QCOMPARE(toolOn(band, "mnuMaximize"), maximizeOn);
            QVERIFY(toolOn(band, "mnuMinimize"));
        }
    };
    click(ReportBandMain, "mnuMaximize");
    QTRY_VERIFY(form->isMaximized());
    expectTools(true, false);
    click(ReportBandFile, "mnuMinimize");
    QTRY_VERIFY(form->isMinimized());
    expectTools(true, false); // still the maximized state
    click(ReportBandMain, "mnuNormal");
    QTRY_VERIFY(!form->isMinimized() && !form->isMaximized());
    expectTools(false, true);
    form->showMaximized(); // by other means: the tools stay
    expectTools(false, true);
}

void TestFrmReport::showReportOpensOneWindowThatEndsWithTheProgram()
{
    form.reset();
    QCOMPARE(frmReport::existing(), nullptr);
    frmScan scan;
    scan.show();

    // Report -> Show on the main window.
    const auto showFromMainWindow = [&scan] {
        scan.tbrMain->click(scan.tbrMain->band(BandOptions).tool(s("mnuShowOptions")));
    };
    showFromMainWindow();
    QVERIFY(frmReport::existing());
    frmReport& report = *frmReport::existing();
    QVERIFY(report.isVisible());
    QVERIFY(!report.parent());
    report.f1Report->setText(1, 2, s("Actin"));

    report.tbrReport->click(report.tool(ReportBandMain, s("mnuClose")));
    QVERIFY(!report.isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(frmReport::existing(), &report); // hidden, not disposed of

    report.showMinimized();
    showFromMainWindow();
    QCOMPARE(frmReport::existing(), &report);
    QVERIFY(report.isVisible());
    QVERIFY(!report.isMinimized());
    QCOMPARE(report.f1Report->text(1, 2), s("Actin"));

    // Closing the main window ends the program, and the report window with it.
    const QPointer<frmReport> guard(&report);
    scan.close();
    QCOMPARE(frmReport::existing(), nullptr);
    QTRY_VERIFY(!guard);
}

QTEST_MAIN(TestFrmReport)
#include "tst_frmreport.moc"
