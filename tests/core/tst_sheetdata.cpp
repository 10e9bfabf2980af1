#include "core/error.h"
#include "core/sheetdata.h"

#include <QTest>

#include <initializer_list>
#include <limits>

using namespace kesto;

using Rows = QList<QStringList>;

static QStringList L(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* text : texts)
        list << QString::fromUtf8(text);
    return list;
}

class TestSheetData : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parseTabText_data();
    void parseTabText();
    void roundTripIsExact_data();
    void roundTripIsExact();
    void pasteGrowsTheSheet();
    void pasteTooLargeLeavesTheSheetAsItWas();
    void pasteSelectsWhatWasWritten();
    void numberReadsTheText_data();
    void numberReadsTheText();
    void setNumberRefusesNonFiniteValues();
    void badAddressesRaiseErrors_data();
    void badAddressesRaiseErrors();
    void readingPastTheSheetGivesEmptyCells();
    void shrinkingDropsRowsAndGrowingGivesEmptyOnes();
    void deleteRowMovesRowsBelowUp();
    void deletePartOfARowMovesOnlyThoseColumns();
    void deleteTheOnlyRowEmptiesIt();
    void sortOrdersNumbersTextsAndBlanks_data();
    void sortOrdersNumbersTextsAndBlanks();
    void sortMovesWholeRowsOfTheRangeOnly();
    void sortIsStable();
    void sortByColumns();
    void fillAndTextColourCoverExactlyTheSelection();
    void patternOutOfRangeIsRefused();
    void headingsAndWidths();
    void selectionRangeIsNormalised();
    void notesFollowTheirValues();
};

void TestSheetData::parseTabText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Rows>("rows");
    QTest::newRow("empty text") << QString() << Rows{};
    QTest::newRow("one cell") << "a" << Rows{L({"a"})};
    QTest::newRow("CR LF") << "a\tb\r\nc\td" << Rows{L({"a", "b"}), L({"c", "d"})};
    QTest::newRow("LF") << "a\tb\nc\td" << Rows{L({"a", "b"}), L({"c", "d"})};
    QTest::newRow("CR") << "a\tb\rc\td" << Rows{L({"a", "b"}), L({"c", "d"})};
    QTest::newRow("trailing CR LF") << "a\tb\r\n" << Rows{L({"a", "b"})};
    QTest::newRow("trailing LF") << "a\n" << Rows{L({"a"})};
    QTest::newRow("blank line inside") << "a\r\n\r\nb" << Rows{L({"a"}), L({""}), L({"b"})};
    QTest::newRow("empty cells") << "\t\t\r\n\tx\t" << Rows{L({"", "", ""}), L({"", "x", ""})};
    QTest::newRow("quoted tab") << "\"a\tb\"\tc" << Rows{L({"a\tb", "c"})};
    QTest::newRow("quoted line break")
        << "\"line 1\nline 2\"\tz" << Rows{L({"line 1\nline 2", "z"})};
    QTest::newRow("quoted CR LF") << "\"x\r\ny\"" << Rows{L({"x\r\ny"})};
    QTest::newRow("doubled quotes") << "\"say \"\"hi\"\"\"" << Rows{L({"say \"hi\""})};
    QTest::newRow("quote inside an unquoted field") << "5\" disk\tb" << Rows{L({"5\" disk", "b"})};
    QTest::newRow("unclosed quote read literally")
        << "\"open\tb\r\nc" << Rows{L({"\"open", "b"}), L({"c"})};
    QTest::newRow("text after closing quote kept") << "\"ab\"cd\te" << Rows{L({"abcd", "e"})};
    QTest::newRow("empty quoted field") << "\"\"\tx" << Rows{L({"", "x"})};
    QTest::newRow("ragged rows") << "a\tb\tc\r\nd" << Rows{L({"a", "b", "c"}), L({"d"})};
    QTest::newRow("unicode") << QStringLiteral("µg\t\u00e9t\u00e9\r\n\u6f22\U0001F600")
                             << Rows{{QStringLiteral("µg"), QStringLiteral("\u00e9t\u00e9")},
                                     {QStringLiteral("\u6f22\U0001F600")}};
}

void TestSheetData::parseTabText()
{
    QFETCH(QString, text);
    QFETCH(Rows, rows);
    QCOMPARE(kesto::parseTabText(text), rows);
}

