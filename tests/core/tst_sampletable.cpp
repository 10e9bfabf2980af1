#include "core/sampletable.h"

#include <QTest>

using namespace kesto;

namespace {
QString operator""_t(const char* text, std::size_t size)
{
    return QString::fromUtf8(text, qsizetype(size));
}
} // namespace

class TestSampleTable : public QObject
{
    Q_OBJECT

private slots:
    void readsSpreadsheetText();
    void refusesBadText_data();
    void refusesBadText();
    void writesWhatItReads();
    void fitsTheLanes_data();
    void fitsTheLanes();
    void fillsByPattern_data();
    void fillsByPattern();
};

// A spreadsheet's copy: columns in its own order and case, a column of its own, CR LF
// line ends, blank lines and cells left empty.
void TestSampleTable::readsSpreadsheetText()
{
    const QString text = QStringLiteral("Group\tlane\tDate\tSample\tRole\tAmount\tUnit\r\n"
                                        "\t1\tmon\tmarker\tLADDER\t\t\r\n"
                                        "\r\n"
                                        "ctrl\t3\tmon\tc1\tsample\t\t\r\n"
                                        "std\t2\tmon\ts10\tStandard\t12.5\tng\r\n");
    const SampleTable table = parseSampleTable(text, QStringLiteral("t.tsv"));
    QCOMPARE(table.size(), 3);
    QCOMPARE(table.rows()[1].lane, 1); // sorted by lane
    QCOMPARE(table.rows()[1].role, SampleRole::Standard);
    QCOMPARE(table.rows()[1].amount, std::optional<double>(12.5));
    QCOMPARE(table.rows()[1].unit, QStringLiteral("ng"));
    QCOMPARE(table.rowFor(2)->sample, QStringLiteral("c1"));
    QCOMPARE(table.rowFor(0)->role, SampleRole::Ladder);
    QVERIFY(!table.rowFor(3));
    QCOMPARE(table.groups(), (QStringList{QStringLiteral("std"), QStringLiteral("ctrl")}));
}

void TestSampleTable::refusesBadText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString h = QStringLiteral("LANE\tSAMPLE\tROLE\tAMOUNT\n");
    QTest::newRow("empty") << QString() << "t.tsv: the table is empty"_t;
    QTest::newRow("no lane column")
        << "SAMPLE\tGROUP\na\tb\n"_t
        << "t.tsv:1: the first line is no heading with a LANE column (tab-separated)"_t;
    QTest::newRow("heading only") << h << "t.tsv: the table has a heading but no lanes"_t;
    QTest::newRow("lane 0") << h + "0\ta\n"_t
                            << "t.tsv:2: the lane \"0\" is not a number from 1 to 10000"_t;
    QTest::newRow("lane text") << h + "two\ta\n"_t
                               << "t.tsv:2: the lane \"two\" is not a number from 1 to 10000"_t;
    QTest::newRow("role")
        << h + "1\ta\tcontrol\n"_t
        << "t.tsv:2: the role \"control\" is not one of sample, ladder, standard, blank, excluded"_t;
    QTest::newRow("amount") << h + "1\ta\tstandard\tten\n"_t
                            << "t.tsv:2: the amount \"ten\" is not a number"_t;
    QTest::newRow("negative amount") << h + "1\ta\tsample\t-1\n"_t
                                     << "t.tsv:2: the amount is not a number from 0 to 1e+15"_t;
    QTest::newRow("standard without amount") << h + "1\ta\tstandard\n"_t
                                             << "t.tsv:2: a standard needs its amount"_t;
    QTest::newRow("twice") << h + "1\ta\n2\tb\n1\tc\n"_t
                           << "t.tsv:4: lane 1 of blot 1 is given twice"_t;
    QTest::newRow("heading twice") << "LANE\tlane\n1\t2\n"_t
                                   << "t.tsv:1: the heading names LANE twice"_t;
}

void TestSampleTable::refusesBadText()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    try {
        parseSampleTable(text, QStringLiteral("t.tsv"));
        QFAIL("the text was read");
    } catch (const SampleTableError& error) {
        QCOMPARE(error.message(), message);
    }
}

void TestSampleTable::writesWhatItReads()
{
    SampleTable table = samplePattern(2, 2, 1, SampleOrder::Interleaved, {QStringLiteral("wt")});
    std::vector<SampleRow> rows = table.rows();
    SampleRow standard;
    standard.sample = QStringLiteral("std");
    standard.role = SampleRole::Standard;
    standard.amount = 0.1 + 0.2;
    standard.unit = QStringLiteral("µg");
    standard.notes = QStringLiteral("first \"dilution\"");
    rows.push_back(standard);
    SampleRow other;
    other.lane = 2;
    other.blot = 1;
    other.sample = QStringLiteral("other blot");
    rows.push_back(other);
    table = SampleTable(rows);
    QCOMPARE(parseSampleTable(sampleTableText(table), QStringLiteral("t.tsv")), table);
}

void TestSampleTable::fitsTheLanes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::vector<int>>("laneCounts");
    QTest::addColumn<QString>("fault");
    QTest::newRow("fits") << "LANE\n1\n8\n"_t << std::vector<int>{8} << QString();
    QTest::newRow("one lane too many") << "LANE\n1\n9\n"_t << std::vector<int>{8}
                                       << "row 2 names lane 9, but the picture has 8 lanes"_t;
    QTest::newRow("no lanes found") << "LANE\n1\n"_t << std::vector<int>{0}
                                    << "row 1 names lane 1, but the picture has 0 lanes"_t;
    QTest::newRow("second blot") << "LANE\tBLOT\n1\t1\n4\t2\n"_t << std::vector<int>{6, 3}
                                 << "row 2 names lane 4, but blot 2 has 3 lanes"_t;
    QTest::newRow("missing blot") << "LANE\tBLOT\n1\t3\n"_t << std::vector<int>{6}
                                  << "row 1 names blot 3, but there is 1 picture"_t;
}

void TestSampleTable::fitsTheLanes()
{
    QFETCH(QString, text);
    QFETCH(std::vector<int>, laneCounts);
    QFETCH(QString, fault);
    QCOMPARE(sampleTableFault(parseSampleTable(text, QStringLiteral("t")), laneCounts), fault);
}

void TestSampleTable::fillsByPattern_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("samples"); // lane by lane
    QTest::newRow("groups together")
        << int(SampleOrder::GroupsTogether)
        << QStringList{"a 1"_t, "a 2"_t, "a 3"_t, "Group 2 1"_t, "Group 2 2"_t, "Group 2 3"_t};
    QTest::newRow("interleaved") << int(SampleOrder::Interleaved)
                                 << QStringList{"a 1"_t,       "Group 2 1"_t, "a 2"_t,
                                                "Group 2 2"_t, "a 3"_t,       "Group 2 3"_t};
}

void TestSampleTable::fillsByPattern()
{
    QFETCH(int, order);
    QFETCH(QStringList, samples);
    const SampleTable table = samplePattern(2, 3, 1, SampleOrder(order), {QStringLiteral("a")});
    QCOMPARE(table.size(), samples.size());
    for (int lane = 0; lane < samples.size(); ++lane)
        QCOMPARE(table.rowFor(lane + 1)->sample, samples[lane]);
    QVERIFY_THROWS_EXCEPTION(SampleTableError, samplePattern(0, 3));
    QVERIFY_THROWS_EXCEPTION(SampleTableError, samplePattern(3, 4000, 1));
}

QTEST_GUILESS_MAIN(TestSampleTable)
#include "tst_sampletable.moc"
