// The session's sample table and result choices: plan lines that read back as they were
// written and refuse what they cannot keep, undo, a new picture clearing the table, a plan
// replaying them, and each found lane's bands gathered for the results with their flags;
// a stain picture as the control and a lane's own target bands.

#include "core/analysisreport.h"
#include "core/lanefinder.h"
#include "core/measurementrecord.h"
#include "core/measurementsession.h"
#include "core/resultsplan.h"
#include "core/sessionresults.h"
#include "core/sessionundo.h"
#include "support/gelpictures.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kesto;

Q_DECLARE_METATYPE(kesto::SampleTable)
Q_DECLARE_METATYPE(kesto::ResultOptions)
Q_DECLARE_METATYPE(kesto::CurveOptions)

namespace {

SampleRow row(int lane, const QString& sample, const QString& group, int replicate,
              SampleRole role = SampleRole::Sample)
{
    SampleRow r;
    r.lane = lane;
    r.sample = sample;
    r.group = group;
    r.replicate = replicate;
    r.role = role;
    return r;
}

struct ReadBack
{
    SampleTable table;
    ResultOptions options;
    CurveOptions curve;
    int curveLines = 0;
};

// The table and choices a plan's sample, results and curve lines leave.
ReadBack readBack(const MeasurementPlan& plan)
{
    std::vector<SampleRow> rows;
    ReadBack read;
    for (const PlanStep& step : plan.steps) {
        if (step.kind == PlanStep::Kind::Sample) {
            rows.push_back(step.sample);
        } else if (step.kind == PlanStep::Kind::Results) {
            read.options = step.results;
        } else if (step.kind == PlanStep::Kind::Curve) {
            read.curve = step.curve;
            ++read.curveLines;
        }
    }
    read.table = SampleTable(rows);
    return read;
}

// Finds the lanes and bands as Image -> Find Lanes and Bands does.
void findBands(MeasurementSession& session)
{
    const LaneFinding finding = findLanesAndBands(session.picture(), QRect(), LaneFinderOptions());
    session.proposals().setFinding(finding, LaneOrientation::Vertical);
    session.proposalsEdited();
    std::vector<LaneStrip> lanes;
    for (const FoundLane& lane : finding.lanes)
        if (!lane.bands.empty())
            lanes.push_back(LaneStrip::of(lane, LaneOrientation::Vertical));
    session.setLanes(std::move(lanes), finding.darkOnLight);
}

} // namespace

class TestSessionResults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void planLinesReadBack_data();
    void planLinesReadBack();
    void planLinesRefused_data();
    void planLinesRefused();
    void tableUndoesAndGoesWithThePicture();
    void replayedPlanKeepsTable();
    void measuredLanesCarryVolumesAndFlags_data();
    void measuredLanesCarryVolumesAndFlags();
    void normalizedOnGeneratedBlot_data();
    void normalizedOnGeneratedBlot();
    void stainAndPicksUndoAndReplay();
    void standardCurveInTheReport();
};

void TestSessionResults::planLinesReadBack_data()
{
    QTest::addColumn<SampleTable>("table");
    QTest::addColumn<ResultOptions>("options");
    QTest::addColumn<CurveOptions>("curve");

    QTest::newRow("pattern, default choices")
        << samplePattern(3, 3, 1) << ResultOptions() << CurveOptions();

    SampleRow standard =
        row(4, QStringLiteral("std 10"), QStringLiteral("std"), 1, SampleRole::Standard);
    standard.amount = 12.5;
    standard.unit = QStringLiteral("ng");
    SampleRow odd =
        row(2, QStringLiteral("say \"hi\" # %1 \\ back"), QStringLiteral("group one"), 2);
    odd.blot = 1;
    odd.notes = QStringLiteral("reloaded; see notebook p. 12");
    ResultOptions options;
    options.target = BandChoice::nearestSize(42.5);
    options.control = BandChoice::laneTotal();
    options.reference.group = QStringLiteral("group one");
    options.excludeFlagged = true;
    options.spread = Spread::SEM;
    options.sizeTolerance = 0.1;
    QTest::newRow("ladder, standard, quotes, blot 2, every choice")
        << SampleTable(
               {row(0, QStringLiteral("ladder"), QString(), 0, SampleRole::Ladder), standard, odd})
        << options
        << CurveOptions{CurveModel::FourParameterLogistic, CurveWeighting::InverseAmount, 12.5};

    ResultOptions byLane;
    byLane.target = BandChoice::bands({0, 2});
    byLane.control = BandChoice::nth(1);
    byLane.reference.lane = 2;
    QTest::newRow("picked bands, reference lane")
        << samplePattern(2, 2, 0, SampleOrder::Interleaved) << byLane
        << CurveOptions{CurveModel::LinearOrigin, CurveWeighting::None, 0.1};
    QTest::newRow("no table, quadratic curve at the largest limit")
        << SampleTable() << ResultOptions()
        << CurveOptions{CurveModel::Quadratic, CurveWeighting::None, MaxResidualLimitPercent};
}