void TestSheetData::roundTripIsExact_data()
{
    QTest::addColumn<Rows>("cells");
    QTest::newRow("plain") << Rows{L({"1", "2.5"}), L({"x", "y"})};
    QTest::newRow("tabs and quotes") << Rows{L({"a\tb", "\"quoted\""}), L({"x\"y", "\""})};
    QTest::newRow("line breaks") << Rows{L({"l1\r\nl2", "l1\nl2"}), L({"\r", "end\n"})};
    QTest::newRow("empty cells") << Rows{L({"", ""}), L({"", "z"})};
    QTest::newRow("leading quote only") << Rows{L({"\"a", "b\""})};
    QTest::newRow("unicode and blanks")
        << Rows{{QStringLiteral(" \u00e9 "), QStringLiteral("\u03bcl")}};
}

void TestSheetData::roundTripIsExact()
{
    QFETCH(Rows, cells);
    SheetData out(int(cells.size()), int(cells.first().size()));
    for (int r = 0; r < cells.size(); ++r)
        for (int c = 0; c < cells[r].size(); ++c)
            out.setText(r + 1, c + 1, cells[r][c]);
    const QString text = out.rangeText({1, 1, out.rowCount(), out.columnCount()});

    SheetData in;
    in.setTextAt(1, 1, text);
    QCOMPARE(in.rowCount(), out.rowCount());
    QCOMPARE(in.columnCount(), out.columnCount());
    for (int r = 1; r <= out.rowCount(); ++r)
        for (int c = 1; c <= out.columnCount(); ++c)
            QCOMPARE(in.text(r, c), out.text(r, c));
}

void TestSheetData::pasteGrowsTheSheet()
{
    SheetData data(2, 2);
    data.setText(1, 1, QStringLiteral("keep"));
    data.selectRange(2, 2, 2, 2);
    data.setSelectionText(u"a\tb\tc\r\nd\te\tf\r\ng\th\ti\r\n");
    QCOMPARE(data.rowCount(), 4);
    QCOMPARE(data.columnCount(), 4);
    QCOMPARE(data.text(1, 1), QStringLiteral("keep"));
    QCOMPARE(data.text(2, 2), QStringLiteral("a"));
    QCOMPARE(data.text(4, 4), QStringLiteral("i"));
    QCOMPARE(data.text(3, 3), QStringLiteral("e"));
}

void TestSheetData::pasteTooLargeLeavesTheSheetAsItWas()
{
    SheetData data(3, 3);
    data.setText(1, 1, QStringLiteral("x"));
    data.selectRange(SheetData::MaxRows, 1, SheetData::MaxRows, 1);
    QVERIFY_THROWS_EXCEPTION(Error, data.setSelectionText(u"1\r\n2"));
    QCOMPARE(data.rowCount(), 3);
    QCOMPARE(data.columnCount(), 3);
    QCOMPARE(data.text(1, 1), QStringLiteral("x"));
}

void TestSheetData::pasteSelectsWhatWasWritten()
{
    SheetData data(5, 5);
    data.selectRange(2, 3, 4, 5);
    data.setSelectionText(u"1\t2\r\n3");
    const SheetRange expected{2, 3, 3, 4};
    QCOMPARE(data.selection(), expected);
    QCOMPARE(data.activeRow(), 2);
    QCOMPARE(data.activeColumn(), 3);
    QCOMPARE(data.selectionText(), QStringLiteral("1\t2\r\n3\t"));
}

void TestSheetData::numberReadsTheText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("integer") << "42" << 42.0;
    QTest::newRow("decimal") << "12.5" << 12.5;
    QTest::newRow("negative exponent") << "-1.5e3" << -1500.0;
    QTest::newRow("blanks around") << " 7 " << 7.0;
    QTest::newRow("text") << "control" << 0.0;
    QTest::newRow("number then text") << "12 kDa" << 0.0;
    QTest::newRow("comma decimal") << "1,5" << 0.0;
    QTest::newRow("too large for a double") << "1e999" << 0.0;
}

void TestSheetData::numberReadsTheText()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    SheetData data(1, 1);
    data.setText(1, 1, text);
    QCOMPARE(data.number(1, 1), value);
}

void TestSheetData::setNumberRefusesNonFiniteValues()
{
    SheetData data(1, 1);
    data.setText(1, 1, QStringLiteral("old"));
    QVERIFY_THROWS_EXCEPTION(Error, data.setNumber(1, 1, std::numeric_limits<double>::infinity()));
    QVERIFY_THROWS_EXCEPTION(Error, data.setNumber(1, 1, std::numeric_limits<double>::quiet_NaN()));
    QCOMPARE(data.text(1, 1), QStringLiteral("old"));
}

