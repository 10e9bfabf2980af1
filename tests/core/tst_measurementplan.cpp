// Reading measurement plans: every instruction with its values, comments and line ends,
// and a message naming the file and line for each kind of line that cannot be used.

#include "core/measurementplan.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kesto;

class TestMeasurementPlan : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsEveryInstruction();
    void refusesBadLines_data();
    void refusesBadLines();
    void readsPlanFiles();
};

void TestMeasurementPlan::readsEveryInstruction()
{
    const MeasurementPlan plan =
        parseMeasurementPlan(QStringLiteral("# lanes 1 and 2\r\n"
                                            "channel green\r\n"
                                            "\r\n"
                                            "  background 300 190  # empty\n"
                                            "background-color 10 20 30\n"
                                            "invert\n"
                                            "cell 7 3\n"
                                            "\tframe -5 0.1 39 2.4"),
                             QStringLiteral("gel.plan"));
    QCOMPARE(plan.steps.size(), std::size_t(6));
    const std::vector<PlanStep>& s = plan.steps;
    QCOMPARE(s[0].channel, Channel::Green);
    QCOMPARE(s[0].where, QStringLiteral("gel.plan:2"));
    QCOMPARE(s[1].kind, PlanStep::Kind::Background);
    QCOMPARE(QPointF(s[1].x, s[1].y), QPointF(300, 190));
    QCOMPARE(s[1].where, QStringLiteral("gel.plan:4"));
    QCOMPARE(s[2].colour, ColorValue(10 + 20 * 256 + 30 * 65536));
    QCOMPARE(s[3].kind, PlanStep::Kind::Invert);
    QCOMPARE(s[4].cell.row, 7);
    QCOMPARE(s[4].cell.column, 3);
    QCOMPARE(s[5].kind, PlanStep::Kind::Frame);
    QCOMPARE(s[5].where, QStringLiteral("gel.plan:8"));
    // Kept as singles, as the frame keeps them: 0.1 + 2.4 is 2.5 in single precision.
    QCOMPARE(s[5].frame.left, -5.0f);
    QCOMPARE(s[5].frame.top, 0.1f);
    QCOMPARE(s[5].frame.top + s[5].frame.height, 2.5f);
}

void TestMeasurementPlan::refusesBadLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("comma instead of blanks")
        << "background 300,190"
        << "p:1: expected 2 values for \"background\" (X, Y), found 1";
    QTest::newRow("channel by another name")
        << "channel RED"
        << "p:1: expected red, green or blue as the channel, found \"RED\"";
    QTest::newRow("column 1") << "cell 1 1"
                              << "p:1: expected COLUMN 2 (Band) or 3 (Int.Ctrl), found \"1\"";
    // The working-cell read-out carries the row as a 16-bit number.
    QTest::newRow("row past the read-out") << "cell 32768 2"
                                           << "p:1: expected ROW from 1 to 32767, found \"32768\"";
    QTest::newRow("half a row") << "cell 2.5 2"
                                << "p:1: expected ROW from 1 to 32767, found \"2.5\"";
    QTest::newRow("colour byte of 256") << "background-color 0 256 0"
                                        << "p:1: expected GREEN from 0 to 255, found \"256\"";
    QTest::newRow("negative width") << "frame 10 10 -1 5"
                                    << "p:1: expected a WIDTH of 0 or more, found \"-1\"";
    QTest::newRow("past a single")
        << "frame 1e39 0 1 1"
        << "p:1: expected a number for LEFT within the range of a single, found \"1e39\"";
    QTest::newRow("far edge past 32 bits")
        << "frame 0 2147483000 1 1000"
        << "p:1: expected the frame's TOP and its far edge within -2147483648 to 2147483647";
    QTest::newRow("page 0") << "picture \"gel.tif\" page 0"
                            << "p:1: expected PAGE from 1 to 65535, found \"0\"";
    QTest::newRow("page without its number")
        << "picture \"gel.tif\" page"
        << "p:1: expected 1 value for \"picture\" (\"PATH\" or clipboard), found 2";
    QTest::newRow("lane running diagonally")
        << "lane diagonal 0 10 5 1,1"
        << "p:1: expected vertical or horizontal, found \"diagonal\"";
    QTest::newRow("lane ending before it starts")
        << "lane vertical 10 0 5 1,1"
        << "p:1: expected the lane's FIRST no later than its LAST, found 10 0";
    QTest::newRow("lane path backwards") << "lane vertical 0 10 5 1,8 1,2"
                                         << "p:1: expected the lane's path in order along the "
                                            "lane, found \"1,2\" after a later point";
    QTest::newRow("lane without a path")
        << "lane vertical 0 10 5"
        << "p:1: expected a lane as vertical|horizontal FIRST LAST WIDTH X,Y [X,Y ...], found "
           "\"vertical 0 10 5\"";
    QTest::newRow("band of no contrast")
        << "band-volume minima grey 1 5"
        << "p:1: expected light or dark as the bands' contrast, found \"grey\"";
    QTest::newRow("band ending before it starts")
        << "band-volume ball:20 dark 9 5"
        << "p:1: expected a band's FROM no later than its TO, found 9 5";
    QTest::newRow("fitting a band not given")
        << "fit-band none light gaussian 3 1 5 6 9"
        << "p:1: expected K from 1 to 2, one of the bands fitted, found \"3\"";
    QTest::newRow("ladder band without its size")
        << "ladder-lane 10 bp 0.1:500 0.5"
        << "p:1: expected RF:SIZE for a ladder band, found \"0.5\"";
    QTest::newRow("ladder in no unit") << "ladder-lane 10 bases 0.1:500 0.5:100"
                                       << "p:1: unit \"bases\": expected bp, kb or kDa";
    QTest::newRow("ladder size of 0")
        << "ladder-lane 10 bp 0.1:500 0.5:0"
        << "p:1: expected a SIZE above 0 and at most 1e9, found \"0\"";
    QTest::newRow("curve by another name")
        << "size-fit spline"
        << "p:1: \"spline\": expected point-to-point, linear, quadratic or cubic";
    QTest::newRow("band far off the gel") << "band-size 1e8 0.5"
                                          << "p:1: expected ACROSS from -1e7 to 1e7, found \"1e8\"";
    QTest::newRow("ladder band's size unsaid")
        << "band-size 10 0.5 ladder"
        << "p:1: expected ACROSS RF [ladder SIZE] for \"band-size\", found \"10 0.5 ladder\"";
    QTest::newRow("no instructions") << "# only a comment\n\n"
                                     << "p: the plan holds no instructions; expected lines such as "
                                        "\"cell 1 2\" and \"frame 20 50 39 15\"";
}

void TestMeasurementPlan::refusesBadLines()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    try {
        parseMeasurementPlan(text, QStringLiteral("p"));
        QFAIL("the plan was accepted");
    } catch (const PlanError& error) {
        QCOMPARE(error.message(), message);
    }
}

void TestMeasurementPlan::readsPlanFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gel.plan"));
    try {
        readMeasurementPlan(path);
        QFAIL("a missing plan was read");
    } catch (const PlanError& error) {
        QVERIFY2(error.message().startsWith(path + QStringLiteral(": the plan cannot be read (")),
                 qPrintable(error.message()));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBF"
               "cell 2 3\n");
    file.close();
    QCOMPARE(readMeasurementPlan(path).steps.at(0).cell.row, 2);
}

QTEST_GUILESS_MAIN(TestMeasurementPlan)
#include "tst_measurementplan.moc"