void TestSessionResults::planLinesReadBack()
{
    QFETCH(SampleTable, table);
    QFETCH(ResultOptions, options);
    QFETCH(CurveOptions, curve);
    const QString text = resultsPlanText(table, options, curve);
    const ReadBack read = readBack(parseMeasurementPlan(text, QStringLiteral("saved")));
    QCOMPARE(sampleTableText(read.table), sampleTableText(table));
    QVERIFY(read.table == table);
    QCOMPARE(resultsPlanLine(read.options), resultsPlanLine(options));
    QVERIFY(read.options == options);
    // The curve's line is written only when its choices are not the defaults.
    QCOMPARE(read.curveLines, curve == CurveOptions() ? 0 : 1);
    QCOMPARE(curvePlanLine(read.curve), curvePlanLine(curve));
    QVERIFY(read.curve == curve);
}

void TestSessionResults::planLinesRefused_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("too few values") << "sample 1 \"a\" \"g\" 1"
                                    << "p:1: expected LANE \"SAMPLE\" \"GROUP\" REPLICATE ROLE";
    QTest::newRow("lane 0") << "sample 0 \"a\" \"g\" 1 sample"
                            << "p:1: expected LANE from 1 to 10000";
    QTest::newRow("unknown role") << "sample 1 \"a\" \"g\" 1 marker"
                                  << "p:1: ";
    QTest::newRow("standard without amount") << "sample 1 \"a\" \"g\" 1 standard"
                                             << "p:1: a standard needs its amount";
    QTest::newRow("amount without unit") << "sample 1 \"a\" \"g\" 1 standard amount 5"
                                         << "p:1: expected 2 values after \"amount\"";
    QTest::newRow("unknown key") << "sample 1 \"a\" \"g\" 1 sample colour red"
                                 << "p:1: expected blot, amount or notes";
    QTest::newRow("results odd") << "results target"
                                 << "p:1: expected KEY VALUE pairs";
    QTest::newRow("results twice") << "results spread sd spread sem"
                                   << "p:1: \"spread\" is given twice";
    QTest::newRow("results flagged") << "results flagged maybe"
                                     << "p:1: expected keep or exclude";
    QTest::newRow("results tolerance") << "results tolerance 3"
                                       << "p:1: expected a tolerance above 0";
    QTest::newRow("stain without path") << "stain"
                                        << "p:1: expected \"PATH\" of the stain picture";
    QTest::newRow("stain hash short") << "stain \"s.png\" sha256 12ab"
                                      << "p:1: expected sha256 and 64 hexadecimal digits";
    QTest::newRow("pick lane 0") << "pick 0 1"
                                 << "p:1: expected LANE from 1 to 10000";
    QTest::newRow("pick no bands") << "pick 2 x"
                                   << "p:1: \"bands:x\": expected bands:K,L,...";
    QTest::newRow("curve odd") << "curve model"
                               << "p:1: expected KEY VALUE pairs after \"curve\"";
    QTest::newRow("curve twice") << "curve model linear model quadratic"
                                 << "p:1: \"model\" is given twice";
    QTest::newRow("curve model") << "curve model cubic"
                                 << "p:1: model: ";
    QTest::newRow("curve weighting") << "curve weighting 1/signal"
                                     << "p:1: weighting: ";
    QTest::newRow("curve limit 0") << "curve limit 0"
                                   << "p:1: expected a limit above 0 and at most 1000 per cent";
    QTest::newRow("curve limit too large") << "curve limit 1000.5"
                                           << "p:1: expected a limit above 0 and at most 1000";
    QTest::newRow("curve limit not a number") << "curve limit nan"
                                              << "p:1: expected a number for the limit";
    QTest::newRow("curve unknown key") << "curve range 15"
                                       << "p:1: expected model, weighting or limit";
}

