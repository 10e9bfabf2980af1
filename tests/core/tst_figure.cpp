// Figures and the analysis report: the lane labels and size ticks reach SVG and PDF as text,
// the PNG keeps the picture's pixels under the display levels, bad requests are refused,
// and a report of two pictures holds every sheet value and both hashes in a clean PDF.

#include "core/analysisreport.h"
#include "core/figure.h"
#include "core/foundbands.h"
#include "core/lanefinder.h"
#include "core/measurementsession.h"
#include "core/sampletable.h"

#include "support/gelpictures.h"
#include "support/syntheticgel.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>

using namespace kesto;
using namespace kesto::test;

Q_DECLARE_METATYPE(kesto::DisplayLevels)

namespace {

// The lanes and bands as the Find Bands tool and the figure command take them.
void findLanes(MeasurementSession& session)
{
    LaneFinderOptions options;
    options.sensitivity = 100;
    const LaneFinding shown = atSensitivity(findLanesAndBands(session.picture(), QRect(), options),
                                            LaneFinderOptions::DefaultSensitivity);
    session.proposals().setFinding(shown, options.orientation);
    session.proposalsEdited();
    std::vector<LaneStrip> lanes;
    for (const FoundLane& lane : shown.lanes)
        if (!lane.bands.empty())
            lanes.push_back(LaneStrip::of(lane, options.orientation));
    session.setLanes(std::move(lanes), shown.darkOnLight);
}

// A small gel of five lanes with lane 1 a ladder of as many sizes as it has bands.
std::unique_ptr<MeasurementSession>
gelSession(SyntheticGelLayout::Depth depth = SyntheticGelLayout::Depth::Rgb8)
{
    SyntheticGelLayout layout;
    layout.width = 300;
    layout.height = 220;
    layout.lanes = 5;
    layout.depth = depth;
    auto session = std::make_unique<MeasurementSession>(makeSyntheticGel(layout).picture);
    findLanes(*session);
    const int bands = session->proposals().find(1, 1)
                          ? int(std::count_if(session->proposals().items().begin(),
                                              session->proposals().items().end(),
                                              [](const BandProposal& p) { return p.lane == 1; }))
                          : 0;
    Ladder ladder{QStringLiteral("test"), SizeUnit::BasePairs, {}};
    for (int i = 0; i < bands; ++i)
        ladder.sizes.push_back(3000 - 400 * i);
    session->setLaneLadder(0, ladder);
    return session;
}

QString run(const QString& program, const QStringList& arguments, int* status = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return QStringLiteral("(%1 did not run)").arg(program);
    if (status)
        *status = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

QString pdfText(const QString& path)
{
    return run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
}

} // namespace

class TestFigure : public QObject
{
    Q_OBJECT

private slots:
    void labelsAndTicksAsText_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<bool>("samples");
        QTest::newRow("svg, numbers") << "svg" << false;
        QTest::newRow("svg, samples") << "svg" << true;
        QTest::newRow("pdf, numbers") << "pdf" << false;
        QTest::newRow("pdf, samples") << "pdf" << true;
    }
    void labelsAndTicksAsText()
    {
        QFETCH(QString, ending);
        QFETCH(bool, samples);
        auto session = gelSession();
        QVERIFY(session->lanes().size() >= 4);
        const SampleTable table = parseSampleTable(
            QStringLiteral("LANE\tSAMPLE\tGROUP\n1\tLadder\t\n2\tctrl-a\tc\n3\tdrug-b\td\n"),
            QStringLiteral("t"));
        FigureOptions options;
        options.labels = samples ? FigureLabels::Samples : FigureLabels::Numbers;
        const FigureContent content = figureContent(*session, identityLevels(session->picture()),
                                                    options, samples ? &table : nullptr);
        QVERIFY(!content.ticks.empty());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("figure.") + ending);
        writeFigure(path, content, options);
        QString text;
        if (ending == QLatin1String("svg")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            text = QString::fromUtf8(file.readAll());
            QVERIFY(text.contains(QLatin1String("<text")));
        } else {
            text = pdfText(path);
        }
        QStringList expected;
        for (int lane = 1; lane <= int(session->lanes().size()); ++lane)
            expected << (samples && lane <= 3 ? table.rowFor(lane - 1)->sample
                                              : QString::number(lane));
        for (const FigureTick& tick : content.ticks)
            expected << tick.text;
        QVERIFY(expected.contains(QStringLiteral("3000 bp")));
        for (const QString& word : expected)
            QVERIFY2(text.contains(word),
                     qPrintable(word + QStringLiteral(" is not in the ") + ending));
    }

    void pngKeepsThePictureUnderTheLevels_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<DisplayLevels>("levels");
        QTest::addColumn<QRect>("region");
        QTest::newRow("8-bit as it is")
            << int(SyntheticGelLayout::Depth::Rgb8) << DisplayLevels{} << QRect();
        QTest::newRow("8-bit, levels and gamma") << int(SyntheticGelLayout::Depth::Rgb8)
                                                 << DisplayLevels{false, 40, 200, 1.5} << QRect();
        QTest::newRow("16-bit auto, a region")
            << int(SyntheticGelLayout::Depth::Gray16) << DisplayLevels{true, 0, 65535, 1.0}
            << QRect(30, 20, 200, 150);
    }
    void pngKeepsThePictureUnderTheLevels()
    {
        QFETCH(int, depth);
        QFETCH(DisplayLevels, levels);
        QFETCH(QRect, region);
        auto session = gelSession(SyntheticGelLayout::Depth(depth));
        const QImage before = session->picture().copy();
        FigureOptions options;
        options.region = region;
        options.dpi = 150;
        const FigureContent content = figureContent(*session, levels, options);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("figure.png"));
        writeFigure(path, content, options);
        QVERIFY(session->picture() == before);

        const QImage png(path);
        QVERIFY(!png.isNull());
        QCOMPARE(png.dotsPerMeterX(), 5906); // 150 dpi
        QCOMPARE(png.text(QStringLiteral("Display levels")), figureLevelsText(content.levels));
        const DisplayLevels used = levels.automatic ? autoDisplayLevels(before) : levels;
        QCOMPARE(content.levels.black, used.black);
        const FigureLayout layout = figureLayout(content, options);
        QCOMPARE(png.size(), layout.size);
        QImage shown = screenRendering(before, used);
        if (shown.isNull())
            shown = before;
        shown = shown.convertToFormat(QImage::Format_RGB32);
        const QRect r = layout.region;
        const auto onOutline = [&](int x, int y) {
            for (const QRect& b : content.bands) {
                const int right = b.left() + b.width(), bottom = b.top() + b.height();
                if (((x == b.left() || x == right) && y >= b.top() && y <= bottom) ||
                    ((y == b.top() || y == bottom) && x >= b.left() && x <= right))
                    return true;
            }
            return false;
        };
        int compared = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                if (onOutline(x, y))
                    continue;
                const QRgb got = png.pixel(layout.pictureArea.left() + x - r.left(),
                                           layout.pictureArea.top() + y - r.top());
                if (got != shown.pixel(x, y))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
                ++compared;
            }
        QVERIFY(compared > r.width() * r.height() / 2);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("labels");
        QTest::addColumn<QRect>("region");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("message");
        QTest::newRow("labels naming a lane not there") << "LANE\tSAMPLE\n2\ta\n9\tb\n"
                                                        << QRect() << "f.png"
                                                        << "names lane 9, but the picture has";
        QTest::newRow("region off the picture") << "" << QRect(250, 10, 100, 10) << "f.png"
                                                << "is not on the picture";
        QTest::newRow("unknown ending") << "" << QRect() << "f.jpg"
                                        << "expected a file name ending in .png, .svg or .pdf";
    }
    void refusals()
    {
        QFETCH(QString, labels);
        QFETCH(QRect, region);
        QFETCH(QString, output);
        QFETCH(QString, message);
        auto session = gelSession();
        FigureOptions options;
        options.region = region;
        std::optional<SampleTable> table;
        if (!labels.isEmpty()) {
            table = parseSampleTable(labels, QStringLiteral("t"));
            options.labels = FigureLabels::Samples;
        }
        QTemporaryDir dir;
        try {
            const FigureContent content =
                figureContent(*session, DisplayLevels{}, options, table ? &*table : nullptr);
            writeFigure(dir.filePath(output), content, options);
            QFAIL("no error");
        } catch (const FigureError& error) {
            QVERIFY2(error.message().contains(message), qPrintable(error.message()));
        }
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    // Two pictures measured by a plan, with enough rows that the sheet runs over a page.
    void reportOfTwoPictures()
    {
        QTemporaryDir dir;
        const QString first =
            savePicture(dir, QStringLiteral("first.png"),
                        gelPicture(120, 80, 30, 200, {QRect(10, 10, 20, 8), QRect(50, 30, 20, 8)}));
        const QString second = savePicture(dir, QStringLiteral("second.png"),
                                           gelPicture(90, 70, 20, 150, {QRect(5, 40, 30, 10)}));
        QString plan = QStringLiteral("picture %1\n").arg(quotedPlanText(first));
        for (int row = 1; row <= 100; ++row)
            plan += QStringLiteral("cell %1 2\nframe %2 %3 20 8\n")
                        .arg(row)
                        .arg(row % 90)
                        .arg(row % 60);
        plan += QStringLiteral("picture %1\n").arg(quotedPlanText(second));
        for (int row = 1; row <= 100; ++row)
            plan += QStringLiteral("cell %1 3\nframe %2 40 30 10\n").arg(row).arg(row % 50);
        MeasurementSession session;
        ReplayOptions replay;
        replay.openPicture = [&session](const PlanStep& step) {
            session.setPicture(QImage(step.text), step.text);
        };
        runMeasurementPlanCounted(session, parseMeasurementPlan(plan, QStringLiteral("plan")),
                                  replay);

        ReportInputs inputs;
        inputs.when = QDateTime(QDate(2026, 5, 4), QTime(3, 2), Qt::UTC);
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        const int pages = writeReportPdf(sessionReport(session, inputs), path);
        if (qEnvironmentVariableIsSet("KESTO_KEEP_REPORT"))
            QFile::copy(path, qEnvironmentVariable("KESTO_KEEP_REPORT"));
        QVERIFY(pages >= 3);

        const QString text = pdfText(path);
        QVERIFY(text.contains(QString::fromLatin1(fileSha256(first))));
        QVERIFY(text.contains(QString::fromLatin1(fileSha256(second))));
        QVERIFY(text.contains(QStringLiteral("2026-05-04 03:02 UTC")));
        const SheetData& sheet = session.sheet();
        int values = 0;
        for (int r = 1; r <= sheet.rowCount(); ++r)
            for (int c = 1; c <= sheet.columnCount(); ++c) {
                const QString value = sheet.text(r, c);
                if (value.isEmpty())
                    continue;
                ++values;
                QVERIFY2(text.contains(value),
                         qPrintable(QStringLiteral("R%1C%2 %3").arg(r).arg(c).arg(value)));
            }
        QVERIFY(values >= 300);
        // The sheet's heading on each page it runs onto.
        QVERIFY(text.count(QStringLiteral("Int.Ctrl")) >= 2);

        int status = -1;
        const QString check =
            run(QStringLiteral("qpdf"), {QStringLiteral("--check"), path}, &status);
        QVERIFY2(status == 0 && !check.contains(QLatin1String("WARNING"), Qt::CaseInsensitive),
                 qPrintable(check));
    }
};

QTEST_MAIN(TestFigure)
#include "tst_figure.moc"
