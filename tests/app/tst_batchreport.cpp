// Reading report tables for the report command: CSV quoting and line ends, header
// recognition, and the sheet the table becomes.

#include "app/batchreport.h"
#include "components/sheetdata.h"

#include <QTest>

using namespace kesto;

class TestBatchReport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsCsv_data();
    void readsCsv();
    void refusesBrokenQuotes_data();
    void refusesBrokenQuotes();
    void recognisesTheHeader_data();
    void recognisesTheHeader();
    void headerBecomesTheHeadings();
    void tableWithoutHeader();
};

void TestBatchReport::readsCsv_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<QStringList>>("rows");
    const QList<QStringList> two = {{QStringLiteral("a"), QStringLiteral("b")},
                                    {QStringLiteral("c"), QStringLiteral("d")}};
    QTest::newRow("LF") << QStringLiteral("a,b\nc,d\n") << two;
    QTest::newRow("CR LF, no line end at the end") << QStringLiteral("a,b\r\nc,d") << two;
    QTest::newRow("CR") << QStringLiteral("a,b\rc,d\r") << two;
    QTest::newRow("quoted comma, quote and line break")
        << QStringLiteral("\"x,y\",\"say \"\"hi\"\"\",\"two\r\nlines\"\n")
        << QList<QStringList>{{QStringLiteral("x,y"), QStringLiteral("say \"hi\""), QStringLiteral("two\r\nlines")}};
    QTest::newRow("empty fields and an empty line")
        << QStringLiteral(",,\n\n\"\",x\n")
        << QList<QStringList>{{QString(), QString(), QString()}, {QString()}, {QString(), QStringLiteral("x")}};
    QTest::newRow("quote inside an unquoted field")
        << QStringLiteral("5\" gel,ok\n") << QList<QStringList>{{QStringLiteral("5\" gel"), QStringLiteral("ok")}};
}

void TestBatchReport::readsCsv()
{
    QFETCH(QString, text);
    QFETCH(QList<QStringList>, rows);
    QCOMPARE(parseCsvText(text, QStringLiteral("t.csv")), rows);
}

void TestBatchReport::refusesBrokenQuotes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    // The line is the one where the open field starts, counted across quoted line breaks.
    QTest::newRow("never closed")
        << QStringLiteral("a,\"two\nlines\"\nb,\"open\n")
        << QStringLiteral("t.csv:3: expected a closing quote for the field that starts on this line");
    QTest::newRow("text after the closing quote")
        << QStringLiteral("a,b\n\"x\"y,c\n")
        << QStringLiteral("t.csv:2: expected a comma or a line end after a closing quote, found \"y\"");
}

void TestBatchReport::refusesBrokenQuotes()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    try {
        parseCsvText(text, QStringLiteral("t.csv"));
        QFAIL("the text was accepted");
    } catch (const PlanError& error) {
        QCOMPARE(error.message(), message);
    }
}

void TestBatchReport::recognisesTheHeader_data()
{
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<bool>("header");
    QTest::newRow("the report's own headings")
        << QStringList{QStringLiteral("#"), QStringLiteral("Description"), QStringLiteral("Type"),
                       QStringLiteral("Scan (rel.units)"), QStringLiteral("Expression (%)")}
        << true;
    QTest::newRow("own words") << QStringList{QStringLiteral("Lane"), QStringLiteral("Sample"), QStringLiteral("Kind"),
                                              QStringLiteral("Scan")}
                               << true;
    QTest::newRow("a band") << QStringList{QStringLiteral("1"), QStringLiteral("Actin"), QStringLiteral("band"),
                                           QStringLiteral("-108800")}
                            << false;
    QTest::newRow("a band with an empty scan")
        << QStringList{QStringLiteral("1"), QStringLiteral("Actin"), QStringLiteral("band"), QString()} << false;
    QTest::newRow("a control whose scan is text")
        << QStringList{QStringLiteral("1"), QStringLiteral("Actin"), QStringLiteral("Control"), QStringLiteral("n/a")}
        << false;
    QTest::newRow("too short to have a scan") << QStringList{QStringLiteral("#"), QStringLiteral("Description")}
                                              << false;
}

void TestBatchReport::recognisesTheHeader()
{
    QFETCH(QStringList, row);
    QFETCH(bool, header);
    QCOMPARE(isReportHeader(row), header);
}

void TestBatchReport::headerBecomesTheHeadings()
{
    SheetData sheet;
    loadReportTable(sheet,
                    {{QStringLiteral("Lane"), QStringLiteral("Sample"), QStringLiteral("Kind"), QStringLiteral("Scan")},
                     {QStringLiteral("1"), QStringLiteral("Actin"), QStringLiteral("control"), QStringLiteral("200")},
                     {QStringLiteral("2"), QStringLiteral("Actin")}},
                    QStringLiteral("t.csv"));
    QCOMPARE(sheet.rowCount(), 2);
    QCOMPARE(sheet.columnCount(), 5);
    QCOMPARE(sheet.headingText(1), QStringLiteral("Lane"));
    QCOMPARE(sheet.headingText(4), QStringLiteral("Scan"));
    QCOMPARE(sheet.headingText(5), QStringLiteral("Expression (%)"));
    QCOMPARE(sheet.text(1, 4), QStringLiteral("200"));
    QCOMPARE(sheet.text(2, 2), QStringLiteral("Actin"));
    QCOMPARE(sheet.text(2, 3), QString());
}

void TestBatchReport::tableWithoutHeader()
{
    SheetData sheet;
    loadReportTable(sheet,
                    {{QStringLiteral("1"), QStringLiteral("Actin"), QStringLiteral("control"), QStringLiteral("200"),
                      QStringLiteral("old"), QStringLiteral("note")}},
                    QStringLiteral("t.txt"));
    QVERIFY(!sheet.hasHeadings());
    QCOMPARE(sheet.rowCount(), 1);
    QCOMPARE(sheet.columnCount(), 6);
    QCOMPARE(sheet.text(1, 5), QStringLiteral("old"));
    QCOMPARE(sheet.text(1, 6), QStringLiteral("note"));

    SheetData onlyHeader;
    try {
        loadReportTable(onlyHeader, {{QStringLiteral("#"), QStringLiteral("Description"), QStringLiteral("Type"),
                                      QStringLiteral("Scan (rel.units)")}},
                        QStringLiteral("t.txt"));
        QFAIL("a table without bands was accepted");
    } catch (const PlanError& error) {
        QCOMPARE(error.message(), QStringLiteral("t.txt: expected a report table with at least one band row, found none"));
    }
}

QTEST_GUILESS_MAIN(TestBatchReport)
#include "tst_batchreport.moc"
