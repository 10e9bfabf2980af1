// Reading measurement plans: every instruction with its values, comments and line ends,
// and a clear message naming the file and line for every line that cannot be used.

#include "app/measurementplan.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kesto;

Q_DECLARE_METATYPE(PlanStep::Kind)

class TestMeasurementPlan : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsEveryInstruction();
    void framesAreSingles();
    void refusesBadLines_data();
    void refusesBadLines();
    void readsPlanFiles_data();
    void readsPlanFiles();
};

void TestMeasurementPlan::readsEveryInstruction()
{
    const QString text = QStringLiteral(
        "# lanes 1 and 2\r\n"
        "channel green\r\n"
        "\r\n"
        "   background 300 190   # an empty spot\r\n"
        "background-color 10 20 30\n"
        "invert\n"
        "cell 7 3\n"
        "\tframe -5 50.5 39 15\n"
        "channel blue");
    const MeasurementPlan plan = parseMeasurementPlan(text, QStringLiteral("gel.plan"));
    QCOMPARE(plan.steps.size(), std::size_t(7));
    const std::vector<PlanStep>& s = plan.steps;
    QCOMPARE(s[0].kind, PlanStep::Kind::Channel);
    QCOMPARE(s[0].channel, Channel::Green);
    QCOMPARE(s[0].where, QStringLiteral("gel.plan:2"));
    QCOMPARE(s[1].kind, PlanStep::Kind::Background);
    QCOMPARE(s[1].x, 300.0f);
    QCOMPARE(s[1].y, 190.0f);
    QCOMPARE(s[1].where, QStringLiteral("gel.plan:4"));
    QCOMPARE(s[2].kind, PlanStep::Kind::BackgroundColor);
    QCOMPARE(s[2].colour, ColorValue(10 + 20 * 256 + 30 * 65536));
    QCOMPARE(s[3].kind, PlanStep::Kind::Invert);
    QCOMPARE(s[4].kind, PlanStep::Kind::Cell);
    QCOMPARE(s[4].cell.row, 7);
    QCOMPARE(s[4].cell.column, 3);
    QCOMPARE(s[5].kind, PlanStep::Kind::Frame);
    QCOMPARE(s[5].frame.left, -5.0f);
    QCOMPARE(s[5].frame.top, 50.5f);
    QCOMPARE(s[5].frame.width, 39.0f);
    QCOMPARE(s[5].frame.height, 15.0f);
    QCOMPARE(s[5].where, QStringLiteral("gel.plan:8"));
    QCOMPARE(s[6].channel, Channel::Blue);
    QCOMPARE(s[6].where, QStringLiteral("gel.plan:9"));
}

void TestMeasurementPlan::framesAreSingles()
{
    // The frame keeps singles: 0.1 and 2.4 are stored as the nearest singles, whose sum
    // is 2.5 in single precision (and the band integration rounds that to column 2).
    const PlanStep step = parsePlanStep(QStringLiteral("frame"),
                                        {QStringLiteral("0.1"), QStringLiteral("0"), QStringLiteral("2.4"),
                                         QStringLiteral("0")},
                                        QStringLiteral("--frame"));
    QCOMPARE(step.frame.left, 0.1f);
    QCOMPARE(step.frame.width, 2.4f);
    QCOMPARE(step.frame.left + step.frame.width, 2.5f);
}

