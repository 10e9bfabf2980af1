// The results command, run as the real program without a display, on generated blots with
// known loading: the folds it prints come within 3 % of the truth with either loading
// control, its files hold both tables, and a sample table made for other lanes is refused
// with nothing written.

#include "support/runprogram.h"
#include "support/syntheticblot.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace kesto;

namespace {

QString operator""_t(const char* text, std::size_t size)
{
    return QString::fromUtf8(text, qsizetype(size));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestResultsCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void normalizes_data();
    void normalizes();
    void refusesTableForOtherLanes();

private:
    QTemporaryDir m_dir;
    test::SyntheticBlotLayout m_layout;
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
};

void TestResultsCommand::initTestCase()
{
    QVERIFY(m_dir.isValid());
    test::SyntheticBlotLayout overloaded = m_layout;
    overloaded.saturatedControlLane = 4;
    for (const auto& [layout, picture] :
         {std::make_pair(m_layout, "blot.png"), std::make_pair(overloaded, "overloaded.png")}) {
        const test::SyntheticBlot blot = makeSyntheticBlot(layout);
        QVERIFY(blot.picture.save(path(picture)));
        QVERIFY(blot.stain.save(path("stain.png")));
        writeFile(path("samples.tsv"), blot.sampleText.toUtf8());
        writeFile(path("other.tsv"),
                  (blot.sampleText + QStringLiteral("12\tx\tcontrol\t4\tsample\n")).toUtf8());
    }
}

void TestResultsCommand::normalizes_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QList<int>>("counts"); // per group
    QTest::addColumn<QString>("warning");   // on standard error
    QTest::newRow("housekeeping band, workbook")
        << "blot.png"_t << QStringList{"--control"_t, "band:2"_t} << "result.xlsx"_t
        << QList<int>{3, 3, 3} << QString();
    QTest::newRow("stain, csv") << "blot.png"_t
                                << QStringList{"--control"_t, "stain"_t,       "--stain"_t,
                                               "stain.png"_t, "--reference"_t, "control"_t}
                                << "result.csv"_t << QList<int>{3, 3, 3} << QString();
    QTest::newRow("saturated control left out")
        << "overloaded.png"_t << QStringList{"--control"_t, "band:2"_t, "--exclude-flagged"_t}
        << QString() << QList<int>{3, 2, 3} << "warning: lane 5: control: saturated: "_t;
}

void TestResultsCommand::normalizes()
{
    QFETCH(QString, picture);
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QFETCH(QList<int>, counts);
    QFETCH(QString, warning);
    for (QString& option : options)
        if (option.endsWith(QLatin1String(".png")))
            option = m_dir.filePath(option);
    QStringList arguments{QStringLiteral("results"),   m_dir.filePath(picture),
                          QStringLiteral("--samples"), path("samples.tsv"),
                          QStringLiteral("--target"),  QStringLiteral("band:1")};
    arguments << options;
    if (!output.isEmpty())
        arguments << QStringLiteral("--output") << m_dir.filePath(output);
    const test::ProgramRun run = test::runKestoscan(arguments);
    QVERIFY2(run.status == 0, qPrintable(run.err));
    if (!warning.isEmpty())
        QVERIFY2(run.err.contains(warning), qPrintable(run.err));

    const QStringList lines =
        QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 9 + 3);
    for (int i = 0; i < 9; ++i) {
        const QStringList cells = lines[i].split(QLatin1Char('\t'));
        QCOMPARE(cells.size(), 8); // LANE SAMPLE GROUP REPLICATE TARGET CONTROL FACTOR NORMALIZED
        QCOMPARE(cells[0], QString::number(i + 1));
        QCOMPARE(cells[3], QString::number(i % 3 + 1));
    }
    for (int g = 0; g < 3; ++g) {
        const QStringList cells = lines[9 + g].split(QLatin1Char('\t'));
        QCOMPARE(cells.size(), 7); // GROUP N MEAN SD SEM CV FOLD
        QCOMPARE(cells[0], m_layout.groups[g]);
        QCOMPARE(cells[1].toInt(), counts[g]);
        const double truth = m_layout.amounts[std::size_t(g)] / m_layout.amounts[0];
        QVERIFY2(std::abs(cells[6].toDouble() / truth - 1) < 0.03, qPrintable(lines[9 + g]));
    }

    if (output.endsWith(QLatin1String(".csv"))) {
        const QByteArray csv = fileBytes(m_dir.filePath(output));
        QVERIFY(
            csv.startsWith("LANE,SAMPLE,GROUP,REPLICATE,TARGET,CONTROL,FACTOR,NORMALIZED,BLOT"));
        QVERIFY(csv.contains("\r\nGROUP,N,MEAN,SD,SEM,CV,FOLD,LOG2_FOLD"));
        QVERIFY(csv.contains("control: stain lane total"));
    } else if (!output.isEmpty()) {
        QVERIFY(fileBytes(m_dir.filePath(output)).startsWith("PK"));
    }
}

void TestResultsCommand::refusesTableForOtherLanes()
{
    const QString output = path("refused.xlsx");
    const test::ProgramRun run = test::runKestoscan(
        {QStringLiteral("results"), path("blot.png"), QStringLiteral("--samples"),
         path("other.tsv"), QStringLiteral("--control"), QStringLiteral("band:2"),
         QStringLiteral("--output"), output});
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err.trimmed(),
             QStringLiteral("kestoscan: ") + path("other.tsv") +
                 QStringLiteral(": the sample table does not fit the lanes: row 10 names lane "
                                "12, but the picture has 9 lanes"));
    QVERIFY(!QFile::exists(output));
}

QTEST_MAIN(TestResultsCommand)
#include "tst_results.moc"
