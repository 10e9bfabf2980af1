// The found bands as the person adjusts them: numbering by lane and place along it, hit
// tests, and the rows they give the main sheet and the report.

#include "core/foundbands.h"

#include "core/expression.h"
#include "core/sheetdata.h"
#include "core/workingsheet.h"

#include <QTest>

using namespace kesto;

Q_DECLARE_METATYPE(kesto::LaneOrientation)

namespace {

// "1.1 1.2" as a list; rows of the sheet as "Band|Int.Ctrl|% to Ctrl".
QStringList words(const char* text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString latin(const char* text)
{
    return QString::fromLatin1(text);
}

// Two lanes (columns 10-40 and 60-90) with two bands each, or the same turned a quarter.
LaneFinding twoLanes(LaneOrientation orientation)
{
    const auto frame = [orientation](int across, int along, int w, int h) {
        return orientation == LaneOrientation::Vertical ? FoundFrame{across, along, w, h}
                                                        : FoundFrame{along, across, h, w};
    };
    LaneFinding finding;
    finding.lanes.push_back(
        {frame(10, 0, 30, 200), {frame(10, 20, 30, 10), frame(10, 80, 30, 12)}});
    finding.lanes.push_back(
        {frame(60, 0, 30, 200), {frame(60, 30, 30, 10), frame(60, 90, 30, 10)}});
    return finding;
}

QStringList labels(const BandProposals& p)
{
    QStringList list;
    for (int i = 0; i < p.count(); ++i)
        list << p.label(i);
    return list;
}

ScanResult scanOf(double value, std::uint64_t full = 0)
{
    ScanResult s;
    s.value = value;
    s.samples = 100;
    s.atFullScale = full;
    return s;
}

} // namespace

class TestFoundBands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void editsRenumber_data();
    void editsRenumber();
    void hitTests_data();
    void hitTests();
    void laneRows_data();
    void laneRows();
    void reportRows();
    void bandNumbers_data();
    void bandNumbers();
};

void TestFoundBands::editsRenumber_data()
{
    QTest::addColumn<LaneOrientation>("orientation");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("expected"); // labels, in order
    QTest::addColumn<QString>("editedLabel");  // the edited frame's label afterwards

    for (const LaneOrientation o : {LaneOrientation::Vertical, LaneOrientation::Horizontal}) {
        const char* name = o == LaneOrientation::Vertical ? "vertical" : "horizontal";
        QTest::addRow("%s: as found", name)
            << o << latin("none") << words("1.1 1.2 2.1 2.2") << QString();
        QTest::addRow("%s: band moved below its neighbour", name)
            << o << latin("move 1.1 along 150") << words("1.1 1.2 2.1 2.2") << latin("1.2");
        QTest::addRow("%s: band moved across into lane 2", name)
            << o << latin("move 1.1 across 60") << words("1.1 2.1 2.2 2.3") << latin("2.1");
        QTest::addRow("%s: frame drawn left of every lane", name)
            << o << latin("add across 0") << words("1.1 2.1 2.2 3.1 3.2") << latin("1.1");
        QTest::addRow("%s: frame drawn in lane 1", name)
            << o << latin("add across 12") << words("1.1 1.2 1.3 2.1 2.2") << latin("1.2");
        QTest::addRow("%s: lane 1 emptied", name)
            << o << latin("remove lane 1") << words("1.1 1.2") << QString();
    }
}

void TestFoundBands::editsRenumber()
{
    QFETCH(LaneOrientation, orientation);
    QFETCH(QString, edit);
    QFETCH(QStringList, expected);
    QFETCH(QString, editedLabel);
    const bool vertical = orientation == LaneOrientation::Vertical;
    // A frame at across/along positions, in the orientation's terms.
    const auto at = [vertical](int across, int along, int w, int h) {
        return vertical ? FoundFrame{across, along, w, h} : FoundFrame{along, across, h, w};
    };
    BandProposals p;
    p.setFinding(twoLanes(orientation), orientation);
    int edited = -1;
    if (edit == QLatin1String("move 1.1 along 150"))
        edited = p.setFrame(0, at(10, 150, 30, 10));
    else if (edit == QLatin1String("move 1.1 across 60"))
        edited = p.setFrame(0, at(60, 20, 30, 10));
    else if (edit == QLatin1String("add across 0"))
        edited = p.add(at(0, 50, 6, 10));
    else if (edit == QLatin1String("add across 12"))
        edited = p.add(at(12, 50, 20, 10));
    else if (edit == QLatin1String("remove lane 1")) {
        p.remove(0);
        p.remove(0);
    }
    QCOMPARE(labels(p), expected);
    if (!editedLabel.isEmpty())
        QCOMPARE(p.label(edited), editedLabel);
    // Bands run in order along their lane.
    for (int i = 1; i < p.count(); ++i) {
        const BandProposal& a = p.items()[std::size_t(i - 1)];
        const BandProposal& b = p.items()[std::size_t(i)];
        if (a.lane == b.lane)
            QVERIFY(vertical ? a.frame.top <= b.frame.top : a.frame.left <= b.frame.left);
    }
}

void TestFoundBands::hitTests_data()
{
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("corner");
    // Band 1.1 covers columns 10-40 and rows 20-30, both edges included.
    QTest::newRow("inside") << QPointF(20, 25) << 0 << false;
    QTest::newRow("on the left edge") << QPointF(10, 25) << 0 << false;
    QTest::newRow("on the lower-right corner") << QPointF(40, 30) << 0 << true;
    QTest::newRow("corner's inner end") << QPointF(36, 26) << 0 << true;
    QTest::newRow("just outside the corner") << QPointF(35, 26) << 0 << false;
    QTest::newRow("past the right edge") << QPointF(40.5f, 25) << -1 << false;
    QTest::newRow("between lanes") << QPointF(50, 25) << -1 << false;
    QTest::newRow("lane 2 band 2") << QPointF(70, 95) << 3 << false;
}