void TestSessionResults::planLinesRefused()
{
    QFETCH(QString, line);
    QFETCH(QString, message);
    try {
        parseMeasurementPlan(line, QStringLiteral("p"));
        QFAIL("the line was read");
    } catch (const PlanError& e) {
        QVERIFY2(e.message().startsWith(message), qPrintable(e.message()));
    }
}

void TestSessionResults::tableUndoesAndGoesWithThePicture()
{
    MeasurementSession session(kesto::test::blotPicture({{80, 60}, {90, 60}}, {60, 140}));
    SessionUndo undo(session);
    QSignalSpy tableChanged(&session, &MeasurementSession::sampleTableChanged);
    QSignalSpy optionsChanged(&session, &MeasurementSession::resultOptionsChanged);

    session.setSampleTable(samplePattern(1, 2));
    undo.commit(QStringLiteral("Fill"));
    SampleRow renamed = session.sampleTable().rows().at(1);
    renamed.sample = QStringLiteral("renamed");
    session.setSampleRow(renamed);
    undo.commit(QStringLiteral("Rename"));
    ResultOptions options;
    options.control = BandChoice::nth(1);
    session.setResultOptions(options);
    undo.commit(QStringLiteral("Control"));
    QCOMPARE(undo.stack().count(), 3);
    QCOMPARE(tableChanged.count(), 2);
    QCOMPARE(optionsChanged.count(), 1);

    undo.stack().undo();
    QVERIFY(session.resultOptions() == ResultOptions());
    undo.stack().undo();
    QCOMPARE(session.sampleTable().rows().at(1).sample, QStringLiteral("Group 1 2"));
    undo.stack().undo();
    QVERIFY(session.sampleTable().isEmpty());
    undo.stack().redo();
    QVERIFY(session.sampleTable() == samplePattern(1, 2));

    // The table says what the lanes of this picture hold; the choices stay.
    session.setResultOptions(options);
    tableChanged.clear();
    session.setPicture(kesto::test::solidPicture(40, 40, qRgb(200, 200, 200)), QString());
    QVERIFY(session.sampleTable().isEmpty());
    QCOMPARE(tableChanged.count(), 1);
    QVERIFY(session.resultOptions() == options);
}

void TestSessionResults::replayedPlanKeepsTable()
{
    MeasurementSession session(kesto::test::blotPicture({{80, 60}}, {60, 140}));
    const MeasurementPlan plan =
        parseMeasurementPlan(QStringLiteral("sample 1 \"a\" \"g\" 1 sample\n"
                                            "sample 2 \"b\" \"g\" 2 sample\n"
                                            "sample 1 \"a2\" \"g\" 1 sample # replaces lane 1\n"
                                            "results target band:1 control band:2 flagged exclude\n"
                                            "curve weighting 1/amount limit 20\n"),
                             QStringLiteral("plan"));
    SessionUndo undo(session);
    runMeasurementPlan(session, plan);
    undo.commit(QStringLiteral("Replay"));
    QCOMPARE(session.sampleTable().size(), 2);
    QCOMPARE(session.sampleTable().rowFor(0)->sample, QStringLiteral("a2"));
    QVERIFY(session.resultOptions().control == BandChoice::nth(1));
    QVERIFY(session.resultOptions().excludeFlagged);
    QVERIFY((session.curveOptions() ==
             CurveOptions{CurveModel::Linear, CurveWeighting::InverseAmount, 20}));
    undo.stack().undo();
    QVERIFY(session.curveOptions() == CurveOptions());
}

void TestSessionResults::measuredLanesCarryVolumesAndFlags_data()
{
    QTest::addColumn<QuantifyMode>("mode");
    QTest::newRow("frame measure, read on the profile") << QuantifyMode::Frame;
    QTest::newRow("profile volumes") << QuantifyMode::Profile;
}

