// The results command with --standards, run as the real program on a generated dilution series
// (8 standards, the top three cut off at the end of the scale) with unknowns beside it:
// the linear range is the lower five standards, unknowns inside it come back within 5 % of
// their amounts and marked in range, the one above it is marked out of range; tables and
// options the curve cannot use are refused with nothing printed.

#include "support/runprogram.h"
#include "support/syntheticgel.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace kesto;

namespace {

// Eight standards in even steps (a two-fold series from 1 leaves its faintest lanes too faint
// for the lane finder to propose), the top three cut off at the end of the scale.
const QList<double> Standards{2, 4, 6, 8, 10, 12, 14, 16};
const QList<double> Unknowns{3, 7, 15};
constexpr double HighestInRange = 10;

void writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray bytes = text.toUtf8();
    QCOMPARE(file.write(bytes), bytes.size());
}

// The table: the standards with their amounts (only the first `standards` of them), then the
// unknowns, in groups A (the reference) and B.
QString sampleTable(int standards)
{
    QString text = QStringLiteral("LANE\tSAMPLE\tGROUP\tREPLICATE\tROLE\tAMOUNT\tUNIT\n");
    for (int i = 0; i < Standards.size(); ++i)
        text +=
            i < standards
                ? QStringLiteral("%1\tstd\t\t\tstandard\t%2\tng\n").arg(i + 1).arg(Standards.at(i))
                : QStringLiteral("%1\tstd\t\t\texcluded\t\t\n").arg(i + 1);
    for (int u = 0; u < Unknowns.size(); ++u)
        text += QStringLiteral("%1\tu%2\t%3\t%4\tsample\t\t\n")
                    .arg(Standards.size() + u + 1)
                    .arg(u + 1)
                    .arg(u < 2 ? QStringLiteral("A") : QStringLiteral("B"))
                    .arg(u < 2 ? u + 1 : 1);
    return text;
}

} // namespace

class TestStandardsCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsAmounts();
    void refuses_data();
    void refuses();

private:
    QTemporaryDir m_dir;
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
};

void TestStandardsCommand::initTestCase()
{
    QVERIFY(m_dir.isValid());
    test::DilutionLayout layout;
    layout.amounts = Standards + Unknowns;
    layout.heightPerAmount =
        0.88 / HighestInRange; // 10 reaches 0.88 of the scale, 12 is cut at 0.9
    QVERIFY(test::makeDilutionGel(layout).picture.save(path("dilution.png")));
    writeFile(path("samples.tsv"), sampleTable(int(Standards.size())));
    writeFile(path("two.tsv"), sampleTable(2));
    writeFile(path("none.tsv"), sampleTable(0));
}

void TestStandardsCommand::readsAmounts()
{
    const test::ProgramRun run = test::runKestoscan(
        {QStringLiteral("results"), path("dilution.png"), QStringLiteral("--samples"),
         path("samples.tsv"), QStringLiteral("--standards"), QStringLiteral("--output"),
         path("amounts.csv")});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    const QStringList lines =
        QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const int lanes = int(Standards.size() + Unknowns.size());
    QCOMPARE(lines.size(), lanes + 2 + 1);
    for (int i = 0; i < lanes; ++i) {
        const QStringList cells = lines[i].split(QLatin1Char('\t'));
        QCOMPARE(cells.size(), 10); // ... NORMALIZED AMOUNT IN_RANGE
        QCOMPARE(cells[0], QString::number(i + 1));
        const bool standard = i < Standards.size();
        const double truth = standard ? Standards.at(i) : Unknowns.at(i - int(Standards.size()));
        const bool inRange = truth <= HighestInRange;
        // The lowest and highest standard of the range read back at about their own amounts,
        // a shade beyond or inside them: either may come back.
        const bool edge = standard && (truth == Standards.first() || truth == HighestInRange);
        if (!edge)
            QVERIFY2(cells[9] == (inRange ? QLatin1String("yes") : QLatin1String("no")),
                     qPrintable(lines[i]));
        if (inRange && cells[9] == QLatin1String("yes"))
            QVERIFY2(std::abs(cells[8].toDouble() / truth - 1) < 0.05, qPrintable(lines[i]));
    }
    const QStringList curve = lines.last().split(QLatin1Char('\t'));
    QCOMPARE(curve.size(), 5);
    QCOMPARE(curve[0], QStringLiteral("CURVE"));
    QCOMPARE(curve[1], QStringLiteral("linear"));
    QVERIFY2(curve[2].toDouble() > 0.999, qPrintable(lines.last()));
    QCOMPARE(curve[3], QStringLiteral("2"));
    QCOMPARE(curve[4], QStringLiteral("10"));
    QVERIFY2(run.err.contains(QLatin1String("warning: lane 11: amount not in the linear range: ")),
             qPrintable(run.err));
    QVERIFY2(run.err.contains(QLatin1String("linear range 2 to 10")), qPrintable(run.err));

    // --output: the same amounts and flags in the lanes' table, the curve among the notes.
    QFile csv(path("amounts.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(csv.readAll()).split(QStringLiteral("\r\n"));
    // AMOUNT and IN_RANGE are the last columns (cells before them may hold quoted commas).
    QVERIFY2(rows.value(0).endsWith(QLatin1String(",AMOUNT,IN_RANGE")), qPrintable(rows.value(0)));
    for (int i = 0; i < lanes; ++i) {
        const QStringList printed = lines[i].split(QLatin1Char('\t'));
        const QStringList written = rows.value(i + 1).split(QLatin1Char(','));
        QCOMPARE(written.mid(written.size() - 2), printed.mid(8, 2));
    }
    QVERIFY2(rows.join(QLatin1Char('\n')).contains(QLatin1String("linear range 2 to 10")),
             qPrintable(rows.join(QLatin1Char('\n'))));
}

void TestStandardsCommand::refuses_data()
{
    QTest::addColumn<QString>("samples");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("message");
    QTest::newRow("too few for a quadratic")
        << "two.tsv"
        << QStringList{QStringLiteral("--standards"), QStringLiteral("--curve"),
                       QStringLiteral("quadratic")}
        << "the standard curve cannot be made: ";
    QTest::newRow("no standards") << "none.tsv" << QStringList{QStringLiteral("--standards")}
                                  << "--standards needs rows with role standard";
    QTest::newRow("unknown model")
        << "samples.tsv"
        << QStringList{QStringLiteral("--standards"), QStringLiteral("--curve"),
                       QStringLiteral("cubic")}
        << "--curve: ";
    QTest::newRow("bad limit") << "samples.tsv"
                               << QStringList{QStringLiteral("--standards"),
                                              QStringLiteral("--range-limit"), QStringLiteral("-5")}
                               << "--range-limit: ";
    QTest::newRow("curve without standards")
        << "samples.tsv" << QStringList{QStringLiteral("--weighting"), QStringLiteral("1/amount")}
        << "--weighting goes with --standards";
}

void TestStandardsCommand::refuses()
{
    QFETCH(QString, samples);
    QFETCH(QStringList, options);
    QFETCH(QString, message);
    const test::ProgramRun run =
        test::runKestoscan(QStringList{QStringLiteral("results"), path("dilution.png"),
                                       QStringLiteral("--samples"), m_dir.filePath(samples)} +
                           options);
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QByteArray());
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
}

QTEST_MAIN(TestStandardsCommand)
#include "tst_standards.moc"