void TestSheetData::badAddressesRaiseErrors_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("row 0") << 0 << 1;
    QTest::newRow("column 0") << 1 << 0;
    QTest::newRow("negative") << -1 << -1;
    QTest::newRow("past the row limit") << SheetData::MaxRows + 1 << 1;
    QTest::newRow("past the column limit") << 1 << SheetData::MaxColumns + 1;
}

void TestSheetData::badAddressesRaiseErrors()
{
    QFETCH(int, row);
    QFETCH(int, column);
    SheetData data(2, 2);
    try {
        data.setText(row, column, QStringLiteral("x"));
        QFAIL("no error");
    } catch (const Error& e) {
        QCOMPARE(e.number(), int(Error::SubscriptOutOfRange));
        QVERIFY(!e.message().isEmpty());
    }
    QVERIFY_THROWS_EXCEPTION(Error, data.text(row, column));
    QCOMPARE(data.rowCount(), 2);
    QCOMPARE(data.columnCount(), 2);
}

void TestSheetData::readingPastTheSheetGivesEmptyCells()
{
    SheetData data(2, 2);
    QCOMPARE(data.text(5, 5), QString());
    QCOMPARE(data.number(5, 5), 0.0);
    QCOMPARE(data.headingText(3), QString());
    QCOMPARE(data.rowCount(), 2);
}

void TestSheetData::shrinkingDropsRowsAndGrowingGivesEmptyOnes()
{
    SheetData data(3, 2);
    data.setText(3, 2, QStringLiteral("gone"));
    data.setText(2, 2, QStringLiteral("kept"));
    data.setRowCount(2);
    data.setRowCount(3);
    QCOMPARE(data.text(3, 2), QString());
    QCOMPARE(data.text(2, 2), QStringLiteral("kept"));
    data.setColumnCount(1);
    data.setColumnCount(2);
    QCOMPARE(data.text(2, 2), QString());
    QVERIFY_THROWS_EXCEPTION(Error, data.setRowCount(-1));
    QVERIFY_THROWS_EXCEPTION(Error, data.resize(SheetData::MaxRows, SheetData::MaxColumns));
    QCOMPARE(data.rowCount(), 3);
}

// Fills rows with "r<row>c<column>" so moved cells can be recognised.
static void fillNamed(SheetData& data)
{
    for (int r = 1; r <= data.rowCount(); ++r)
        for (int c = 1; c <= data.columnCount(); ++c)
            data.setText(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
}

void TestSheetData::deleteRowMovesRowsBelowUp()
{
    SheetData data(4, 3);
    fillNamed(data);
    data.selectRange(3, 1, 3, 1);
    data.setSelectionPattern(1, rgbValue(1, 2, 3), rgbValue(1, 2, 3));
    data.deleteRange({2, 1, 2, 3});
    QCOMPARE(data.rowCount(), 4);
    QCOMPARE(data.text(1, 1), QStringLiteral("r1c1"));
    QCOMPARE(data.text(2, 1), QStringLiteral("r3c1"));
    QCOMPARE(data.text(3, 3), QStringLiteral("r4c3"));
    QCOMPARE(data.text(4, 1), QString());
    QCOMPARE(data.text(4, 3), QString());
    // The fill moved up with its cell.
    QCOMPARE(data.format(2, 1).pattern, 1);
    QCOMPARE(data.format(3, 1).pattern, 0);
}

void TestSheetData::deletePartOfARowMovesOnlyThoseColumns()
{
    SheetData data(4, 3);
    fillNamed(data);
    data.deleteRange({1, 2, 2, 2});
    QCOMPARE(data.text(1, 2), QStringLiteral("r3c2"));
    QCOMPARE(data.text(2, 2), QStringLiteral("r4c2"));
    QCOMPARE(data.text(3, 2), QString());
    QCOMPARE(data.text(4, 2), QString());
    QCOMPARE(data.text(1, 1), QStringLiteral("r1c1"));
    QCOMPARE(data.text(1, 3), QStringLiteral("r1c3"));
}

void TestSheetData::deleteTheOnlyRowEmptiesIt()
{
    SheetData data(1, 2);
    fillNamed(data);
    data.deleteRange({1, 1, 1, 2});
    QCOMPARE(data.rowCount(), 1);
    QCOMPARE(data.text(1, 1), QString());
    QCOMPARE(data.text(1, 2), QString());
}

void TestSheetData::sortOrdersNumbersTextsAndBlanks_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("numbers by value, not as text")
        << L({"10", "9", "-2", "1e1", "0.5"}) << 1 << L({"-2", "0.5", "9", "10", "1e1"});
    QTest::newRow("numbers before texts, blanks last")
        << L({"", "beta", "3", "Alpha", "", "1"}) << 1 << L({"1", "3", "Alpha", "beta", "", ""});
    QTest::newRow("texts ignore case") << L({"b", "C", "a", "B"}) << 1 << L({"a", "b", "B", "C"});
    QTest::newRow("descending keeps blanks last")
        << L({"2", "", "x", "10"}) << -1 << L({"x", "10", "2", ""});
}