void TestFoundBands::hitTests()
{
    QFETCH(QPointF, point);
    QFETCH(int, index);
    QFETCH(bool, corner);
    BandProposals p;
    p.setFinding(twoLanes(LaneOrientation::Vertical), LaneOrientation::Vertical);
    const float x = float(point.x());
    const float y = float(point.y());
    QCOMPARE(p.indexAt(x, y), index);
    QCOMPARE(p.onCorner(index, x, y), corner);
}

void TestFoundBands::laneRows_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<int>("control");
    QTest::addColumn<QStringList>("rows"); // "Band|Int.Ctrl|% to Ctrl" from row 3
    QTest::addColumn<QList<int>>("missing");
    QTest::newRow("band 1, control 2") << 1 << 2 << words("-100|-200|50.0 -300||") << QList<int>{2};
    QTest::newRow("band 2, control 1")
        << 2 << 1 << words("-200|-100|200.0 |-300|") << QList<int>{2};
    QTest::newRow("no control") << 1 << 0 << words("-100|| -300||") << QList<int>{};
    QTest::newRow("a band no lane has") << 5 << 1 << words("|-100| |-300|") << QList<int>{1, 2};
}

void TestFoundBands::laneRows()
{
    QFETCH(int, band);
    QFETCH(int, control);
    QFETCH(QStringList, rows);
    QFETCH(QList<int>, missing);
    // Lane 1 has two bands, lane 2 one, whose scan met full scale.
    const std::vector<FoundBandScan> scans{
        {1, 1, scanOf(-100), {}}, {1, 2, scanOf(-200), {}}, {2, 1, scanOf(-300, 7), {}}};
    SheetData sheet(3, 4);
    sheet.setText(1, 2, QStringLiteral("kept"));
    const std::vector<int> lacking = writeLaneRows(sheet, scans, 2, band, control, 3);
    runWorkingSheetPass(sheet);
    QCOMPARE(QList<int>(lacking.begin(), lacking.end()), missing);
    QCOMPARE(sheet.text(1, 2), QStringLiteral("kept"));
    QVERIFY(sheet.rowCount() >= 5);
    for (int i = 0; i < rows.size(); ++i) {
        const int row = 3 + i;
        QCOMPARE(sheet.text(row, 2) + QLatin1Char('|') + sheet.text(row, 3) + QLatin1Char('|') +
                     sheet.text(row, 4),
                 rows.at(i));
    }
    // Lane 2's saturated scan carries its counts wherever it went.
    for (int column : {2, 3}) {
        const bool saturated = sheet.text(4, column) == QLatin1String("-300");
        QCOMPARE(sheet.note(4, column).isEmpty(), !saturated);
        if (saturated)
            QCOMPARE(sheet.note(4, column), scanCountsText(scanOf(-300, 7)));
    }
}

void TestFoundBands::reportRows()
{
    const std::vector<FoundBandScan> scans{{1, 1, scanOf(-100), {}},
                                           {1, 2, scanOf(-200), {}},
                                           {2, 1, scanOf(-300, 7), {}},
                                           {2, 2, scanOf(-400), {}}};
    SheetData report(4, 5);
    report.setText(1, ReportDescriptionColumn, QStringLiteral("typed by hand"));
    QCOMPARE(appendFoundBandsToReport(scans, 2, report), 4);
    const QStringList expected = words("Lane.1||-100 Lane.1|control|-200 Lane.2||-300 "
                                       "Lane.2|control|-400")
                                     .replaceInStrings(QStringLiteral("."), QStringLiteral(" "));
    for (int i = 0; i < expected.size(); ++i) {
        const int row = 2 + i;
        QCOMPARE(report.text(row, ReportDescriptionColumn) + QLatin1Char('|') +
                     report.text(row, ReportTypeColumn) + QLatin1Char('|') +
                     report.text(row, ReportScanColumn),
                 expected.at(i));
    }
    QCOMPARE(report.text(1, ReportDescriptionColumn), QStringLiteral("typed by hand"));
    QCOMPARE(report.note(4, ReportScanColumn), scanCountsText(scanOf(-300, 7)));
    // The report's Calculate! relates each lane's band to its control.
    calculateExpression(report);
    QCOMPARE(report.number(2, ReportExpressionColumn), 50.0);
    QCOMPARE(report.number(4, ReportExpressionColumn), 75.0);
}

void TestFoundBands::bandNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("allowEmpty");
    QTest::addColumn<int>("number"); // -1: refused
    QTest::newRow("2") << latin("2") << false << 2;
    QTest::newRow("blanks around") << latin(" 3 ") << false << 3;
    QTest::newRow("empty, none allowed") << QString() << true << 0;
    QTest::newRow("empty, a band needed") << QString() << false << -1;
    QTest::newRow("0") << latin("0") << true << -1;
    QTest::newRow("negative") << latin("-1") << true << -1;
    QTest::newRow("decimal") << latin("1.5") << false << -1;
    QTest::newRow("words") << latin("2nd") << false << -1;
}

void TestFoundBands::bandNumbers()
{
    QFETCH(QString, text);
    QFETCH(bool, allowEmpty);
    QFETCH(int, number);
    const std::optional<int> read = bandNumberText(text, allowEmpty);
    QCOMPARE(read.value_or(-1), number);
}

QTEST_APPLESS_MAIN(TestFoundBands)
#include "tst_foundbands.moc"
