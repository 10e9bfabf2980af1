// Reading report tables for the report command: CSV quoting and line ends, header
// recognition, and the sheet the table becomes.

#include "core/reporttable.h"
#include "core/sheetdata.h"

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
};

void TestBatchReport::readsCsv_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<QStringList>>("rows");
    const QString a = QStringLiteral("a"), b = QStringLiteral("b"), e;
    QTest::newRow("LF") << "a,b\na,b\n" << QList<QStringList>{{a, b}, {a, b}};
    QTest::newRow("CR LF, no line end at the end")
        << "a,b\r\na,b" << QList<QStringList>{{a, b}, {a, b}};
    QTest::newRow("quoted comma, quote and line break")
        << "\"x,y\",\"say \"\"hi\"\"\",\"two\r\nlines\"\n"
        << QList<QStringList>{{QStringLiteral("x,y"), QStringLiteral("say \"hi\""),
                               QStringLiteral("two\r\nlines")}};
    QTest::newRow("empty fields and an empty line") << ",,\n\n\"\",a\n"
                                                    << QList<QStringList>{{e, e, e}, {e}, {e, a}};
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
    // Lines are counted across quoted line breaks; the open field's own line is named.
    QTest::newRow("never closed")
        << "a,\"two\nlines\"\nb,\"open\n"
        << "t.csv:3: expected a closing quote for the field that starts on this line";
    QTest::newRow("text after the closing quote")
        << "a,b\n\"x\"y,c\n"
        << "t.csv:2: expected a comma or a line end after a closing quote, found \"y\"";
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
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("header");
    QTest::newRow("the report's own headings")
        << "#,Description,Type,Scan (rel.units),Expression (%)" << true;
    QTest::newRow("own words") << "Lane,Sample,Kind,Scan" << true;
    QTest::newRow("a band") << "1,Actin,band,-108800" << false;
    QTest::newRow("a band with an empty scan") << "1,Actin,band," << false;
    QTest::newRow("a control whose scan is text") << "1,Actin,Control,n/a" << false;
}

void TestBatchReport::recognisesTheHeader()
{
    QFETCH(QString, row);
    QFETCH(bool, header);
    QCOMPARE(isReportHeader(row.split(QLatin1Char(','))), header);
}

void TestBatchReport::headerBecomesTheHeadings()
{
    SheetData sheet;
    loadReportTable(sheet,
                    parseCsvText(u"Lane,Sample,Kind,Scan\n1,Actin,control,200\n2,Actin\n",
                                 QStringLiteral("t.csv")),
                    QStringLiteral("t.csv"));
    QCOMPARE(sheet.rowCount(), 2);
    QCOMPARE(sheet.columnCount(), 5);
    QCOMPARE(sheet.headingText(1), QStringLiteral("Lane"));
    QCOMPARE(sheet.headingText(5), QStringLiteral("Expression (%)"));
    QCOMPARE(sheet.text(1, 4), QStringLiteral("200"));
    QCOMPARE(sheet.text(2, 2), QStringLiteral("Actin"));

    try {
        loadReportTable(sheet,
                        {{QStringLiteral("#"), QStringLiteral("D"), QStringLiteral("T"),
                          QStringLiteral("Scan")}},
                        QStringLiteral("t.csv"));
        QFAIL("a table without bands was accepted");
    } catch (const PlanError& error) {
        QCOMPARE(error.message(),
                 QStringLiteral(
                     "t.csv: expected a report table with at least one band row, found none"));
    }
}

QTEST_GUILESS_MAIN(TestBatchReport)
#include "tst_reporttable.moc"