void TestSheetData::sortOrdersNumbersTextsAndBlanks()
{
    QFETCH(QStringList, keys);
    QFETCH(int, key);
    QFETCH(QStringList, sorted);
    SheetData data(int(keys.size()), 1);
    for (int r = 0; r < keys.size(); ++r)
        data.setText(r + 1, 1, keys[r]);
    data.sortRange({1, 1, int(keys.size()), 1}, true, key);
    QStringList result;
    for (int r = 1; r <= data.rowCount(); ++r)
        result << data.text(r, 1);
    QCOMPARE(result, sorted);
}

void TestSheetData::sortMovesWholeRowsOfTheRangeOnly()
{
    SheetData data(5, 3);
    const QStringList keys = L({"head", "30", "10", "20", "tail"});
    for (int r = 1; r <= 5; ++r) {
        data.setText(r, 1, QStringLiteral("outside%1").arg(r));
        data.setText(r, 2, keys[r - 1]);
        data.setText(r, 3, QStringLiteral("with %1").arg(keys[r - 1]));
    }
    data.selectRange(2, 2, 4, 3);
    data.sortRange(data.selection(), true, 1);
    QCOMPARE(data.text(1, 2), QStringLiteral("head"));
    QCOMPARE(data.text(2, 2), QStringLiteral("10"));
    QCOMPARE(data.text(2, 3), QStringLiteral("with 10"));
    QCOMPARE(data.text(3, 3), QStringLiteral("with 20"));
    QCOMPARE(data.text(4, 3), QStringLiteral("with 30"));
    QCOMPARE(data.text(5, 2), QStringLiteral("tail"));
    // Column 1 lies outside the range and keeps its order.
    QCOMPARE(data.text(2, 1), QStringLiteral("outside2"));
    QCOMPARE(data.text(4, 1), QStringLiteral("outside4"));
}

void TestSheetData::sortIsStable()
{
    SheetData data(5, 2);
    const QStringList keys = L({"b", "A", "a", "B", "a"});
    for (int r = 1; r <= 5; ++r) {
        data.setText(r, 1, keys[r - 1]);
        data.setText(r, 2, QString::number(r));
    }
    data.sortRange({1, 1, 5, 2}, true, 1);
    QStringList order;
    for (int r = 1; r <= 5; ++r)
        order << data.text(r, 2);
    QCOMPARE(order, (L({"2", "3", "5", "1", "4"})));
    QVERIFY_THROWS_EXCEPTION(Error, data.sortRange({1, 1, 5, 2}, true, 3));
    QVERIFY_THROWS_EXCEPTION(Error, data.sortRange({1, 1, 5, 2}, true, 0));
}

void TestSheetData::sortByColumns()
{
    SheetData data(2, 3);
    const QStringList keys = L({"3", "1", "2"});
    for (int c = 1; c <= 3; ++c) {
        data.setText(1, c, keys[c - 1]);
        data.setText(2, c, QStringLiteral("below %1").arg(keys[c - 1]));
    }
    data.sortRange({1, 1, 2, 3}, false, 1);
    QCOMPARE(data.rangeText({1, 1, 2, 3}), QStringLiteral("1\t2\t3\r\nbelow 1\tbelow 2\tbelow 3"));
}

