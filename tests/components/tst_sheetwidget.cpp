#include "components/sheetmodel.h"
#include "components/worksheet.h"
#include "core/error.h"
#include "core/sheetdata.h"
#include "support/fakeprompts.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPalette>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <cmath>

using namespace kesto;

class TestSheetWidget : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void modelPassesTheItemModelTester();
    void sizeFollowsTheData();
    void columnWidthsUseTheCharacterWidthOfArial10_data();
    void columnWidthsUseTheCharacterWidthOfArial10();
    void draggedColumnWidthIsKeptInSheetUnits();
    void headingsShowNamesOrLetters();
    void clickReportsOneBasedCell();
    void mousePressRaisesSheetMouseDown();
    void typingEditsTheCell();
    void codeSelectionShowsInTheView();
    void userSelectionReachesTheSheet();
    void fillAndTextColourReachTheView();
    void normalTextFollowsADarkTheme_data();
    void normalTextFollowsADarkTheme();
    void copyAndPasteKeysUseTheClipboard();
    void deleteKeyEmptiesTheSelection();
    void saveDialogOffersTheThreeTypes_data();
    void saveDialogOffersTheThreeTypes();
    void cancelledSaveDialogGivesAnEmptyPath();
    void cancelledPrintDialogRaisesAnError();

private:
    static QPoint cellCentre(Worksheet& sheet, int row, int column)
    {
        return sheet.view()->visualRect(sheet.model()->index(row - 1, column - 1)).center();
    }
};

void TestSheetWidget::normalTextFollowsADarkTheme_data()
{
    QTest::addColumn<QColor>("base");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("normalCell");
    QTest::newRow("light theme: black as ever")
        << QColor(Qt::white) << QColor(40, 40, 40) << QColor(Qt::black);
    QTest::newRow("dark theme: the theme's text")
        << QColor(30, 30, 30) << QColor(230, 230, 230) << QColor(230, 230, 230);
}

void TestSheetWidget::normalTextFollowsADarkTheme()
{
    QFETCH(QColor, base);
    QFETCH(QColor, text);
    QFETCH(QColor, normalCell);
    const QPalette before = QGuiApplication::palette();
    QPalette theme = before;
    theme.setColor(QPalette::Base, base);
    theme.setColor(QPalette::Text, text);
    QGuiApplication::setPalette(theme);
    SheetData data(1, 2);
    data.setRangeTextColour({1, 2, 1, 2}, rgbValue(255, 255, 255)); // the working cell
    SheetModel model(data);
    const QColor normal = model.index(0, 0).data(Qt::ForegroundRole).value<QBrush>().color();
    const QColor working = model.index(0, 1).data(Qt::ForegroundRole).value<QBrush>().color();
    QGuiApplication::setPalette(before);
    QCOMPARE(normal, normalCell);
    QCOMPARE(working, QColor(Qt::white));
}

void TestSheetWidget::modelPassesTheItemModelTester()
{
    SheetData data(3, 2);
    SheetModel model(data);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    data.setText(2, 2, QStringLiteral("x"));
    data.setRowCount(10);
    data.setColumnCount(5);
    data.setTextAt(9, 4, u"a\tb\tc\r\nd");
    data.deleteRange({1, 1, 2, 5});
    data.sortRange({1, 1, 12, 6}, true, 4);
    data.setColumnCount(1);
    data.setRowCount(0);
    data.resize(4, 4);
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.columnCount(), 4);
}

void TestSheetWidget::sizeFollowsTheData()
{
    Worksheet sheet;
    sheet.setColumnCount(4);
    sheet.setRowCount(20);
    QCOMPARE(sheet.model()->rowCount(), 20);
    QCOMPARE(sheet.model()->columnCount(), 4);
    QCOMPARE(sheet.view()->model()->rowCount(), 20);
    sheet.setText(25, 6, QStringLiteral("far"));
    QCOMPARE(sheet.rowCount(), 25);
    QCOMPARE(sheet.columnCount(), 6);
    QCOMPARE(sheet.model()->index(24, 5).data().toString(), QStringLiteral("far"));
    sheet.setRowCount(3);
    QCOMPARE(sheet.view()->model()->rowCount(), 3);
    QCOMPARE(sheet.text(25, 6), QString());
}

void TestSheetWidget::columnWidthsUseTheCharacterWidthOfArial10_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("characters");
    QTest::newRow("one character") << 256 << 1.0;
    QTest::newRow("report description column") << 10203 << 10203 / 256.0;
    QTest::newRow("ten characters") << 2560 << 10.0;
    QTest::newRow("hidden") << 0 << 0.0;
}