void TestSessionResults::measuredLanesCarryVolumesAndFlags()
{
    QFETCH(QuantifyMode, mode);
    // Lane 2's target twice lane 1's; lane 3's control clipped at 0.
    MeasurementSession session(
        kesto::test::blotPicture({{50, 100}, {100, 100}, {60, 300}}, {60, 140}));
    session.setBackground(rgbValue(235, 235, 235));
    findBands(session);
    session.setQuantifyMode(mode);
    QCOMPARE(session.proposals().laneCount(), 3);
    const std::vector<LaneBands> lanes = measuredLanes(session);
    QCOMPARE(int(lanes.size()), 3);
    for (int l = 0; l < 3; ++l) {
        const LaneBands& lane = lanes[std::size_t(l)];
        QCOMPARE(lane.lane, l);
        QCOMPARE(int(lane.bands.size()), 2);
        QVERIFY(lane.total.has_value());
        for (const MeasuredBand& band : lane.bands) {
            QVERIFY(band.volume.has_value());
            QVERIFY2(band.trace.contains(QStringLiteral("frame")), qPrintable(band.trace));
        }
    }
    const double ratio = *lanes[1].bands[0].volume / *lanes[0].bands[0].volume;
    QVERIFY2(std::abs(ratio - 2) < 0.1, qPrintable(QString::number(ratio)));
    QVERIFY(lanes[0].bands[1].flag.isEmpty());
    QVERIFY2(!lanes[2].bands[1].flag.isEmpty(), "the clipped control is not flagged");

    // The report's Results: the lanes' and groups' tables, or why there are none.
    session.setSampleTable(SampleTable({row(0, QStringLiteral("a1"), QStringLiteral("a"), 1),
                                        row(1, QStringLiteral("b1"), QStringLiteral("b"), 1)}));
    ResultOptions options = session.resultOptions();
    options.target = *parseBandChoice(QStringLiteral("band:1"));
    options.control = *parseBandChoice(QStringLiteral("band:2"));
    session.setResultOptions(options);
    ReportSection section = resultsSection(session);
    QCOMPARE(section.heading, QStringLiteral("Results"));
    const ReportBlock& groups = section.blocks.back();
    QCOMPARE(groups.kind, ReportBlock::Kind::Table);
    QCOMPARE(groups.headings.value(0), QStringLiteral("GROUP"));
    QCOMPARE(groups.rows.size(), 2);
    QCOMPARE(groups.rows[1].value(0), QStringLiteral("b"));
    session.setSampleTable(SampleTable({row(8, QStringLiteral("x"), QStringLiteral("a"), 1)}));
    section = resultsSection(session);
    QCOMPARE(section.blocks.size(), std::size_t(1));
    QVERIFY2(section.blocks[0].text.startsWith(QStringLiteral("No result could be made: ")),
             qPrintable(section.blocks[0].text));
}

namespace {

// Four lanes loaded unevenly (x 0.7 to 1.3): the target (row 60) and the housekeeping band
// (row 140) follow the loading, lane 4 holding twice the target; the stain picture (three
// bands a lane, total protein) follows it too. Lanes 1 to 3 are group "c", lane 4 "t".
struct LoadedBlot
{
    QImage picture;
    QImage stain;
    SampleTable table;
};

LoadedBlot loadedBlot()
{
    const double loading[4] = {1.0, 0.7, 1.3, 1.0};
    QList<QList<double>> blot;
    QList<QList<double>> stained;
    for (int lane = 0; lane < 4; ++lane) {
        blot.append({(lane == 3 ? 80.0 : 40.0) * loading[lane], 60 * loading[lane]});
        stained.append({30 * loading[lane], 30 * loading[lane], 30 * loading[lane]});
    }
    return {kesto::test::blotPicture(blot, {60, 140}),
            kesto::test::blotPicture(stained, {40, 100, 160}),
            SampleTable({row(0, QStringLiteral("c1"), QStringLiteral("c"), 1),
                         row(1, QStringLiteral("c2"), QStringLiteral("c"), 2),
                         row(2, QStringLiteral("c3"), QStringLiteral("c"), 3),
                         row(3, QStringLiteral("t1"), QStringLiteral("t"), 1)})};
}

} // namespace

void TestSessionResults::normalizedOnGeneratedBlot_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("controlFrom");
    QTest::newRow("housekeeping band") << "band:2"
                                       << "band 1.2";
    QTest::newRow("stain picture") << "stain"
                                   << "stain picture";
}