void TestSheetData::fillAndTextColourCoverExactlyTheSelection()
{
    SheetData data(5, 5);
    const ColorValue fill = rgbValue(0, 120, 215);
    const ColorValue white = rgbValue(255, 255, 255);
    data.selectRange(2, 2, 3, 4);
    data.setSelectionPattern(1, fill, fill);
    data.setSelectionTextColour(white);
    for (int r = 1; r <= 5; ++r) {
        for (int c = 1; c <= 5; ++c) {
            const bool inside = r >= 2 && r <= 3 && c >= 2 && c <= 4;
            const CellFormat& f = data.format(r, c);
            QCOMPARE(f.pattern, inside ? 1 : 0);
            QCOMPARE(f.patternForeground, inside ? fill : SystemWindowBackground);
            QCOMPARE(f.textColour, inside ? white : rgbValue(0, 0, 0));
        }
    }
    // Undoing the highlight on one cell leaves its neighbours highlighted.
    data.selectRange(2, 2, 2, 2);
    data.setSelectionPattern(0, SystemWindowBackground, rgbValue(0, 0, 0));
    data.setSelectionTextColour(rgbValue(0, 0, 0));
    QCOMPARE(data.format(2, 2), CellFormat());
    QCOMPARE(data.format(2, 3).pattern, 1);
}

void TestSheetData::patternOutOfRangeIsRefused()
{
    SheetData data(2, 2);
    data.selectRange(1, 1, 2, 2);
    QVERIFY_THROWS_EXCEPTION(Error, data.setSelectionPattern(15, 0, 0));
    QVERIFY_THROWS_EXCEPTION(Error, data.setSelectionPattern(-1, 0, 0));
    QVERIFY_THROWS_EXCEPTION(Error, data.setSelectionTextColour(ColorValue(0x80000063u)));
    QCOMPARE(data.format(1, 1), CellFormat());
}

void TestSheetData::headingsAndWidths()
{
    SheetData data(1, 5);
    QCOMPARE(data.columnWidth(3), SheetData::DefaultColumnWidth);
    data.setColumnWidth(2, 10203);
    QCOMPARE(data.columnWidth(2), 10203);
    QVERIFY_THROWS_EXCEPTION(Error, data.setColumnWidth(2, -1));
    QCOMPARE(data.columnWidth(2), 10203);
    QVERIFY(!data.hasHeadings());
    data.setHeadingText(2, QStringLiteral("Description"));
    QVERIFY(data.hasHeadings());
    QCOMPARE(data.headingText(2), QStringLiteral("Description"));
    QCOMPARE(data.headingText(6), QString());
    data.setHeadingText(7, QStringLiteral("grown"));
    QCOMPARE(data.columnCount(), 7);
    QCOMPARE(columnLetters(1), QStringLiteral("A"));
    QCOMPARE(columnLetters(26), QStringLiteral("Z"));
    QCOMPARE(columnLetters(27), QStringLiteral("AA"));
    QCOMPARE(columnLetters(702), QStringLiteral("ZZ"));
    QCOMPARE(columnLetters(703), QStringLiteral("AAA"));
}

void TestSheetData::selectionRangeIsNormalised()
{
    SheetData data(5, 5);
    data.selectRange(4, 3, 2, 1);
    const SheetRange expected{2, 1, 4, 3};
    QCOMPARE(data.selection(), expected);
    QCOMPARE(data.activeRow(), 2);
    QCOMPARE(data.activeColumn(), 1);
    data.setSelection({1, 1, 3, 3}, 3, 2);
    QCOMPARE(data.activeRow(), 3);
    QCOMPARE(data.activeColumn(), 2);
    QVERIFY_THROWS_EXCEPTION(Error, data.selectRange(0, 1, 1, 1));
}

void TestSheetData::notesFollowTheirValues()
{
    SheetData sheet(3, 2);
    sheet.setText(1, 1, QStringLiteral("30"));
    sheet.setText(2, 1, QStringLiteral("10"));
    sheet.setNote(1, 1, QStringLiteral("saturated"));
    sheet.sortRange({1, 1, 2, 2}, true, 1);
    QCOMPARE(sheet.note(2, 1), QStringLiteral("saturated")); // moved with its value
    QCOMPARE(sheet.note(1, 1), QString());
    sheet.setText(2, 1, QStringLiteral("30")); // same text: same value
    QCOMPARE(sheet.note(2, 1), QStringLiteral("saturated"));
    sheet.setText(2, 1, QStringLiteral("31")); // a new value drops it
    QCOMPARE(sheet.note(2, 1), QString());
    sheet.setNote(1, 1, QStringLiteral("a"));
    sheet.clearRange({1, 1, 3, 2});
    QCOMPARE(sheet.note(1, 1), QString());
    QCOMPARE(sheet.note(9, 9), QString()); // past the sheet: no note, no growth
    sheet.setNote(9, 9, QString());
    QCOMPARE(sheet.rowCount(), 3);
}

QTEST_GUILESS_MAIN(TestSheetData)
#include "tst_sheetdata.moc"
