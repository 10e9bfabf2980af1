#include "core/error.h"
#include "core/expression.h"

#include <QMap>
#include <QPair>
#include <QStringList>
#include <QTest>

#include <initializer_list>

using namespace kesto;

namespace {

// A report sheet of texts with the calls the calculation makes. Numbers written are kept
// as their shortest text so expectations read like the cells a user sees.
struct FakeSheet
{
    int rows = 0;
    int columns = 5;
    QMap<QPair<int, int>, QString> cells;
    int writes = 0;

    int rowCount() const { return rows; }
    int columnCount() const { return columns; }
    QString text(int r, int c) const { return cells.value({r, c}); }
    double number(int r, int c) const
    {
        bool ok = false;
        const double value = text(r, c).toDouble(&ok);
        return ok ? value : 0.0;
    }
    void setNumber(int r, int c, double value)
    {
        ++writes;
        cells[{r, c}] = QString::number(value, 'g', 15);
    }
    QMap<QPair<int, int>, QString> notes;
    void setNote(int r, int c, const QString& n) { notes[{r, c}] = n; }
};

// Rows written as "description|type|scan|expression".
FakeSheet sheetOf(const QStringList& rows, int extraEmptyRows = 0)
{
    FakeSheet sheet;
    sheet.rows = int(rows.size()) + extraEmptyRows;
    for (int r = 1; r <= int(rows.size()); ++r) {
        const QStringList fields = rows.at(r - 1).split(QLatin1Char('|'));
        for (int c = 0; c < fields.size(); ++c) {
            if (!fields.at(c).isEmpty())
                sheet.cells[{r, c + 2}] = fields.at(c);
        }
    }
    return sheet;
}

QStringList texts(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items)
        list.append(QString::fromUtf8(item));
    return list;
}

QStringList expressions(const FakeSheet& sheet)
{
    QStringList column;
    for (int r = 1; r <= sheet.rows; ++r)
        column.append(sheet.text(r, 5));
    return column;
}

} // namespace

class TestExpression : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void calculate_data();
    void calculate();
    void emptyRowsBelowTheDataStayEmpty();
    void tooLargeResultChangesNothing();
};

void TestExpression::calculate_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("expected"); // column 5 afterwards

    QTest::newRow("one series") << texts(
                                       {"Actin|control|200|", "Actin|band|50|", "Actin|band|300|"})
                                << texts({"", "25", "150"});
    QTest::newRow("control with an empty scan keeps old values")
        << texts({"Actin|control||c", "Actin|band|50|7"}) << texts({"c", "7"});
    QTest::newRow("control with a zero scan keeps old values")
        << texts({"Actin|control|0|c", "Actin|band|50|7"}) << texts({"c", "7"});
    QTest::newRow("band with a decimal comma gets no value")
        << texts({"Actin|control|200|", "Actin|band|1234,5|old"}) << texts({"", "old"});
    QTest::newRow("band too large to hold gets no value")
        << texts({"Actin|control|200|", "Actin|band|1e400|old"}) << texts({"", "old"});
    QTest::newRow("control too large to hold decides nothing")
        << texts({"Actin|control|200|", "Actin|band|100|", "Actin|control|1e400|"})
        << texts({"", "50", ""});
    QTest::newRow("ordinary row with an empty scan gets 0")
        << texts({"Actin|control|200|", "Actin|band||9"}) << texts({"", "0"});
    QTest::newRow("Control marks a control")
        << texts({"Actin|Control|200|", "Actin|band|100|"}) << texts({"", "50"});
    QTest::newRow("CONTROL marks a control")
        << texts({"Actin|CONTROL|200|", "Actin|band|100|"}) << texts({"", "50"});
    QTest::newRow("leading blank is no control")
        << texts({"Actin| control|200|a", "Actin|band|100|b"}) << texts({"a", "b"});
    QTest::newRow("descriptions differing in case are one series")
        << texts({"Mouse liver|control|200|", "MOUSE Liver|band|50|"}) << texts({"", "25"});
    QTest::newRow("trailing blank in a description is another series")
        << texts({"Mouse liver|control|200|", "Mouse liver |band|50|old"}) << texts({"", "old"});
    QTest::newRow("the later of two controls decides, neither control written")
        << texts({"Actin|control|200|c1", "Actin|band|100|", "Actin|control|400|c3"})
        << texts({"c1", "25", "c3"});
    QTest::newRow("a later control with a zero scan decides nothing")
        << texts({"Actin|control|200|", "Actin|band|100|", "Actin|control|0|"})
        << texts({"", "50", ""});
    QTest::newRow("control without matching rows changes nothing")
        << texts({"Actin|control|200|c", "Tubulin|band|100|t"}) << texts({"c", "t"});
    QTest::newRow("other series untouched")
        << texts({"Actin|control|200|", "Tubulin|band|100|t", "Actin|band|20|"})
        << texts({"", "t", "10"});
    QTest::newRow("band above its control")
        << texts({"Actin|band|50|", "Actin|control|200|"}) << texts({"25", ""});
    QTest::newRow("one third and two thirds")
        << texts({"Actin|control|3|", "Actin|band|1|", "Actin|band|2|"})
        << texts({"", "33.33", "66.67"});
    // One rule: rounded to two decimals, shown in the shortest form of that number.
    QTest::newRow("rounded to two decimals, no trailing zeros")
        << texts({"Actin|control|8|", "Actin|band|1|", "Actin|band|4|", "Actin|band|2.4|"})
        << texts({"", "12.5", "50", "30"});
    QTest::newRow("exact half cent rounds up")
        << texts({"Actin|control|800|", "Actin|band|1|"}) << texts({"", "0.13"});
    QTest::newRow("negative sums")
        << texts({"Actin|control|-400|", "Actin|band|-100|"}) << texts({"", "25"});
}

void TestExpression::calculate()
{
    QFETCH(QStringList, rows);
    QFETCH(QStringList, expected);
    FakeSheet sheet = sheetOf(rows);
    calculateExpression(sheet);
    QCOMPARE(expressions(sheet), expected);
    // Exactly the scans that are no usable number carry the mark.
    for (int r = 1; r <= sheet.rows; ++r)
        QCOMPARE(sheet.notes.contains({r, ReportScanColumn}),
                 unusableNumberText(sheet.text(r, ReportScanColumn)));
}

void TestExpression::emptyRowsBelowTheDataStayEmpty()
{
    // A control with an empty description groups the rows with empty descriptions; the
    // sheet's spare rows below the data are not rows of that series.
    FakeSheet sheet = sheetOf(texts({"|control|100|", "|band|50|"}), 8);
    calculateExpression(sheet);
    QCOMPARE(sheet.writes, 1);
    QCOMPARE(sheet.text(2, 5), QStringLiteral("50"));
    QCOMPARE(sheet.text(3, 5), QString());
}

void TestExpression::tooLargeResultChangesNothing()
{
    FakeSheet sheet = sheetOf(texts({"A|control|1e-300|", "A|band|2|old", "A|band|1e10|old"}));
    QVERIFY_THROWS_EXCEPTION(Error, calculateExpression(sheet));
    QCOMPARE(sheet.writes, 0);
    QCOMPARE(expressions(sheet), texts({"", "old", "old"}));
}

QTEST_GUILESS_MAIN(TestExpression)
#include "tst_expression.moc"