void TestMeasurementPlan::refusesBadLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown instruction after good lines")
        << QStringLiteral("channel red\n\nFrame 1 2 3 4\n")
        << QStringLiteral("p.plan:3: unknown instruction \"Frame\"; expected one of channel, invert, background, "
                          "background-color, cell, frame");
    QTest::newRow("word for a number")
        << QStringLiteral("frame 20 50 wide 15")
        << QStringLiteral("p.plan:1: expected a number for WIDTH, found \"wide\"");
    QTest::newRow("comma instead of blanks")
        << QStringLiteral("background 300,190")
        << QStringLiteral("p.plan:1: expected 2 values for \"background\" (X, Y), found 1");
    QTest::newRow("too many values")
        << QStringLiteral("frame 1 2 3 4 5")
        << QStringLiteral("p.plan:1: expected 4 values for \"frame\" (LEFT, TOP, WIDTH, HEIGHT), found 5");
    QTest::newRow("invert with a value")
        << QStringLiteral("invert now") << QStringLiteral("p.plan:1: expected nothing after \"invert\", found \"now\"");
    QTest::newRow("channel by another name")
        << QStringLiteral("channel RED")
        << QStringLiteral("p.plan:1: expected red, green or blue as the channel, found \"RED\"");
    QTest::newRow("cell in column 4")
        << QStringLiteral("cell 1 4") << QStringLiteral("p.plan:1: expected COLUMN 2 (Band) or 3 (Int.Ctrl), found \"4\"");
    QTest::newRow("cell in column 1")
        << QStringLiteral("cell 1 1") << QStringLiteral("p.plan:1: expected COLUMN 2 (Band) or 3 (Int.Ctrl), found \"1\"");
    QTest::newRow("row 0") << QStringLiteral("cell 0 2")
                           << QStringLiteral("p.plan:1: expected ROW from 1 to 32767, found \"0\"");
    QTest::newRow("row past what the read-out carries")
        << QStringLiteral("cell 32768 2") << QStringLiteral("p.plan:1: expected ROW from 1 to 32767, found \"32768\"");
    QTest::newRow("half a row") << QStringLiteral("cell 2.5 2")
                                << QStringLiteral("p.plan:1: expected ROW from 1 to 32767, found \"2.5\"");
    QTest::newRow("colour byte of 256")
        << QStringLiteral("background-color 0 256 0")
        << QStringLiteral("p.plan:1: expected GREEN from 0 to 255, found \"256\"");
    QTest::newRow("negative width")
        << QStringLiteral("frame 10 10 -1 5") << QStringLiteral("p.plan:1: expected a WIDTH of 0 or more, found \"-1\"");
    QTest::newRow("value past a single")
        << QStringLiteral("frame 1e39 0 1 1")
        << QStringLiteral("p.plan:1: expected a number for LEFT within the range of a single, found \"1e39\"");
    QTest::newRow("far edge past 32 bits")
        << QStringLiteral("frame 2147483000 0 1000 1")
        << QStringLiteral("p.plan:1: expected the frame's LEFT and its far edge within -2147483648 to 2147483647");
    QTest::newRow("no instructions")
        << QStringLiteral("# nothing but a comment\n\n")
        << QStringLiteral("p.plan: the plan holds no instructions; expected lines such as \"cell 1 2\" and "
                          "\"frame 20 50 39 15\"");
}

void TestMeasurementPlan::refusesBadLines()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    try {
        parseMeasurementPlan(text, QStringLiteral("p.plan"));
        QFAIL("the plan was accepted");
    } catch (const PlanError& error) {
        QCOMPARE(error.message(), message);
    }
}

void TestMeasurementPlan::readsPlanFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");     // empty: no file at all
    QTest::addColumn<QString>("message");      // empty: read without fault
    QTest::newRow("with a byte-order mark") << QByteArray("\xEF\xBB\xBF" "cell 2 3\n") << QString();
    QTest::newRow("missing") << QByteArray() << QStringLiteral(": the plan cannot be read");
    QTest::newRow("a picture by mistake")
        << QByteArray("BM\x00\x01\x02", 5) << QStringLiteral(":1: unknown instruction \"BM");
}

void TestMeasurementPlan::readsPlanFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gel.plan"));
    if (!bytes.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    try {
        const MeasurementPlan plan = readMeasurementPlan(path);
        QVERIFY2(message.isEmpty(), "the plan was accepted");
        QCOMPARE(plan.steps.size(), std::size_t(1));
        QCOMPARE(plan.steps[0].cell.row, 2);
    } catch (const PlanError& error) {
        QVERIFY2(!message.isEmpty(), qPrintable(error.message()));
        QVERIFY2(error.message().startsWith(path + message), qPrintable(error.message()));
    }
}

QTEST_GUILESS_MAIN(TestMeasurementPlan)
#include "tst_measurementplan.moc"