void TestSessionResults::normalizedOnGeneratedBlot()
{
    QFETCH(QString, control);
    QFETCH(QString, controlFrom);
    const LoadedBlot blot = loadedBlot();
    MeasurementSession session(blot.picture);
    findBands(session);
    QCOMPARE(session.proposals().laneCount(), 4);
    session.setSampleTable(blot.table);
    ResultOptions options;
    options.control = *parseBandChoice(control);
    session.setResultOptions(options);
    session.setStainPicture(
        makeStainPicture(blot.stain, QStringLiteral("stain.png"), blot.picture, Channel::Red));
    QCOMPARE(session.stainPicture().lanes, 4);
    const Results results = sessionResults(session);
    const QString notes = results.notes.join(QLatin1Char('\n'));
    QVERIFY2(!notes.contains(QStringLiteral("stain picture shows")), qPrintable(notes));
    // The three "c" lanes agree once normalized, and "t" is twice them.
    QCOMPARE(results.groups[0].n, 3);
    QVERIFY2(*results.groups[0].cv < 3, qPrintable(QString::number(*results.groups[0].cv)));
    QVERIFY2(std::abs(*results.groups[1].fold - 2) < 0.06,
             qPrintable(QString::number(*results.groups[1].fold)));
    QVERIFY2(results.lanes[0].controlTrace.contains(controlFrom),
             qPrintable(results.lanes[0].controlTrace));
}

void TestSessionResults::stainAndPicksUndoAndReplay()
{
    const LoadedBlot blot = loadedBlot();
    MeasurementSession session(blot.picture);
    findBands(session);
    SessionUndo undo(session);
    session.setSampleTable(blot.table);
    ResultOptions options;
    options.control = BandChoice::stain();
    session.setResultOptions(options);
    try {
        sessionResults(session);
        QFAIL("a stain control without a stain picture made results");
    } catch (const ResultsError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("no stain picture")), qPrintable(e.message()));
    }
    // A stain of another size is refused and says why.
    try {
        makeStainPicture(blot.stain.copy(0, 0, 100, 100), QString(), session.picture(),
                         session.channel());
        QFAIL("a stain of another size was taken");
    } catch (const ResultsError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("same size")), qPrintable(e.message()));
    }

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString stainPath =
        kesto::test::savePicture(dir, QStringLiteral("stain.png"), blot.stain);
    StainPicture stain =
        makeStainPicture(blot.stain, stainPath, session.picture(), session.channel());
    stain.sha256 = fileSha256(stainPath);
    session.setStainPicture(stain);
    undo.commit(QStringLiteral("Stain"));

    // Lane 2's own target: its band 2, while the others keep band 1.
    options.target = BandChoice::bands({0});
    session.setResultOptions(options);
    session.setTargetPicks(1, {1});
    undo.commit(QStringLiteral("Pick"));
    const Results results = sessionResults(session);
    QVERIFY2(results.lanes[1].targetTrace.contains(QStringLiteral("band 2.2")),
             qPrintable(results.lanes[1].targetTrace));
    QVERIFY(results.lanes[0].targetTrace.contains(QStringLiteral("band 1.1")));

    // The plan keeps both, and a replay makes the same numbers.
    const QString text =
        resultsPlanText(session.sampleTable(), session.resultOptions(), session.curveOptions(),
                        session.stainPicture(), session.targetPicks());
    QVERIFY2(text.contains(QStringLiteral("stain \"") + stainPath + QStringLiteral("\" sha256 ") +
                           QString::fromLatin1(stain.sha256)) &&
                 text.contains(QStringLiteral("pick 2 2\n")),
             qPrintable(text));
    MeasurementSession replayed(blot.picture);
    findBands(replayed);
    runMeasurementPlan(replayed, parseMeasurementPlan(text, QStringLiteral("plan")));
    QVERIFY(replayed.targetPicks() == session.targetPicks());
    QCOMPARE(replayed.stainPicture().path, stainPath);
    QVERIFY(resultGroupTable(sessionResults(replayed)) == resultGroupTable(results));

    // Another stain file under the same name is refused unless told to go on.
    QImage other = blot.stain.copy();
    other.invertPixels();
    QVERIFY(other.save(stainPath));
    MeasurementSession changed(blot.picture);
    findBands(changed);
    const MeasurementPlan plan = parseMeasurementPlan(text, QStringLiteral("plan"));
    try {
        runMeasurementPlan(changed, plan);
        QFAIL("another stain file replayed as the planned one");
    } catch (const PictureHashError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("another stain gives other controls")),
                 qPrintable(e.message()));
    }
    ReplayOptions anyStain;
    anyStain.ignoreHash = true;
    runMeasurementPlanCounted(changed, plan, anyStain);
    QCOMPARE(changed.stainPicture().sha256, fileSha256(stainPath));

    // Undo takes the picks, then the stain, away; a new picture clears what is left.
    undo.stack().undo();
    QVERIFY(session.targetPicks().empty());
    undo.stack().undo();
    QVERIFY(session.stainPicture().isNull());
    undo.stack().redo();
    QVERIFY(!session.stainPicture().isNull());
    session.setPicture(blot.picture, QString());
    QVERIFY(session.stainPicture().isNull());
    QVERIFY(session.targetPicks().empty());
}