void TestSheetWidget::columnWidthsUseTheCharacterWidthOfArial10()
{
    QFETCH(int, width);
    QFETCH(double, characters);
    Worksheet sheet;
    sheet.setColumnCount(2);
    sheet.setColumnWidth(2, width);
    QCOMPARE(sheet.columnWidth(2), width);
    QFont arial(QStringLiteral("Arial"), 10);
    const double zero = QFontMetricsF(arial).horizontalAdvance(QLatin1Char('0'));
    QCOMPARE(sheet.view()->columnWidth(1), int(std::lround(characters * zero)));
    QCOMPARE(sheet.defaultFont().pointSize(), 10);
}

void TestSheetWidget::draggedColumnWidthIsKeptInSheetUnits()
{
    Worksheet sheet;
    sheet.setColumnCount(3);
    const double zero = sheet.characterWidth();
    sheet.view()->horizontalHeader()->resizeSection(2, int(std::lround(20 * zero)));
    QVERIFY(std::abs(sheet.columnWidth(3) - 20 * 256) <= 256 / zero + 1);
}

void TestSheetWidget::headingsShowNamesOrLetters()
{
    Worksheet sheet;
    sheet.setColumnCount(28);
    sheet.setHeadingText(1, QStringLiteral("#"));
    QCOMPARE(sheet.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("#"));
    QCOMPARE(sheet.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("B"));
    QCOMPARE(sheet.model()->headerData(26, Qt::Horizontal).toString(), QStringLiteral("AA"));
    sheet.setRowCount(3);
    QCOMPARE(sheet.model()->headerData(2, Qt::Vertical).toString(), QStringLiteral("3"));
    QCOMPARE(sheet.headingText(1), QStringLiteral("#"));
    QCOMPARE(sheet.headingText(2), QString());
    QCOMPARE(sheet.headingText(29), QString());
}

void TestSheetWidget::clickReportsOneBasedCell()
{
    Worksheet sheet;
    sheet.resize(400, 300);
    sheet.setColumnCount(4);
    sheet.setRowCount(10);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QSignalSpy clicks(&sheet, &Worksheet::cellClicked);
    QTest::mouseClick(sheet.view()->viewport(), Qt::LeftButton, {}, cellCentre(sheet, 3, 2));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.at(0).at(0).toInt(), 3);
    QCOMPARE(clicks.at(0).at(1).toInt(), 2);
    int row = 0, column = 0;
    sheet.activeCell(row, column);
    QCOMPARE(row, 3);
    QCOMPARE(column, 2);
}

