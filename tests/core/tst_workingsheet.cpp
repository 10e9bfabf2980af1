#include "core/workingsheet.h"

#include <QMap>
#include <QPair>
#include <QTest>

using namespace kesto;

namespace {

// A sheet of texts with the calls the pass makes.
struct FakeSheet
{
    int rows = 0;
    QMap<QPair<int, int>, QString> cells;
    int rowCount() const { return rows; }
    QString text(int r, int c) const { return cells.value({r, c}); }
    void setText(int r, int c, const QString& t) { cells[{r, c}] = t; }
    QMap<QPair<int, int>, QString> notes;
    void setNote(int r, int c, const QString& n) { notes[{r, c}] = n; }
};

} // namespace

class TestWorkingSheet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parseCaption_data();
    void parseCaption();
    void captionRoundTrip();
    void percent_data();
    void percent();
    void passFillsNumbersAndPercentages();
    void passMarksValuesItCannotUse();
};

void TestWorkingSheet::parseCaption_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("start-up caption") << QStringLiteral("Working Cell: R1C2") << 1 << 2;
    QTest::newRow("two-digit row") << QStringLiteral("Working Cell: R35C3") << 35 << 3;
    QTest::newRow("column 4 is parsed, not written")
        << QStringLiteral("Working Cell: R2C4") << 2 << 4;
    QTest::newRow("no C after the R") << QStringLiteral("Working Cell: R12") << 0 << 0;
    QTest::newRow("empty") << QString() << 0 << 0;
    QTest::newRow("row not a number") << QStringLiteral("Working Cell: RxC2") << 0 << 0;
    QTest::newRow("row past 16 bits") << QStringLiteral("Working Cell: R40000C2") << 40000 << 2;
    QTest::newRow("row past 32 bits") << QStringLiteral("Working Cell: R4000000000C2") << 0 << 0;
    QTest::newRow("lower-case c is not the marker")
        << QStringLiteral("Working Cell: R3c2") << 0 << 0;
}

void TestWorkingSheet::parseCaption()
{
    QFETCH(QString, caption);
    QFETCH(int, row);
    QFETCH(int, column);
    const CellAddress cell = parseWorkingCell(caption);
    QCOMPARE(cell.row, row);
    QCOMPARE(cell.column, column);
}

void TestWorkingSheet::captionRoundTrip()
{
    QCOMPARE(workingCellCaption(5, 3), QStringLiteral("Working Cell: R5C3"));
    const CellAddress cell = parseWorkingCell(workingCellCaption(1234, 2));
    QCOMPARE(cell.row, 1234);
    QCOMPARE(cell.column, 2);
}

void TestWorkingSheet::percent_data()
{
    QTest::addColumn<QString>("band");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("expected");
    QTest::newRow("250 of 1000") << QStringLiteral("250") << QStringLiteral("1000")
                                 << QStringLiteral("25.0");
    QTest::newRow("negative sums")
        << QStringLiteral("-5321") << QStringLiteral("-10642") << QStringLiteral("50.0");
    QTest::newRow("over a hundred")
        << QStringLiteral("3") << QStringLiteral("2") << QStringLiteral("150.0");
    QTest::newRow("control 0") << QStringLiteral("250") << QStringLiteral("0") << QString();
    QTest::newRow("control reads zero")
        << QStringLiteral("250") << QStringLiteral("0.0") << QString();
    QTest::newRow("control empty") << QStringLiteral("250") << QString() << QString();
    QTest::newRow("band empty") << QString() << QStringLiteral("1000") << QString();
    QTest::newRow("band not a number")
        << QStringLiteral("n/a") << QStringLiteral("1000") << QString();
    QTest::newRow("control not a number")
        << QStringLiteral("12") << QStringLiteral("ctrl") << QString();
    QTest::newRow("band too large to hold")
        << QStringLiteral("1e400") << QStringLiteral("1000") << QString();
    QTest::newRow("control with a decimal comma")
        << QStringLiteral("12") << QStringLiteral("1234,5") << QString();
}

void TestWorkingSheet::percent()
{
    QFETCH(QString, band);
    QFETCH(QString, control);
    QFETCH(QString, expected);
    QCOMPARE(percentToControlText(band, control), expected);
}

void TestWorkingSheet::passFillsNumbersAndPercentages()
{
    FakeSheet sheet;
    sheet.rows = 4;
    sheet.setText(1, 2, QStringLiteral("250"));
    sheet.setText(1, 3, QStringLiteral("1000"));
    sheet.setText(2, 3, QStringLiteral("40"));
    sheet.setText(3, 1, QStringLiteral("kept")); // no values: column 1 stays
    sheet.setText(4, 2, QStringLiteral("12"));
    sheet.setText(4, 4, QStringLiteral("old")); // no control any more: cleared
    runWorkingSheetPass(sheet);
    QCOMPARE(sheet.text(1, 1), QStringLiteral("1"));
    QCOMPARE(sheet.text(1, 4), QStringLiteral("25.0"));
    QCOMPARE(sheet.text(2, 1), QStringLiteral("2"));
    QCOMPARE(sheet.text(2, 4), QString());
    QCOMPARE(sheet.text(3, 1), QStringLiteral("kept"));
    QCOMPARE(sheet.text(3, 4), QString());
    QCOMPARE(sheet.text(4, 1), QStringLiteral("4"));
    QCOMPARE(sheet.text(4, 4), QString());
}

void TestWorkingSheet::passMarksValuesItCannotUse()
{
    FakeSheet sheet;
    sheet.rows = 2;
    sheet.setText(1, 2, QStringLiteral("1234,5"));
    sheet.setText(1, 3, QStringLiteral("1000"));
    sheet.setText(2, 2, QStringLiteral("12"));
    sheet.setText(2, 3, QStringLiteral("1e400"));
    runWorkingSheetPass(sheet);
    const QMap<QPair<int, int>, QString> marked{{{1, 2}, unusableNumberNote()},
                                                {{2, 3}, unusableNumberNote()}};
    QCOMPARE(sheet.notes, marked);
    QCOMPARE(sheet.text(1, 4), QString());
    QCOMPARE(sheet.text(2, 4), QString());
}

QTEST_GUILESS_MAIN(TestWorkingSheet)
#include "tst_workingsheet.moc"