void TestSessionResults::standardCurveInTheReport()
{
    // Standards of 4 to 30 ng, 10 grey levels per ng at the band's peak (30 ng is cut off
    // at black: saturated), and unknowns of 7 and 10 ng.
    const QList<double> amounts{4, 6, 8, 12, 16, 30, 7, 10};
    QList<QList<double>> depths;
    for (double amount : amounts)
        depths.append(QList<double>{10.0 * amount});
    MeasurementSession session(kesto::test::blotPicture(depths, {100}));
    session.setBackground(rgbValue(235, 235, 235));
    findBands(session);
    std::vector<SampleRow> rows;
    for (int lane = 0; lane < 8; ++lane) {
        SampleRow r = row(lane, QStringLiteral("s%1").arg(lane + 1),
                          lane < 6 ? QString() : QStringLiteral("u"), lane < 6 ? 0 : lane - 5,
                          lane < 6 ? SampleRole::Standard : SampleRole::Sample);
        if (lane < 6) {
            r.amount = amounts[lane];
            r.unit = QStringLiteral("ng");
        }
        rows.push_back(r);
    }
    session.setSampleTable(SampleTable(std::move(rows)));

    const ReportSection section = standardCurveSection(session);
    QCOMPARE(section.heading, QStringLiteral("Standard curve"));
    QVERIFY(section.blocks.size() >= 3);
    const QList<QPair<QString, QString>>& facts = section.blocks[0].facts;
    const auto fact = [&facts](const QString& name) {
        for (const auto& f : facts)
            if (f.first == name)
                return f.second;
        return QString();
    };
    QCOMPARE(fact(QStringLiteral("Model")), QStringLiteral("linear"));
    QVERIFY2(fact(QStringLiteral("Linear range")).startsWith(QStringLiteral("4 ng to 16 ng")),
             qPrintable(fact(QStringLiteral("Linear range"))));
    QVERIFY(fact(QStringLiteral("R\u00b2")).toDouble() > 0.99);
    QVERIFY(!fact(QStringLiteral("Mandel's lack-of-fit p")).isEmpty());

    const ReportBlock& standards = section.blocks[1];
    QCOMPARE(standards.rows.size(), 6);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(standards.rows[i].value(4), QStringLiteral("yes"));
        QVERIFY(std::abs(standards.rows[i].value(3).toDouble()) <= 15);
    }
    QCOMPARE(standards.rows[5].value(4), QStringLiteral("no"));
    QCOMPARE(standards.rows[5].value(5), QStringLiteral("saturated"));

    const ReportBlock& unknowns = section.blocks[2];
    QCOMPARE(unknowns.headings.value(4), QStringLiteral("AMOUNT"));
    QCOMPARE(unknowns.rows.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const double truth = amounts[6 + i];
        const double read = unknowns.rows[i].value(4).toDouble();
        QVERIFY2(std::abs(read - truth) < 0.05 * truth,
                 qPrintable(unknowns.rows[i].join(QLatin1Char(' '))));
        QCOMPARE(unknowns.rows[i].value(5), QStringLiteral("yes"));
    }
}

QTEST_GUILESS_MAIN(TestSessionResults)
#include "tst_sessionresults.moc"