void TestSheetWidget::mousePressRaisesSheetMouseDown()
{
    Worksheet sheet;
    sheet.resize(400, 300);
    sheet.setColumnCount(2);
    sheet.setRowCount(2);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QSignalSpy presses(&sheet, &Worksheet::sheetMouseDown);
    QTest::mousePress(sheet.view()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(sheet.view()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(presses.count(), 1);
}

void TestSheetWidget::typingEditsTheCell()
{
    Worksheet sheet;
    sheet.resize(400, 300);
    sheet.setColumnCount(3);
    sheet.setRowCount(3);
    sheet.show();
    QApplication::setActiveWindow(&sheet);
    QVERIFY(QTest::qWaitForWindowActive(&sheet));
    sheet.setActiveCell(2, 3);
    sheet.view()->setFocus();
    // The first key opens the editor, which then has the focus for the rest.
    QTest::keyClick(sheet.view(), '1');
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(editor && editor != sheet.view());
    QTest::keyClicks(editor, QStringLiteral("2.5"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(sheet.text(2, 3), QStringLiteral("12.5"));
    QCOMPARE(sheet.number(2, 3), 12.5);
}

void TestSheetWidget::codeSelectionShowsInTheView()
{
    Worksheet sheet;
    sheet.setColumnCount(4);
    sheet.setRowCount(5);
    sheet.selectRange(2, 2, 3, 4);
    const QModelIndexList selected = sheet.view()->selectionModel()->selectedIndexes();
    QCOMPARE(selected.size(), 6);
    QCOMPARE(sheet.view()->currentIndex(), sheet.model()->index(1, 1));
    int row = 0, column = 0;
    sheet.activeCell(row, column);
    QCOMPARE(row, 2);
    QCOMPARE(column, 2);
}

void TestSheetWidget::userSelectionReachesTheSheet()
{
    Worksheet sheet;
    sheet.resize(400, 300);
    sheet.setColumnCount(4);
    sheet.setRowCount(6);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QTest::mouseClick(sheet.view()->viewport(), Qt::LeftButton, {}, cellCentre(sheet, 2, 1));
    QTest::mouseClick(sheet.view()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      cellCentre(sheet, 4, 3));
    const SheetRange expected{2, 1, 4, 3};
    QCOMPARE(sheet.data().selection(), expected);
}

void TestSheetWidget::fillAndTextColourReachTheView()
{
    Worksheet sheet;
    sheet.setColumnCount(4);
    sheet.setRowCount(4);
    sheet.selectRange(2, 3, 2, 3);
    sheet.setSelectionPattern(1, rgbValue(10, 20, 30), rgbValue(10, 20, 30));
    sheet.setSelectionTextColor(rgbValue(255, 255, 255));
    const QModelIndex cell = sheet.model()->index(1, 2);
    QCOMPARE(cell.data(Qt::BackgroundRole).value<QBrush>().color(), QColor(10, 20, 30));
    QCOMPARE(cell.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 255, 255));
    const QModelIndex other = sheet.model()->index(1, 1);
    QVERIFY(!other.data(Qt::BackgroundRole).isValid());
    QCOMPARE(other.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 0));
}

void TestSheetWidget::copyAndPasteKeysUseTheClipboard()
{
    Worksheet sheet;
    sheet.setColumnCount(2);
    sheet.setRowCount(2);
    sheet.setText(1, 1, QStringLiteral("a"));
    sheet.setText(1, 2, QStringLiteral("b"));
    sheet.selectRange(1, 1, 1, 2);
    QTest::keySequence(sheet.view(), QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a\tb"));
    QGuiApplication::clipboard()->setText(QStringLiteral("x\ty\r\nz"));
    sheet.setActiveCell(2, 2);
    QTest::keySequence(sheet.view(), QKeySequence::Paste);
    QCOMPARE(sheet.text(2, 2), QStringLiteral("x"));
    QCOMPARE(sheet.text(2, 3), QStringLiteral("y"));
    QCOMPARE(sheet.text(3, 2), QStringLiteral("z"));
}

void TestSheetWidget::deleteKeyEmptiesTheSelection()
{
    Worksheet sheet;
    sheet.setColumnCount(3);
    sheet.setRowCount(1);
    for (int c = 1; c <= 3; ++c)
        sheet.setText(1, c, QString::number(c));
    sheet.selectRange(1, 1, 1, 2);
    QTest::keyClick(sheet.view(), Qt::Key_Delete);
    QCOMPARE(sheet.text(1, 1), QString());
    QCOMPARE(sheet.text(1, 2), QString());
    QCOMPARE(sheet.text(1, 3), QStringLiteral("3"));
}

void TestSheetWidget::saveDialogOffersTheThreeTypes_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("type");
    QTest::newRow("workbook gets .xlsx") << "/tmp/r" << 0 << "/tmp/r.xlsx" << 0;
    QTest::newRow("csv gets .csv") << "/tmp/r" << 1 << "/tmp/r.csv" << 1;
    QTest::newRow("text gets .txt") << "/tmp/r" << 2 << "/tmp/r.txt" << 2;
    QTest::newRow("own suffix kept") << "/tmp/r.tsv" << 2 << "/tmp/r.tsv" << 2;
    QTest::newRow("csv name under workbook filter") << "/tmp/r.CSV" << 0 << "/tmp/r.CSV" << 1;
}

void TestSheetWidget::saveDialogOffersTheThreeTypes()
{
    QFETCH(QString, answer);
    QFETCH(int, filter);
    QFETCH(QString, path);
    QFETCH(int, type);
    test::FakePrompts prompts;
    prompts.saveAnswers << answer;
    prompts.saveFilterAnswers << filter;
    Worksheet sheet;
    QString chosen;
    SheetFileType chosenType = SheetFileType::Excel;
    sheet.saveDialog(QStringLiteral("Save Report"), chosen, chosenType);
    QCOMPARE(prompts.saveTitles, QStringList{QStringLiteral("Save Report")});
    QCOMPARE(chosen, path);
    QCOMPARE(int(chosenType), type);
}

void TestSheetWidget::cancelledSaveDialogGivesAnEmptyPath()
{
    test::FakePrompts prompts;
    prompts.saveAnswers << QString();
    Worksheet sheet;
    QString path = QStringLiteral("/tmp/old.xlsx");
    SheetFileType type = SheetFileType::Csv;
    sheet.saveDialog(QStringLiteral("Save Report"), path, type);
    QCOMPARE(path, QString());
}

void TestSheetWidget::cancelledPrintDialogRaisesAnError()
{
    test::FakePrompts prompts;
    prompts.printAnswers << false;
    Worksheet sheet;
    try {
        sheet.print(true);
        QFAIL("a cancelled print dialog went unnoticed");
    } catch (const Error& e) {
        QCOMPARE(e.number(), Worksheet::PrintCancelled);
    }
    QCOMPARE(prompts.printDialogs, 1);
}

QTEST_MAIN(TestSheetWidget)
#include "tst_sheetwidget.moc"
